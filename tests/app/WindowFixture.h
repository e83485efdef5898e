#pragma once

#include <memory>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include "FakeCameras.h"
#include "ScriptedDialogs.h"
#include "Vorq_Cam.h"
#include "Vorq_CamForm.h"

// What the window tests share: fake cameras, scripted dialogs, and ways to
// drive the window as the user and the scan timer would.
namespace window_test {

inline void scan(Vorq_Cam& window) { QMetaObject::invokeMethod(&window, "checkValidCamerasList"); }

// The user picks a combo-box row.
inline void choose(Vorq_Cam& window, int row)
{
    window.form()->comboBox->setCurrentIndex(row);
    emit window.form()->comboBox->activated(row);
}

inline QStringList comboRows(const Vorq_Cam& window)
{
    QStringList rows;
    for (int i = 0; i < window.form()->comboBox->count(); ++i) rows << window.form()->comboBox->itemText(i);
    return rows;
}

inline bool mediaButtonsEnabled(const Vorq_Cam& window)
{
    const Vorq_CamForm* f = window.form();
    return f->bt_volume->isEnabled() && f->bt_microphone->isEnabled() && f->bt_shot->isEnabled() &&
           f->bt_record->isEnabled();
}

inline bool anyMediaButtonEnabled(const Vorq_Cam& window)
{
    const Vorq_CamForm* f = window.form();
    return f->bt_volume->isEnabled() || f->bt_microphone->isEnabled() || f->bt_shot->isEnabled() ||
           f->bt_record->isEnabled();
}

// A window whose scan timer is stopped, so each test says when scans happen.
inline std::unique_ptr<Vorq_Cam> makeWindow()
{
    auto window = std::make_unique<Vorq_Cam>();
    window->cameraScanTimer()->stop();
    window->show();
    return window;
}

} // namespace window_test
