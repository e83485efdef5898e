#pragma once

#include <memory>

#include <QAccessible>
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "SimCameraSetup.h"
#include "Vorq_Cam.h"

namespace a11y_test {

inline QString accessibleText(QWidget* w, QAccessible::Text which = QAccessible::Name)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(which) : QString();
}

inline QAccessible::State accessibleState(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->state() : QAccessible::State();
}

// The main window on one simulated camera, opened at start; the scan timer
// is stopped so nothing changes behind the test's back.
struct OpenWindow {
    SimCameraSetup sim;
    std::unique_ptr<Vorq_Cam> window;

    OpenWindow() : sim("cameras=1\n")
    {
        window = std::make_unique<Vorq_Cam>();
        window->cameraScanTimer()->stop();
        window->show();
        QApplication::setActiveWindow(window.get());
    }
};

} // namespace a11y_test
