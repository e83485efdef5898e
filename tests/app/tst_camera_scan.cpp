// Which cameras the program offers, and how it numbers them.

#include <QTest>

#include "CameraScan.h"

Q_DECLARE_METATYPE(CameraInfo)

namespace {
CameraInfo camera(const char* path, const char* name)
{
    return CameraInfo(QStringLiteral("@device:pnp:") + QString::fromUtf8(path), QString::fromUtf8(name));
}
} // namespace

class CameraScanTest : public QObject {
    Q_OBJECT

private slots:
    void acceptRules_data()
    {
        QTest::addColumn<CameraInfo>("info");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("ours") << camera("\\\\?\\usb#vid_9f2b&pid_0042&mi_00#1-4#/dev/video0", "TELDORA TX42") << true << true;
        QTest::newRow("brand anywhere") << camera("\\\\?\\usb#vid_9f2b&pid_0043&mi_00#1-5#/dev/video2", "Cam TELDORA")
                                        << true << true;
        QTest::newRow("our vendor, other name") << camera("\\\\?\\usb#vid_9f2b&pid_0042&mi_00#1-4#/dev/video0", "Webcam")
                                                << true << false;
        QTest::newRow("brand is case-sensitive") << camera("\\\\?\\usb#vid_9f2b&pid_0042&mi_00#1-4#/dev/video0", "Teldora")
                                                 << true << false;
        QTest::newRow("other vendor") << camera("\\\\?\\usb#vid_046d&pid_0825&mi_00#1-3#/dev/video4", "TELDORA clone")
                                      << true << false;
        QTest::newRow("vendor is case-sensitive")
            << camera("\\\\?\\usb#vid_9F2B&pid_0042&mi_00#1-4#/dev/video0", "TELDORA TX42") << true << false;
        QTest::newRow("platform camera") << camera("\\\\?\\platform#vivid#/dev/video6", "TELDORA TX42") << false << false;
        QTest::newRow("empty") << CameraInfo() << false << false;
    }

    void acceptRules()
    {
        QFETCH(CameraInfo, info);
        QFETCH(bool, usb);
        QFETCH(bool, accepted);
        QCOMPARE(CameraScan::isUsbCamera(info), usb);
        QCOMPARE(CameraScan::isAccepted(info), accepted);
    }

    void tableNumbersAcceptedAndUsbCameras()
    {
        const QList<CameraInfo> system{
            camera("\\\\?\\usb#vid_046d&pid_0825&mi_00#1-1#/dev/video0", "Logi"),
            camera("\\\\?\\usb#vid_9f2b&pid_0042&mi_00#1-2#/dev/video2", "TELDORA TX42"),
            camera("\\\\?\\platform#vivid#/dev/video4", "Virtual"),
            camera("\\\\?\\usb#vid_9f2b&pid_0042&mi_00#1-3#/dev/video6", "Other"),
            camera("\\\\?\\usb#vid_9f2b&pid_0042&mi_00#1-4#/dev/video8", "TELDORA TX42"),
        };
        QList<CameraInfo> accepted{camera("stale", "stale")};
        const CameraTable table = CameraScan::build(system, accepted);
        QCOMPARE(accepted, (QList<CameraInfo>{system[1], system[4]}));
        QCOMPARE(table.keys(), (QList<int>{1, 2}));
        QCOMPARE(table[1].camera, system[1]);
        QCOMPARE(table[1].acceptedOrdinal, 0);
        QCOMPARE(table[1].usbOrdinal, 1);
        QCOMPARE(table[2].acceptedOrdinal, 1);
        QCOMPARE(table[2].usbOrdinal, 3);
        QCOMPARE(CameraScan::keyOf(table, system[4]), 2);
        QCOMPARE(CameraScan::keyOf(table, system[0]), 0);
        QCOMPARE(CameraScan::keyOf(CameraTable(), system[1]), 0);
    }
};

QTEST_MAIN(CameraScanTest)
#include "tst_camera_scan.moc"
