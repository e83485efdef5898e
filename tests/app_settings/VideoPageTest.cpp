#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "SettingVideoForm.h"
#include "SimCameraSetup.h"
#include "Vorq_SettingVideo.h"
#include "device/CameraDevice.h"

namespace {

// The page on a started camera, as the window leaves it after opening one.
struct StartedPage {
    SimCameraSetup sim;
    Vorq_SettingVideo page;
    const SettingVideoForm& f = page.form();

    explicit StartedPage(const QByteArray& config = "reboot_ms=600\n") : sim(config)
    {
        page.connectControls(CameraInfo());
        page.setCameraInfo(sim.info());
        page.captureState(true);
        page.bindCamera();
        page.show();
        sim.takeLog();
    }
};

void press(QPushButton* b) { QTest::mousePress(b, Qt::LeftButton); }
void release(QPushButton* b) { QTest::mouseRelease(b, Qt::LeftButton); }
void hold(QPushButton* b)
{
    press(b);
    release(b);
}
void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

void writeSetting(uint32_t selector, uint8_t value)
{
    QCOMPARE(mainDevice.xuProperty(selector, CameraDevice::Write, &value, 1), S_OK);
}

} // namespace

class VideoPageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { mainDevice.setDialogLibraryDirs({QStringLiteral(FAKE_PROPSHEET_NONE)}); }
    void everyControlWritesItsBytes();
    void motionNeverOutlivesTheHold();
    void refreshReadsInOrderAndWritesBack();
    void failedReadsChangeNothing();
    void versionText();
    void valueLabelHidesUnlessAtMinimum();
};

void VideoPageTest::everyControlWritesItsBytes()
{
    StartedPage s;
    hold(s.f.pushButton_zoomin);
    hold(s.f.pushButton_zoomout);
    hold(s.f.pushButton_right);
    hold(s.f.pushButton_left);
    hold(s.f.pushButton_up);
    hold(s.f.pushButton_down);
    press(s.f.pushButton_home);
    QCOMPARE_LINES(s.sim.takeWrites(),
                   (QStringList{"SET 5/12 01 00 06", "SET 5/12 00 00 00", "SET 5/12 ff 00 06", "SET 5/12 00 00 00",
                                "ctrl PAN_SPEED=5", "ctrl PAN_SPEED=0", "ctrl PAN_SPEED=-5", "ctrl PAN_SPEED=0",
                                "ctrl TILT_SPEED=5", "ctrl TILT_SPEED=0", "ctrl TILT_SPEED=-5", "ctrl TILT_SPEED=0",
                                "ctrl PAN_ABSOLUTE=0", "ctrl TILT_ABSOLUTE=0", "ctrl ZOOM_ABSOLUTE=0"}));

    // Manual exposure takes the value as a signed byte; 0 is automatic only.
    s.f.pushButton_FlipV->setChecked(true);
    s.f.pushButton_FlipH->setChecked(true);
    drag(s.f.horizontalSlider, -3);
    drag(s.f.horizontalSlider, 0);
    drag(s.f.horizontalSlider_DRC, 12);
    QCOMPARE_LINES(s.sim.takeWrites(), (QStringList{"SET 4/24 01", "SET 4/25 01", "SET 4/10 00", "SET 4/11 fd",
                                                    "SET 4/10 01", "ctrl CONTRAST=12"}));
    QCOMPARE(s.f.label_SliderValue_DRC->text(), QStringLiteral("12"));
    QCOMPARE(s.f.label_SliderValue_DRC->x(), int(12 * 200.0 / 14 + 10));

    // Automatic white balance (the camera's default) takes no negative
    // shift: nothing is written, the label waits mid-track.
    drag(s.f.horizontalSlider_RG, -4);
    QCOMPARE_LINES(s.sim.takeWrites(), QStringList());
    QCOMPARE(s.f.horizontalSlider_RG->minimum(), 0);
    QCOMPARE(s.f.label_SliderValue_RG->text(), QStringLiteral("-4"));
    QCOMPARE(s.f.label_SliderValue_RG->pos(), QPoint(110, 5));
    drag(s.f.horizontalSlider_BG, 6);
    // In manual, once back at 0 or above, the negative half is open again.
    mainDevice.setProcAmp(VideoProcAmp_WhiteBalance, 4600, VideoProcAmp_Flags_Manual);
    drag(s.f.horizontalSlider_RG, 2);
    QCOMPARE(s.f.horizontalSlider_RG->minimum(), -10);
    QCOMPARE(s.f.horizontalSlider_RG->value(), 2);
    drag(s.f.horizontalSlider_RG, -4);
    QCOMPARE_LINES(s.sim.takeWrites(), (QStringList{"SET 4/14 06", "ctrl AUTO_WHITE_BALANCE=0",
                                                    "ctrl WHITE_BALANCE_TEMPERATURE=4600", "SET 4/15 02",
                                                    "SET 4/15 fc"}));

    // The style pair: the checked one cannot be unchecked.
    QVERIFY(s.f.checkBox_Meeting->isChecked() && !s.f.checkBox_Meeting->isEnabled());
    click(s.f.checkBox_Live);
    QCOMPARE_LINES(s.sim.takeWrites(), QStringList{"SET 4/13 05"});
    QVERIFY(!s.f.checkBox_Live->isEnabled() && s.f.checkBox_Meeting->isEnabled());

    s.sim.dialogs.answerYes = false;
    click(s.f.label_restore_to_factory_settings);
    QCOMPARE_LINES(s.sim.dialogs.shown, QStringList{"question|Notice|Restore to default settings?"});
    QCOMPARE_LINES(s.sim.takeLog(), QStringList());
    s.sim.dialogs.answerYes = true;
    click(s.f.label_restore_to_factory_settings);
    QCOMPARE_LINES(s.sim.takeWrites().mid(0, 4), (QStringList{"SET 4/23 01", "ctrl PAN_ABSOLUTE=0",
                                                              "ctrl TILT_ABSOLUTE=0", "ctrl ZOOM_ABSOLUTE=0"}));
    // The refresh after the reset shows the camera's defaults.
    QVERIFY(!s.f.pushButton_FlipV->isChecked() && !s.f.pushButton_FlipH->isChecked());
    QVERIFY(s.f.checkBox_Meeting->isChecked() && !s.f.checkBox_Live->isChecked());

    // Without the dialog library the user is told, and the settings are read again.
    s.sim.dialogs.shown.clear();
    click(s.f.label_UVCSettings);
    QCOMPARE_LINES(s.sim.dialogs.shown, QStringList{"information|Notice|DLL is not loaded!"});
    QVERIFY(s.sim.takeLog().contains(QStringLiteral("GET 4/9")));
}

void VideoPageTest::motionNeverOutlivesTheHold()
{
    StartedPage s;
    QWidget elsewhere;
    elsewhere.show();
    QApplication::setActiveWindow(&s.page);
    QVERIFY(s.page.isActiveWindow());

    // The window loses focus while right is held; the late release adds nothing.
    press(s.f.pushButton_right);
    QApplication::setActiveWindow(&elsewhere);
    release(s.f.pushButton_right);
    press(s.f.pushButton_zoomout);
    s.page.hide();
    s.page.show();
    press(s.f.pushButton_up);
    s.page.captureState(false); // the camera is released
    QCOMPARE_LINES(s.sim.takeWrites(), (QStringList{"ctrl PAN_SPEED=5", "ctrl PAN_SPEED=0", "SET 5/12 ff 00 06",
                                                    "SET 5/12 00 00 00", "ctrl TILT_SPEED=5", "ctrl TILT_SPEED=0"}));

    // While no camera runs nothing is sent at all.
    for (QPushButton* b : {s.f.pushButton_up, s.f.pushButton_down, s.f.pushButton_left, s.f.pushButton_right,
                           s.f.pushButton_home, s.f.pushButton_zoomin, s.f.pushButton_zoomout})
        hold(b);
    drag(s.f.horizontalSlider, 3);
    s.page.pushButton_FlipV_checked(true);
    click(s.f.label_restore_to_factory_settings);
    click(s.f.label_UVCSettings);
    QCOMPARE_LINES(s.sim.takeLog(), QStringList());
    QCOMPARE_LINES(s.sim.dialogs.shown, QStringList());
    QVERIFY(!s.f.ExposureBox->isEnabled() && !s.f.pushButton_FlipH->isEnabled());
}

void VideoPageTest::refreshReadsInOrderAndWritesBack()
{
    StartedPage s;
    mainDevice.setProcAmp(VideoProcAmp_WhiteBalance, 4600, VideoProcAmp_Flags_Manual);
    mainDevice.setProcAmp(VideoProcAmp_Contrast, 11, VideoProcAmp_Flags_Manual);
    writeSetting(CameraDevice::XU_FLIP_H, 1);
    writeSetting(CameraDevice::XU_EXPOSURE, 0xFB);
    writeSetting(CameraDevice::XU_RED_SHIFT, 0xFE);
    writeSetting(CameraDevice::XU_BLUE_SHIFT, 3);
    writeSetting(CameraDevice::XU_IMAGE_STYLE, 5);
    s.sim.takeLog();

    QSignalSpy versions(&s.page, &Vorq_SettingVideo::versionInfo);
    QSignalSpy checks(&s.page, &Vorq_SettingVideo::checkUpStatus);
    s.page.setCameraInfo(s.sim.info(0, QStringLiteral("Halvern HX-LNK-002")));
    s.page.refreshSettings();
    QCOMPARE(versions.takeFirst().at(0).toString(), QStringLiteral("FW: 1.0.3"));
    QCOMPARE(checks.count(), 1);
    QStringList reads;
    for (const QString& line : s.sim.takeLog())
        if (line.startsWith(QLatin1String("GET ")) || line.startsWith(QLatin1String("SET ")) ||
            line.contains(QLatin1String("CONTRAST")))
            reads << line;
    // Each read, then what its handler writes back.
    QCOMPARE_LINES(reads, (QStringList{"GET 4/9", "GET 4/25", "SET 4/25 01", "GET 4/24", "GET 4/11", "SET 4/10 00",
                                       "SET 4/11 fb", "get CONTRAST", "range CONTRAST", "ctrl CONTRAST=11", "GET 4/15",
                                       "SET 4/15 fe", "GET 4/14", "SET 4/14 03", "GET 4/13", "SET 4/13 05"}));
    QVERIFY(s.f.pushButton_FlipH->isChecked() && !s.f.pushButton_FlipV->isChecked());
    QCOMPARE(s.f.horizontalSlider->value(), -5);
    QCOMPARE(s.f.horizontalSlider_DRC->value(), 11);
    QCOMPARE(s.f.horizontalSlider_RG->value(), -2);
    QCOMPARE(s.f.horizontalSlider_BG->value(), 3);
    QVERIFY(s.f.checkBox_Live->isChecked());
}

void VideoPageTest::failedReadsChangeNothing()
{
    StartedPage s;
    s.f.pushButton_FlipH->setChecked(true);
    s.f.pushButton_FlipV->setChecked(true);
    QSignalSpy versions(&s.page, &Vorq_SettingVideo::versionInfo);
    s.sim.takeLog();

    // The camera answers the device information, then vanishes: nothing
    // left in the shared buffer may be taken for a setting and written back.
    s.sim.configure("unplug_after=1\n");
    s.page.refreshSettings();
    QCOMPARE(versions.takeFirst().at(0).toString(), QStringLiteral("1.0.3"));
    QCOMPARE_LINES(s.sim.takeWrites(), QStringList());
    QVERIFY(s.f.pushButton_FlipH->isChecked() && s.f.pushButton_FlipV->isChecked());
    QCOMPARE(s.f.horizontalSlider->value(), 0);

    s.page.refreshSettings();
    QCOMPARE(versions.takeFirst().at(0).toString(), QStringLiteral("Get device info failed!"));
}

void VideoPageTest::versionText()
{
    auto text = [](const char* info, const char* description) {
        return Vorq_SettingVideo::versionText(QByteArray(info), QString::fromLatin1(description));
    };
    QCOMPARE(text("TX42:1.0.0.5:SN1", "TELDORA TX42"), QStringLiteral("1.0.0.5"));
    QCOMPARE(text("TX42:1.0.0.5:SN1", "Conference HX-LNK-002"), QStringLiteral("FW: 1.0.0.5"));
    QCOMPARE(text("TX42:1.0.0.5:SN1", "Halvern Room"), QStringLiteral("FW: 1.0.0.5"));
    QCOMPARE(text("TX42:1.0.0.5:SN1", "halvern room"), QStringLiteral("1.0.0.5"));
    // No field separator: the whole text is what the camera says.
    QCOMPARE(text("TX42-2.1", "Halvern Room"), QStringLiteral("FW: TX42-2.1"));
    QCOMPARE(text("TX42::x", "TELDORA"), QString());
    QCOMPARE(Vorq_SettingVideo::versionText(QByteArray("M:2.0\0:junk", 11), QString()), QStringLiteral("2.0"));
}

void VideoPageTest::valueLabelHidesUnlessAtMinimum()
{
    StartedPage s;
    drag(s.f.horizontalSlider, 4);
    drag(s.f.horizontalSlider_DRC, 0);
    QVERIFY(s.f.label_SliderValue->isVisible());
    QTRY_VERIFY(!s.f.label_SliderValue->isVisible());
    // Released at its minimum, before the other timer ran out: it stays.
    QVERIFY(s.f.label_SliderValue_DRC->isVisible());
}

QObject* newVideoPageTest() { return new VideoPageTest; }

#include "VideoPageTest.moc"
