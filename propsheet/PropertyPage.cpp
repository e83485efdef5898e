#include "PropertyPage.h"

#include <limits>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

namespace {

int toPosition(long value)
{
    if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

// Holds a flag up for one scope, restoring what it was.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = before_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool before_;
};

constexpr int kLabelWidth = 40;
constexpr int kLabelHeight = 8;
constexpr int kSliderWidth = 109;
constexpr int kSliderHeight = 12;
constexpr int kEditWidth = 32;
constexpr int kEditHeight = 13;

} // namespace

PropertyPage::PropertyPage(IUnknown* filter, const DialogUnits& units, QWidget* parent)
    : QWidget(parent), filter_(filter), units_(units)
{
}

int PropertyPage::addRow(long property, const QString& text, const QString& accessibleName, const RowPlacement& at,
                         const QString& sliderId, const QString& editId)
{
    Row r;
    r.property = property;
    r.label = new QLabel(text, this);
    place(r.label, at.labelX, at.labelY, kLabelWidth, kLabelHeight);

    r.slider = new QSlider(Qt::Horizontal, this);
    r.slider->setObjectName(sliderId);
    r.slider->setAccessibleName(accessibleName);
    r.slider->setTickPosition(QSlider::NoTicks);
    place(r.slider, at.sliderX, at.sliderY, kSliderWidth, kSliderHeight);
    r.label->setBuddy(r.slider);

    r.edit = new QLineEdit(this);
    r.edit->setObjectName(editId);
    r.edit->setAccessibleName(accessibleName + QStringLiteral(" value"));
    r.edit->setReadOnly(true);
    place(r.edit, at.editX, at.editY, kEditWidth, kEditHeight);

    const int index = static_cast<int>(rows_.size());
    rows_.push_back(r);
    connect(r.slider, &QSlider::valueChanged, this, [this, index] { sliderChanged(index); });
    return index;
}

QCheckBox* PropertyPage::addAutoBox(int index, int x, int y, const QString& id, const QString& accessibleName)
{
    auto* box = new QCheckBox(QStringLiteral("(Auto)"), this);
    box->setObjectName(id);
    box->setAccessibleName(accessibleName);
    place(box, x, y, 40, 10);
    row(index).autoBox = box;
    return box;
}

void PropertyPage::place(QWidget* widget, int left, int top, int width, int height)
{
    places_.emplace_back(widget, QRect(left, top, width, height));
    widget->setGeometry(units_.rect(left, top, width, height));
}

void PropertyPage::setUnits(const DialogUnits& units)
{
    units_ = units;
    for (const auto& [widget, at] : places_) widget->setGeometry(units_.rect(at.x(), at.y(), at.width(), at.height()));
}

int PropertyPage::rowOf(long property) const
{
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].property == property) return static_cast<int>(i);
    return -1;
}

void PropertyPage::setRange(int index, long minimum, long maximum)
{
    const FlagScope scope(updating_);
    row(index).slider->setRange(toPosition(minimum), toPosition(maximum));
}

void PropertyPage::setPosition(int index, long value)
{
    const FlagScope scope(updating_);
    row(index).slider->setValue(toPosition(value));
}

void PropertyPage::showPosition(int index)
{
    Row& r = row(index);
    r.edit->setText(QString::number(r.slider->value()));
}

void PropertyPage::disableSliderAndEdit(int index)
{
    row(index).slider->setEnabled(false);
    row(index).edit->setEnabled(false);
}

void PropertyPage::sliderChanged(int index)
{
    const Row& r = row(index);
    if (updating_ || !r.slider->isEnabled()) return;
    showPosition(index);
    writePosition(index, r.slider->value());
}

void PropertyPage::setTabOrder(const QList<QWidget*>& order)
{
    for (int i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}
