#include "cdlg2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace {

struct ProcAmpRow {
    long property;
    const char* text;
    const char* accessibleName;
    const char* sliderId;
    const char* editId;
};

constexpr ProcAmpRow kRows[] = {
    {VideoProcAmp_Brightness, "Brightness", "Brightness", "2014", "2022"},
    {VideoProcAmp_Contrast, "Contrast", "Contrast", "2015", "2023"},
    {VideoProcAmp_Hue, "Hue", "Hue", "2016", "2024"},
    {VideoProcAmp_Saturation, "Saturation", "Saturation", "2017", "2025"},
    {VideoProcAmp_Sharpness, "Sharpness", "Sharpness", "2018", "2026"},
    {VideoProcAmp_Gamma, "Gamma", "Gamma", "2019", "2027"},
    {VideoProcAmp_WhiteBalance, "WB", "White balance", "2011", "2028"},
    {VideoProcAmp_BacklightCompensation, "BackLight", "Backlight compensation", "2012", "2029"},
    {VideoProcAmp_Gain, "Gain", "Gain", "2013", "2030"},
};

constexpr int kLabelX = 25;
constexpr int kFirstRowY = 43;
constexpr int kRowPitch = 14;
constexpr int kSliderX = 66;
constexpr int kEditX = 177;

// The combo box's entries and the camera's power-line values they stand for.
constexpr int kFiftyHertzIndex = 0;
constexpr long kFiftyHertz = 1;
constexpr long kSixtyHertz = 2;

// Written with the automatic flag; the camera picks the temperature itself.
constexpr long kAutoWhiteBalanceValue = 6501;

} // namespace

cdlg2::cdlg2(IUnknown* filter, const DialogUnits& units, QWidget* parent) : PropertyPage(filter, units, parent)
{
    setObjectName(QStringLiteral("2006"));
    setAccessibleName(QStringLiteral("Video Proc Amp"));

    QList<QWidget*> order;
    int y = kFirstRowY;
    for (const ProcAmpRow& r : kRows) {
        const int index = addRow(r.property, QString::fromLatin1(r.text), QString::fromLatin1(r.accessibleName),
                                 {kLabelX, y, kSliderX, y - 2, kEditX, y - 2}, QString::fromLatin1(r.sliderId),
                                 QString::fromLatin1(r.editId));
        order << row(index).slider << row(index).edit;
        if (r.property == VideoProcAmp_WhiteBalance) {
            whiteBalanceAuto_ = addAutoBox(index, 218, 125, QStringLiteral("2034"), QStringLiteral("White balance automatic"));
            order << whiteBalanceAuto_;
        }
        y += kRowPitch;
    }

    auto* antiFlickerLabel = new QLabel(QStringLiteral("Anti Flicker"), this);
    place(antiFlickerLabel, kLabelX, y, 40, 8);
    antiFlicker_ = new QComboBox(this);
    antiFlicker_->setObjectName(QStringLiteral("2020"));
    antiFlicker_->setAccessibleName(QStringLiteral("Anti flicker"));
    antiFlicker_->addItems({QStringLiteral("50HZ"), QStringLiteral("60HZ")});
    place(antiFlicker_, kSliderX, y - 2, 60, 12);
    antiFlickerLabel->setBuddy(antiFlicker_);

    defaultButton_ = new QPushButton(QStringLiteral("Default"), this);
    defaultButton_->setObjectName(QStringLiteral("2021"));
    defaultButton_->setAccessibleName(QStringLiteral("Restore video proc amp defaults"));
    // Enter closes the dialog; it never restores the defaults by accident.
    defaultButton_->setAutoDefault(false);
    place(defaultButton_, 94, 200, 57, 14);
    order << antiFlicker_ << defaultButton_;
    setTabOrder(order);

    connect(whiteBalanceAuto_, &QCheckBox::clicked, this, &cdlg2::whiteBalanceAutoClicked);
    connect(antiFlicker_, QOverload<int>::of(&QComboBox::activated), this, &cdlg2::antiFlickerActivated);
    connect(defaultButton_, &QPushButton::clicked, this, &cdlg2::restoreDefaults);
}

void cdlg2::initialise()
{
    for (const ProcAmpRow& r : kRows) initialiseSlider(r.property);

    long value = 0, flags = 0;
    const ComPtr<IAMVideoProcAmp> amp = procAmp();
    const bool fifty = amp && SUCCEEDED(amp->Get(VideoProcAmp_PowerlineFrequency, &value, &flags)) && value == kFiftyHertz;
    // Off, automatic and 60 Hz all show as "60HZ".
    antiFlicker_->setCurrentIndex(fifty ? kFiftyHertzIndex : 1);
}

void cdlg2::initialiseSlider(long property)
{
    const int index = rowOf(property);
    if (index < 0) return;
    Row& r = row(index);
    const ComPtr<IAMVideoProcAmp> amp = procAmp();
    long minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0;
    // Without a readable range there is nothing sensible to offer.
    if (!amp || FAILED(amp->GetRange(property, &minimum, &maximum, &step, &defaultValue, &caps))) {
        disableSliderAndEdit(index);
        return;
    }
    step = usableStep(step);
    r.slider->setEnabled(false);
    setRange(index, minimum, maximum);
    r.slider->setSingleStep(static_cast<int>(step));
    r.slider->setPageStep(static_cast<int>(step));
    r.slider->setTickInterval(static_cast<int>(step));

    long value = 0, flags = 0;
    if (FAILED(amp->Get(property, &value, &flags))) {
        disableSliderAndEdit(index);
        return;
    }
    setPosition(index, value);
    // Automatic, or run by the camera itself (an inactive control): greyed.
    const bool automatic = flags == VideoProcAmp_Flags_Auto;
    r.slider->setEnabled(!automatic);
    if (r.autoBox) {
        const bool offersAuto = (caps & VideoProcAmp_Flags_Auto) != 0;
        r.autoBox->setVisible(offersAuto);
        r.autoBox->setEnabled(offersAuto);
        r.autoBox->setChecked(offersAuto && automatic);
    }
    showPosition(index);
}

void cdlg2::writePosition(int index, int position)
{
    const long property = row(index).property;
    const ComPtr<IAMVideoProcAmp> amp = procAmp();
    if (!amp) return;
    amp->Set(property, roundToStep(position, rangeStep(*amp.get(), property)), VideoProcAmp_Flags_Manual);
}

void cdlg2::whiteBalanceAutoClicked(bool checked)
{
    QSlider* slider = row(rowOf(VideoProcAmp_WhiteBalance)).slider;
    slider->setEnabled(!checked);
    const ComPtr<IAMVideoProcAmp> amp = procAmp();
    if (amp && checked) {
        const long step = rangeStep(*amp.get(), VideoProcAmp_WhiteBalance);
        amp->Set(VideoProcAmp_WhiteBalance, roundToStep(kAutoWhiteBalanceValue, step), VideoProcAmp_Flags_Auto);
    } else if (amp) {
        long value = 0, flags = 0;
        // Back to manual at the temperature the camera had settled on.
        if (SUCCEEDED(amp->Get(VideoProcAmp_WhiteBalance, &value, &flags))) {
            const long step = rangeStep(*amp.get(), VideoProcAmp_WhiteBalance);
            amp->Set(VideoProcAmp_WhiteBalance, roundToStep(value, step), VideoProcAmp_Flags_Manual);
        }
        initialiseSlider(VideoProcAmp_WhiteBalance);
    }
    update();
}

void cdlg2::antiFlickerActivated(int index)
{
    const ComPtr<IAMVideoProcAmp> amp = procAmp();
    if (!amp) return;
    const long step = rangeStep(*amp.get(), VideoProcAmp_PowerlineFrequency);
    const long value = index == kFiftyHertzIndex ? kFiftyHertz : kSixtyHertz;
    amp->Set(VideoProcAmp_PowerlineFrequency, roundToStep(value, step), VideoProcAmp_Flags_Manual);
}

void cdlg2::restoreDefaults()
{
    const ComPtr<IAMVideoProcAmp> amp = procAmp();
    if (!amp) return;
    auto restoreManual = [&amp](long property, long* defaultOut) {
        long minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0;
        if (FAILED(amp->GetRange(property, &minimum, &maximum, &step, &defaultValue, &caps))) return false;
        amp->Set(property, defaultValue, VideoProcAmp_Flags_Manual);
        if (defaultOut) *defaultOut = defaultValue;
        return true;
    };
    for (long property : {VideoProcAmp_Brightness, VideoProcAmp_Contrast, VideoProcAmp_Hue, VideoProcAmp_Saturation,
                          VideoProcAmp_Sharpness, VideoProcAmp_Gamma})
        restoreManual(property, nullptr);
    long whiteBalanceDefault = 0;
    // The default temperature first, then back to automatic.
    if (restoreManual(VideoProcAmp_WhiteBalance, &whiteBalanceDefault))
        amp->Set(VideoProcAmp_WhiteBalance, whiteBalanceDefault, VideoProcAmp_Flags_Auto);
    restoreManual(VideoProcAmp_BacklightCompensation, nullptr);
    restoreManual(VideoProcAmp_Gain, nullptr);

    for (const ProcAmpRow& r : kRows) initialiseSlider(r.property);
    update();
}
