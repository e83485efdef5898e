#include "PtzPresetRow.h"

#include <QAction>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace {

const QString kNoAbsoluteControls = QStringLiteral("This camera has no absolute pan, tilt or zoom controls");

} // namespace

PtzPresetRow::PtzPresetRow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ptzPresets"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(4);
    auto* caption = new QLabel(QStringLiteral("Presets"), this);
    caption->setObjectName(QStringLiteral("label_Presets"));
    caption->setMinimumWidth(caption->sizeHint().width());
    layout->addWidget(caption);
    longPress_ = new QTimer(this);
    longPress_->setSingleShot(true);
    longPress_->setInterval(kLongPressMs);
    connect(longPress_, &QTimer::timeout, this, [this] { save(pressedSlot_); });
    for (int slot = 1; slot <= PtzPresets::kSlots; ++slot) {
        auto* button = new QPushButton(QString::number(slot), this);
        button->setObjectName(QStringLiteral("pushButton_preset%1").arg(slot));
        button->setFixedSize(40, 30);
        button->setIconSize(QSize(36, 26));
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(QStringLiteral("Preset %1").arg(slot));
        button->setAccessibleDescription(
            QStringLiteral("Click to move the camera to this position; hold or use the menu to save the current one"));
        auto* saveAction = new QAction(QStringLiteral("Save position"), button);
        button->addAction(saveAction);
        button->setContextMenuPolicy(Qt::ActionsContextMenu);
        connect(saveAction, &QAction::triggered, this, [this, slot] { save(slot); });
        connect(button, &QPushButton::pressed, this, [this, slot] { pressed(slot); });
        connect(button, &QPushButton::released, this, [this, slot] { released(slot); });
        layout->addWidget(button);
        buttons_ << button;
    }
    layout->addStretch(1);
    setCamera(nullptr, QString());
}

void PtzPresetRow::setCamera(IAMCameraControl* control, const QString& cameraKey)
{
    longPress_->stop();
    const bool usable = PtzPresets::hasAbsoluteControls(control);
    control_ = usable ? control : nullptr;
    presets_ = PtzPresets(usable ? cameraKey : QString());
    setEnabled(usable);
    setToolTip(usable || !control ? QString() : kNoAbsoluteControls);
    for (int slot = 1; slot <= PtzPresets::kSlots; ++slot) refreshSlot(slot);
}

void PtzPresetRow::installShortcuts(QWidget* window)
{
    for (int slot = 1; slot <= PtzPresets::kSlots; ++slot) {
        const int key = Qt::Key_0 + slot;
        auto* recallKey = new QShortcut(QKeySequence(Qt::CTRL | key), window);
        connect(recallKey, &QShortcut::activated, this, [this, slot] { recall(slot); });
        // Shift turns the digit into its symbol on most layouts; either way
        // is accepted.
        auto* saveKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | key), window);
        connect(saveKey, &QShortcut::activated, this, [this, slot] { save(slot); });
    }
}

bool PtzPresetRow::recall(int slot)
{
    if (!control_ || !isEnabled()) return false;
    const std::optional<PtzPresets::Position> position = presets_.position(slot);
    if (!position) return false;
    return PtzPresets::write(control_, *position);
}

bool PtzPresetRow::save(int slot)
{
    if (!control_ || !isEnabled()) return false;
    const PtzPresets::Position position = PtzPresets::read(control_);
    if (!presets_.save(slot, position, frameSource_ ? frameSource_() : QImage())) return false;
    refreshSlot(slot);
    return true;
}

void PtzPresetRow::refreshSlot(int slot)
{
    QPushButton* button = slotButton(slot);
    if (!button) return;
    if (!control_) {
        button->setIcon(QIcon());
        button->setToolTip(toolTip().isEmpty() ? QStringLiteral("Preset %1").arg(slot) : toolTip());
        return;
    }
    const std::optional<PtzPresets::Position> position = presets_.position(slot);
    const QImage picture = presets_.thumbnail(slot);
    button->setIcon(position && !picture.isNull() ? QIcon(QPixmap::fromImage(picture)) : QIcon());
    button->setToolTip(position ? QStringLiteral("Preset %1: click to recall (Ctrl+%1), hold to save (Ctrl+Shift+%1)").arg(slot)
                                : QStringLiteral("Preset %1 is empty: hold to save the current position (Ctrl+Shift+%1)").arg(slot));
}

void PtzPresetRow::pressed(int slot)
{
    pressedSlot_ = slot;
    longPress_->start();
}

void PtzPresetRow::released(int slot)
{
    // A hold that outlasted the timer saved (or tried to); only a short
    // press recalls.
    const bool shortPress = longPress_->isActive();
    longPress_->stop();
    if (shortPress && slot == pressedSlot_) recall(slot);
}
