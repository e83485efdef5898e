#include "Vorq_ProgressDialogForm.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QSpacerItem>
#include <QVBoxLayout>

#include "AccessibleState.h"

void Vorq_ProgressDialogForm::setupUi(QDialog* dialog)
{
    dialog->setObjectName(QStringLiteral("Vorq_ProgressDialog"));
    dialog->setWindowTitle(QStringLiteral("Upgrading"));
    dialog->resize(400, 100);

    verticalLayout = new QVBoxLayout(dialog);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    // The spacers keep the three widgets centred whatever the dialog's height.
    verticalLayout->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));

    label_2 = new QLabel(dialog);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setText(QStringLiteral("Upgrading, please wait for the upgrade to complete!"));
    label_2->setStyleSheet(QStringLiteral("color: orange;\nfont-size: 13px;"));
    verticalLayout->addWidget(label_2);

    label = new QLabel(dialog);
    label->setObjectName(QStringLiteral("label"));
    label->setStyleSheet(QStringLiteral("color: rgb(28,28, 28);\nfont-size: 13px;"));
    AccessibleState::nameLabel(label, "Upgrade status");
    verticalLayout->addWidget(label);

    progressBar = new QProgressBar(dialog);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setAlignment(Qt::AlignCenter);
    progressBar->setAccessibleName(QStringLiteral("Upgrade progress"));
    progressBar->setStyleSheet(QStringLiteral("background-color: transparent;\ncolor: rgb(28,28, 28);"));
    verticalLayout->addWidget(progressBar);

    verticalLayout->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
}
