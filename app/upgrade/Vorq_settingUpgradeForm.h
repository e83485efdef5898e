#pragma once

class QGroupBox;
class QHBoxLayout;
class QPushButton;
class QTextEdit;
class QVBoxLayout;
class QWidget;

// The upgrade page's widgets, built in code; the page addresses them by these
// names.
class Vorq_settingUpgradeForm {
public:
    void setupUi(QWidget* page);

    QVBoxLayout* verticalLayout = nullptr;
    QGroupBox* displayBox = nullptr;
    QTextEdit* textEdit = nullptr;
    QGroupBox* btBox = nullptr;
    QGroupBox* bt_groupBox = nullptr;
    QPushButton* pushButton_info = nullptr;
    QPushButton* pushButton_upgrade = nullptr;
};
