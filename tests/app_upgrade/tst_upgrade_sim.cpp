// The page driving the real engine against the simulated camera.
#include <memory>

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "ScriptedUpgradeDialogs.h"
#include "UpgradePageProbe.h"

using Probe = UpgradePageProbe;

class UpgradeSimTest : public QObject {
    Q_OBJECT

    QTemporaryDir simState;
    QTemporaryDir files;
    std::unique_ptr<ScriptedUpgradeDialogs> dialogs;
    Vorq_settingUpgrade* page = nullptr;
    std::unique_ptr<Probe> probe;

    QString information()
    {
        page->form()->pushButton_info->click();
        return probe->shownText();
    }

private slots:
    void initTestCase()
    {
        if (!QFileInfo::exists(QStringLiteral(REAL_ENGINE_DIR "/libcamfw_flash.so"))) QSKIP("no upgrade engine built");
        QVERIFY(!Probe::writeFile(simState.filePath(QStringLiteral("sim.conf")), "reboot_ms=500\n").isEmpty());
        qputenv("VORQ_SIM", QFile::encodeName(simState.path()));
        qunsetenv("VORQ_SIM_SOCKET");
        dialogs = std::make_unique<ScriptedUpgradeDialogs>();
        page = Vorq_settingUpgrade::instance();
        probe = std::make_unique<Probe>(page);
        page->setEngineLocation({QStringLiteral("camfw_flash"), {QStringLiteral(REAL_ENGINE_DIR)}});
        page->onCameraIDChange(0);
        page->captureState(true);
    }

    void cleanupTestCase()
    {
        probe.reset();
        delete page;
        dialogs.reset();
    }

    void upgradesAndComesBackWithTheNewVersion_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("image") << "Lynx-A_v1.2.0.img" << "1.2.0" << true;
        QTest::newRow("package") << "Lynx-A_v1.3.0.pkg" << "1.3.0" << true;
        QTest::newRow("another model's image") << "Other_v9.0.0.img" << "1.3.0" << false;
    }

    void upgradesAndComesBackWithTheNewVersion()
    {
        QFETCH(QString, file);
        QFETCH(bool, succeeds);
        if (QTest::currentDataTag() == QLatin1String("image")) {
            const QString before = information();
            QVERIFY2(before.contains(QStringLiteral("Lynx-A")) && before.contains(QStringLiteral("Soc Version:1.0.3")),
                     qPrintable(before));
            QVERIFY(!before.contains(QStringLiteral("exit")));
        }
        // Several packets' worth, so the transfer reports its deciles.
        dialogs->chosenFile = Probe::writeFile(files.filePath(file), QByteArray(64 * 1024, '\x5a'));
        probe->statuses.clear();
        QSignalSpy sent(page, &Vorq_settingUpgrade::sendFileProgress);
        page->form()->pushButton_upgrade->click();
        QVERIFY(page->progressDialog()->isVisible());
        // The engine's run includes its wait for the camera's reboot.
        QVERIFY(probe->finishWorker(90000));

        const QString shown = probe->shownText();
        QCOMPARE(shown.contains(QStringLiteral("Upgrade Complete!")), succeeds);
        QVERIFY(!shown.contains(QStringLiteral("exit")));
        if (succeeds) {
            QList<int> values = Probe::values(sent);
            QVERIFY(!values.isEmpty() && values.last() == 100);
            QVERIFY(std::is_sorted(values.begin(), values.end()));
            QCOMPARE(probe->statuses.first(), QStringLiteral("send file..."));
            QCOMPARE(probe->statuses.last(), Probe::complete());
            if (file.endsWith(QLatin1String(".img")))
                QCOMPARE(probe->statuses, (QStringList{"send file...", "upgrade...", "Please wait device reboot...",
                                                       Probe::complete()}));
        } else {
            QVERIFY2(shown.contains(QStringLiteral("device model error!")), qPrintable(shown));
            QVERIFY(probe->status().contains(QStringLiteral("Upgrade failed!")));
        }
        QVERIFY(!page->isUpgrading());
        QFETCH(QString, version);
        QVERIFY2(information().contains(QStringLiteral("Soc Version:") + version), qPrintable(probe->shownText()));
    }
};

QTEST_MAIN(UpgradeSimTest)
#include "tst_upgrade_sim.moc"
