#include "SettingVideoForm.h"

#include <algorithm>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "AccessibleState.h"

namespace {

// The height the pad's heading was laid out for.
constexpr int kHeadingHeight = 18;

const char* const kPageStyle = "#Vorq_SettingVideo { background-color: rgb(226, 229, 234); }"
                               "QGroupBox { border: none; }";

QString padButtonStyle(const QString& name)
{
    return QStringLiteral("QPushButton { border: none; border-image: url(:/UI/CameraControl/%1.png); }"
                          "QPushButton:pressed { border-image: url(:/UI/CameraControl/%1_pressed.png); }")
        .arg(name);
}

// Icon-only buttons: the tooltip says the same as the accessible name.
void nameIconButton(QPushButton* button, const QString& name)
{
    button->setAccessibleName(name);
    button->setToolTip(name);
}

QPushButton* padButton(QWidget* parent, const char* objectName, const QString& picture, const QString& name, int x,
                       int y, int w, int h)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setGeometry(x, y, w, h);
    // Reached with Tab; a click leaves the focus where it was.
    button->setFocusPolicy(Qt::TabFocus);
    button->setStyleSheet(padButtonStyle(picture));
    nameIconButton(button, name);
    return button;
}

QLabel* caption(QWidget* parent, const char* objectName, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

QPushButton* switchButton(QWidget* parent, const char* objectName, const QString& name)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    nameIconButton(button, name);
    button->setCheckable(true);
    button->setChecked(false);
    button->setFixedSize(40, 20);
    button->setStyleSheet(QStringLiteral("QPushButton { border: none; border-image: url(:/UI/Button/off.png); }"
                                         "QPushButton:checked { border-image: url(:/UI/Button/on.png); }"));
    return button;
}

// A caption that acts as a link: clicked, or reached with Tab and activated
// with Space or Enter.
void makeLink(QLabel* label, const QString& description)
{
    label->setCursor(Qt::PointingHandCursor);
    label->setFocusPolicy(Qt::TabFocus);
    label->setAccessibleName(label->text());
    label->setAccessibleDescription(description);
    AccessibleState::nameLink(label);
}

// A slider with its scale picture and the value label floating above the
// handle, in a box of its own.
QGroupBox* sliderBox(QWidget* parent, const char* boxName, const char* sliderName, const QString& name,
                     const char* imageName, const char* valueName, int maximum, QSlider*& slider, QLabel*& image,
                     QLabel*& value)
{
    auto* box = new QGroupBox(parent);
    box->setObjectName(QString::fromLatin1(boxName));
    box->setFixedSize(SettingVideoForm::kSliderWidth + 50, 58);

    image = new QLabel(box);
    image->setObjectName(QString::fromLatin1(imageName));
    image->setGeometry(25, 46, SettingVideoForm::kSliderWidth, 10);
    image->setScaledContents(true);
    image->setPixmap(QPixmap(QStringLiteral(":/UI/Slider/slider_text.png")));

    slider = new QSlider(Qt::Horizontal, box);
    slider->setObjectName(QString::fromLatin1(sliderName));
    slider->setAccessibleName(name);
    slider->setGeometry(25, 27, SettingVideoForm::kSliderWidth, 20);
    slider->setRange(0, maximum);
    slider->setStyleSheet(
        QStringLiteral("QSlider::groove:horizontal { border-image: url(:/UI/Slider/slider.png); height: 6px; }"
                       "QSlider::handle:horizontal { border-image: url(:/UI/Slider/thumb.png);"
                       " width: 16px; margin: -5px 0; }"));

    value = new QLabel(QStringLiteral("0"), box);
    value->setObjectName(QString::fromLatin1(valueName));
    value->setGeometry(10, 5, 40, 22);
    value->setAlignment(Qt::AlignCenter);
    return box;
}

} // namespace

void SettingVideoForm::setupUi(QWidget* page)
{
    page->setObjectName(QStringLiteral("Vorq_SettingVideo"));
    page->setWindowTitle(QStringLiteral("Form"));
    page->resize(356, 600);
    page->setAttribute(Qt::WA_StyledBackground, true);
    page->setStyleSheet(QString::fromLatin1(kPageStyle));

    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setSpacing(0);
    pageLayout->setContentsMargins(0, 0, 0, 0);

    // --- camera control: the motion pad and the zoom buttons -------------------
    groupBox = new QGroupBox(page);
    groupBox->setObjectName(QStringLiteral("groupBox"));
    label_CameraControl = caption(groupBox, "label_CameraControl", QStringLiteral("Camera control"));
    // The pad starts under the heading, however tall the font makes it.
    const int headingHeight = std::max(kHeadingHeight, label_CameraControl->sizeHint().height());
    const int below = headingHeight - kHeadingHeight;
    label_CameraControl->setGeometry(10, 0, 200, headingHeight);
    groupBox->setMaximumHeight(196 + below);
    groupBox->setMinimumHeight(196 + below);

    ConsoleBox = new QGroupBox(groupBox);
    ConsoleBox->setObjectName(QStringLiteral("ConsoleBox"));
    ConsoleBox->setGeometry(20, headingHeight, 261, 221);
    pushButton_up =
        padButton(ConsoleBox, "pushButton_up", QStringLiteral("up"), QStringLiteral("Tilt up"), 75, 0, 110, 45);
    pushButton_left =
        padButton(ConsoleBox, "pushButton_left", QStringLiteral("left"), QStringLiteral("Pan left"), 22, 33, 45, 110);
    pushButton_home = padButton(ConsoleBox, "pushButton_home", QStringLiteral("home"), QStringLiteral("Home position"),
                                88, 46, 85, 85);
    pushButton_right = padButton(ConsoleBox, "pushButton_right", QStringLiteral("right"), QStringLiteral("Pan right"),
                                 194, 33, 45, 110);
    pushButton_down =
        padButton(ConsoleBox, "pushButton_down", QStringLiteral("down"), QStringLiteral("Tilt down"), 75, 132, 110, 45);
    pushButton_zoomin = padButton(groupBox, "pushButton_zoomin", QStringLiteral("zoomin"), QStringLiteral("Zoom in"),
                                  295, 58 + below, 47, 47);
    pushButton_zoomout = padButton(groupBox, "pushButton_zoomout", QStringLiteral("zoomout"),
                                   QStringLiteral("Zoom out"), 295, 123 + below, 47, 47);
    for (QPushButton* b : {pushButton_up, pushButton_down, pushButton_left, pushButton_right, pushButton_zoomin,
                           pushButton_zoomout})
        b->setAccessibleDescription(QStringLiteral("Hold to move the camera; the arrow keys and + and - do the same"));
    pageLayout->addWidget(groupBox);

    // --- settings ------------------------------------------------------------------
    SettingBox = new QGroupBox(page);
    SettingBox->setObjectName(QStringLiteral("SettingBox"));
    auto* grid = new QGridLayout(SettingBox);
    grid->setContentsMargins(10, 0, 6, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);

    int row = 0;
    label_Setting = caption(SettingBox, "label_Setting", QStringLiteral("Settings"));
    grid->addWidget(label_Setting, row++, 0, 1, 2);

    label_Exposure = caption(SettingBox, "label_Exposure", QStringLiteral("Exposure"));
    ExposureBox = sliderBox(SettingBox, "ExposureBox", "horizontalSlider", QStringLiteral("Exposure"),
                            "label_Exposureimg", "label_SliderValue", 255, horizontalSlider, label_Exposureimg,
                            label_SliderValue);
    grid->addWidget(label_Exposure, row, 0);
    grid->addWidget(ExposureBox, row++, 1);

    label_DRC = caption(SettingBox, "label_DRC", QStringLiteral("Contrast"));
    DRC_CTLBox = sliderBox(SettingBox, "DRC_CTLBox", "horizontalSlider_DRC", QStringLiteral("Contrast"),
                           "label_Exposureimg_DRC", "label_SliderValue_DRC", 255, horizontalSlider_DRC,
                           label_Exposureimg_DRC, label_SliderValue_DRC);
    grid->addWidget(label_DRC, row, 0);
    grid->addWidget(DRC_CTLBox, row++, 1);

    label_RG = caption(SettingBox, "label_RG", QStringLiteral("Red Shift"));
    RG_CTLBox = sliderBox(SettingBox, "RG_CTLBox", "horizontalSlider_RG", QStringLiteral("Red shift"),
                          "label_Exposureimg_RG", "label_SliderValue_RG", 10, horizontalSlider_RG,
                          label_Exposureimg_RG, label_SliderValue_RG);
    grid->addWidget(label_RG, row, 0);
    grid->addWidget(RG_CTLBox, row++, 1);

    label_BG = caption(SettingBox, "label_BG", QStringLiteral("Blue Shift"));
    BG_CTLBox = sliderBox(SettingBox, "BG_CTLBox", "horizontalSlider_BG", QStringLiteral("Blue shift"),
                          "label_Exposureimg_BG", "label_SliderValue_BG", 10, horizontalSlider_BG,
                          label_Exposureimg_BG, label_SliderValue_BG);
    grid->addWidget(label_BG, row, 0);
    grid->addWidget(BG_CTLBox, row++, 1);

    label_Style = caption(SettingBox, "label_Style", QStringLiteral("Image Style"));
    checkBox_Meeting = new QCheckBox(QStringLiteral("Meeting"), SettingBox);
    checkBox_Meeting->setObjectName(QStringLiteral("checkBox_Meeting"));
    checkBox_Live = new QCheckBox(QStringLiteral("Live"), SettingBox);
    checkBox_Live->setObjectName(QStringLiteral("checkBox_Live"));
    checkBox_Meeting->setAccessibleName(checkBox_Meeting->text());
    checkBox_Live->setAccessibleName(checkBox_Live->text());
    auto* styles = new QHBoxLayout;
    styles->addWidget(checkBox_Meeting);
    styles->addWidget(checkBox_Live);
    styles->addStretch();
    grid->addWidget(label_Style, row, 0);
    grid->addLayout(styles, row++, 1);

    label_FlipV = caption(SettingBox, "label_FlipV", QStringLiteral("Vertical Flip"));
    pushButton_FlipV = switchButton(SettingBox, "pushButton_FlipV", QStringLiteral("Vertical flip"));
    grid->addWidget(label_FlipV, row, 0);
    grid->addWidget(pushButton_FlipV, row++, 1, Qt::AlignLeft);

    label_FlipH = caption(SettingBox, "label_FlipH", QStringLiteral("Horizontal Flip"));
    pushButton_FlipH = switchButton(SettingBox, "pushButton_FlipH", QStringLiteral("Horizontal flip"));
    grid->addWidget(label_FlipH, row, 0);
    grid->addWidget(pushButton_FlipH, row++, 1, Qt::AlignLeft);

    label_UVCSettings = caption(SettingBox, "label_UVCSettings", QStringLiteral("Advanced settings"));
    makeLink(label_UVCSettings, QStringLiteral("Opens the camera's properties dialog"));
    grid->addWidget(label_UVCSettings, row++, 0, 1, 2);
    label_restore_to_factory_settings =
        caption(SettingBox, "label_restore_to_factory_settings", QStringLiteral("Restore to factory settings"));
    makeLink(label_restore_to_factory_settings, QStringLiteral("Asks before restoring the camera's defaults"));
    grid->addWidget(label_restore_to_factory_settings, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);

    pageLayout->addWidget(SettingBox);
}
