// The program against the built-in simulated camera: how many are plugged in,
// a camera that vanishes and comes back, and a recording end to end.

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "Vorq_settingUpgrade.h"
#include "../support/PrivateHome.h"
#include "WindowFixture.h"
#include "medialib/Vorq_Medialib.h"

using namespace window_test;

class SimulatedCameraTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(ui);
        QVERIFY(state.isValid());
        qputenv("VORQ_SIM", state.path().toLocal8Bit());
    }

    void cleanup() { configure("cameras=1\n"); }

    void startStates_data()
    {
        QTest::addColumn<QString>("conf");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("rows");
        QTest::newRow("none") << "cameras=1\nunplugged=1\n" << 0 << 1;
        QTest::newRow("one") << "cameras=1\n" << 1 << 2;
        QTest::newRow("two") << "cameras=2\n" << 0 << 3;
    }

    void startStates()
    {
        QFETCH(QString, conf);
        QFETCH(int, selected);
        QFETCH(int, rows);
        configure(conf);
        auto w = makeWindow();
        QCOMPARE(w->selectedIndex(), selected);
        QCOMPARE(w->isCaptureActive(), selected > 0);
        QCOMPARE(w->form()->comboBox->count(), rows);
        QCOMPARE(w->form()->pushButton_preview->isHidden(), selected == 0);
        QVERIFY(!anyMediaButtonEnabled(*w));
    }

    void vanishAndReturn()
    {
        configure("cameras=1\n");
        auto w = makeWindow();
        w->form()->pushButton_preview->setChecked(true);
        QVERIFY(w->mediaEngine()->CaptureIsOpen());
        QSignalSpy ids(w.get(), &Vorq_Cam::cameraId);
        QSignalSpy reboots(w.get(), &Vorq_Cam::signalReboot);

        configure("cameras=1\nunplugged=1\n");
        scan(*w);
        QVERIFY(!w->mediaEngine()->CaptureIsOpen());
        QCOMPARE(w->selectedIndex(), 0);
        QVERIFY(!w->isCaptureActive());
        QVERIFY(!w->form()->pushButton_preview->isChecked());
        QCOMPARE(reboots.count(), 1);
        QCOMPARE(reboots.at(0).at(0).toBool(), false);
        QVERIFY(!Vorq_settingUpgrade::instance()->captureOn());
        QCOMPARE(comboRows(*w), QStringList{"No camera selected"});
        QVERIFY(!anyMediaButtonEnabled(*w));
        QCOMPARE(ids.count(), 1);
        QCOMPARE(ids.at(0).at(0).toInt(), -1);

        configure("cameras=1\n");
        scan(*w);
        QCOMPARE(w->selectedIndex(), 1);
        QVERIFY(w->isCaptureActive());
        QVERIFY(!w->form()->pushButton_preview->isChecked());
        QVERIFY(!w->mediaEngine()->CaptureIsOpen());
        QCOMPARE(ids.count(), 2);
        QCOMPARE(ids.at(1).at(0).toInt(), 0);
    }

    void secondCameraPluggedInWhileOneIsOpen()
    {
        configure("cameras=2\ncam1.unplugged=1\n");
        auto w = makeWindow();
        QCOMPARE(w->selectedIndex(), 1);
        QSignalSpy reboots(w.get(), &Vorq_Cam::signalReboot);
        configure("cameras=2\n");
        scan(*w);
        QCOMPARE(w->form()->comboBox->count(), 3);
        QCOMPARE(w->selectedIndex(), 1);
        QVERIFY(w->isCaptureActive());
        QCOMPARE(reboots.count(), 0);
    }

    void recordingTwoSeconds()
    {
        configure("cameras=1\n");
        ScriptedDialogs dialogs;
        auto w = makeWindow();
        w->form()->pushButton_preview->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(!w->lastPreviewFrame().isNull(), 15000);
        QCOMPARE(w->lastPreviewFrame().size(), QSize(800, 600));
        // Any name the dialog gives reaches the engine intact.
        const QString path = state.filePath(QStringLiteral("clip 录像 é.mp4"));
        dialogs.fileAnswers = QStringList{path};
        QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
        QVERIFY(w->form()->bt_record->isChecked());
        QVERIFY(w->recordingTimer() && w->recordingTimer()->isActive());
        QCOMPARE(dialogs.fileRequests.last().caption, QStringLiteral("Please select video save path"));
        QCOMPARE(dialogs.fileRequests.last().filter, QStringLiteral("MP4(*.mp4)"));
        QTest::qWait(2000);
        QVERIFY(w->form()->label_recordTime->text().startsWith(QStringLiteral("00:00:0")));

        QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
        QVERIFY(!w->recordingTimer());
        QCOMPARE(w->form()->label_recordTime->text(), QString());
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].title, QStringLiteral("Notice"));
        QCOMPARE(dialogs.messages[0].text, QStringLiteral("Video save successful "));

        QProcess probe;
        probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                                QStringLiteral("stream=codec_type:format=duration"), QStringLiteral("-of"),
                                                QStringLiteral("default=nw=1"), path});
        QVERIFY(probe.waitForFinished(20000));
        const QString out = QString::fromUtf8(probe.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("codec_type=video")) && out.contains(QStringLiteral("codec_type=audio")),
                 qPrintable(out));
        const double seconds = out.section(QStringLiteral("duration="), 1).section('\n', 0, 0).toDouble();
        QVERIFY2(seconds > 1.0 && seconds < 5.0, qPrintable(out));
    }

private:
    void configure(const QString& conf)
    {
        QFile file(state.filePath(QStringLiteral("sim.conf")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(conf.toUtf8());
    }

    // Recordings proposed in the videos folder, camera settings kept: none in the real home.
    const PrivateHome home;
    QTemporaryDir state;
};

QTEST_MAIN(SimulatedCameraTest)
#include "tst_simulated.moc"
