// Saves a picture of the main window as the user sees it: the sole camera
// opened and previewing. Used by scripts/screenshot.
//   vorq_app_screenshot <output.png> [wait ms, default 1500]

#include <cstdio>

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include "Vorq_Cam.h"
#include "Vorq_CamForm.h"

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vorq_app_screenshot <output.png> [wait ms]\n");
        return 2;
    }
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(ui);
    const QString output = QString::fromLocal8Bit(argv[1]);
    const int waitMs = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1500;
    int result = 1;
    {
        Vorq_Cam window;
        window.show();
        if (window.selectedIndex() > 0) window.form()->pushButton_preview->setChecked(true);
        QTimer::singleShot(waitMs, [&] {
            const QPixmap picture = window.grab();
            if (picture.save(output, "PNG")) {
                std::printf("%s: %dx%d, camera %s\n", qPrintable(output), picture.width(), picture.height(),
                            window.selectedIndex() > 0 ? "opened" : "not opened");
                result = 0;
            } else {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
            }
            app.quit();
        });
        app.exec();
    }
    Q_CLEANUP_RESOURCE(ui);
    return result;
}
