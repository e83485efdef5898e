#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLibrary>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTimer>

#include "FakeCameraFilter.h"
#include "PageHelpers.h"
#include "SimCamera.h"
#include "cdlg2.h"
#include "cdlg3.h"
#include "device/CameraDevice.h"
#include "dialog1.h"

class DialogTest : public QObject {
    Q_OBJECT
private slots:
    void dialogUnitsScaleTheTemplates();
    void tabsPagesAndNames();
    void everyTextFits();
    void enterClosesWithoutRestoringDefaults();
    void changesReachTheSimulatedCamera();
    void theProgramLoadsTheLibrary();
};

void DialogTest::dialogUnitsScaleTheTemplates()
{
    const DialogUnits units(6, 13);
    QCOMPARE(units.x(315), 473); // 472.5, rounded half up
    QCOMPARE(units.y(309), 502);
    QCOMPARE(units.rect(66, 41, 109, 12), QRect(99, 67, 164, 20));
    QCOMPARE(units.x(-7), -11);
    // A font the platform reports no width for still lays out.
    QCOMPARE(DialogUnits(0, 0).x(8), 2);
}

void DialogTest::tabsPagesAndNames()
{
    FakeCameraFilter fake;
    dialog1 dialog(&fake);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Properties"));
    const DialogUnits units = DialogUnits::forFont(dialog.font());
    QCOMPARE(dialog.size(), QSize(units.x(315), units.y(309)));
    QTabWidget* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("2004"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Video Proc Amp"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Camera Control"));
    QCOMPARE(tabs->widget(0), static_cast<QWidget*>(dialog.procAmpPage()));
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(dialog.procAmpPage()->findChild<QSlider*>(QStringLiteral("2014"))->geometry(),
             units.rect(66, 41, 109, 12));

    // Every control tells assistive tools what it is.
    QStringList unnamed;
    const auto controls = dialog.findChildren<QWidget*>();
    for (QWidget* w : controls) {
        const bool ours = qobject_cast<QSlider*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QCheckBox*>(w) ||
                          qobject_cast<QComboBox*>(w) || qobject_cast<QPushButton*>(w) || qobject_cast<QLabel*>(w);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
        if (ours && (!accessible || accessible->text(QAccessible::Name).isEmpty()))
            unnamed << QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
    }
    QCOMPARE_LINES(unnamed, QStringList());
}

// Each text within its widget at the font the widget really uses, also
// inside a window whose style sheet reaches the dialog.
void DialogTest::everyTextFits()
{
    QWidget window;
    window.setStyleSheet(QStringLiteral("QLabel:focus { background-color: rgb(250, 226, 200); }"));
    for (QWidget* parent : {static_cast<QWidget*>(nullptr), &window}) {
        FakeCameraFilter fake;
        dialog1 dialog(&fake, parent);
        dialog.ensurePolished();
        for (QWidget* w : dialog.findChildren<QWidget*>()) w->ensurePolished();
        QStringList cut;
        auto check = [&](QWidget* w, const QString& text, int room) {
            const QFontMetrics metrics = w->fontMetrics();
            if (metrics.horizontalAdvance(text) > room || metrics.height() > w->height())
                cut << QStringLiteral("%1: %2 in %3, %4 in %5")
                           .arg(text)
                           .arg(metrics.horizontalAdvance(text))
                           .arg(room)
                           .arg(metrics.height())
                           .arg(w->height());
        };
        for (QLabel* label : dialog.findChildren<QLabel*>()) check(label, label->text(), label->contentsRect().width());
        for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
            QStyleOptionButton option;
            option.initFrom(box);
            const int indicator = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).left();
            check(box, box->text(), box->width() - indicator);
        }
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            check(button, button->text(), button->width() - 8);
        QCOMPARE_LINES(cut, QStringList());
    }
}

void DialogTest::enterClosesWithoutRestoringDefaults()
{
    FakeCameraFilter fake;
    dialog1 dialog(&fake);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    fake.takeLog();
    dialog.procAmpPage()->defaultButton()->setFocus();
    QTest::keyClick(dialog.procAmpPage()->defaultButton(), Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
    QCOMPARE_LINES(fake.takeWrites(), QStringList());
}

void DialogTest::changesReachTheSimulatedCamera()
{
    SimCamera sim;
    ComPtr<IBaseFilter> filter = sim.bindFilter();
    QVERIFY(filter);
    dialog1 dialog(filter.get());
    cdlg2* procAmp = dialog.procAmpPage();
    cdlg3* camera = dialog.cameraControlPage();
    QCOMPARE_LINES(sim.takeWrites(), QStringList());
    // The camera starts with automatic white balance, focus and exposure.
    QVERIFY(procAmp->whiteBalanceAuto()->isChecked());
    QVERIFY(!rowFor(*procAmp, VideoProcAmp_WhiteBalance).slider->isEnabled());
    QVERIFY(camera->autoBox(CameraControl_Focus)->isChecked());

    drag(rowFor(*procAmp, VideoProcAmp_Brightness).slider, 17);
    procAmp->whiteBalanceAuto()->click();
    QTest::keyClick(procAmp->antiFlicker(), Qt::Key_Down);
    camera->autoBox(CameraControl_Exposure)->click();
    drag(rowFor(*camera, CameraControl_Zoom).slider, 30);
    QCOMPARE_LINES(sim.takeWrites(), (QStringList{"BRIGHTNESS=17", "AUTO_WHITE_BALANCE=0", "WHITE_BALANCE_TEMPERATURE=4600",
                                                  "POWER_LINE_FREQUENCY=2", "EXPOSURE_AUTO=1", "EXPOSURE_ABSOLUTE=250",
                                                  "ZOOM_ABSOLUTE=30"}));
    QVERIFY(!procAmp->whiteBalanceAuto()->isChecked());
    // Manual again at the exposure automatic mode had reached.
    QCOMPARE(rowFor(*camera, CameraControl_Exposure).slider->value(), 250);

    QSignalSpy restored(camera, &cdlg3::defaultsRestored);
    camera->defaultButton()->click();
    QVERIFY(restored.wait(3000));
    QCOMPARE_LINES(sim.takeWrites(), (QStringList{"PAN_ABSOLUTE=0", "TILT_ABSOLUTE=0", "ZOOM_ABSOLUTE=0", "EXPOSURE_AUTO=3",
                                                  "IRIS_ABSOLUTE=0", "FOCUS_AUTO=1"}));
}

void DialogTest::theProgramLoadsTheLibrary()
{
    QLibrary library(QStringLiteral(CAMPROPSHEET_LIBRARY));
    QVERIFY2(library.load(), qPrintable(library.errorString()));
    auto test = reinterpret_cast<const char* (*)()>(library.resolve("test"));
    QVERIFY(test);
    QCOMPARE(QByteArray(test()), QByteArray("hello"));

    SimCamera sim;
    CameraDevice device(kSettingsUnitGuid);
    QCOMPARE(device.openDevice(sim.deviceName()), S_OK);
    device.setDialogLibraryDirs({QFileInfo(QStringLiteral(CAMPROPSHEET_LIBRARY)).path()});
    sim.takeWrites();

    // Acts as the user once the modal dialog is up, then presses Enter.
    bool seen = false;
    QTimer user;
    connect(&user, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        user.stop();
        seen = dialog->windowTitle() == QLatin1String("Properties");
        if (auto* contrast = dialog->findChild<QSlider*>(QStringLiteral("2015"))) drag(contrast, 9);
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    user.start(20);
    QVERIFY(device.showAdvancedDialog());
    QVERIFY(seen);
    QCOMPARE_LINES(sim.takeWrites(), QStringList{"CONTRAST=9"});
    QVERIFY(!device.dialogOpen());
}

QObject* newDialogTest() { return new DialogTest; }

#include "DialogTest.moc"
