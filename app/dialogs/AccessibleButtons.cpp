#include "AccessibleButtons.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QPushButton>

namespace {

QString withoutMnemonic(QString text)
{
    // "&&" is a literal ampersand; a single '&' marks the shortcut letter.
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

class ClickingButtonInterface : public QAccessibleWidget {
public:
    explicit ClickingButtonInterface(QAbstractButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    // Decided on every query: a button may become checkable after its
    // interface was made.
    QAccessible::Role role() const override
    {
        if (qobject_cast<QCheckBox*>(button())) return QAccessible::CheckBox;
        if (!button()->isCheckable()) return QAccessible::Button;
        return button()->autoExclusive() ? QAccessible::RadioButton : QAccessible::CheckBox;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        QAbstractButton* b = button();
        s.checkable = b->isCheckable();
        s.checked = b->isChecked();
        if (auto* box = qobject_cast<QCheckBox*>(b)) s.checkStateMixed = box->checkState() == Qt::PartiallyChecked;
        s.pressed = b->isDown();
        if (auto* push = qobject_cast<QPushButton*>(b)) s.defaultButton = push->isDefault();
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const QString name = button()->accessibleName();
            return name.isEmpty() ? withoutMnemonic(button()->text()) : name;
        }
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled()) names << (button()->isCheckable() ? toggleAction() : pressAction());
        return names << QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (!widget()->isEnabled()) return;
        if (action == toggleAction() || action == pressAction()) {
            // Deferred, as a mouse click is: a handler that opens a modal
            // dialog must not hold the assistive tool's call.
            button()->animateClick();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

    QStringList keyBindingsForAction(const QString& action) const override
    {
        if (action == toggleAction() || action == pressAction()) {
            const QKeySequence shortcut = button()->shortcut();
            if (!shortcut.isEmpty()) return {shortcut.toString(QKeySequence::NativeText)};
        }
        return QAccessibleWidget::keyBindingsForAction(action);
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* clickingButtonFactory(const QString&, QObject* object)
{
    // Radio buttons and tool buttons keep Qt's own interfaces.
    if (auto* push = qobject_cast<QPushButton*>(object)) return new ClickingButtonInterface(push);
    if (auto* box = qobject_cast<QCheckBox*>(object)) return new ClickingButtonInterface(box);
    return nullptr;
}

} // namespace

void AccessibleButtons::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(clickingButtonFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
