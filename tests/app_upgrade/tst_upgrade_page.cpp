#include <memory>
#include <thread>

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "ScriptedUpgradeDialogs.h"
#include "UpgradeEngineOutput.h"
#include "UpgradePageProbe.h"

using Probe = UpgradePageProbe;

// The page against the fake engines: every call of theirs is logged to a file.
class UpgradePageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp;
    std::unique_ptr<ScriptedUpgradeDialogs> dialogs;
    Vorq_settingUpgrade* page = nullptr;
    std::unique_ptr<Probe> probe;

    QStringList engineCalls() const
    {
        QFile log(tmp->filePath(QStringLiteral("engine.log")));
        if (!log.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    void useEngineIn(const QString& dir) { page->setEngineLocation({QStringLiteral("camfw_flash"), {dir}}); }
    void cameraOpened(int id)
    {
        page->onCameraIDChange(id);
        page->captureState(true);
    }
    void feed(const QStringList& messages)
    {
        for (const QString& m : messages) emit page->updateUpgradeInfo(m);
    }

private slots:
    void init()
    {
        tmp = std::make_unique<QTemporaryDir>();
        qputenv("VORQ_FAKE_ENGINE_LOG", QFile::encodeName(tmp->filePath(QStringLiteral("engine.log"))));
        dialogs = std::make_unique<ScriptedUpgradeDialogs>();
        page = Vorq_settingUpgrade::instance();
        probe = std::make_unique<Probe>(page);
        useEngineIn(QStringLiteral(FAKE_ENGINE_DIR));
    }

    void cleanup()
    {
        QThreadPool::globalInstance()->waitForDone(30000);
        QCoreApplication::sendPostedEvents();
        probe.reset();
        delete page;
        dialogs.reset();
        tmp.reset();
    }

    void buttonsFollowCaptureState()
    {
        QVERIFY(page->form()->textEdit->isReadOnly());
        QVERIFY(page->progressDialog()->isHidden());
        page->form()->pushButton_info->click();
        page->form()->pushButton_upgrade->click();
        QVERIFY(engineCalls().isEmpty() && dialogs->asked.isEmpty());
        page->captureState(true);
        QVERIFY(page->form()->pushButton_info->isEnabled() && page->form()->pushButton_upgrade->isEnabled());
        page->captureState(false);
        QVERIFY(!page->form()->pushButton_info->isEnabled() && !page->form()->pushButton_upgrade->isEnabled());
    }

    void engineOutputReachesThePage()
    {
        QSignalSpy texts(page, &Vorq_settingUpgrade::updateUpgradeInfo);
        QCOMPARE(engineOutput("Find %d UVC devices\n", 1), 19);
        QCOMPARE(engineOutput("%s", "麦克风"), 9);
        const QByteArray longText(2000, 'x');
        QCOMPARE(engineOutput("%s", longText.constData()), 2000);
        QCOMPARE(texts.count(), 3);
        QCOMPARE(texts.at(0).at(0).toString(), QStringLiteral("Find 1 UVC devices\n"));
        QCOMPARE(texts.at(1).at(0).toString(), QStringLiteral("麦克风"));
        QCOMPARE(texts.at(2).at(0).toString(), QString(1023, QLatin1Char('x')));

        // From a worker thread the message is queued to the page's thread.
        QSignalSpy progress(page, &Vorq_settingUpgrade::sendFileProgress);
        std::thread([] { engineOutput("\rsend file:%d%%", 70); }).join();
        QCOMPARE(progress.count(), 0);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(Probe::values(progress), QList<int>{70});

        // Without a page a worker's message is dropped: no widget may be made there.
        probe.reset();
        delete page;
        page = nullptr;
        std::thread([] { engineOutput("late\n"); }).join();
        for (QWidget* w : QApplication::allWidgets()) QVERIFY(!qobject_cast<Vorq_settingUpgrade*>(w));
    }

    void parsesMessages_data()
    {
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<int>>("sent");
        QTest::addColumn<QList<int>>("written");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("shown");
        QTest::newRow("send 40") << QStringList{"\rsend file:40%"} << QList<int>{40} << QList<int>{} << "send file..."
                                 << "";
        QTest::newRow("send 1.5") << QStringList{"\rsend file:1.5%"} << QList<int>{0} << QList<int>{} << "send file..."
                                  << "";
        QTest::newRow("write 99.9, 100.0") << QStringList{"\rflash write:99.9%", "\rflash write:100.0%\n"}
                                           << QList<int>{} << QList<int>{99, 100} << "Please wait device reboot..."
                                           << "";
        QTest::newRow("write 99.9") << QStringList{"\rflash write:99.9%"} << QList<int>{} << QList<int>{99}
                                    << "upgrade..." << "";
        QTest::newRow("absurd percentage") << QStringList{"\rflash write:99999999999999999999.0%"} << QList<int>{}
                                           << QList<int>{INT_MAX} << "upgrade..." << "";
        // Lines that name a phase without being its progress are messages.
        QTest::newRow("path of the sent file") << QStringList{"send file:/tmp/TX42_v1.5/fw.img\n"} << QList<int>{}
                                               << QList<int>{} << "" << "send file:/tmp/TX42_v1.5/fw.img";
        QTest::newRow("flash error") << QStringList{"\rflash write:50.0%", "flash write error\n"} << QList<int>{}
                                     << QList<int>{50} << "upgrade..." << "flash write error";
        // Shown as written; the end marker outside an upgrade changes nothing.
        QTest::newRow("device text, then exit") << QStringList{"Model: <TX42> & co\n", "\nexit\n"} << QList<int>{}
                                                << QList<int>{} << "" << "Model: <TX42> & co";
    }

    void parsesMessages()
    {
        QFETCH(QStringList, messages);
        QFETCH(QList<int>, written);
        QSignalSpy sent(page, &Vorq_settingUpgrade::sendFileProgress);
        QSignalSpy write(page, &Vorq_settingUpgrade::upgradeProgress);
        feed(messages);
        QTEST(Probe::values(sent), "sent");
        QCOMPARE(Probe::values(write), written);
        QTEST(probe->status(), "status");
        QTEST(probe->shownText().trimmed(), "shown");
        if (!written.isEmpty() && written.last() <= 100)
            QCOMPARE(page->progressDialog()->form()->progressBar->value(), written.last());
        QVERIFY(!page->isUpgrading());
    }

    void getInformation()
    {
        cameraOpened(0);
        page->form()->pushButton_info->click();
        QVERIFY(probe->shownText().contains(QStringLiteral("Firmware version: 1.0.3")));
        QVERIFY(!probe->shownText().contains(QStringLiteral("exit")));
        // Loaded afresh for each query (a reused engine says so), text box cleared.
        page->form()->pushButton_info->click();
        QCOMPARE(probe->shownText().count(QStringLiteral("Firmware version")), 1);
        page->onCameraIDChange(-1);
        page->form()->pushButton_info->click();
        QVERIFY(probe->shownText().contains(QStringLiteral("Upgrade error!")));
        QCOMPARE(engineCalls(), (QStringList{"1|-I|0||", "1|-I|0||", "1|-I|-1||"}));
        QVERIFY(dialogs->asked.isEmpty() && page->progressDialog()->isHidden());
    }

    void getInformationWithoutEngine_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "" << "DLL is not loaded!";
        QTest::newRow("without upgrade") << FAKE_ENGINE_NOSYM_DIR << "Linke to Function is not OK!!!!";
    }

    void getInformationWithoutEngine()
    {
        QFETCH(QString, dir);
        useEngineIn(dir.isEmpty() ? tmp->path() : dir);
        cameraOpened(0);
        page->form()->pushButton_info->click();
        QCOMPARE(dialogs->kinds(), QStringList{"information"});
        QCOMPARE(dialogs->asked.at(0).title, QStringLiteral("Notice"));
        QTEST(dialogs->asked.at(0).text, "message");
        QVERIFY(!dialogs->asked.at(0).hadParent);
    }

    void upgradeNotStarted_data()
    {
        QTest::addColumn<int>("cameraId");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("asked");
        QTest::newRow("no camera") << -1 << true << QStringList{"information"};
        QTest::newRow("answered no") << 0 << false << QStringList{"question"};
        QTest::newRow("file dialog cancelled") << 0 << true << QStringList{"question", "open"};
    }

    void upgradeNotStarted()
    {
        QFETCH(int, cameraId);
        QFETCH(bool, yes);
        cameraOpened(cameraId);
        dialogs->yes = yes;
        feed({"left over\n"});
        QSignalSpy disconnect(page, &Vorq_settingUpgrade::disConnectDevice);
        page->form()->pushButton_upgrade->click();

        QTEST(dialogs->kinds(), "asked");
        const QString first = dialogs->asked.at(0).text;
        QCOMPARE(first, cameraId == -1 ? QStringLiteral("No camera selected, can't upgrade!")
                                       : QStringLiteral("This will shut down the device, Do you want to upgrade?"));
        if (dialogs->asked.size() == 2) {
            QCOMPARE(dialogs->asked.at(1).title, QStringLiteral("选择升级文件"));
            QCOMPARE(dialogs->asked.at(1).dir, QDir::currentPath());
            QCOMPARE(dialogs->asked.at(1).filter, QStringLiteral("Files(*.pkg *.img)"));
        }
        QCOMPARE(disconnect.count(), 0);
        QVERIFY(page->progressDialog()->isHidden() && !page->isUpgrading());
        QCOMPARE(probe->shownText(), QString());
        QVERIFY(engineCalls().isEmpty());
    }

    void upgradeRunsToCompletion_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("option");
        // Not ASCII: it must reach the engine in the file system's encoding to open.
        QTest::newRow("image") << QStringLiteral("固件 image.img") << "-M";
        QTest::newRow("package") << QStringLiteral("package.pkg") << "-P";
    }

    void upgradeRunsToCompletion()
    {
        QFETCH(QString, file);
        QFETCH(QString, option);
        cameraOpened(0);
        dialogs->chosenFile = Probe::writeFile(tmp->filePath(file), "firmware");
        QSignalSpy disconnect(page, &Vorq_settingUpgrade::disConnectDevice);
        QSignalSpy sent(page, &Vorq_settingUpgrade::sendFileProgress);
        QSignalSpy written(page, &Vorq_settingUpgrade::upgradeProgress);
        page->form()->pushButton_upgrade->click();
        QCOMPARE(disconnect.count(), 1);
        QVERIFY(page->isUpgrading() && page->progressDialog()->isVisible());
        QVERIFY(probe->finishWorker());

        QCOMPARE(engineCalls(), QStringList{QStringLiteral("2|%1|%2|-I|0").arg(option, dialogs->chosenFile)});
        QCOMPARE(Probe::values(sent), (QList<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
        QCOMPARE(Probe::values(written), (QList<int>{0, 33, 66, 99, 100}));
        QCOMPARE(probe->statuses,
                 (QStringList{"send file...", "upgrade...", "Please wait device reboot...", Probe::complete()}));
        QVERIFY(probe->shownText().contains(QStringLiteral("Upgrade Complete!")));
        QVERIFY(!probe->shownText().contains(QStringLiteral("exit")));
        QVERIFY(!page->isUpgrading() && page->progressDialog()->isVisible());

        // The next run starts afresh, not on this one's "complete".
        dialogs->chosenFile = Probe::writeFile(tmp->filePath(QStringLiteral("next.IMG")), "x");
        page->form()->pushButton_upgrade->click();
        QCOMPARE(probe->status(), QString());
        QCOMPARE(page->progressDialog()->form()->progressBar->value(), 0);
    }

    void failedRunIsReportedInTheDialog_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("engine missing") << "" << "fw.img" << "DLL is not loaded!";
        QTest::newRow("engine without upgrade") << FAKE_ENGINE_NOSYM_DIR << "fw.img" << "Linke to Function is not OK!!!!";
        QTest::newRow("upper-case suffix") << FAKE_ENGINE_DIR << "fw.IMG" << "IMG";
        QTest::newRow("other suffix") << FAKE_ENGINE_DIR << "fw.tar.gz" << "gz";
        // The fake fails on "FAIL" contents; "exit" in the path does not end the run.
        QTest::newRow("engine fails") << FAKE_ENGINE_DIR << "exit/fail.img" << "Upgrade failed!";
    }

    void failedRunIsReportedInTheDialog()
    {
        QFETCH(QString, dir);
        QFETCH(QString, file);
        QFETCH(QString, reason);
        useEngineIn(dir.isEmpty() ? tmp->path() : dir);
        cameraOpened(0);
        dialogs->chosenFile = Probe::writeFile(tmp->filePath(file), file.contains("fail") ? "FAIL" : "x");
        QSignalSpy disconnect(page, &Vorq_settingUpgrade::disConnectDevice);
        QSignalSpy reconnect(page, &Vorq_settingUpgrade::reConnectDevice);
        page->form()->pushButton_upgrade->click();
        QCOMPARE(disconnect.count(), 1);
        QVERIFY(probe->finishWorker());

        QCOMPARE(engineCalls().isEmpty(), !file.contains("fail"));
        QVERIFY2(probe->status().contains(reason) && probe->status().contains("red"), qPrintable(probe->status()));
        QVERIFY(!probe->statuses.contains(Probe::complete()));
        QVERIFY(probe->shownText().contains(reason));
        QVERIFY(!page->isUpgrading() && page->progressDialog()->isVisible());
        // The camera was not restarted by a failed run: the window takes it back.
        QCOMPARE(reconnect.count(), 1);
        QVERIFY(page->form()->pushButton_upgrade->isEnabled() && page->form()->pushButton_info->isEnabled());
    }

    void nothingElseRunsDuringAnUpgrade()
    {
        cameraOpened(0);
        dialogs->chosenFile = Probe::writeFile(tmp->filePath(QStringLiteral("fw.img")), "firmware");
        page->form()->pushButton_upgrade->click();
        page->captureState(false);
        // The dialog closed and the camera picked again: the page stays locked.
        page->progressDialog()->hide();
        page->captureState(true);
        QVERIFY(!page->form()->pushButton_info->isEnabled() && !page->form()->pushButton_upgrade->isEnabled());
        QMetaObject::invokeMethod(page, "pushButton_info_clicked");
        QMetaObject::invokeMethod(page, "pushButton_upgrade_clicked");
        // A query's end marker is not the upgrade's.
        engineOutput("\nexit\n");
        QVERIFY(page->isUpgrading());
        QVERIFY(probe->statuses.isEmpty());

        QVERIFY(probe->finishWorker());
        QCOMPARE(engineCalls(), QStringList{QStringLiteral("2|-M|%1|-I|0").arg(dialogs->chosenFile)});
        QCOMPARE(dialogs->kinds(), (QStringList{"question", "open"}));
        QCOMPARE(probe->statuses.last(), Probe::complete());
        QVERIFY(!page->isUpgrading());
        QVERIFY(page->form()->pushButton_info->isEnabled() && page->form()->pushButton_upgrade->isEnabled());
    }
};

QTEST_MAIN(UpgradePageTest)
#include "tst_upgrade_page.moc"
