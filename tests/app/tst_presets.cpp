// Preset slots on the video page against the simulated camera: what a save
// keeps, what a recall writes to the camera, the keys, and a camera that
// cannot take absolute positions.

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "../support/PrivateHome.h"
#include "PtzPresetRow.h"
#include "Vorq_SettingVideo.h"
#include "WindowFixture.h"
#include "device/CameraDevice.h"

using namespace window_test;

namespace {

constexpr int kPanCid = 0x009a0908;  // V4L2_CID_PAN_ABSOLUTE
constexpr int kTiltCid = 0x009a0909; // V4L2_CID_TILT_ABSOLUTE
constexpr int kZoomCid = 0x009a090d; // V4L2_CID_ZOOM_ABSOLUTE

// A camera whose camera-control interface has no absolute controls.
struct NoAbsoluteControls : IAMCameraControl {
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetRange(long, long*, long*, long*, long*, long*) override { return E_NOTIMPL; }
    HRESULT Set(long, long, long) override { return E_NOTIMPL; }
    HRESULT Get(long, long*, long*) override { return E_NOTIMPL; }
};

} // namespace

class PresetsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(ui);
        QVERIFY(state.isValid());
        qputenv("VORQ_SIM", state.path().toLocal8Bit());
        qputenv("VORQ_SIM_TRACE", QFile::encodeName(tracePath()));
    }

    void saveAndRecall()
    {
        auto w = makeWindow();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        PtzPresetRow& row = *w->videoSettings()->presetRow();
        QVERIFY(row.isEnabled());
        w->form()->pushButton_preview->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(!w->lastPreviewFrame().isNull(), 15000);

        CameraDevice camera(GUID_NULL);
        QCOMPARE(camera.openDevice(w->openedCamera().deviceName()), 0L);
        IAMCameraControl* control = camera.cameraControl();
        QVERIFY(control);
        QVERIFY(SUCCEEDED(control->Set(CameraControl_Pan, 7200, CameraControl_Flags_Manual)));
        QVERIFY(SUCCEEDED(control->Set(CameraControl_Tilt, -3600, CameraControl_Flags_Manual)));
        QVERIFY(SUCCEEDED(control->Set(CameraControl_Zoom, 40, CameraControl_Flags_Manual)));

        // Ctrl+Shift+1 saves slot 1 with a picture; a long press saves slot 2.
        QTest::keyClick(w.get(), Qt::Key_1, Qt::ControlModifier | Qt::ShiftModifier);
        const PtzPresets kept(w->videoSettings()->keptSettings().cameraKey());
        QVERIFY(kept.position(1).has_value());
        QCOMPARE(PtzPresets::text(*kept.position(1)), QStringLiteral("pan=7200 tilt=-3600 zoom=40"));
        const QImage thumbnail = kept.thumbnail(1);
        QVERIFY(!thumbnail.isNull() && thumbnail.width() <= 96 && thumbnail.height() <= 54);
        QVERIFY(!row.slotButton(1)->icon().isNull());

        QVERIFY(SUCCEEDED(control->Set(CameraControl_Pan, -3600, CameraControl_Flags_Manual)));
        QTest::mousePress(row.slotButton(2), Qt::LeftButton);
        QTest::qWait(PtzPresetRow::kLongPressMs + 300);
        QTest::mouseRelease(row.slotButton(2), Qt::LeftButton);
        QCOMPARE(PtzPresets::text(*kept.position(2)), QStringLiteral("pan=-3600 tilt=-3600 zoom=40"));

        // A click recalls: the absolute values reach the camera.
        QVERIFY(SUCCEEDED(control->Set(CameraControl_Pan, 0, CameraControl_Flags_Manual)));
        QVERIFY(SUCCEEDED(control->Set(CameraControl_Zoom, 0, CameraControl_Flags_Manual)));
        const qint64 before = QFileInfo(tracePath()).size();
        QTest::mouseClick(row.slotButton(1), Qt::LeftButton);
        const QByteArray written = tail(before);
        QVERIFY2(written.contains(setLine(kPanCid, 7200)), written.constData());
        QVERIFY2(written.contains(setLine(kTiltCid, -3600)), written.constData());
        QVERIFY2(written.contains(setLine(kZoomCid, 40)), written.constData());

        // Ctrl+2 recalls slot 2; an empty slot writes nothing.
        const qint64 beforeKey = QFileInfo(tracePath()).size();
        QTest::keyClick(w.get(), Qt::Key_2, Qt::ControlModifier);
        QVERIFY(tail(beforeKey).contains(setLine(kPanCid, -3600)));
        const qint64 beforeEmpty = QFileInfo(tracePath()).size();
        QTest::keyClick(w.get(), Qt::Key_5, Qt::ControlModifier);
        QVERIFY(!tail(beforeEmpty).contains("\"s_ctrl\""));
    }

    void camerasWithoutAbsoluteControls()
    {
        PtzPresetRow row;
        NoAbsoluteControls control;
        row.setCamera(&control, QStringLiteral("no-ptz"));
        QVERIFY(!row.isEnabled());
        QVERIFY(row.toolTip().contains(QLatin1String("no absolute pan, tilt or zoom")));
        QCOMPARE(row.slotButton(3)->toolTip(), row.toolTip());
        QVERIFY(!row.save(1));
        QVERIFY(!row.recall(1));
    }

    // Kept text that is not a position is ignored, never half applied.
    void keptTextChecked()
    {
        PtzPresets::Position p;
        QVERIFY(PtzPresets::parse(QStringLiteral("zoom=3"), p));
        QVERIFY(!p.pan && !p.tilt && p.zoom == 3L);
        for (const char* bad : {"", "pan=", "pan=1 pan=2", "pan=1;tilt=2", "roll=4", "pan=99999999999"})
            QVERIFY2(!PtzPresets::parse(QString::fromLatin1(bad), p), bad);
        QVERIFY(!PtzPresets(QStringLiteral("k")).save(0, p, QImage()));
        QVERIFY(!PtzPresets(QStringLiteral("k")).save(7, p, QImage()));
        QVERIFY(!PtzPresets(QStringLiteral("k")).save(1, PtzPresets::Position{}, QImage()));
        // A serial number with a slash stays inside the presets folder.
        const QString path = PtzPresets(QStringLiteral("../x/y")).thumbnailPath(1);
        QVERIFY2(QFileInfo(path).fileName().startsWith(QLatin1String("..%2Fx%2Fy")), qPrintable(path));
    }

private:
    QString tracePath() const { return state.filePath(QStringLiteral("trace.jsonl")); }
    QByteArray tail(qint64 from) const
    {
        QFile f(tracePath());
        if (!f.open(QIODevice::ReadOnly)) return QByteArray();
        f.seek(from);
        return f.readAll();
    }
    static QByteArray setLine(int cid, int value)
    {
        return QStringLiteral("\"op\":\"s_ctrl\",\"cid\":%1,\"value\":%2,\"errno\":0").arg(cid).arg(value).toLatin1();
    }

    const PrivateHome home;
    QTemporaryDir state;
};

QTEST_MAIN(PresetsTest)
#include "tst_presets.moc"
