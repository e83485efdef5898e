#pragma once

#include <QWidget>

// The "Effect" page: it holds its place in the settings area and has nothing
// on it yet.
class Vorq_settingAI : public QWidget {
    Q_OBJECT
public:
    explicit Vorq_settingAI(QWidget* parent = nullptr);
    ~Vorq_settingAI() override;
};
