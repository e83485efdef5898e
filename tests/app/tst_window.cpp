// The main window without pictures: start-up states, camera discovery and
// selection, pages and the capture state.

#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>

#include "VolumePopup.h"
#include "Vorq_SettingVideo.h"
#include "Vorq_settingAudio.h"
#include "Vorq_settingUpgrade.h"
#include "WindowFixture.h"
#include "medialib/Vorq_Medialib.h"

using namespace window_test;

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(ui); }

    void startsWithNothingSelectedInAFixedWindow()
    {
        FakeCameras cameras;
        auto w = makeWindow();
        const Vorq_CamForm* f = w->form();
        QCOMPARE(w->selectedIndex(), 0);
        QVERIFY(!w->isCaptureActive());
        QVERIFY(f->pushButton_preview->isHidden());
        QVERIFY(f->label_PreView->isHidden());
        QVERIFY(f->label_version->isHidden());
        QVERIFY(!anyMediaButtonEnabled(*w));
        QCOMPARE(comboRows(*w), QStringList{"No camera selected"});
        QVERIFY(f->label_check_for_new_firmware->isHidden());
        QCOMPARE(w->size(), QSize(1159, 713));
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(w->windowTitle(), QStringLiteral("TELDORA_Vision_Desk_V1.0.0.5"));
        QVERIFY(!w->windowIcon().isNull());
    }

    void soleCameraIsOpenedAtStart()
    {
        FakeCameras cameras;
        cameras.set({FakeCameras::teldora()});
        auto w = makeWindow();
        const Vorq_CamForm* f = w->form();
        QCOMPARE(w->selectedIndex(), 1);
        QVERIFY(w->isCaptureActive());
        QCOMPARE(w->openedCamera().description(), QStringLiteral("TELDORA TX42"));
        QVERIFY(!f->pushButton_preview->isHidden());
        QVERIFY(!f->pushButton_preview->isChecked());
        QVERIFY(!anyMediaButtonEnabled(*w)); // only the preview enables them
        QCOMPARE(comboRows(*w), (QStringList{"No camera selected", "TELDORA TX42 connected"}));
        QCOMPARE(f->comboBox->currentIndex(), 1);
        QVERIFY(w->videoSettings()->captureOn());
        QCOMPARE(w->videoSettings()->cameraInfo(), w->openedCamera());
        QVERIFY(w->audioSettings()->captureOn());
        QVERIFY(Vorq_settingUpgrade::instance()->captureOn());
    }

    void twoCamerasWaitForTheUser()
    {
        FakeCameras cameras;
        // An unlisted USB camera still counts for the upgrade page's number.
        FakeCameras::Camera otherVendor = FakeCameras::teldora("1-1");
        otherVendor.vendorId = 0x046d;
        cameras.set({FakeCameras::teldora("1-4"), otherVendor, FakeCameras::teldora("1-5")});
        auto w = makeWindow();
        QCOMPARE(w->selectedIndex(), 0);
        QVERIFY(!w->isCaptureActive());
        QCOMPARE(comboRows(*w), (QStringList{"No camera selected", "TELDORA TX42", "TELDORA TX42"}));

        QSignalSpy ids(w.get(), &Vorq_Cam::cameraId);
        choose(*w, 2);
        QCOMPARE(w->selectedIndex(), 2);
        QVERIFY(w->isCaptureActive());
        QCOMPARE(w->cameras().value(2).acceptedOrdinal, 1);
        QCOMPARE(w->openedCamera().deviceName().toStdString(), FakeCameras::deviceNameOf(FakeCameras::teldora("1-5")));
        QCOMPARE(ids.count(), 1);
        QCOMPARE(ids.at(0).at(0).toInt(), 2);
        QCOMPARE(Vorq_settingUpgrade::instance()->cameraId(), 2);
        QCOMPARE(comboRows(*w).at(2), QStringLiteral("TELDORA TX42 connected"));
    }

    void scanTimerRunsEverySecond()
    {
        FakeCameras cameras;
        Vorq_Cam w;
        QVERIFY(w.cameraScanTimer()->isActive());
        QCOMPARE(w.cameraScanTimer()->interval(), 1000);
    }

    void selectionFollowsItsCameraWhenRowsShift()
    {
        FakeCameras cameras;
        cameras.set({FakeCameras::teldora("1-4"), FakeCameras::teldora("1-5")});
        auto w = makeWindow();
        choose(*w, 2);
        const CameraInfo opened = w->openedCamera();
        QSignalSpy reboots(w.get(), &Vorq_Cam::signalReboot);

        cameras.set({FakeCameras::teldora("1-5")});
        scan(*w);
        QCOMPARE(w->selectedIndex(), 1);
        QCOMPARE(w->openedCamera(), opened);
        QVERIFY(w->isCaptureActive());
        QCOMPARE(reboots.count(), 0);
        QCOMPARE(comboRows(*w), (QStringList{"No camera selected", "TELDORA TX42 connected"}));
        QCOMPARE(w->form()->comboBox->currentIndex(), 1);
    }

    void cameraSwappedInOneScanIsNoticed()
    {
        FakeCameras cameras;
        cameras.set({FakeCameras::teldora("1-4")});
        auto w = makeWindow();
        QSignalSpy ids(w.get(), &Vorq_Cam::cameraId);
        cameras.set({FakeCameras::teldora("1-5")});
        scan(*w);
        // Same count, other camera: the gone one is given up and the sole
        // newcomer opened.
        QCOMPARE(ids.count(), 2);
        QCOMPARE(ids.at(0).at(0).toInt(), -1);
        QCOMPARE(ids.at(1).at(0).toInt(), 0);
        QCOMPARE(w->openedCamera().deviceName().toStdString(), FakeCameras::deviceNameOf(FakeCameras::teldora("1-5")));
        QVERIFY(w->isCaptureActive());
    }

    void unpluggedCameraLeavesTheOtherForTheUser()
    {
        FakeCameras cameras;
        cameras.set({FakeCameras::teldora("1-4"), FakeCameras::teldora("1-5")});
        auto w = makeWindow();
        choose(*w, 1);
        QSignalSpy ids(w.get(), &Vorq_Cam::cameraId);
        cameras.set({FakeCameras::teldora("1-5")});
        scan(*w);
        QCOMPARE(ids.count(), 1);
        QCOMPARE(ids.at(0).at(0).toInt(), -1);
        QCOMPARE(w->selectedIndex(), 0);
        QVERIFY(!w->isCaptureActive());
        QCOMPARE(comboRows(*w), (QStringList{"No camera selected", "TELDORA TX42"}));
        scan(*w);
        QVERIFY(!w->isCaptureActive());
    }

    void unchangedListLeavesTheComboBoxAlone()
    {
        FakeCameras cameras;
        cameras.set({FakeCameras::teldora("1-4"), FakeCameras::teldora("1-5")});
        auto w = makeWindow();
        QSignalSpy resets(w->form()->comboBox->model(), &QAbstractItemModel::rowsRemoved);
        scan(*w);
        scan(*w);
        QCOMPARE(resets.count(), 0);
    }

    void clearingTheSelection()
    {
        FakeCameras cameras;
        cameras.set({FakeCameras::teldora()});
        auto w = makeWindow();
        QSignalSpy ids(w.get(), &Vorq_Cam::cameraId);
        choose(*w, 0);
        QCOMPARE(w->selectedIndex(), 0);
        QVERIFY(!w->isCaptureActive());
        QVERIFY(w->form()->pushButton_preview->isHidden());
        QCOMPARE(w->form()->bt_volume->styleSheet(), QStringLiteral("border-image: url(:/UI/Button/mute.png);"));
        QCOMPARE(w->form()->bt_microphone->styleSheet(), QStringLiteral("border-image: url(:/UI/Button/mic_mute.png);"));
        QCOMPARE(comboRows(*w), (QStringList{"No camera selected", "TELDORA TX42"}));
        QCOMPARE(ids.count(), 1);
        QCOMPARE(ids.at(0).at(0).toInt(), -1);
        // A sole camera that the user gave up stays closed until the list changes.
        scan(*w);
        QVERIFY(!w->isCaptureActive());
        // Choosing the selected row again changes nothing.
        choose(*w, 0);
        QCOMPARE(ids.count(), 1);
    }

    void releaseByTheUpgradePage()
    {
        FakeCameras cameras;
        cameras.set({FakeCameras::teldora()});
        auto w = makeWindow();
        QSignalSpy ids(w.get(), &Vorq_Cam::cameraId);
        QSignalSpy reboots(w.get(), &Vorq_Cam::signalReboot);
        emit Vorq_settingUpgrade::instance()->disConnectDevice();
        QCOMPARE(w->selectedIndex(), 0);
        QVERIFY(!w->isCaptureActive());
        QCOMPARE(reboots.count(), 1);
        QCOMPARE(ids.count(), 0);
        // The camera restarts: gone for a scan, then back and opened again.
        cameras.set({});
        scan(*w);
        cameras.set({FakeCameras::teldora()});
        scan(*w);
        QVERIFY(w->isCaptureActive());
        QCOMPARE(w->selectedIndex(), 1);
    }

    void audioRebootReleasesTheCamera()
    {
        FakeCameras cameras;
        cameras.set({FakeCameras::teldora()});
        auto w = makeWindow();
        emit w->audioSettings()->audioReboot();
        QVERIFY(!w->isCaptureActive());
        QVERIFY(!w->audioSettings()->captureOn());
    }

    void pageButtonsSwitchPages()
    {
        FakeCameras cameras;
        auto w = makeWindow();
        const Vorq_CamForm* f = w->form();
        QCOMPARE(f->settingWidget->count(), 4);
        QCOMPARE(f->settingWidget->widget(3), Vorq_settingUpgrade::instance());
        QCOMPARE(f->settingWidget->widget(2)->size(), QSize(356, 477));
        const QList<QPushButton*> buttons{f->bt_video, f->bt_audio, f->bt_AI, f->bt_upgrade};
        for (int id : {3, 2, 1, 0}) {
            QTest::mouseClick(buttons[id], Qt::LeftButton);
            QCOMPARE(f->settingWidget->currentIndex(), id);
            int checked = 0;
            for (auto* b : buttons) checked += b->isChecked() ? 1 : 0;
            QCOMPARE(checked, 1);
        }
        QCOMPARE(f->bt_AI->text(), QStringLiteral("Effect"));
    }

    void everyTextFitsItsLabel()
    {
        FakeCameras cameras;
        cameras.set({FakeCameras::teldora()});
        auto w = makeWindow();
        emit w->videoSettings()->versionInfo(QStringLiteral("FW v2.3.4"));
        for (VolumePopup* popup : {w->speakerPopup(), w->microphonePopup()}) {
            popup->slider()->show();
            popup->sliderMoved(100);
        }
        QStringList cut;
        for (int page = 0; page < w->form()->settingWidget->count(); ++page) {
            w->form()->settingWidget->setCurrentIndex(page);
            QCoreApplication::processEvents();
            for (QLabel* label : w->findChildren<QLabel*>()) {
                if (!label->isVisible() || label->text().isEmpty() || label->wordWrap()) continue;
                const QFontMetrics metrics = label->fontMetrics();
                const QRect room = label->contentsRect();
                // What the label's parent shows of it counts too.
                const QRect shown = room.intersected(label->parentWidget()->rect().translated(-label->pos()));
                const QString text = label->text();
                if (metrics.horizontalAdvance(text) > shown.width() || metrics.height() > shown.height())
                    cut << QStringLiteral("%1 \"%2\": %3x%4 in %5x%6")
                               .arg(label->objectName(), text)
                               .arg(metrics.horizontalAdvance(text))
                               .arg(metrics.height())
                               .arg(shown.width())
                               .arg(shown.height());
            }
        }
        cut.removeDuplicates();
        QCOMPARE(cut.join(QStringLiteral(" | ")), QString());
    }

    void disabledMediaButtonsLookDisabled()
    {
        FakeCameras cameras;
        auto w = makeWindow();
        const Vorq_CamForm* f = w->form();
        for (QPushButton* b : {f->bt_volume, f->bt_microphone, f->bt_shot, f->bt_record}) {
            QVERIFY(!b->isEnabled());
            const QImage disabled = b->grab().toImage();
            b->setEnabled(true);
            const QImage enabled = b->grab().toImage();
            QVERIFY2(disabled != enabled, qPrintable(b->objectName()));
            b->setEnabled(false);
            QCOMPARE(b->grab().toImage(), disabled);
        }
    }

    void versionLabelFollowsTheVideoPage()
    {
        FakeCameras cameras;
        cameras.set({FakeCameras::teldora()});
        auto w = makeWindow();
        emit w->videoSettings()->versionInfo(QStringLiteral("FW v2.3.4"));
        QCOMPARE(w->form()->label_version->text(), QStringLiteral("FW v2.3.4"));
        QVERIFY(!w->form()->label_version->isHidden());
        choose(*w, 0);
        QVERIFY(w->form()->label_version->isHidden());
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
