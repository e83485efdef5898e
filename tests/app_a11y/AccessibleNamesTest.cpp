#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTextEdit>
#include <QtTest>

#include "A11yFixture.h"
#include "VolumePopup.h"
#include "Vorq_CamForm.h"
#include "Vorq_ProgressDialog.h"
#include "Vorq_ProgressDialogForm.h"

using namespace a11y_test;

namespace {

// What a user can operate: buttons, sliders, boxes, edits, and labels that
// take the focus or show a link cursor.
bool isInteractive(const QWidget* w)
{
    // Qt's own parts (a menu bar's overflow button) are Qt's to name.
    if (w->objectName().startsWith(QLatin1String("qt_"))) return false;
    // A text view's own scroll bars belong to it.
    if (qobject_cast<const QScrollBar*>(w)) return false;
    if (w->focusProxy()) return false;
    if (qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
        qobject_cast<const QComboBox*>(w) || qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
        qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w))
        return true;
    if (qobject_cast<const QLabel*>(w))
        return w->focusPolicy() != Qt::NoFocus || w->cursor().shape() == Qt::PointingHandCursor;
    return w->focusPolicy() & Qt::TabFocus;
}

QString describeWidget(const QWidget* w)
{
    return QStringLiteral("%1 (%2)").arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()));
}

} // namespace

class AccessibleNamesTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        open = std::make_unique<OpenWindow>();
        dialog = std::make_unique<Vorq_ProgressDialog>(open->window.get());
        dialog->show();
        // The popups are shown too, so nothing is judged only while hidden.
        open->window->form()->pushButton_preview->setChecked(true);
        open->window->form()->bt_volume->setChecked(true);
        open->window->form()->bt_microphone->setChecked(true);
    }
    void cleanup()
    {
        dialog.reset();
        open.reset();
    }
    void everyInteractiveWidgetIsNamed();
    void fixedNames_data();
    void fixedNames();
    void stateStaysReadable();
    void actionsActLikeClicks();

private:
    QWidget* find(const QString& root, const QString& objectName) const
    {
        QWidget* top = root == QLatin1String("dialog") ? static_cast<QWidget*>(dialog.get()) : open->window.get();
        // Several pages reuse names like "groupBox"; the table's are unique.
        const auto matches = top->findChildren<QWidget*>(objectName);
        return matches.size() == 1 ? matches.first() : nullptr;
    }

    std::unique_ptr<OpenWindow> open;
    std::unique_ptr<Vorq_ProgressDialog> dialog;
};

void AccessibleNamesTest::everyInteractiveWidgetIsNamed()
{
    QStringList unnamed;
    QStringList tooltipDiffers;
    int checked = 0;
    for (QWidget* root : {static_cast<QWidget*>(open->window.get()), static_cast<QWidget*>(dialog.get())}) {
        for (QWidget* w : root->findChildren<QWidget*>()) {
            // The combo box's own drop-down list is a window of its own.
            if (w->window() != root || !isInteractive(w)) continue;
            ++checked;
            const QString name = accessibleText(w).trimmed();
            if (name.isEmpty()) unnamed << describeWidget(w);
            // A face without words needs the words in the tooltip.
            auto* button = qobject_cast<QPushButton*>(w);
            const bool iconOnly = button && (button->text().isEmpty() || button->styleSheet().contains("transparent"));
            const bool ownTooltip = button == open->window->form()->pushButton_preview;
            if (iconOnly && button->focusPolicy() != Qt::NoFocus && !ownTooltip && button->toolTip() != name)
                tooltipDiffers << describeWidget(w) + QStringLiteral(": ") + button->toolTip();
        }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1String(", "))));
    QVERIFY2(tooltipDiffers.isEmpty(), qPrintable(tooltipDiffers.join(QLatin1String(", "))));
    // The walk saw the pages and popups, not just the window's own strip.
    QVERIFY2(checked >= 30, qPrintable(QString::number(checked)));
}

void AccessibleNamesTest::fixedNames_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tooltip");
    auto row = [](const char* root, const char* object, const char* name, const char* tooltip = "") {
        QTest::newRow(object) << QString(root) << QString(object) << QString(name) << QString(tooltip);
    };
    auto icon = [&row](const char* object, const char* name) { row("window", object, name, name); };
    row("window", "bt_video", "Video settings");
    row("window", "bt_audio", "Audio settings");
    row("window", "bt_AI", "Effect settings");
    row("window", "bt_upgrade", "Firmware upgrade");
    row("window", "pushButton_preview", "Preview", "Turn the live preview on or off");
    row("window", "label_cameraview", "Camera picture");
    row("window", "label_recordTime", "Recording time");
    icon("bt_volume", "Speaker volume");
    icon("bt_microphone", "Microphone volume");
    icon("bt_shot", "Take snapshot");
    icon("bt_record", "Start or stop recording");
    row("window", "comboBox", "Camera");
    row("window", "label_version", "Firmware version");
    row("window", "label_check_for_new_firmware", "Check for new firmware");
    icon("pushButton_up", "Tilt up");
    icon("pushButton_down", "Tilt down");
    icon("pushButton_left", "Pan left");
    icon("pushButton_right", "Pan right");
    icon("pushButton_home", "Home position");
    icon("pushButton_zoomin", "Zoom in");
    icon("pushButton_zoomout", "Zoom out");
    icon("pushButton_FlipV", "Vertical flip");
    icon("pushButton_FlipH", "Horizontal flip");
    row("window", "horizontalSlider", "Exposure");
    row("window", "horizontalSlider_DRC", "Contrast");
    row("window", "horizontalSlider_RG", "Red shift");
    row("window", "horizontalSlider_BG", "Blue shift");
    row("window", "checkBox_Meeting", "Meeting");
    row("window", "checkBox_Live", "Live");
    row("window", "label_UVCSettings", "Advanced settings");
    row("window", "label_restore_to_factory_settings", "Restore to factory settings");
    icon("pushButton_Audio", "Camera audio");
    icon("pushButton_Audio_Algo", "Audio algorithm");
    row("window", "pushButton_info", "Get information");
    row("window", "pushButton_upgrade", "Upgrade");
    row("window", "textEdit", "Upgrade information");
    row("dialog", "progressBar", "Upgrade progress");
    row("dialog", "label", "Upgrade status");
}

void AccessibleNamesTest::fixedNames()
{
    QFETCH(QString, root);
    QFETCH(QString, object);
    QFETCH(QString, name);
    QFETCH(QString, tooltip);
    QWidget* w = find(root, object);
    QVERIFY(w);
    QCOMPARE(accessibleText(w), name);
    if (!tooltip.isEmpty()) QCOMPARE(w->toolTip(), tooltip);
}

void AccessibleNamesTest::stateStaysReadable()
{
    Vorq_Cam& w = *open->window;
    const Vorq_CamForm& f = *w.form();
    QCOMPARE(accessibleText(w.speakerPopup()->slider()), QStringLiteral("Speaker level"));
    QCOMPARE(accessibleText(w.microphonePopup()->slider()), QStringLiteral("Microphone level"));

    // The labels that carry a name of their own still read out what they show.
    QVERIFY(!f.label_version->text().isEmpty());
    QCOMPARE(accessibleText(f.label_version, QAccessible::Value), f.label_version->text());
    f.label_recordTime->setText(QStringLiteral("00:01:05"));
    QCOMPARE(accessibleText(f.label_recordTime, QAccessible::Value), QStringLiteral("00:01:05"));
    dialog->setText(QStringLiteral("<font color=red>Upgrade failed</font>"));
    QCOMPARE(accessibleText(dialog->form()->label, QAccessible::Value), QStringLiteral("Upgrade failed"));
    QCOMPARE(accessibleText(f.comboBox, QAccessible::Value), f.comboBox->currentText());

    // The switches are checkable and read their checked state, whatever
    // caption the style hides.
    QPushButton* audio = w.findChild<QPushButton*>(QStringLiteral("pushButton_Audio"));
    QVERIFY(audio);
    QVERIFY(accessibleState(audio).checkable);
    QCOMPARE(bool(accessibleState(audio).checked), audio->isChecked());
    QVERIFY(accessibleState(f.pushButton_preview).checkable);
    QVERIFY(accessibleState(f.pushButton_preview).checked);
    f.pushButton_preview->setChecked(false);
    QVERIFY(!accessibleState(f.pushButton_preview).checked);

    // The camera-in-use notice is a picture; its words stay readable.
    open->sim.configure("cameras=1\nbusy=1\n");
    f.pushButton_preview->setChecked(true);
    QCOMPARE(accessibleText(f.label_cameraview, QAccessible::Description),
             QStringLiteral("Camera in use - no preview available"));
    QVERIFY(!accessibleState(f.pushButton_preview).checked);
    open->sim.configure("cameras=1\n");
    f.pushButton_preview->setChecked(true);
    QCOMPARE(accessibleText(f.label_cameraview, QAccessible::Description), QString());
    f.pushButton_preview->setChecked(false);
}

void AccessibleNamesTest::actionsActLikeClicks()
{
    Vorq_Cam& w = *open->window;
    const Vorq_CamForm& f = *w.form();
    auto act = [](QWidget* widget) {
        QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(widget)->actionInterface();
        QVERIFY(actions);
        QCOMPARE(actions->actionNames().value(0), QAccessibleActionInterface::toggleAction());
        actions->doAction(QAccessibleActionInterface::toggleAction());
    };

    // A page button "toggled" by an assistive tool opens its page.
    QCOMPARE(QAccessible::queryAccessibleInterface(f.bt_audio)->role(), QAccessible::RadioButton);
    act(f.bt_audio);
    QTRY_VERIFY(f.bt_audio->isChecked());
    QCOMPARE(f.settingWidget->currentWidget()->objectName(), QStringLiteral("Vorq_settingAudio"));

    // A camera switch asks, as it does for a click; "No" leaves it as it was.
    QPushButton* audio = w.findChild<QPushButton*>(QStringLiteral("pushButton_Audio"));
    QVERIFY(audio);
    const bool before = audio->isChecked();
    open->sim.dialogs.answerYes = false;
    act(audio);
    QTRY_COMPARE(open->sim.dialogs.shown.size(), 1);
    QVERIFY(open->sim.dialogs.shown.first().startsWith(QLatin1String("question|")));
    QCOMPARE(audio->isChecked(), before);

    // The links are links a tool can press.
    QLabel* reset = w.findChild<QLabel*>(QStringLiteral("label_restore_to_factory_settings"));
    QVERIFY(reset);
    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(reset);
    QCOMPARE(link->role(), QAccessible::Link);
    QCOMPARE(link->text(QAccessible::Name), QStringLiteral("Restore to factory settings"));
    open->sim.dialogs.shown.clear();
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(open->sim.dialogs.shown, QStringList{"question|Notice|Restore to default settings?"});
}

QObject* newAccessibleNamesTest() { return new AccessibleNamesTest; }

#include "AccessibleNamesTest.moc"
