#include "Vorq_ProgressDialog.h"

#include <QLabel>
#include <QProgressBar>

#include "Vorq_ProgressDialogForm.h"

Vorq_ProgressDialog::Vorq_ProgressDialog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Vorq_ProgressDialogForm>())
{
    ui->setupUi(this);
}

Vorq_ProgressDialog::~Vorq_ProgressDialog() = default;

void Vorq_ProgressDialog::setValue(int value) { ui->progressBar->setValue(value); }

void Vorq_ProgressDialog::setText(QString text) { ui->label->setText(text); }
