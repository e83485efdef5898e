#pragma once

#include "PreviewLabel.h"

class CaptureModeBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QMainWindow;
class QMenuBar;
class QPushButton;
class QStackedWidget;
class QWidget;

// The main window's widgets, built in code; the window addresses them by
// these names.
class Vorq_CamForm {
public:
    void setupUi(QMainWindow* window);

    QWidget* centralwidget = nullptr;
    QGridLayout* gridLayout = nullptr;
    QWidget* Ctrl = nullptr;
    QGroupBox* settingCtrl = nullptr;
    QPushButton* bt_video = nullptr;
    QPushButton* bt_audio = nullptr;
    QPushButton* bt_AI = nullptr;
    QPushButton* bt_upgrade = nullptr;
    QStackedWidget* settingWidget = nullptr;
    QWidget* Line = nullptr;
    QLabel* label_line = nullptr;
    QWidget* View = nullptr;
    QWidget* View_label = nullptr;
    PreviewLabel* label_cameraview = nullptr;
    QLabel* label_recordTime = nullptr;
    QGroupBox* groupBox = nullptr;
    QGroupBox* PreView = nullptr;
    QPushButton* pushButton_preview = nullptr;
    QLabel* label_PreView = nullptr;
    CaptureModeBox* comboBox_mode = nullptr;
    QGroupBox* mediaCtrl = nullptr;
    QPushButton* bt_volume = nullptr;
    QPushButton* bt_microphone = nullptr;
    QPushButton* bt_shot = nullptr;
    QPushButton* bt_record = nullptr;
    QWidget* bottomBar = nullptr;
    QPushButton* pushButton_logoLarge = nullptr;
    QComboBox* comboBox = nullptr;
    QLabel* label_version = nullptr;
    QLabel* label_check_for_new_firmware = nullptr;
    QMenuBar* menubar = nullptr;
};
