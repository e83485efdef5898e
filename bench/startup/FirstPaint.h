#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>

// Start-up children of bench_app: once the window has been painted and its
// picture handed to the display (the turn of the event loop after its first
// paint), print "painted <detail>" and quit.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget* window, std::function<int()> detail) : detail(std::move(detail))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            QTimer::singleShot(0, [this] {
                std::printf("painted %d\n", detail());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<int()> detail;
    bool seen = false;
};
