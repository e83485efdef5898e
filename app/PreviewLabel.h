#pragma once

#include <QColor>
#include <QImage>
#include <QLabel>

// The camera picture. Shows each preview frame as it came, without turning it
// into a pixmap, and paints its whole area itself (the picture column's colour
// around the frame), so a new frame repaints only the frame and nothing behind
// it. Whatever else the label is given (the in-use notice, text, nothing)
// replaces the frame.
class PreviewLabel : public QLabel {
    Q_OBJECT
public:
    PreviewLabel(const QColor& background, QWidget* parent);

    void showFrame(const QImage& frame);
    QImage frame() const { return current; }

    void clear();
    void setText(const QString& text);
    void setPixmap(const QPixmap& pixmap);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect frameRect() const;

    QColor background;
    QImage current;
};
