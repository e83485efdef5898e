#include <unistd.h>

#include <cstdio>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryFile>

#include "FakeCameraFilter.h"
#include "PageHelpers.h"
#include "cdlg3.h"

namespace {

// What the code under `run` printed to standard output.
template <typename Run>
QByteArray standardOutputOf(Run run)
{
    QTemporaryFile capture;
    if (!capture.open()) return {};
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(capture.handle(), STDOUT_FILENO);
    run();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    capture.seek(0);
    return capture.readAll();
}

} // namespace

class CameraControlPageTest : public QObject {
    Q_OBJECT
private slots:
    void readsTheCameraAndPrintsWhatItRead();
    void withoutCameraControlEverythingIsOff();
    void slidersAndAutoBoxesWrite();
    void defaultRestoresWhileTheWindowStaysLive();
    void automaticModesOnlyWhereTheCameraHasThem();
    void closingDuringTheFocusWait();
};

void CameraControlPageTest::readsTheCameraAndPrintsWhatItRead()
{
    FakeCameraFilter fake;
    fake.camera[CameraControl_Zoom].defaultValue = 10;
    fake.camera[CameraControl_Pan].defaultValue = -3600;
    fake.camera[CameraControl_Tilt].rangeFails = true;
    fake.camera[CameraControl_Iris].getFails = true;
    cdlg3 page(&fake, testUnits());
    const QByteArray printed = standardOutputOf([&page] { page.initialise(); });
    QCOMPARE(printed,
             QByteArray("m_iZoomDefaultValue=10, m_iExposureDefaultValue=250, m_iFocusDefaultValue=0,\n\t\t\t\t"
                        "m_iIrisDefaultValue=0, m_iPanDefaultValue=-3600, m_iTiltDefaultValue=0\n"
                        "\r\n Value : 40, Property : 3\r\n"
                        "\r\n Value : 120, Property : 6\r\n"
                        "\r\n Value : 300, Property : 4\r\n"
                        "\r\n Value : 0, Property : 5\r\n"
                        "\r\n Value : 7200, Property : 0\r\n"));
    QCOMPARE_LINES(fake.takeWrites(), QStringList());

    // Automatic modes from the camera's flags.
    for (long automatic : {CameraControl_Focus, CameraControl_Exposure}) {
        QVERIFY(page.autoBox(automatic)->isChecked());
        QVERIFY(!rowFor(page, automatic).slider->isEnabled());
    }
    QCOMPARE(rowFor(page, CameraControl_Focus).edit->text(), QStringLiteral("120"));
    // Only the page step follows the camera's step.
    const auto& pan = rowFor(page, CameraControl_Pan);
    QCOMPARE(pan.slider->pageStep(), 3600);
    QCOMPARE(pan.slider->singleStep(), 1);
    QCOMPARE(pan.slider->value(), 7200);
    QVERIFY(pan.slider->isEnabled());
    // No range: the whole row is off; no value: slider and edit are.
    const auto& tilt = rowFor(page, CameraControl_Tilt);
    QVERIFY(!tilt.label->isEnabled() && !tilt.slider->isEnabled() && !tilt.edit->isEnabled());
    const auto& iris = rowFor(page, CameraControl_Iris);
    QVERIFY(iris.label->isEnabled() && !iris.slider->isEnabled() && !iris.edit->isEnabled());
    QCOMPARE(fake.outstanding(), 0);
}

void CameraControlPageTest::withoutCameraControlEverythingIsOff()
{
    FakeCameraFilter fake;
    fake.hasCameraControl = false;
    cdlg3 page(&fake, testUnits());
    standardOutputOf([&page] { page.initialise(); });
    for (const auto& row : page.rows()) {
        QVERIFY(!row.label->isEnabled() && !row.slider->isEnabled() && !row.edit->isEnabled());
        if (row.autoBox) QVERIFY(!row.autoBox->isEnabled());
    }
    QSignalSpy restored(&page, &cdlg3::defaultsRestored);
    page.defaultButton()->click();
    QVERIFY(!restored.wait(1200));
    QCOMPARE_LINES(fake.takeLog(), QStringList());
}

void CameraControlPageTest::slidersAndAutoBoxesWrite()
{
    FakeCameraFilter fake;
    cdlg3 page(&fake, testUnits());
    standardOutputOf([&page] { page.initialise(); });
    fake.takeLog();

    // Written as the user left it; the camera rounds to its own step.
    drag(rowFor(page, CameraControl_Pan).slider, 1000);
    QCOMPARE(rowFor(page, CameraControl_Pan).edit->text(), QStringLiteral("1000"));
    standardOutputOf([&page] {
        page.autoBox(CameraControl_Exposure)->click(); // off: manual at the exposure it had
        page.autoBox(CameraControl_Focus)->click();    // off: where autofocus left it
        page.autoBox(CameraControl_Iris)->click();     // on
        page.autoBox(CameraControl_Focus)->click();    // on again
    });
    QCOMPARE_LINES(fake.takeWrites(), (QStringList{"C Set 0 1000 2", "C Set 4 300 2", "C Set 6 120 2", "C Set 5 0 1",
                                                   "C Set 6 0 1"}));
    // Each box shows what the camera answered afterwards.
    QVERIFY(!page.autoBox(CameraControl_Exposure)->isChecked());
    QVERIFY(rowFor(page, CameraControl_Exposure).slider->isEnabled());
    QCOMPARE(rowFor(page, CameraControl_Exposure).slider->value(), 300);
    QVERIFY(page.autoBox(CameraControl_Iris)->isChecked());
    QVERIFY(!rowFor(page, CameraControl_Iris).slider->isEnabled());
    QCOMPARE(fake.outstanding(), 0);
}

void CameraControlPageTest::automaticModesOnlyWhereTheCameraHasThem()
{
    FakeCameraFilter fake;
    fake.camera[CameraControl_Iris].caps = CameraControl_Flags_Manual;
    fake.camera[CameraControl_Iris].value = 4;
    fake.camera[CameraControl_Iris].defaultValue = 6;
    cdlg3 page(&fake, testUnits());
    standardOutputOf([&page] { page.initialise(); });
    QVERIFY(!page.autoBox(CameraControl_Iris)->isEnabled());
    QVERIFY(rowFor(page, CameraControl_Iris).slider->isEnabled());
    QVERIFY(page.autoBox(CameraControl_Exposure)->isEnabled());

    // Exposure back to manual where its value cannot be read: the default,
    // never 0.
    fake.camera[CameraControl_Exposure].getFails = true;
    fake.takeLog();
    standardOutputOf([&page] { page.autoBox(CameraControl_Exposure)->click(); });
    QCOMPARE_LINES(fake.takeWrites(), QStringList{"C Set 4 250 2"});
}

void CameraControlPageTest::defaultRestoresWhileTheWindowStaysLive()
{
    FakeCameraFilter fake;
    fake.camera[CameraControl_Tilt].flags = 1; // automatic: left alone
    fake.camera[CameraControl_Zoom].defaultValue = 10;
    fake.camera[CameraControl_Iris].getFails = true;
    cdlg3 page(&fake, testUnits());
    QSignalSpy restored(&page, &cdlg3::defaultsRestored);
    QElapsedTimer clock;
    standardOutputOf([&] {
        page.initialise();
        fake.takeLog();
        clock.start();
        page.defaultButton()->click();
    });
    QCOMPARE_LINES(fake.takeWrites(), (QStringList{"C Set 0 0 2", "C Set 3 10 2", "C Set 4 0 1", "C Set 6 0 1"}));
    QCOMPARE(rowFor(page, CameraControl_Zoom).slider->value(), 10);
    QCOMPARE(rowFor(page, CameraControl_Zoom).edit->text(), QStringLiteral("10"));
    QVERIFY(!page.defaultButton()->isEnabled());

    // The page is live while the focus settles; what the camera reports
    // after the wait is what the slider shows.
    bool ranMeanwhile = false;
    QTimer::singleShot(100, &page, [&] {
        ranMeanwhile = restored.isEmpty();
        fake.camera[CameraControl_Focus].value = 333;
    });
    QVERIFY(restored.wait(3000));
    QVERIFY(ranMeanwhile);
    QVERIFY(clock.elapsed() >= 950);
    QCOMPARE_LINES(fake.takeLog(), QStringList{"C Get 6"});
    QCOMPARE(rowFor(page, CameraControl_Focus).slider->value(), 333);
    QCOMPARE(rowFor(page, CameraControl_Focus).edit->text(), QStringLiteral("333"));
    QVERIFY(page.defaultButton()->isEnabled());
    QCOMPARE(fake.outstanding(), 0);
}

void CameraControlPageTest::closingDuringTheFocusWait()
{
    FakeCameraFilter fake;
    auto* page = new cdlg3(&fake, testUnits());
    standardOutputOf([page] {
        page->initialise();
        page->defaultButton()->click();
    });
    delete page;
    fake.takeLog();
    QTest::qWait(1200);
    QCOMPARE_LINES(fake.takeLog(), QStringList());
    QCOMPARE(fake.outstanding(), 0);
}

QObject* newCameraControlPageTest() { return new CameraControlPageTest; }

#include "CameraControlPageTest.moc"
