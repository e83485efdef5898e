#include "AccessibleState.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QTextDocument>

namespace {

const char* const kMarker = "vorqAccessibleState";

class StateLabelInterface : public QAccessibleWidget {
public:
    explicit StateLabelInterface(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Value) return QAccessibleWidget::text(t);
        const auto* label = static_cast<const QLabel*>(widget());
        const QString shown = label->text();
        if (label->textFormat() == Qt::PlainText ||
            (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(shown)))
            return shown;
        // The upgrade status may be rich text; a reader wants the words.
        QTextDocument document;
        document.setHtml(shown);
        return document.toPlainText();
    }
};

class NamedComboBoxInterface : public QAccessibleWidget {
public:
    explicit NamedComboBoxInterface(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return box()->currentText();
        return QAccessibleWidget::text(t);
    }
    // The drop-down list, as Qt's own combo box interface has it.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == box()->view() ? 0 : -1;
    }
    QStringList actionNames() const override
    {
        return QAccessibleWidget::actionNames() << showMenuAction() << pressAction();
    }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction() || action == pressAction())
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* stateFactory(const QString&, QObject* object)
{
    if (!object || !object->property(kMarker).toBool()) return nullptr;
    if (auto* label = qobject_cast<QLabel*>(object)) return new StateLabelInterface(label);
    if (auto* box = qobject_cast<QComboBox*>(object)) return new NamedComboBoxInterface(box);
    return nullptr;
}

void mark(QWidget* widget, const char* name)
{
    static const bool installed = [] {
        QAccessible::installFactory(stateFactory);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(kMarker, true);
    // Qt builds a widget's interface as soon as the widget reports a change,
    // often while it is still being constructed; that one is dropped so the
    // next query finds the marker.
    QAccessibleInterface* built = QAccessible::queryAccessibleInterface(widget);
    if (built && !dynamic_cast<StateLabelInterface*>(built) && !dynamic_cast<NamedComboBoxInterface*>(built))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(built));
    widget->setAccessibleName(QString::fromUtf8(name));
}

} // namespace

void AccessibleState::nameLabel(QLabel* label, const char* name) { mark(label, name); }

void AccessibleState::nameComboBox(QComboBox* box, const char* name) { mark(box, name); }
