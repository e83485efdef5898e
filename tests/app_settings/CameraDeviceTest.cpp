#include <cstring>

#include <QtTest>

#include "SimCameraSetup.h"
#include "device/CameraDevice.h"

namespace {

struct DialogCall {
    CameraDevice* device = nullptr;
    IUnknown* filter = nullptr;
    bool openInside = false;
    bool secondRequestInside = true;
} dialogCall;

void recordDialog(IUnknown* filter)
{
    dialogCall.filter = filter;
    dialogCall.openInside = dialogCall.device->dialogOpen();
    dialogCall.secondRequestInside = dialogCall.device->showAdvancedDialog();
}

long writeOne(CameraDevice& device, uint32_t selector, uint8_t value)
{
    return device.xuProperty(selector, CameraDevice::Write, &value, 1);
}

} // namespace

class CameraDeviceTest : public QObject {
    Q_OBJECT
private slots:
    void bindsOnlyTheNamedCamera();
    void transfersMoveTheDeviceLengthOnce();
    void propertiesDialog();
};

void CameraDeviceTest::bindsOnlyTheNamedCamera()
{
    SimCameraSetup sim("cameras=2\n");
    CameraDevice device(kSettingsUnitGuid);
    QCOMPARE(device.wbFlags(), CameraDevice::kWhiteBalanceUnknown);
    const QString second = sim.info(1).deviceName();
    QCOMPARE(device.openDevice(second), S_OK);
    QCOMPARE(device.wbFlags(), long(VideoProcAmp_Flags_Auto));
    writeOne(device, CameraDevice::XU_FLIP_V, 1);
    QCOMPARE_LINES(sim.takeWrites(QString()), QStringList{"cam1 SET 4/24 01"});

    // The friendly name alone, the path in another case, or a camera no
    // longer attached: nothing stays bound, not even the camera before.
    for (const QString& name : {QStringLiteral("TELDORA TX42"), second.toUpper(), second.chopped(1) + QLatin1Char('X')}) {
        QCOMPARE(device.openDevice(name), CameraDevice::kNoSuchDevice);
        uint8_t untouched = 0x5A;
        QCOMPARE(device.xuProperty(CameraDevice::XU_FLIP_V, CameraDevice::Read, &untouched, 1), -1L);
        QCOMPARE(untouched, uint8_t(0x5A));
        QVERIFY(!device.cameraControl() && !device.propertyFilter());
        QCOMPARE(device.setProcAmp(VideoProcAmp_Contrast, 3, VideoProcAmp_Flags_Manual), E_POINTER);
        QCOMPARE(device.wbFlags(), CameraDevice::kWhiteBalanceUnknown);
    }
    QCOMPARE_LINES(sim.takeWrites(QString()), QStringList());

    // No video input device at all: the empty category's S_FALSE.
    sim.configure("unplugged=1\n");
    QCOMPARE(device.openDevice(second), S_FALSE);
    QVERIFY(!device.extensionUnitBound());
}

void CameraDeviceTest::transfersMoveTheDeviceLengthOnce()
{
    SimCameraSetup sim;
    CameraDevice device(kSettingsUnitGuid);
    const QString name = sim.info().deviceName();
    QCOMPARE(device.openDevice(name), S_OK);
    writeOne(device, CameraDevice::XU_EXPOSURE, 0xFD);

    // A one-byte control read into the pages' 24-byte buffer moves one byte.
    // The first access finds the unit (nodes 20 down to 4) and the length;
    // later ones are a single request each.
    uint8_t buffer[24];
    std::memset(buffer, 0xEE, sizeof buffer);
    uint64_t before = device.ksRequestCount();
    QCOMPARE(device.xuProperty(CameraDevice::XU_EXPOSURE, CameraDevice::Read, buffer, sizeof buffer), S_OK);
    QCOMPARE(device.ksRequestCount() - before, uint64_t(1));
    QCOMPARE(buffer[0], uint8_t(0xFD));
    QCOMPARE(buffer[1], uint8_t(0xEE));
    QCOMPARE(CameraDevice::signedSetting(buffer[0]), -3);
    QCOMPARE(CameraDevice::signedSetting(0x80), 128);
    QCOMPARE(CameraDevice::signedSetting(0x81), -127);

    // A control longer than the caller's buffer is refused before any byte moves.
    sim.takeLog();
    QCOMPARE(device.xuProperty(CameraDevice::XU_DEVICE_INFO, CameraDevice::Read, buffer, 4),
             CameraDevice::kBufferTooSmall);
    QCOMPARE(buffer[1], uint8_t(0xEE));
    QCOMPARE_LINES(sim.takeLog(), QStringList{"LEN 4/9"});

    // Rebinding searches again.
    QCOMPARE(device.openDevice(name), S_OK);
    before = device.ksRequestCount();
    writeOne(device, CameraDevice::XU_FLIP_H, 1);
    writeOne(device, CameraDevice::XU_FLIP_H, 0);
    QCOMPARE(device.ksRequestCount() - before, uint64_t(17 + 1 + 1 + 1));

    // A unit that no node between 20 and 1 carries is addressed at node 1,
    // where the transfer fails and nothing reaches the camera.
    CameraDevice stranger({0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}});
    QCOMPARE(stranger.openDevice(name), S_OK);
    sim.takeLog();
    before = stranger.ksRequestCount();
    QVERIFY(FAILED(writeOne(stranger, CameraDevice::XU_FLIP_V, 1)));
    QCOMPARE(stranger.ksRequestCount() - before, uint64_t(20 + 1 + 1));
    QCOMPARE_LINES(sim.takeLog(), QStringList());

    // White balance and the proc-amp; a failed read leaves the caller's values.
    device.setProcAmp(VideoProcAmp_WhiteBalance, 4600, VideoProcAmp_Flags_Manual);
    QCOMPARE(device.readWhiteBalanceMode(), S_OK);
    QCOMPARE(device.wbFlags(), long(VideoProcAmp_Flags_Manual));
    long value = -1, flags = -1;
    QCOMPARE(device.setProcAmp(VideoProcAmp_Contrast, 5, VideoProcAmp_Flags_Manual), S_OK);
    QCOMPARE(device.getProcAmp(VideoProcAmp_Contrast, value, flags), S_OK);
    QCOMPARE(value, 5L);
    value = flags = -1;
    QVERIFY(FAILED(device.getProcAmp(42, value, flags)));
    QCOMPARE(value, -1L);
}

void CameraDeviceTest::propertiesDialog()
{
    SimCameraSetup sim;
    CameraDevice device(kSettingsUnitGuid);
    // Refused without a camera, silently.
    QVERIFY(!device.showAdvancedDialog());
    QCOMPARE(device.openDevice(sim.info().deviceName()), S_OK);

    device.setDialogLibraryDirs({QStringLiteral(FAKE_PROPSHEET_NONE)});
    QVERIFY(device.showAdvancedDialog());
    device.setDialogLibraryDirs({QStringLiteral(FAKE_PROPSHEET_NO_ENTRY)});
    QVERIFY(device.showAdvancedDialog());
    QCOMPARE_LINES(sim.dialogs.shown, (QStringList{"information|Notice|DLL is not loaded!",
                                                   "information|Notice|Linke to Function is not OK!!!!"}));
    QVERIFY(!device.dialogOpen());

    // Found in the second folder: ShowDlg gets the bound filter, and a
    // second request while it runs is refused.
    sim.dialogs.shown.clear();
    QLibrary fake(QStringLiteral(FAKE_PROPSHEET "/CamPropSheet"));
    QVERIFY(fake.load());
    auto setHook = reinterpret_cast<void (*)(void (*)(IUnknown*))>(fake.resolve("setShowHook"));
    QVERIFY(setHook);
    setHook(&recordDialog);
    dialogCall.device = &device;
    device.setDialogLibraryDirs({QStringLiteral(FAKE_PROPSHEET_NONE), QStringLiteral(FAKE_PROPSHEET)});
    QVERIFY(device.showAdvancedDialog());
    setHook(nullptr);
    QCOMPARE(dialogCall.filter, static_cast<IUnknown*>(device.propertyFilter()));
    QVERIFY(dialogCall.openInside);
    QVERIFY(!dialogCall.secondRequestInside);
    QVERIFY(!device.dialogOpen());
    QCOMPARE_LINES(sim.dialogs.shown, QStringList());
}

QObject* newCameraDeviceTest() { return new CameraDeviceTest; }

#include "CameraDeviceTest.moc"
