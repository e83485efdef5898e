#include "Vorq_settingAI.h"

Vorq_settingAI::Vorq_settingAI(QWidget* parent) : QWidget(parent)
{
    if (objectName().isEmpty()) setObjectName(QStringLiteral("Vorq_settingAI"));
    resize(356, 477);
    setWindowTitle(QStringLiteral("Form"));
    QMetaObject::connectSlotsByName(this);
}

Vorq_settingAI::~Vorq_settingAI() = default;
