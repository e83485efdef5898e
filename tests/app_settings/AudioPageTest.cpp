#include <QPushButton>
#include <QtTest>

#include "SettingAudioForm.h"
#include "SimCameraSetup.h"
#include "Vorq_settingAudio.h"
#include "device/CameraDevice.h"

class AudioPageTest : public QObject {
    Q_OBJECT
private slots:
    void audioChangeRebootsTheCamera();
};

void AudioPageTest::audioChangeRebootsTheCamera()
{
    SimCameraSetup sim("reboot_ms=1500\n");
    // Built before any camera is bound: both switches read as off.
    mainDevice.openDevice(QStringLiteral("no camera"));
    Vorq_settingAudio page;
    QPushButton* audio = page.form().pushButton_Audio;
    QVERIFY(!audio->isChecked() && !page.form().pushButton_Audio_Algo->isChecked());
    QVERIFY(!audio->isEnabled());

    mainDevice.openDevice(sim.info().deviceName());
    page.show();
    page.captureState(true);
    page.readAudioStates();
    QVERIFY(audio->isChecked());
    sim.takeLog();

    // The window releases the camera on audioReboot; nothing may have been
    // written by then.
    QStringList writesAtRelease{"not released"};
    int releases = 0;
    connect(&page, &Vorq_settingAudio::audioReboot, &page, [&] {
        ++releases;
        writesAtRelease = sim.takeWrites();
        page.captureState(false);
    });
    sim.dialogs.answerYes = false;
    QTest::mouseClick(audio, Qt::LeftButton);
    QCOMPARE_LINES(sim.dialogs.shown, QStringList{"question|Notice|Reboot to turn off Audio?"});
    QVERIFY(audio->isChecked());
    QCOMPARE_LINES(sim.takeLog(), QStringList());
    QCOMPARE_LINES(writesAtRelease, QStringList{"not released"});

    sim.dialogs.answerYes = true;
    QTest::mouseClick(audio, Qt::LeftButton);
    QCOMPARE_LINES(writesAtRelease, QStringList());
    QCOMPARE_LINES(sim.takeWrites(), QStringList{"SET 4/26 00"});
    QVERIFY(!audio->isChecked() && !audio->isEnabled());
    QVERIFY(!page.form().pushButton_Audio_Algo->isChecked() && !page.form().pushButton_Audio_Algo->isEnabled());

    // The camera restarts: gone from the walk for a while, then back with
    // its audio off, which opening it again shows.
    QVERIFY(!sim.listed());
    QTRY_VERIFY_WITH_TIMEOUT(sim.listed(), 10000);
    QCOMPARE(mainDevice.openDevice(sim.info().deviceName()), S_OK);
    page.captureState(true);
    page.readAudioStates();
    QVERIFY(!audio->isChecked());
    QVERIFY(page.form().pushButton_Audio_Algo->isChecked());

    // The algorithm switch neither asks nor releases the camera.
    sim.dialogs.shown.clear();
    sim.takeLog();
    QTest::mouseClick(page.form().pushButton_Audio_Algo, Qt::LeftButton);
    QTest::mouseClick(page.form().pushButton_Audio_Algo, Qt::LeftButton);
    QCOMPARE_LINES(sim.takeWrites(), (QStringList{"SET 4/27 00", "SET 4/27 01"}));
    QCOMPARE_LINES(sim.dialogs.shown, QStringList());
    QCOMPARE(releases, 1);
}

QObject* newAudioPageTest() { return new AudioPageTest; }

#include "AudioPageTest.moc"
