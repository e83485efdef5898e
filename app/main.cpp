#include <cstdio>
#include <string>

#include <QApplication>

#include "ProgramEnvironment.h"
#include "ProgramOptions.h"
#include "Vorq_Cam.h"

int main(int argc, char* argv[])
{
    switch (ProgramOptions::parse(argc, argv)) {
    case ProgramOptions::Action::ShowHelp: {
        const std::string name = argc > 0 && argv[0] ? argv[0] : "TELDORA_Vision_Desk_V1.0.0.5";
        std::fputs(ProgramOptions::helpText(name.substr(name.rfind('/') + 1)).c_str(), stdout);
        return 0;
    }
    case ProgramOptions::Action::ShowVersion:
        std::fputs(ProgramOptions::versionText().c_str(), stdout);
        return 0;
    case ProgramOptions::Action::Run:
        break;
    }
    ProgramEnvironment::prepare();
    QApplication app(argc, argv);
    // Desktops match the window to its menu entry and icon by this name.
    QApplication::setDesktopFileName(QStringLiteral("com.teldora.VisionDesk"));
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
