// What the user changes on a camera comes back when that camera opens again:
// the simulated camera, like a real one, forgets its proc-amp and camera
// controls when it is unplugged.

#include <memory>

#include <QLabel>
#include <QLibrary>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include "SettingVideoForm.h"
#include "SimCameraSetup.h"
#include "Vorq_SettingVideo.h"
#include "device/CameraDevice.h"

namespace {

constexpr long kBrightness = 5;

// The properties dialog as the user works it: brightness set by hand.
void setBrightnessInDialog(IUnknown* filter)
{
    ComPtr<IAMVideoProcAmp> procAmp;
    if (SUCCEEDED(filter->QueryInterface(IID_IAMVideoProcAmp, procAmp.putVoid())))
        procAmp->Set(VideoProcAmp_Brightness, kBrightness, VideoProcAmp_Flags_Manual);
}

std::unique_ptr<Vorq_SettingVideo> openPage(SimCameraSetup& sim)
{
    auto page = std::make_unique<Vorq_SettingVideo>();
    page->connectControls(CameraInfo());
    page->setCameraInfo(sim.info());
    page->captureState(true);
    page->bindCamera();
    page->show();
    return page;
}

// Unplugged until the device walk has seen it gone, then plugged back in.
void replug(SimCameraSetup& sim, Vorq_SettingVideo* page)
{
    if (page) page->captureState(false);
    sim.configure("unplugged=1\n");
    QVERIFY(!sim.listed());
    sim.configure("");
    QVERIFY(sim.listed());
}

QString keptFile(const SimCameraSetup& sim)
{
    return sim.home.path() + QStringLiteral("/.config/teldora-vision-desk/cameras.conf");
}

} // namespace

class KeptSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        fake_.setFileName(QStringLiteral(FAKE_PROPSHEET "/CamPropSheet"));
        QVERIFY(fake_.load());
        setHook_ = reinterpret_cast<void (*)(void (*)(IUnknown*))>(fake_.resolve("setShowHook"));
        QVERIFY(setHook_);
        setHook_(&setBrightnessInDialog);
        mainDevice.setDialogLibraryDirs({QStringLiteral(FAKE_PROPSHEET)});
    }
    void cleanupTestCase()
    {
        setHook_(nullptr);
        mainDevice.setDialogLibraryDirs({QStringLiteral(FAKE_PROPSHEET_NONE)});
    }

    void survivesReplugAndRestart()
    {
        SimCameraSetup sim;
        auto page = openPage(sim);
        QTest::mouseClick(page->form().label_UVCSettings, Qt::LeftButton);
        QTest::mouseClick(page->form().pushButton_FlipV, Qt::LeftButton);
        drag(page->form().horizontalSlider_DRC, 9);
        QSettings kept(keptFile(sim), QSettings::IniFormat);
        QCOMPARE(kept.value(QStringLiteral("SN0001/Brightness")).toString(), QStringLiteral("5"));
        QCOMPARE(kept.value(QStringLiteral("SN0001/Contrast")).toString(), QStringLiteral("9"));
        QCOMPARE(kept.value(QStringLiteral("SN0001/FlipVertical")).toString(), QStringLiteral("true"));
        // Only what the user changed: the camera's other values are not kept.
        QCOMPARE(kept.childKeys().size() + kept.childGroups().size(), 1);

        // The camera comes back at its defaults; after the refresh, the kept
        // values are written again and shown.
        replug(sim, page.get());
        sim.takeLog();
        page->captureState(true);
        page->bindCamera();
        const QStringList writes = sim.takeWrites();
        QVERIFY2(writes.contains(QStringLiteral("ctrl CONTRAST=7")), qPrintable(writes.join(" | ")));
        QCOMPARE_LINES(writes.mid(writes.size() - 2), (QStringList{"ctrl BRIGHTNESS=5", "ctrl CONTRAST=9"}));
        QCOMPARE(page->form().horizontalSlider_DRC->value(), 9);
        QVERIFY(page->form().pushButton_FlipV->isChecked());

        // A new start of the program on a camera that was off meanwhile.
        page.reset();
        replug(sim, nullptr);
        sim.takeLog();
        page = openPage(sim);
        QVERIFY(sim.takeWrites().contains(QStringLiteral("ctrl BRIGHTNESS=5")));
        long value = 0, flags = 0;
        QCOMPARE(mainDevice.getProcAmp(VideoProcAmp_Brightness, value, flags), S_OK);
        QCOMPARE(value, kBrightness);
    }

    void factoryResetForgetsThem()
    {
        SimCameraSetup sim;
        auto page = openPage(sim);
        QTest::mouseClick(page->form().label_UVCSettings, Qt::LeftButton);
        QVERIFY(QSettings(keptFile(sim), QSettings::IniFormat).contains(QStringLiteral("SN0001/Brightness")));

        QTest::mouseClick(page->form().label_restore_to_factory_settings, Qt::LeftButton);
        QVERIFY(QSettings(keptFile(sim), QSettings::IniFormat).childGroups().isEmpty());
        replug(sim, page.get());
        sim.takeLog();
        page->captureState(true);
        page->bindCamera();
        QVERIFY(!sim.takeWrites().join(" ").contains(QStringLiteral("BRIGHTNESS")));
    }

private:
    QLibrary fake_;
    void (*setHook_)(void (*)(IUnknown*)) = nullptr;
};

QObject* newKeptSettingsTest() { return new KeptSettingsTest; }

#include "KeptSettingsTest.moc"
