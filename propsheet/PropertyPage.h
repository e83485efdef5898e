#pragma once

#include <utility>
#include <vector>

#include <QWidget>

#include "DialogUnits.h"
#include "platform/ComPtr.h"
#include "platform/DirectShow.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

// What the two property pages share: rows of label, slider and value box
// bound to one camera property, laid out in dialog units, and the filter the
// pages ask for their interface on every access (the caller owns it).
class PropertyPage : public QWidget {
    Q_OBJECT
public:
    struct Row {
        long property = 0;
        QLabel* label = nullptr;
        QSlider* slider = nullptr;
        QLineEdit* edit = nullptr;
        QCheckBox* autoBox = nullptr; // only on rows with an automatic mode
    };

    // Where a row's widgets go, in dialog units; label width and height are
    // the same for every row.
    struct RowPlacement {
        int labelX, labelY, sliderX, sliderY, editX, editY;
    };

    IUnknown* filter() const { return filter_; }
    // Lays every widget out again for other base units.
    void setUnits(const DialogUnits& units);
    const std::vector<Row>& rows() const { return rows_; }

    // A step the rounding can divide by: the camera's own, or 1 when it
    // reports none (0 or negative).
    static long usableStep(long step) { return step > 0 ? step : 1; }
    // value rounded toward zero to a multiple of step.
    static long roundToStep(long value, long step) { return value / usableStep(step) * usableStep(step); }

protected:
    PropertyPage(IUnknown* filter, const DialogUnits& units, QWidget* parent);

    // The filter's interface, queried afresh; null when it has none.
    template <typename Interface>
    ComPtr<Interface> query(REFIID iid) const
    {
        ComPtr<Interface> result;
        if (filter_ && FAILED(filter_->QueryInterface(iid, result.putVoid()))) result.reset();
        return result;
    }

    // The step of a property's range; 1 when the range cannot be read.
    template <typename Interface>
    static long rangeStep(Interface& control, long property)
    {
        long minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0;
        if (FAILED(control.GetRange(property, &minimum, &maximum, &step, &defaultValue, &caps))) return 1;
        return usableStep(step);
    }

    int addRow(long property, const QString& text, const QString& accessibleName, const RowPlacement& at,
               const QString& sliderId, const QString& editId);
    QCheckBox* addAutoBox(int index, int x, int y, const QString& id, const QString& accessibleName);
    // Puts `widget` at a place given in dialog units, kept for setUnits.
    void place(QWidget* widget, int left, int top, int width, int height);

    Row& row(int index) { return rows_[static_cast<size_t>(index)]; }
    int rowOf(long property) const;

    // Slider changes made here are the camera's answer, not the user's, and
    // never go back to the camera.
    void setRange(int index, long minimum, long maximum);
    void setPosition(int index, long value);
    void showPosition(int index);
    void disableSliderAndEdit(int index);
    // Keyboard order: row by row, then whatever follows the rows.
    void setTabOrder(const QList<QWidget*>& order);

    // A position the user gave a row's slider, to be written to the camera.
    virtual void writePosition(int index, int position) = 0;

private:
    void sliderChanged(int index);

    IUnknown* filter_;
    DialogUnits units_;
    std::vector<Row> rows_;
    std::vector<std::pair<QWidget*, QRect>> places_;
    bool updating_ = false;
};
