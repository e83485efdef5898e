#include "Vorq_CamForm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "AccessibleButtons.h"
#include "CaptureModeBox.h"
#include "AccessibleState.h"
#include "DisabledLook.h"

namespace {

QString pageButtonStyle()
{
    return QStringLiteral(
        "QPushButton { color: rgb(11, 42, 73); background: rgb(246, 247, 249); border: 1px solid rgb(200, 204, 212);"
        " border-radius: 4px; font: bold 13px \"DejaVu Sans\"; }"
        "QPushButton:hover { background: rgb(214, 228, 242); }"
        "QPushButton:checked { color: white; background: rgb(9, 106, 178); border-color: rgb(9, 106, 178); }");
}

// Normal, hover ("-p") and pressed ("_white") faces of a media button.
QString mediaButtonStyle(const QString& name)
{
    return QStringLiteral("QPushButton { border-image: url(:/UI/Button/%1.png); }"
                          "QPushButton:hover { border-image: url(:/UI/Button/%1-p.png); }"
                          "QPushButton:pressed, QPushButton:checked { border-image: url(:/UI/Button/%1_white.png); }")
        .arg(name);
}

// What a screen reader or an automation tool calls a widget; icon-only
// buttons show the same words as their tooltip.
void describe(QWidget* widget, const QString& name, const QString& description = QString())
{
    widget->setAccessibleName(name);
    if (!description.isEmpty()) widget->setAccessibleDescription(description);
}

void describeIconButton(QPushButton* button, const QString& name, const QString& description = QString())
{
    describe(button, name, description);
    button->setToolTip(name);
}

QPushButton* pageButton(const QString& name, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setAutoExclusive(true);
    button->setMinimumHeight(34);
    button->setStyleSheet(pageButtonStyle());
    return button;
}

QPushButton* mediaButton(const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setFixedSize(40, 40);
    // Tab only: a mouse click keeps the focus where it was.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QGroupBox* plainBox(const QString& name, QWidget* parent)
{
    auto* box = new QGroupBox(parent);
    box->setObjectName(name);
    box->setStyleSheet(QStringLiteral("QGroupBox#%1 { border: none; margin: 0; padding: 0; }").arg(name));
    return box;
}

} // namespace

void Vorq_CamForm::setupUi(QMainWindow* window)
{
    AccessibleButtons::install();
    if (window->objectName().isEmpty()) window->setObjectName(QStringLiteral("Vorq_Cam"));
    window->resize(1159, 713);
    // Buttons drawn from pictures get no focus frame from the style; this
    // one reaches every button and link of the window and its pages, whatever
    // style sheet they set themselves.
    window->setStyleSheet(QStringLiteral("QMainWindow#Vorq_Cam { background-color: rgb(226, 229, 234); }"
                                         "QPushButton:focus { outline: 2px solid rgb(233, 143, 53); }"
                                         "QLabel:focus { background-color: rgb(250, 226, 200); }"));

    centralwidget = new QWidget(window);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));
    gridLayout = new QGridLayout(centralwidget);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(0);
    gridLayout->setContentsMargins(0, 0, 0, 0);

    // Settings column: the page buttons over the pages.
    Ctrl = new QWidget(centralwidget);
    Ctrl->setObjectName(QStringLiteral("Ctrl"));
    Ctrl->setFixedWidth(356);
    auto* ctrlLayout = new QVBoxLayout(Ctrl);
    ctrlLayout->setSpacing(0);
    ctrlLayout->setContentsMargins(0, 0, 0, 0);
    settingCtrl = plainBox(QStringLiteral("settingCtrl"), Ctrl);
    auto* pageButtons = new QHBoxLayout(settingCtrl);
    pageButtons->setSpacing(6);
    pageButtons->setContentsMargins(8, 8, 8, 8);
    bt_video = pageButton(QStringLiteral("bt_video"), QStringLiteral("Video"), settingCtrl);
    bt_video->setChecked(true);
    bt_audio = pageButton(QStringLiteral("bt_audio"), QStringLiteral("Audio"), settingCtrl);
    bt_AI = pageButton(QStringLiteral("bt_AI"), QStringLiteral("Effect"), settingCtrl);
    bt_upgrade = pageButton(QStringLiteral("bt_upgrade"), QStringLiteral("Upgrade"), settingCtrl);
    for (QPushButton* b : {bt_video, bt_audio, bt_AI, bt_upgrade}) pageButtons->addWidget(b);
    ctrlLayout->addWidget(settingCtrl);
    settingWidget = new QStackedWidget(Ctrl);
    settingWidget->setObjectName(QStringLiteral("settingWidget"));
    ctrlLayout->addWidget(settingWidget, 1);
    gridLayout->addWidget(Ctrl, 0, 0);

    Line = new QWidget(centralwidget);
    Line->setObjectName(QStringLiteral("Line"));
    Line->setFixedWidth(3);
    auto* lineLayout = new QVBoxLayout(Line);
    lineLayout->setContentsMargins(0, 6, 0, 6);
    label_line = new QLabel(Line);
    label_line->setObjectName(QStringLiteral("label_line"));
    label_line->setStyleSheet(QStringLiteral("background-color: rgb(90, 90, 90); border-radius: 2px;"));
    lineLayout->addWidget(label_line);
    gridLayout->addWidget(Line, 0, 1);

    // Picture column: the picture with the recording time over it, and the
    // control strip under it.
    View = new QWidget(centralwidget);
    View->setObjectName(QStringLiteral("View"));
    auto* viewLayout = new QVBoxLayout(View);
    viewLayout->setSpacing(0);
    viewLayout->setContentsMargins(0, 0, 0, 0);
    View_label = new QWidget(View);
    View_label->setObjectName(QStringLiteral("View_label"));
    View_label->setAttribute(Qt::WA_StyledBackground, true);
    const QColor pictureBackground(20, 20, 20);
    View_label->setStyleSheet(QStringLiteral("QWidget#View_label { background-color: %1; }").arg(pictureBackground.name()));
    auto* pictureLayout = new QGridLayout(View_label);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    label_cameraview = new PreviewLabel(pictureBackground, View_label);
    label_cameraview->setObjectName(QStringLiteral("label_cameraview"));
    label_cameraview->setAlignment(Qt::AlignCenter);
    label_cameraview->setFocusPolicy(Qt::StrongFocus);
    label_cameraview->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    pictureLayout->addWidget(label_cameraview, 0, 0);
    label_recordTime = new QLabel(QStringLiteral("00:00:00"), View_label);
    label_recordTime->setObjectName(QStringLiteral("label_recordTime"));
    label_recordTime->setFixedHeight(35);
    label_recordTime->setAlignment(Qt::AlignCenter);
    // A dark plate with a red mark while a recording runs, readable on any
    // picture; nothing at all otherwise.
    label_recordTime->setStyleSheet(QStringLiteral(
        "QLabel { color: white; font: 20px \"DejaVu Sans\"; background: transparent; margin-top: 6px; }"
        "QLabel[recording=\"true\"] { background-color: rgba(0, 0, 0, 170); border-radius: 6px;"
        " background-image: url(:/UI/Word/recmark.png); background-repeat: no-repeat;"
        " background-position: left center; }"));
    label_recordTime->setAttribute(Qt::WA_TransparentForMouseEvents);
    pictureLayout->addWidget(label_recordTime, 0, 0, Qt::AlignTop | Qt::AlignHCenter);
    viewLayout->addWidget(View_label, 1);

    groupBox = plainBox(QStringLiteral("groupBox"), View);
    groupBox->setMaximumHeight(60);
    groupBox->setMinimumHeight(60);
    auto* strip = new QHBoxLayout(groupBox);
    strip->setContentsMargins(24, 0, 60, 0);
    PreView = plainBox(QStringLiteral("PreView"), groupBox);
    auto* previewLayout = new QHBoxLayout(PreView);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->setSpacing(10);
    pushButton_preview = new QPushButton(QStringLiteral("preview"), PreView);
    pushButton_preview->setObjectName(QStringLiteral("pushButton_preview"));
    pushButton_preview->setFixedSize(56, 28);
    pushButton_preview->setFocusPolicy(Qt::TabFocus);
    // The switch picture carries the meaning; the caption stays for tools.
    pushButton_preview->setStyleSheet(QStringLiteral(
        "QPushButton { border-image: url(:/UI/Button/off.png); color: transparent; }"
        "QPushButton:checked { border-image: url(:/UI/Button/on.png); }"));
    previewLayout->addWidget(pushButton_preview);
    label_PreView = new QLabel(QStringLiteral("Video Preview"), PreView);
    label_PreView->setObjectName(QStringLiteral("label_PreView"));
    label_PreView->setStyleSheet(QStringLiteral("color: rgb(11, 42, 73); font: 14px \"DejaVu Sans\";"));
    previewLayout->addWidget(label_PreView);
    comboBox_mode = new CaptureModeBox(PreView);
    comboBox_mode->setObjectName(QStringLiteral("comboBox_mode"));
    comboBox_mode->setFocusPolicy(Qt::TabFocus);
    comboBox_mode->followVisibility(pushButton_preview);
    previewLayout->addWidget(comboBox_mode);
    strip->addWidget(PreView);
    strip->addStretch(1);
    mediaCtrl = plainBox(QStringLiteral("mediaCtrl"), groupBox);
    auto* media = new QHBoxLayout(mediaCtrl);
    media->setContentsMargins(0, 0, 0, 0);
    media->setSpacing(45);
    bt_volume = mediaButton(QStringLiteral("bt_volume"), mediaCtrl);
    bt_microphone = mediaButton(QStringLiteral("bt_microphone"), mediaCtrl);
    bt_shot = mediaButton(QStringLiteral("bt_shot"), mediaCtrl);
    bt_record = mediaButton(QStringLiteral("bt_record"), mediaCtrl);
    bt_volume->setStyleSheet(mediaButtonStyle(QStringLiteral("volume")));
    bt_microphone->setStyleSheet(mediaButtonStyle(QStringLiteral("microphone")));
    bt_shot->setStyleSheet(mediaButtonStyle(QStringLiteral("shot")));
    bt_record->setStyleSheet(mediaButtonStyle(QStringLiteral("record")));
    for (QPushButton* b : {bt_volume, bt_microphone, bt_shot, bt_record}) {
        media->addWidget(b);
        DisabledLook::apply(b);
    }
    strip->addWidget(mediaCtrl);
    viewLayout->addWidget(groupBox);
    gridLayout->addWidget(View, 0, 2, 1, 2);

    gridLayout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), 1, 0);

    bottomBar = new QWidget(centralwidget);
    bottomBar->setObjectName(QStringLiteral("bottomBar"));
    bottomBar->setAttribute(Qt::WA_StyledBackground, true);
    bottomBar->setMinimumHeight(40);
    bottomBar->setMaximumHeight(40);
    bottomBar->setStyleSheet(QStringLiteral("QWidget#bottomBar { background-color: rgb(11, 42, 73); }"));
    auto* bar = new QHBoxLayout(bottomBar);
    bar->setContentsMargins(12, 4, 12, 4);
    bar->setSpacing(12);
    pushButton_logoLarge = new QPushButton(bottomBar);
    pushButton_logoLarge->setObjectName(QStringLiteral("pushButton_logoLarge"));
    pushButton_logoLarge->setFixedSize(120, 28);
    pushButton_logoLarge->setFocusPolicy(Qt::NoFocus);
    pushButton_logoLarge->setStyleSheet(QStringLiteral("border-image: url(:/UI/Icon/bravik.png);"));
    bar->addWidget(pushButton_logoLarge);
    comboBox = new QComboBox(bottomBar);
    comboBox->setObjectName(QStringLiteral("comboBox"));
    comboBox->setFixedSize(300, 30);
    bar->addWidget(comboBox);
    bar->addStretch(1);
    label_version = new QLabel(QStringLiteral("FW v1.0.0"), bottomBar);
    label_version->setObjectName(QStringLiteral("label_version"));
    label_version->setStyleSheet(QStringLiteral("color: white; font: 12px \"DejaVu Sans\";"));
    bar->addWidget(label_version);
    label_check_for_new_firmware = new QLabel(QStringLiteral("| Check for updates"), bottomBar);
    label_check_for_new_firmware->setObjectName(QStringLiteral("label_check_for_new_firmware"));
    label_check_for_new_firmware->setStyleSheet(QStringLiteral("color: rgb(233, 143, 53); font: 12px \"DejaVu Sans\";"));
    bar->addWidget(label_check_for_new_firmware);
    gridLayout->addWidget(bottomBar, 2, 0, 1, 4);

    describe(bt_video, QStringLiteral("Video settings"));
    describe(bt_audio, QStringLiteral("Audio settings"));
    describe(bt_AI, QStringLiteral("Effect settings"));
    describe(bt_upgrade, QStringLiteral("Firmware upgrade"));
    describe(pushButton_preview, QStringLiteral("Preview"));
    pushButton_preview->setToolTip(QStringLiteral("Turn the live preview on or off"));
    AccessibleState::nameComboBox(comboBox_mode, "Capture mode");
    comboBox_mode->setAccessibleDescription(QStringLiteral("Frame size and rate of the preview and recordings"));
    comboBox_mode->setToolTip(QStringLiteral("Frame size and rate of the preview and recordings"));
    describe(label_cameraview, QStringLiteral("Camera picture"));
    AccessibleState::nameLabel(label_recordTime, "Recording time");
    describeIconButton(bt_volume, QStringLiteral("Speaker volume"), QStringLiteral("Shows the speaker level slider"));
    describeIconButton(bt_microphone, QStringLiteral("Microphone volume"),
                       QStringLiteral("Shows the microphone level slider"));
    describeIconButton(bt_shot, QStringLiteral("Take snapshot"), QStringLiteral("Saves the current picture to a file"));
    describeIconButton(bt_record, QStringLiteral("Start or stop recording"),
                       QStringLiteral("Records the picture and the camera's sound to an MP4 file"));
    describe(pushButton_logoLarge, QStringLiteral("Logo"));
    AccessibleState::nameComboBox(comboBox, "Camera");
    AccessibleState::nameLabel(label_version, "Firmware version");
    describe(label_check_for_new_firmware, QStringLiteral("Check for new firmware"));

    window->setCentralWidget(centralwidget);
    menubar = new QMenuBar(window);
    menubar->setObjectName(QStringLiteral("menubar"));
    menubar->setMaximumHeight(0); // present but empty: it takes no room
    window->setMenuBar(menubar);
    window->setWindowTitle(QStringLiteral("Vorq_Cam"));
}
