#include "AccessibleState.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QTextDocument>

namespace {

const char* const kMarker = "vorqAccessibleState";

// A named widget whose shown text is its accessible value. Qt's Linux bridge
// passes that text on only through a text interface; the accessible value
// alone never reaches a screen reader.
class ShownStateInterface : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    ShownStateInterface(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    virtual QString shownText() const = 0;

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? shownText() : QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return shownText().mid(start, end - start); }
    int characterCount() const override { return shownText().size(); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return QString();
    }
};

class StateLabelInterface : public ShownStateInterface {
public:
    explicit StateLabelInterface(QLabel* label) : ShownStateInterface(label, QAccessible::StaticText) {}

    QString shownText() const override
    {
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

class NamedComboBoxInterface : public ShownStateInterface {
public:
    explicit NamedComboBoxInterface(QComboBox* box) : ShownStateInterface(box, QAccessible::ComboBox) {}

    QString shownText() const override { return box()->currentText(); }
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
    if (built && !dynamic_cast<ShownStateInterface*>(built))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(built));
    widget->setAccessibleName(QString::fromUtf8(name));
}

} // namespace

void AccessibleState::nameLabel(QLabel* label, const char* name) { mark(label, name); }

void AccessibleState::nameComboBox(QComboBox* box, const char* name) { mark(box, name); }
