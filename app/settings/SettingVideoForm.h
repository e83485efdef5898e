#pragma once

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class QWidget;

// The widgets of the video settings page, built in code. Owned by the page
// through Qt parenthood; the form only keeps the pointers.
class SettingVideoForm {
public:
    void setupUi(QWidget* page);

    QGroupBox* groupBox = nullptr;
    QLabel* label_CameraControl = nullptr;
    QGroupBox* ConsoleBox = nullptr;
    QPushButton* pushButton_up = nullptr;
    QPushButton* pushButton_down = nullptr;
    QPushButton* pushButton_left = nullptr;
    QPushButton* pushButton_right = nullptr;
    QPushButton* pushButton_home = nullptr;
    QPushButton* pushButton_zoomin = nullptr;
    QPushButton* pushButton_zoomout = nullptr;

    QGroupBox* SettingBox = nullptr;
    QLabel* label_Setting = nullptr;

    QLabel* label_Exposure = nullptr;
    QGroupBox* ExposureBox = nullptr;
    QSlider* horizontalSlider = nullptr;
    QLabel* label_Exposureimg = nullptr;
    QLabel* label_SliderValue = nullptr;

    QLabel* label_DRC = nullptr;
    QGroupBox* DRC_CTLBox = nullptr;
    QSlider* horizontalSlider_DRC = nullptr;
    QLabel* label_Exposureimg_DRC = nullptr;
    QLabel* label_SliderValue_DRC = nullptr;

    QLabel* label_RG = nullptr;
    QGroupBox* RG_CTLBox = nullptr;
    QSlider* horizontalSlider_RG = nullptr;
    QLabel* label_Exposureimg_RG = nullptr;
    QLabel* label_SliderValue_RG = nullptr;

    QLabel* label_BG = nullptr;
    QGroupBox* BG_CTLBox = nullptr;
    QSlider* horizontalSlider_BG = nullptr;
    QLabel* label_Exposureimg_BG = nullptr;
    QLabel* label_SliderValue_BG = nullptr;

    QLabel* label_Style = nullptr;
    QCheckBox* checkBox_Meeting = nullptr;
    QCheckBox* checkBox_Live = nullptr;

    QLabel* label_FlipV = nullptr;
    QPushButton* pushButton_FlipV = nullptr;
    QLabel* label_FlipH = nullptr;
    QPushButton* pushButton_FlipH = nullptr;

    QLabel* label_UVCSettings = nullptr;
    QLabel* label_restore_to_factory_settings = nullptr;

    // Width of every slider; the value labels are placed along it.
    static constexpr int kSliderWidth = 210;
};
