#include <QApplication>

#include "Vorq_Cam.h"

int main(int argc, char* argv[])
{
    // Only takes effect before the application object exists.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(ui);
    int result = 0;
    {
        Vorq_Cam window;
        window.show();
        result = app.exec();
    }
    Q_CLEANUP_RESOURCE(ui);
    return result;
}
