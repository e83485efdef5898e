#include "PreviewLabel.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

PreviewLabel::PreviewLabel(const QColor& background, QWidget* parent) : QLabel(parent), background(background)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewLabel::showFrame(const QImage& frame)
{
    const bool sameArea = !current.isNull() && current.size() == frame.size();
    current = frame;
    if (sameArea)
        update(frameRect());
    else
        update();
}

void PreviewLabel::clear()
{
    current = QImage();
    QLabel::clear();
}

void PreviewLabel::setText(const QString& text)
{
    current = QImage();
    QLabel::setText(text);
}

void PreviewLabel::setPixmap(const QPixmap& pixmap)
{
    current = QImage();
    QLabel::setPixmap(pixmap);
}

QRect PreviewLabel::frameRect() const
{
    return QStyle::alignedRect(layoutDirection(), alignment(), current.size(), contentsRect());
}

void PreviewLabel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    QRegion around = event->region();
    if (!current.isNull()) around -= frameRect();
    if (!around.isEmpty()) {
        painter.setClipRegion(around);
        painter.fillRect(rect(), background);
        // What the style sheet draws behind a label (the focus cue).
        QStyleOption option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
        painter.setClipping(false);
    }
    if (!current.isNull()) {
        painter.drawImage(frameRect().topLeft(), current);
        return;
    }
    painter.end();
    QLabel::paintEvent(event);
}
