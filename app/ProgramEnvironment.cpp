#include "ProgramEnvironment.h"

#include <QApplication>

void ProgramEnvironment::prepare()
{
    // Only takes effect before the application object exists.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    // Nothing in the program draws with OpenGL, yet Qt's X11 platform loads
    // the GL stack (with a software renderer, a large compiler library) when
    // it creates the first window: about half of the start-up work. A user's
    // own choice stays.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) qputenv("QT_XCB_GL_INTEGRATION", "none");
}
