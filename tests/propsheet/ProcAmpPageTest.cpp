#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "FakeCameraFilter.h"
#include "PageHelpers.h"
#include "cdlg2.h"

class ProcAmpPageTest : public QObject {
    Q_OBJECT
private slots:
    void readsTheCameraWithoutWriting();
    void antiFlickerShowsThePowerLineFrequency_data();
    void antiFlickerShowsThePowerLineFrequency();
    void antiFlickerChoicesWrite();
    void sliderWritesRoundedToTheStep_data();
    void sliderWritesRoundedToTheStep();
    void whiteBalanceAutoBox();
    void defaultRestoresEveryProperty();
};

void ProcAmpPageTest::readsTheCameraWithoutWriting()
{
    FakeCameraFilter fake;
    fake.procAmp[VideoProcAmp_Hue].rangeFails = true;
    fake.procAmp[VideoProcAmp_Gamma].getFails = true;
    fake.procAmp[VideoProcAmp_Brightness].step = 0;
    {
        cdlg2 page(&fake, testUnits());
        page.initialise();
        QCOMPARE_LINES(fake.takeWrites(), QStringList());

        const auto& brightness = rowFor(page, VideoProcAmp_Brightness);
        QCOMPARE(brightness.slider->minimum(), -64);
        QCOMPARE(brightness.slider->maximum(), 64);
        QCOMPARE(brightness.slider->value(), 5);
        QCOMPARE(brightness.slider->singleStep(), 1);
        QVERIFY(brightness.slider->isEnabled());
        QCOMPARE(brightness.edit->text(), QStringLiteral("5"));
        const auto& whiteBalance = rowFor(page, VideoProcAmp_WhiteBalance);
        QCOMPARE(whiteBalance.slider->pageStep(), 10);
        QCOMPARE(whiteBalance.slider->tickInterval(), 10);

        // Reported automatic: the camera decides, the value is only shown.
        QVERIFY(page.whiteBalanceAuto()->isChecked());
        QVERIFY(!whiteBalance.slider->isEnabled());
        QCOMPARE(whiteBalance.slider->value(), 5000);
        QCOMPARE(whiteBalance.edit->text(), QStringLiteral("5000"));

        for (long unreadable : {VideoProcAmp_Hue, VideoProcAmp_Gamma}) {
            QVERIFY(!rowFor(page, unreadable).slider->isEnabled());
            QVERIFY(!rowFor(page, unreadable).edit->isEnabled());
        }
        QCOMPARE(page.antiFlicker()->currentText(), QStringLiteral("50HZ"));
        QCOMPARE(fake.outstanding(), 0);
    }
    // Without the interface every row is dead.
    fake.hasProcAmp = false;
    cdlg2 page(&fake, testUnits());
    page.initialise();
    for (const auto& row : page.rows()) QVERIFY(!row.slider->isEnabled() && !row.edit->isEnabled());
    QCOMPARE_LINES(fake.takeLog(), QStringList());
}

void ProcAmpPageTest::antiFlickerShowsThePowerLineFrequency_data()
{
    QTest::addColumn<long>("value");
    QTest::addColumn<bool>("getFails");
    QTest::addColumn<QString>("shown");
    QTest::newRow("off") << 0L << false << "60HZ";
    QTest::newRow("50 Hz") << 1L << false << "50HZ";
    QTest::newRow("60 Hz") << 2L << false << "60HZ";
    QTest::newRow("auto") << 3L << false << "60HZ";
    QTest::newRow("unreadable") << 1L << true << "60HZ";
}

void ProcAmpPageTest::antiFlickerShowsThePowerLineFrequency()
{
    QFETCH(long, value);
    QFETCH(bool, getFails);
    QFETCH(QString, shown);
    FakeCameraFilter fake;
    fake.procAmp[VideoProcAmp_PowerlineFrequency].value = value;
    fake.procAmp[VideoProcAmp_PowerlineFrequency].getFails = getFails;
    cdlg2 page(&fake, testUnits());
    page.initialise();
    QCOMPARE(page.antiFlicker()->currentText(), shown);
}

void ProcAmpPageTest::antiFlickerChoicesWrite()
{
    FakeCameraFilter fake;
    cdlg2 page(&fake, testUnits());
    page.initialise();
    fake.takeLog();
    QTest::keyClick(page.antiFlicker(), Qt::Key_Down);
    QTest::keyClick(page.antiFlicker(), Qt::Key_Up);
    QCOMPARE_LINES(fake.takeLog(), (QStringList{"V GetRange 13", "V Set 13 2 2", "V GetRange 13", "V Set 13 1 2"}));
    QCOMPARE(fake.outstanding(), 0);
}

void ProcAmpPageTest::sliderWritesRoundedToTheStep_data()
{
    QTest::addColumn<long>("step");
    QTest::addColumn<int>("position");
    QTest::addColumn<long>("written");
    QTest::newRow("step 1") << 1L << 17 << 17L;
    QTest::newRow("step 2") << 2L << 17 << 16L;
    QTest::newRow("step 2, negative") << 2L << -17 << -16L;
    QTest::newRow("step 0") << 0L << 17 << 17L;
}

void ProcAmpPageTest::sliderWritesRoundedToTheStep()
{
    QFETCH(long, step);
    QFETCH(int, position);
    QFETCH(long, written);
    FakeCameraFilter fake;
    fake.procAmp[VideoProcAmp_Brightness].step = step;
    cdlg2 page(&fake, testUnits());
    page.initialise();
    fake.takeLog();
    const auto& brightness = rowFor(page, VideoProcAmp_Brightness);
    drag(brightness.slider, position);
    QCOMPARE_LINES(fake.takeLog(), (QStringList{"V GetRange 0", QStringLiteral("V Set 0 %1 2").arg(written)}));
    QCOMPARE(brightness.edit->text(), QString::number(position));
    // Positions the camera answers with go nowhere.
    page.initialiseSlider(VideoProcAmp_Brightness);
    QCOMPARE_LINES(fake.takeWrites(), QStringList());
}

void ProcAmpPageTest::whiteBalanceAutoBox()
{
    FakeCameraFilter fake;
    cdlg2 page(&fake, testUnits());
    page.initialise();
    fake.takeLog();
    const auto& whiteBalance = rowFor(page, VideoProcAmp_WhiteBalance);

    // Off: manual at the temperature reached, then read back.
    page.whiteBalanceAuto()->click();
    QCOMPARE_LINES(fake.takeLog(), (QStringList{"V Get 7", "V GetRange 7", "V Set 7 5000 2", "V GetRange 7", "V Get 7"}));
    QVERIFY(!page.whiteBalanceAuto()->isChecked());
    QVERIFY(whiteBalance.slider->isEnabled());

    page.whiteBalanceAuto()->click();
    QCOMPARE_LINES(fake.takeLog(), (QStringList{"V GetRange 7", "V Set 7 6500 1"}));
    QVERIFY(!whiteBalance.slider->isEnabled());
    QCOMPARE(fake.outstanding(), 0);
}

void ProcAmpPageTest::defaultRestoresEveryProperty()
{
    FakeCameraFilter fake;
    fake.procAmp[VideoProcAmp_PowerlineFrequency].value = 2;
    fake.procAmp[VideoProcAmp_Hue].rangeFails = true;
    cdlg2 page(&fake, testUnits());
    page.initialise();
    fake.takeLog();
    page.defaultButton()->click();
    // White balance gets its default temperature, then goes back to
    // automatic; a property without a range is left alone.
    QCOMPARE_LINES(fake.takeWrites(), (QStringList{"V Set 0 0 2", "V Set 1 7 2", "V Set 3 64 2", "V Set 4 6 2",
                                                   "V Set 5 300 2", "V Set 7 4600 2", "V Set 7 4600 1", "V Set 8 1 2",
                                                   "V Set 9 0 2"}));
    QCOMPARE(rowFor(page, VideoProcAmp_Contrast).slider->value(), 7);
    QCOMPARE(rowFor(page, VideoProcAmp_Contrast).edit->text(), QStringLiteral("7"));
    QVERIFY(page.whiteBalanceAuto()->isChecked());
    QCOMPARE(fake.procAmp[VideoProcAmp_PowerlineFrequency].value, 2L);
    QCOMPARE(fake.outstanding(), 0);
}

QObject* newProcAmpPageTest() { return new ProcAmpPageTest; }

#include "ProcAmpPageTest.moc"
