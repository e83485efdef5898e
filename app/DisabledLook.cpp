#include "DisabledLook.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QWidget>

namespace {

constexpr qreal kDisabledOpacity = 0.35;

} // namespace

DisabledLook::DisabledLook(QWidget* widget) : QObject(widget) { widget->installEventFilter(this); }

void DisabledLook::apply(QWidget* widget)
{
    if (!widget) return;
    new DisabledLook(widget);
    update(widget);
}

bool DisabledLook::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) update(static_cast<QWidget*>(watched));
    return QObject::eventFilter(watched, event);
}

void DisabledLook::update(QWidget* widget)
{
    if (widget->isEnabled()) {
        widget->setGraphicsEffect(nullptr);
        return;
    }
    if (qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect())) return;
    auto* effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(kDisabledOpacity);
    widget->setGraphicsEffect(effect);
}
