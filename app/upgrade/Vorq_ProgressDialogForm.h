#pragma once

class QDialog;
class QLabel;
class QProgressBar;
class QVBoxLayout;

// The progress dialog's widgets, built in code.
class Vorq_ProgressDialogForm {
public:
    void setupUi(QDialog* dialog);

    QVBoxLayout* verticalLayout = nullptr;
    // The fixed notice.
    QLabel* label_2 = nullptr;
    // The status line.
    QLabel* label = nullptr;
    QProgressBar* progressBar = nullptr;
};
