#include "AccessibleState.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
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

// A label that acts as a link: its own event filter opens it on a click or
// on Space. Assistive tools see a link they can press; the press arrives as
// Space, deferred, since what the link opens may be a modal dialog.
class LinkLabelInterface : public QAccessibleWidget {
public:
    explicit LinkLabelInterface(QLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override
    {
        const QString own = QAccessibleWidget::text(t);
        if (t != QAccessible::Name || !own.isEmpty()) return own;
        return static_cast<const QLabel*>(widget())->text();
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled()) names << pressAction();
        return names << QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (!widget()->isEnabled()) return;
        QCoreApplication::postEvent(widget(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));
        QCoreApplication::postEvent(widget(), new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier));
    }
};

enum Kind { ShownState = 1, Link = 2 };

QAccessibleInterface* stateFactory(const QString&, QObject* object)
{
    if (!object) return nullptr;
    const int kind = object->property(kMarker).toInt();
    auto* label = qobject_cast<QLabel*>(object);
    if (kind == Link && label) return new LinkLabelInterface(label);
    if (kind != ShownState) return nullptr;
    if (label) return new StateLabelInterface(label);
    if (auto* box = qobject_cast<QComboBox*>(object)) return new NamedComboBoxInterface(box);
    return nullptr;
}

bool isOurs(QAccessibleInterface* iface)
{
    return dynamic_cast<ShownStateInterface*>(iface) || dynamic_cast<LinkLabelInterface*>(iface);
}

void mark(QWidget* widget, const char* name, Kind kind = ShownState)
{
    static const bool installed = [] {
        QAccessible::installFactory(stateFactory);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(kMarker, int(kind));
    // Qt builds a widget's interface as soon as the widget reports a change,
    // often while it is still being constructed; that one is dropped so the
    // next query finds the marker.
    QAccessibleInterface* built = QAccessible::queryAccessibleInterface(widget);
    if (built && !isOurs(built))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(built));
    if (name) widget->setAccessibleName(QString::fromUtf8(name));
}

} // namespace

void AccessibleState::nameLabel(QLabel* label, const char* name) { mark(label, name); }

void AccessibleState::nameComboBox(QComboBox* box, const char* name) { mark(box, name); }

void AccessibleState::nameLink(QLabel* label) { mark(label, nullptr, Link); }
