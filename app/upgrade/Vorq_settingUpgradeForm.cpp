#include "Vorq_settingUpgradeForm.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

void Vorq_settingUpgradeForm::setupUi(QWidget* page)
{
    page->setObjectName(QStringLiteral("Vorq_settingUpgrade"));
    page->setWindowTitle(QStringLiteral("Form"));
    page->resize(356, 510);
    page->setMaximumHeight(510);
    page->setStyleSheet(QStringLiteral("background-color: rgb(226, 229, 234);\nfont: 10px \"Arial\";"));

    verticalLayout = new QVBoxLayout(page);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    displayBox = new QGroupBox(page);
    displayBox->setObjectName(QStringLiteral("displayBox"));
    displayBox->setMinimumHeight(350);
    auto* displayLayout = new QVBoxLayout(displayBox);
    textEdit = new QTextEdit(displayBox);
    textEdit->setObjectName(QStringLiteral("textEdit"));
    textEdit->setMaximumHeight(365);
    textEdit->setAccessibleName(QStringLiteral("Upgrade information"));
    textEdit->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);\nbackground-color: rgb(11, 42, 73);\nfont: 13px;"));
    displayLayout->addWidget(textEdit);
    verticalLayout->addWidget(displayBox);

    btBox = new QGroupBox(page);
    btBox->setObjectName(QStringLiteral("btBox"));
    auto* btBoxLayout = new QVBoxLayout(btBox);
    bt_groupBox = new QGroupBox(btBox);
    bt_groupBox->setObjectName(QStringLiteral("bt_groupBox"));
    auto* buttons = new QHBoxLayout(bt_groupBox);
    buttons->setSpacing(10);
    pushButton_info = new QPushButton(QStringLiteral("Get information"), bt_groupBox);
    pushButton_info->setObjectName(QStringLiteral("pushButton_info"));
    pushButton_upgrade = new QPushButton(QStringLiteral("Upgrade"), bt_groupBox);
    pushButton_upgrade->setObjectName(QStringLiteral("pushButton_upgrade"));
    pushButton_info->setAccessibleName(QStringLiteral("Get information"));
    pushButton_info->setAccessibleDescription(QStringLiteral("Reads the camera's firmware information"));
    pushButton_upgrade->setAccessibleName(QStringLiteral("Upgrade"));
    pushButton_upgrade->setAccessibleDescription(QStringLiteral("Writes a firmware file to the camera"));
    buttons->addWidget(pushButton_info);
    buttons->addWidget(pushButton_upgrade);
    btBoxLayout->addWidget(bt_groupBox);
    verticalLayout->addWidget(btBox);
}
