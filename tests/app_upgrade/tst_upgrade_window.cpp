// The camera's hand-over around an upgrade: the window releases the camera,
// the simulated camera reboots into its new firmware, the window's re-scan
// opens it again and shows the new version.
#include <memory>

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "ScriptedUpgradeDialogs.h"
#include "UpgradePageProbe.h"
#include "Vorq_Cam.h"
#include "Vorq_CamForm.h"

class UpgradeWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir simState;
    QTemporaryDir files;

private slots:
    void initTestCase()
    {
        // Gone for longer than a re-scan interval, so the window sees it go.
        QVERIFY(!UpgradePageProbe::writeFile(simState.filePath(QStringLiteral("sim.conf")), "reboot_ms=2500\n").isEmpty());
        qputenv("VORQ_SIM", QFile::encodeName(simState.path()));
        qunsetenv("VORQ_SIM_SOCKET");
    }

    void cameraReturnsWithItsNewFirmware()
    {
        ScriptedUpgradeDialogs dialogs;
        auto window = std::make_unique<Vorq_Cam>();
        window->show();
        Vorq_settingUpgrade* page = Vorq_settingUpgrade::instance();
        UpgradePageProbe probe(page);
        // The sole camera is opened at once and handed to the page.
        QVERIFY(window->isCaptureActive());
        QCOMPARE(page->cameraId(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(window->form()->label_version->text().contains(QStringLiteral("1.0.3")), 5000);

        // The engine is found in the program's library directory.
        dialogs.chosenFile =
            UpgradePageProbe::writeFile(files.filePath(QStringLiteral("Lynx-A_v1.2.0.img")), QByteArray(20000, 'z'));
        page->form()->pushButton_upgrade->click();
        QVERIFY(!window->isCaptureActive());
        QCOMPARE(window->selectedIndex(), 0);
        QVERIFY(!page->form()->pushButton_upgrade->isEnabled());

        QTRY_COMPARE_WITH_TIMEOUT(probe.status(), UpgradePageProbe::complete(), 90000);
        QTRY_VERIFY_WITH_TIMEOUT(window->isCaptureActive(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(window->form()->label_version->text().contains(QStringLiteral("1.2.0")), 10000);
        QVERIFY(page->form()->pushButton_upgrade->isEnabled());
        QVERIFY(probe.finishWorker());
    }

    void cameraIsTakenBackAfterAFailedUpgrade()
    {
        ScriptedUpgradeDialogs dialogs;
        auto window = std::make_unique<Vorq_Cam>();
        window->show();
        Vorq_settingUpgrade* page = Vorq_settingUpgrade::instance();
        UpgradePageProbe probe(page);
        QVERIFY(window->isCaptureActive());
        // Another model's image is refused before anything is sent.
        dialogs.chosenFile = UpgradePageProbe::writeFile(files.filePath(QStringLiteral("Other_v9.0.0.img")), "x");
        page->form()->pushButton_upgrade->click();
        QVERIFY(!window->isCaptureActive());
        QVERIFY(probe.finishWorker());
        QVERIFY(probe.status().contains(QStringLiteral("Upgrade failed!")));
        QVERIFY(window->isCaptureActive());
        QCOMPARE(window->selectedIndex(), 1);
        QVERIFY(!window->form()->pushButton_preview->isHidden());
        QVERIFY(page->form()->pushButton_upgrade->isEnabled());
    }
};

QTEST_MAIN(UpgradeWindowTest)
#include "tst_upgrade_window.moc"
