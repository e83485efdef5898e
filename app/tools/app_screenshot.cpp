// Saves a picture of the main window as the user sees it: the sole camera
// opened and previewing. Used by scripts/screenshot.
//   vorq_app_screenshot <output.png> [wait ms, default 1500] [view]
// Views besides the window: "cameras" (the open camera list), "volume" (both
// level popups at 100), "properties" (both pages of the properties dialog,
// saved as <output>-1.png and <output>-2.png), "recording" (a recording
// under way), "presets" (the video page with three preset slots filled).

#include <cstdio>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "UserDialogs.h"
#include "VolumePopup.h"
#include "Vorq_Cam.h"
#include "Vorq_CamForm.h"
#include "PtzPresetRow.h"
#include "Vorq_SettingVideo.h"
#include "device/CameraDevice.h"

namespace {

// Answers every question of the program without showing anything.
class SilentDialogs : public UserDialogs {
public:
    explicit SilentDialogs(QString file) : file_(std::move(file)) {}
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return file_; }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return QString(); }
    void information(QWidget*, const QString&, const QString&) override {}
    void warning(QWidget*, const QString&, const QString&) override {}
    bool question(QWidget*, const QString&, const QString&) override { return false; }

private:
    QString file_;
};

bool save(const QPixmap& picture, const QString& path)
{
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s: %dx%d\n", qPrintable(path), picture.width(), picture.height());
    return true;
}

void click(QWidget* widget)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vorq_app_screenshot <output.png> [wait ms] [view]\n");
        return 2;
    }
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(ui);
    const QString output = QString::fromLocal8Bit(argv[1]);
    const int waitMs = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1500;
    const QString view = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    QTemporaryDir scratch;
    SilentDialogs dialogs(scratch.filePath(QStringLiteral("recording.mp4")));
    UserDialogs::install(&dialogs);
    int result = 1;
    {
        Vorq_Cam window;
        window.show();
        if (window.selectedIndex() > 0) window.form()->pushButton_preview->setChecked(true);
        if (view == QLatin1String("recording")) window.form()->bt_record->setChecked(true);
        QTimer::singleShot(waitMs, [&] {
            if (view == QLatin1String("cameras")) {
                window.form()->comboBox->showPopup();
                QTimer::singleShot(300, [&] {
                    QWidget* popup = window.form()->comboBox->view()->window();
                    result = save(popup->grab(), output) ? 0 : 1;
                    window.form()->comboBox->hidePopup();
                    app.quit();
                });
                return;
            }
            if (view == QLatin1String("properties")) {
                QTimer::singleShot(500, [&] {
                    QWidget* dialog = QApplication::activeModalWidget();
                    auto* tabs = dialog ? dialog->findChild<QTabWidget*>() : nullptr;
                    if (tabs) {
                        bool ok = true;
                        for (int page = 0; page < tabs->count(); ++page) {
                            tabs->setCurrentIndex(page);
                            ok = save(dialog->grab(), QString(output).replace(QStringLiteral(".png"),
                                                                             QStringLiteral("-%1.png").arg(page + 1))) &&
                                 ok;
                        }
                        result = ok ? 0 : 1;
                    }
                    if (dialog) dialog->close();
                    app.quit();
                });
                click(window.videoSettings()->findChild<QLabel*>(QStringLiteral("label_UVCSettings")));
                return;
            }
            if (view == QLatin1String("presets")) {
                // Three slots filled at three zoom levels, each with its picture.
                PtzPresetRow* row = window.videoSettings()->presetRow();
                CameraDevice camera(GUID_NULL);
                if (camera.openDevice(window.openedCamera().deviceName()) == 0 && camera.cameraControl()) {
                    for (int slot = 1; slot <= 3; ++slot) {
                        camera.cameraControl()->Set(CameraControl_Zoom, (slot - 1) * 40, CameraControl_Flags_Manual);
                        row->save(slot);
                    }
                }
            }
            if (view == QLatin1String("volume")) {
                for (VolumePopup* popup : {window.speakerPopup(), window.microphonePopup()}) {
                    popup->slider()->show();
                    popup->slider()->setValue(100);
                    popup->sliderMoved(100);
                }
            }
            result = save(window.grab(), output) ? 0 : 1;
            if (view == QLatin1String("recording")) window.form()->bt_record->setChecked(false);
            app.quit();
        });
        app.exec();
    }
    UserDialogs::install(nullptr);
    Q_CLEANUP_RESOURCE(ui);
    return result;
}
