#include "SettingAudioForm.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>

namespace {

// The caption is hidden by the style; the accessible name says what the
// switch does and its checked state is its state.
QPushButton* switchButton(QWidget* parent, const char* objectName, const QString& name)
{
    auto* button = new QPushButton(QStringLiteral("PushButton"), parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setAccessibleName(name);
    button->setToolTip(name);
    button->setCheckable(true);
    button->setChecked(false);
    button->setMaximumSize(40, 20);
    button->setMinimumSize(40, 20);
    button->setStyleSheet(
        QStringLiteral("QPushButton { border: none; color: transparent; border-image: url(:/UI/Button/off.png); }"
                       "QPushButton:checked { border-image: url(:/UI/Button/on.png); }"));
    return button;
}

} // namespace

void SettingAudioForm::setupUi(QWidget* page)
{
    page->setObjectName(QStringLiteral("Vorq_settingAudio"));
    page->setWindowTitle(QStringLiteral("Form"));
    page->resize(356, 510);
    page->setAttribute(Qt::WA_StyledBackground, true);
    page->setStyleSheet(QStringLiteral("#Vorq_settingAudio { background-color: rgb(226, 229, 234); }"
                                       "QGroupBox { border: none; }"));

    Audio_groupBox = new QGroupBox(page);
    Audio_groupBox->setObjectName(QStringLiteral("Audio_groupBox"));
    Audio_groupBox->setGeometry(0, 10, 291, 91);
    Audio_groupBox->setMinimumSize(291, 91);

    gridLayout = new QGridLayout(Audio_groupBox);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(0);
    gridLayout->setContentsMargins(30, 0, 30, 0);

    label_Audio = new QLabel(QStringLiteral("Audio"), Audio_groupBox);
    label_Audio->setObjectName(QStringLiteral("label_Audio"));
    gridLayout->addWidget(label_Audio, 0, 0);
    gridLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 1);
    pushButton_Audio = switchButton(Audio_groupBox, "pushButton_Audio", QStringLiteral("Camera audio"));
    gridLayout->addWidget(pushButton_Audio, 0, 2);

    label_Audio_Algo = new QLabel(QStringLiteral("Audio Algo"), Audio_groupBox);
    label_Audio_Algo->setObjectName(QStringLiteral("label_Audio_Algo"));
    gridLayout->addWidget(label_Audio_Algo, 1, 0);
    pushButton_Audio_Algo = switchButton(Audio_groupBox, "pushButton_Audio_Algo", QStringLiteral("Audio algorithm"));
    gridLayout->addWidget(pushButton_Audio_Algo, 1, 2);
}
