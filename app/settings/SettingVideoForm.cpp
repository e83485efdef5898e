#include "SettingVideoForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

const char* const kPageStyle = "#Vorq_SettingVideo { background-color: rgb(226, 229, 234); }"
                               "QGroupBox { border: none; }";

QString padButtonStyle(const QString& name)
{
    return QStringLiteral("QPushButton { border: none; border-image: url(:/UI/CameraControl/%1.png); }"
                          "QPushButton:pressed { border-image: url(:/UI/CameraControl/%1_pressed.png); }")
        .arg(name);
}

QPushButton* padButton(QWidget* parent, const char* objectName, const QString& picture, int x, int y, int w, int h)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setGeometry(x, y, w, h);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(padButtonStyle(picture));
    return button;
}

QLabel* caption(QWidget* parent, const char* objectName, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

QPushButton* switchButton(QWidget* parent, const char* objectName)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setCheckable(true);
    button->setChecked(false);
    button->setFixedSize(40, 20);
    button->setStyleSheet(QStringLiteral("QPushButton { border: none; border-image: url(:/UI/Button/off.png); }"
                                         "QPushButton:checked { border-image: url(:/UI/Button/on.png); }"));
    return button;
}

// A slider with its scale picture and the value label floating above the
// handle, in a box of its own.
QGroupBox* sliderBox(QWidget* parent, const char* boxName, const char* sliderName, const char* imageName,
                     const char* valueName, int maximum, QSlider*& slider, QLabel*& image, QLabel*& value)
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
    groupBox->setMaximumHeight(196);
    groupBox->setMinimumHeight(196);
    label_CameraControl = caption(groupBox, "label_CameraControl", QStringLiteral("Camera control"));
    label_CameraControl->setGeometry(10, 0, 200, 18);

    ConsoleBox = new QGroupBox(groupBox);
    ConsoleBox->setObjectName(QStringLiteral("ConsoleBox"));
    ConsoleBox->setGeometry(20, 18, 261, 221);
    pushButton_up = padButton(ConsoleBox, "pushButton_up", QStringLiteral("up"), 75, 0, 110, 45);
    pushButton_left = padButton(ConsoleBox, "pushButton_left", QStringLiteral("left"), 22, 33, 45, 110);
    pushButton_home = padButton(ConsoleBox, "pushButton_home", QStringLiteral("home"), 88, 46, 85, 85);
    pushButton_right = padButton(ConsoleBox, "pushButton_right", QStringLiteral("right"), 194, 33, 45, 110);
    pushButton_down = padButton(ConsoleBox, "pushButton_down", QStringLiteral("down"), 75, 132, 110, 45);
    pushButton_zoomin = padButton(groupBox, "pushButton_zoomin", QStringLiteral("zoomin"), 295, 58, 47, 47);
    pushButton_zoomout = padButton(groupBox, "pushButton_zoomout", QStringLiteral("zoomout"), 295, 123, 47, 47);
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
    ExposureBox = sliderBox(SettingBox, "ExposureBox", "horizontalSlider", "label_Exposureimg", "label_SliderValue",
                            255, horizontalSlider, label_Exposureimg, label_SliderValue);
    grid->addWidget(label_Exposure, row, 0);
    grid->addWidget(ExposureBox, row++, 1);

    label_DRC = caption(SettingBox, "label_DRC", QStringLiteral("Contrast"));
    DRC_CTLBox = sliderBox(SettingBox, "DRC_CTLBox", "horizontalSlider_DRC", "label_Exposureimg_DRC",
                           "label_SliderValue_DRC", 255, horizontalSlider_DRC, label_Exposureimg_DRC,
                           label_SliderValue_DRC);
    grid->addWidget(label_DRC, row, 0);
    grid->addWidget(DRC_CTLBox, row++, 1);

    label_RG = caption(SettingBox, "label_RG", QStringLiteral("Red Shift"));
    RG_CTLBox = sliderBox(SettingBox, "RG_CTLBox", "horizontalSlider_RG", "label_Exposureimg_RG",
                          "label_SliderValue_RG", 10, horizontalSlider_RG, label_Exposureimg_RG, label_SliderValue_RG);
    grid->addWidget(label_RG, row, 0);
    grid->addWidget(RG_CTLBox, row++, 1);

    label_BG = caption(SettingBox, "label_BG", QStringLiteral("Blue Shift"));
    BG_CTLBox = sliderBox(SettingBox, "BG_CTLBox", "horizontalSlider_BG", "label_Exposureimg_BG",
                          "label_SliderValue_BG", 10, horizontalSlider_BG, label_Exposureimg_BG, label_SliderValue_BG);
    grid->addWidget(label_BG, row, 0);
    grid->addWidget(BG_CTLBox, row++, 1);

    label_Style = caption(SettingBox, "label_Style", QStringLiteral("Image Style"));
    checkBox_Meeting = new QCheckBox(QStringLiteral("Meeting"), SettingBox);
    checkBox_Meeting->setObjectName(QStringLiteral("checkBox_Meeting"));
    checkBox_Live = new QCheckBox(QStringLiteral("Live"), SettingBox);
    checkBox_Live->setObjectName(QStringLiteral("checkBox_Live"));
    auto* styles = new QHBoxLayout;
    styles->addWidget(checkBox_Meeting);
    styles->addWidget(checkBox_Live);
    styles->addStretch();
    grid->addWidget(label_Style, row, 0);
    grid->addLayout(styles, row++, 1);

    label_FlipV = caption(SettingBox, "label_FlipV", QStringLiteral("Vertical Flip"));
    pushButton_FlipV = switchButton(SettingBox, "pushButton_FlipV");
    grid->addWidget(label_FlipV, row, 0);
    grid->addWidget(pushButton_FlipV, row++, 1, Qt::AlignLeft);

    label_FlipH = caption(SettingBox, "label_FlipH", QStringLiteral("Horizontal Flip"));
    pushButton_FlipH = switchButton(SettingBox, "pushButton_FlipH");
    grid->addWidget(label_FlipH, row, 0);
    grid->addWidget(pushButton_FlipH, row++, 1, Qt::AlignLeft);

    label_UVCSettings = caption(SettingBox, "label_UVCSettings", QStringLiteral("Advanced settings"));
    label_UVCSettings->setCursor(Qt::PointingHandCursor);
    grid->addWidget(label_UVCSettings, row++, 0, 1, 2);
    label_restore_to_factory_settings =
        caption(SettingBox, "label_restore_to_factory_settings", QStringLiteral("Restore to factory settings"));
    label_restore_to_factory_settings->setCursor(Qt::PointingHandCursor);
    grid->addWidget(label_restore_to_factory_settings, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);

    pageLayout->addWidget(SettingBox);
}
