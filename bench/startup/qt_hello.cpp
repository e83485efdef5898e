// The baseline of bench_app's start-up figure: a Qt Widgets hello-world,
// started and painted the same way as the program's start-up child.

#include <QApplication>
#include <QLabel>

#include "FirstPaint.h"

int main(int argc, char** argv)
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    QLabel hello(QStringLiteral("Hello, world"));
    hello.resize(1159, 713);
    FirstPaint painted(&hello, [] { return 1; });
    hello.show();
    return app.exec();
}
