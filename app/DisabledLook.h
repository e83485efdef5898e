#pragma once

#include <QObject>

class QWidget;

// Fades a widget while it is disabled. Buttons drawn from one picture by
// their style sheet otherwise look the same in both states.
class DisabledLook : public QObject {
    Q_OBJECT
public:
    // The look follows the widget's enabled state from now on; owned by it.
    static void apply(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit DisabledLook(QWidget* widget);
    static void update(QWidget* widget);
};
