// The capture-mode selector: what it offers, what it opens, what it keeps.

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "CameraInfo.h"
#include "platform/CaptureModes.h"
#include "CaptureModeBox.h"
#include "../support/PrivateHome.h"
#include "WindowFixture.h"
#include "device/OfferedModes.h"
#include "medialib/Vorq_Medialib.h"

using namespace window_test;

namespace {

QStringList rows(const QComboBox& box)
{
    QStringList out;
    for (int i = 0; i < box.count(); ++i) out << box.itemText(i);
    return out;
}

void pick(CaptureModeBox& box, const QString& text)
{
    const int row = box.findText(text);
    QVERIFY2(row >= 0, qPrintable(text));
    box.setCurrentIndex(row);
    emit box.activated(row);
}

} // namespace

class CaptureModeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(ui);
        QVERIFY(state.isValid());
        // Under the emulated kernel camera the system walk is the camera.
        if (!qEnvironmentVariableIsSet("VORQ_TEST_EMULATED_YUYV")) qputenv("VORQ_SIM", state.path().toLocal8Bit());
    }

    // The simulated camera's six modes, 800x600 MJPEG at 30 first chosen; a
    // change restarts the preview in the new size and is kept for the camera.
    void simulatedCamera()
    {
        if (qEnvironmentVariableIsSet("VORQ_TEST_EMULATED_YUYV")) QSKIP("emulated camera run");
        {
            auto w = makeWindow();
            CaptureModeBox& box = *w->form()->comboBox_mode;
            QCOMPARE(rows(box), (QStringList{"800x600 30 fps MJPEG", "800x600 30 fps YUYV", "1280x720 30 fps MJPEG",
                                             "1280x720 30 fps YUYV", "1920x1080 30 fps MJPEG",
                                             "1920x1080 30 fps YUYV"}));
            QCOMPARE(box.currentText(), QStringLiteral("800x600 30 fps MJPEG"));
            QVERIFY(box.isVisible());
            QVERIFY(!box.accessibleName().isEmpty() && !box.toolTip().isEmpty());

            w->form()->pushButton_preview->setChecked(true);
            QTRY_COMPARE_WITH_TIMEOUT(w->lastPreviewFrame().size(), QSize(800, 600), 15000);
            pick(box, QStringLiteral("1280x720 30 fps MJPEG"));
            QVERIFY(w->mediaEngine()->CaptureIsOpen());
            QVERIFY(w->form()->pushButton_preview->isChecked());
            QTRY_COMPARE_WITH_TIMEOUT(w->lastPreviewFrame().size(), QSize(1280, 720), 15000);

            // Recording holds the mode.
            ScriptedDialogs dialogs;
            dialogs.fileAnswers = QStringList{state.filePath(QStringLiteral("clip.mp4"))};
            QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
            QVERIFY(w->form()->bt_record->isChecked());
            QVERIFY(!box.isEnabled());
            QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
            QVERIFY(box.isEnabled());
        }
        // The same camera opens in the mode chosen for it.
        auto w = makeWindow();
        QCOMPARE(w->form()->comboBox_mode->currentText(), QStringLiteral("1280x720 30 fps MJPEG"));
        w->form()->pushButton_preview->setChecked(true);
        QTRY_COMPARE_WITH_TIMEOUT(w->lastPreviewFrame().size(), QSize(1280, 720), 15000);
    }

    // Kept text from an older or damaged file falls back to the usual mode;
    // a camera that offers nothing leaves the selector hidden.
    void keptAndEmpty()
    {
        CaptureModeBox::Mode mode;
        QVERIFY(!CaptureModeBox::parseKey(QStringLiteral("mjpeg 0x600@30"), mode));
        QVERIFY(!CaptureModeBox::parseKey(QStringLiteral("mjpeg 800x600@30 extra"), mode));
        QVERIFY(CaptureModeBox::parseKey(QStringLiteral("yuyv422 640x480@7.5"), mode));
        QCOMPARE(mode.frameRate, 7.5);

        QWidget leader;
        CaptureModeBox box;
        box.followVisibility(&leader);
        leader.show();
        box.setModes(vorq::platform::CaptureModes::simulatedModes(), QStringLiteral("h264 800x600@30"));
        QCOMPARE(box.currentText(), QStringLiteral("800x600 30 fps MJPEG"));
        QVERIFY(!box.isHidden());
        box.setModes({}, QString());
        QVERIFY(box.isHidden());
        QVERIFY(!box.currentMode(mode));
    }

    // A camera that streams only YUYV lists only its own modes, without a
    // format to tell apart, nearest to 800x600 first chosen.
    void yuyvOnlyCamera()
    {
        if (!qEnvironmentVariableIsSet("VORQ_TEST_EMULATED_YUYV")) QSKIP("needs the emulated YUYV-only camera");
        const QList<CameraInfo> cameras = CameraInfo::availableCameras();
        QCOMPARE(cameras.size(), 1);
        CaptureModeBox box;
        box.setModes(OfferedModes::of(cameras.first().deviceName()), QString());
        QVERIFY(box.count() > 0);
        for (int i = 0; i < box.count(); ++i) {
            QVERIFY2(box.itemData(i).toString().startsWith(QLatin1String("yuyv422 ")), qPrintable(box.itemText(i)));
            QVERIFY2(box.itemText(i).endsWith(QLatin1String(" fps")), qPrintable(box.itemText(i)));
        }
        QCOMPARE(box.currentText(), QStringLiteral("640x480 30 fps"));
    }

private:
    const PrivateHome home;
    QTemporaryDir state;
};

QTEST_MAIN(CaptureModeTest)
#include "tst_capture_mode.moc"
