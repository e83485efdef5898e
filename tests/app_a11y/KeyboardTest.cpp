#include <atomic>

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QtTest>

#include "A11yFixture.h"
#include "SettingVideoForm.h"
#include "VolumePopup.h"
#include "Vorq_CamForm.h"
#include "Vorq_SettingVideo.h"
#include "device/CameraDevice.h"

using namespace a11y_test;

namespace {

// The video page on a started simulated camera, in an active window so
// focus changes arrive as they do for a user.
struct StartedPage {
    SimCameraSetup sim;
    Vorq_SettingVideo page;
    const SettingVideoForm& f = page.form();

    StartedPage()
    {
        page.connectControls(CameraInfo());
        page.setCameraInfo(sim.info());
        page.captureState(true);
        page.bindCamera();
        page.show();
        QApplication::setActiveWindow(&page);
        sim.takeLog();
    }
};

void key(QWidget* w, QEvent::Type type, int k, bool autoRepeat = false)
{
    QKeyEvent event(type, k, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(w, &event);
}
void press(QWidget* w, int k, bool autoRepeat = false) { key(w, QEvent::KeyPress, k, autoRepeat); }
void release(QWidget* w, int k, bool autoRepeat = false) { key(w, QEvent::KeyRelease, k, autoRepeat); }

// The widgets Tab visits from `start` until it comes round again.
QList<QWidget*> tabCycle(QWidget* start)
{
    QList<QWidget*> seen;
    start->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 200; ++i) {
        QWidget* now = QApplication::focusWidget();
        if (!now || (i > 0 && now == start)) break;
        seen << now;
        QTest::keyClick(now, Qt::Key_Tab);
    }
    return seen;
}
} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { mainDevice.setDialogLibraryDirs({QStringLiteral(FAKE_PROPSHEET_NONE)}); }
    void padKeysHoldToMove();
    void padKeyHoldEndsWithFocus();
    void slidersAndLinksFromKeyboard();
    void escapeClosesVolumePopup();
    void tabReachesTheWindowControls();
    void focusIsVisible();
};

void KeyboardTest::padKeysHoldToMove()
{
    StartedPage s;
    QPushButton* pad = s.f.pushButton_home;
    pad->setFocus(Qt::TabFocusReason);

    // A held key repeats; only its first press and last release count.
    press(pad, Qt::Key_Up);
    QVERIFY(s.f.pushButton_up->isDown());
    press(pad, Qt::Key_Up, true);
    release(pad, Qt::Key_Up, true);
    press(pad, Qt::Key_Up, true);
    release(pad, Qt::Key_Up);
    QVERIFY(!s.f.pushButton_up->isDown());
    for (int k : {Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_Plus, Qt::Key_Minus}) {
        press(pad, k);
        release(pad, k);
    }
    QCOMPARE_LINES(s.sim.takeWrites(),
                   (QStringList{"ctrl TILT_SPEED=5", "ctrl TILT_SPEED=0", "ctrl TILT_SPEED=-5", "ctrl TILT_SPEED=0",
                                "ctrl PAN_SPEED=-5", "ctrl PAN_SPEED=0", "ctrl PAN_SPEED=5", "ctrl PAN_SPEED=0",
                                "SET 5/12 01 00 06", "SET 5/12 00 00 00", "SET 5/12 ff 00 06", "SET 5/12 00 00 00"}));
    // The keys stay on the pad: the focus did not wander with the arrows.
    QCOMPARE(QApplication::focusWidget(), pad);

    // One key moves at a time: a second key while one is held does nothing,
    // and its release does not stop the first.
    press(pad, Qt::Key_Left);
    press(pad, Qt::Key_Up);
    release(pad, Qt::Key_Up);
    release(pad, Qt::Key_Left);
    QCOMPARE_LINES(s.sim.takeWrites(), (QStringList{"ctrl PAN_SPEED=-5", "ctrl PAN_SPEED=0"}));
}

void KeyboardTest::padKeyHoldEndsWithFocus()
{
    StartedPage s;
    s.f.pushButton_up->setFocus(Qt::TabFocusReason);
    press(s.f.pushButton_up, Qt::Key_Right);
    s.f.horizontalSlider->setFocus(Qt::TabFocusReason);
    QVERIFY(!s.f.pushButton_right->isDown());
    // The late release lands elsewhere and adds nothing.
    release(s.f.horizontalSlider, Qt::Key_Right);
    s.f.pushButton_up->setFocus(Qt::TabFocusReason);
    press(s.f.pushButton_up, Qt::Key_Minus);
    s.page.hide();
    QCOMPARE_LINES(s.sim.takeWrites(), (QStringList{"ctrl PAN_SPEED=5", "ctrl PAN_SPEED=0", "SET 5/12 ff 00 06",
                                                    "SET 5/12 00 00 00"}));
    // The key's release after the stop does not start or stop anything.
    s.page.show();
    release(s.f.pushButton_up, Qt::Key_Minus);
    QCOMPARE_LINES(s.sim.takeWrites(), QStringList());
}

void KeyboardTest::slidersAndLinksFromKeyboard()
{
    StartedPage s;
    // A keyboard step is written like a drag to the same place.
    QSlider* exposure = s.f.horizontalSlider;
    exposure->setValue(0);
    exposure->setFocus(Qt::TabFocusReason);
    QTest::keyClick(exposure, Qt::Key_Right);
    QCOMPARE(exposure->value(), 1);
    QTest::keyClick(s.f.horizontalSlider_DRC, Qt::Key_End);
    QCOMPARE_LINES(s.sim.takeWrites(), (QStringList{"SET 4/10 00", "SET 4/11 01", "ctrl CONTRAST=14"}));
    QCOMPARE(s.f.label_SliderValue->text(), QStringLiteral("1"));

    // The links answer Space and Enter as they answer a click.
    s.sim.dialogs.answerYes = false;
    s.f.label_restore_to_factory_settings->setFocus(Qt::TabFocusReason);
    QTest::keyClick(s.f.label_restore_to_factory_settings, Qt::Key_Space);
    QTest::keyClick(s.f.label_UVCSettings, Qt::Key_Return);
    QCOMPARE_LINES(s.sim.dialogs.shown, (QStringList{"question|Notice|Restore to default settings?",
                                                     "information|Notice|DLL is not loaded!"}));
}

void KeyboardTest::escapeClosesVolumePopup()
{
    QWidget window;
    QPushButton button(&window);
    button.setCheckable(true);
    button.setFocusPolicy(Qt::TabFocus);
    std::atomic<float> level{50};
    VolumePopup popup(&window, &button,
                      {QRect(100, 10, 45, 100), QRect(30, 83, 30, 22), QString(), QString(),
                       [&](float& l) {
                           l = level;
                           return 0;
                       },
                       [&](float l) {
                           level = l;
                           return 1;
                       }});
    window.show();
    QApplication::setActiveWindow(&window);
    // The level is read off the GUI thread.
    QTRY_COMPARE(popup.slider()->value(), 50);

    // Opened from the keyboard, the slider stays while it has the focus and
    // sets the level with the arrows.
    button.setFocus(Qt::TabFocusReason);
    QTest::keyClick(&button, Qt::Key_Space);
    QVERIFY(popup.slider()->isVisible());
    QTest::keyClick(&button, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), popup.slider());
    QTest::keyClick(popup.slider(), Qt::Key_Up);
    QTRY_COMPARE(level.load(), 51.0f);
    QCOMPARE(popup.valueLabel()->text(), QStringLiteral("51"));
    QMetaObject::invokeMethod(popup.hideTimer(), "timeout");
    QVERIFY(popup.slider()->isVisible());

    QTest::keyClick(popup.slider(), Qt::Key_Escape);
    QVERIFY(popup.slider()->isHidden());
    QVERIFY(!button.isChecked());
    QVERIFY(!popup.hideTimer()->isActive());
    QCOMPARE(QApplication::focusWidget(), &button);

    // Escape on the button closes an open popup too, and leaves a closed one be.
    QTest::keyClick(&button, Qt::Key_Space);
    QVERIFY(popup.slider()->isVisible());
    QTest::keyClick(&button, Qt::Key_Escape);
    QVERIFY(popup.slider()->isHidden());
    QVERIFY(!button.isChecked());
    QTRY_COMPARE(popup.slider()->value(), 51);
    QCOMPARE(level.load(), 51.0f);
}

void KeyboardTest::tabReachesTheWindowControls()
{
    OpenWindow open;
    Vorq_Cam& w = *open.window;
    const Vorq_CamForm& f = *w.form();
    f.pushButton_preview->setChecked(true);
    QVERIFY(f.bt_shot->isEnabled());

    // The page buttons are one stop, as an exclusive group is in Qt: Tab
    // lands on the shown page's button, the arrows pick another page.
    const QList<QWidget*> cycle = tabCycle(f.bt_video);
    const QList<QWidget*> expected{f.bt_video,      w.videoSettings()->form().pushButton_up,
                                   f.pushButton_preview, f.bt_volume,
                                   f.bt_microphone, f.bt_shot,
                                   f.bt_record,     f.comboBox};
    int last = -1;
    for (QWidget* wanted : expected) {
        const int at = cycle.indexOf(wanted);
        QVERIFY2(at > last, qPrintable(wanted->objectName()));
        last = at;
    }

    f.bt_video->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f.bt_video, Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), f.bt_audio);
    QVERIFY(f.bt_audio->isChecked());
    QCOMPARE(f.settingWidget->currentIndex(), 1);
    auto* audioSwitch = w.findChild<QPushButton*>(QStringLiteral("pushButton_Audio"));
    const QList<QWidget*> audioCycle = tabCycle(f.bt_audio);
    QVERIFY(audioCycle.contains(audioSwitch));
    QVERIFY(!audioCycle.contains(w.videoSettings()->form().pushButton_up));
    // Space on the group's stop shows that page as a click does.
    f.bt_upgrade->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f.bt_upgrade, Qt::Key_Space);
    QCOMPARE(f.settingWidget->currentIndex(), 3);

    // An open volume popup is next after its button.
    f.bt_volume->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f.bt_volume, Qt::Key_Space);
    QVERIFY(w.speakerPopup()->slider()->isVisible());
    QTest::keyClick(f.bt_volume, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.speakerPopup()->slider());
}

void KeyboardTest::focusIsVisible()
{
    OpenWindow open;
    Vorq_Cam& w = *open.window;
    const Vorq_CamForm& f = *w.form();
    f.pushButton_preview->setChecked(true);
    const SettingVideoForm& video = w.videoSettings()->form();
    // Buttons drawn from pictures and the links show where the keyboard is.
    for (QWidget* target : std::initializer_list<QWidget*>{video.pushButton_up, video.pushButton_FlipV,
                                                           video.label_UVCSettings, f.pushButton_preview, f.bt_shot}) {
        f.comboBox->setFocus(Qt::TabFocusReason);
        const QImage before = target->grab().toImage();
        target->setFocus(Qt::TabFocusReason);
        QVERIFY(target->hasFocus());
        QVERIFY2(target->grab().toImage() != before, qPrintable(target->objectName()));
    }
}

QObject* newKeyboardTest() { return new KeyboardTest; }

#include "KeyboardTest.moc"
