// The microphone level meter against the test sound server: a sine source
// moves it, a silent one does not, and it listens only while its popup is
// open.

#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <atomic>

#include "../support/PrivateHome.h"
#include "VolumePopup.h"
#include "WindowFixture.h"
#include "platform/PeakMeter.h"

using namespace window_test;
using vorq::platform::PeakMeter;

namespace {

QString pactl(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    if (!p.waitForFinished(10000) || p.exitCode() != 0) return QString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace

class LevelMeterTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(ui);
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) QSKIP("needs the test sound server (./test.sh starts it)");
        module = pactl({QStringLiteral("load-module"), QStringLiteral("module-sine-source"),
                        QStringLiteral("source_name=vorq_meter_sine"), QStringLiteral("frequency=440"),
                        QStringLiteral("source_properties=device.description=MeterTest")});
        QVERIFY(!module.isEmpty());
    }

    void cleanupTestCase()
    {
        if (!module.isEmpty()) pactl({QStringLiteral("unload-module"), module});
    }

    // The sine source peaks near full scale; the null source stays silent.
    void peaksFollowTheSource()
    {
        std::atomic<float> sine{0}, silent{-1};
        std::atomic<int> sineCount{0};
        auto a = PeakMeter::start("MeterTest", 10, 2000, [&](float p) { sine = p; ++sineCount; });
        auto b = PeakMeter::start("麦克风 (TELDORA TX42)", 10, 2000, [&](float p) { silent = p; });
        QVERIFY(a && b);
        QTRY_VERIFY_WITH_TIMEOUT(sine > 0.2f, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(silent >= 0, 10000);
        QCOMPARE(float(silent), 0.0f);
        QCOMPARE(a->sourceName(), std::string("vorq_meter_sine"));
        QCOMPARE(b->sourceName(), std::string("vorq_mic"));
        // Destroyed: no more peaks.
        a.reset();
        const int after = sineCount;
        QTest::qWait(400);
        QCOMPARE(int(sineCount), after);
        QVERIFY(!PeakMeter::start("x", 0, 1000, [](float) {}));
    }

    void popupMeterRunsWhileOpen()
    {
        QWidget window;
        window.resize(400, 300);
        QPushButton button(&window);
        button.setCheckable(true);
        VolumePopup popup(&window, &button,
                          {QRect(10, 10, 52, 100), QRect(30, 83, 16, 22), QString(), QString(),
                           [](float& l) { l = 50; return 0; }, [](float) { return 0; }, QStringLiteral("MeterTest")});
        window.show();
        QVERIFY(popup.levelMeter() && !popup.meterRunning() && popup.levelMeter()->isHidden());
        button.setChecked(true);
        QVERIFY(popup.meterRunning());
        QTRY_VERIFY_WITH_TIMEOUT(popup.levelMeter()->value() > 20, 10000);
        button.setChecked(false);
        QVERIFY(!popup.meterRunning() && popup.levelMeter()->isHidden());
        QCOMPARE(popup.levelMeter()->value(), 0);
    }

    // The program's microphone popup has the meter, the speaker's the tone,
    // which plays through the server and can be played again.
    void windowPopups()
    {
        const PrivateHome home;
        auto w = makeWindow();
        QVERIFY(!w->speakerPopup()->levelMeter() && !w->microphonePopup()->toneButton());
        QVERIFY(w->microphonePopup()->levelMeter());
        QVERIFY(!w->microphonePopup()->meterRunning());
        QPushButton* tone = w->speakerPopup()->toneButton();
        QVERIFY(tone && tone->isHidden());
        w->form()->bt_volume->setEnabled(true);
        w->form()->bt_volume->setChecked(true);
        QVERIFY(tone->isVisible());
        QSignalSpy played(w->speakerPopup(), &VolumePopup::tonePlayed);
        for (int round = 1; round <= 2; ++round) {
            QTest::mouseClick(tone, Qt::LeftButton);
            QVERIFY(!tone->isEnabled());
            QTRY_COMPARE_WITH_TIMEOUT(played.count(), round, 10000);
            QCOMPARE(played.last().at(0).toBool(), true);
            QVERIFY(tone->isEnabled());
        }
    }

private:
    QString module;
};

QTEST_MAIN(LevelMeterTest)
#include "tst_level_meter.moc"
