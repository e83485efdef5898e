#pragma once

class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

// The widgets of the audio settings page, built in code; owned by the page
// through Qt parenthood.
class SettingAudioForm {
public:
    void setupUi(QWidget* page);

    QGroupBox* Audio_groupBox = nullptr;
    QGridLayout* gridLayout = nullptr;
    QLabel* label_Audio = nullptr;
    QPushButton* pushButton_Audio = nullptr;
    QLabel* label_Audio_Algo = nullptr;
    QPushButton* pushButton_Audio_Algo = nullptr;
};
