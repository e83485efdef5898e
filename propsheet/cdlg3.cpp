#include "cdlg3.h"

#include <cstdio>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

namespace {

struct CameraRow {
    long property;
    const char* text;
    const char* labelId;
    const char* sliderId;
    const char* editId;
    const char* autoId; // null: no automatic mode
};

// Top to bottom.
constexpr CameraRow kRows[] = {
    {CameraControl_Zoom, "Zoom", "2039", "2005", "2028", nullptr},
    {CameraControl_Focus, "Focus", "2036", "2006", "2029", "2032"},
    {CameraControl_Exposure, "Exposure", "2040", "2007", "2030", "2033"},
    {CameraControl_Iris, "Iris", "2037", "2008", "2031", "2034"},
    {CameraControl_Pan, "Pan", "2041", "2009", "2026", nullptr},
    {CameraControl_Tilt, "Tilt", "2042", "2010", "2027", nullptr},
};

// The order the defaults are read and restored in.
constexpr long kDefaultOrder[] = {CameraControl_Pan,      CameraControl_Tilt, CameraControl_Zoom,
                                  CameraControl_Exposure, CameraControl_Iris, CameraControl_Focus};

constexpr int kLabelX = 25;
constexpr int kFirstRowY = 51;
constexpr int kRowPitch = 16;
constexpr int kSliderX = 69;
constexpr int kEditX = 179;
constexpr int kAutoX = 218;

// Lets the camera's autofocus settle before its position is read back.
constexpr int kFocusSettleMs = 500;

} // namespace

cdlg3::cdlg3(IUnknown* filter, const DialogUnits& units, QWidget* parent) : PropertyPage(filter, units, parent)
{
    setObjectName(QStringLiteral("2007"));
    setAccessibleName(QStringLiteral("Camera Control"));

    QList<QWidget*> order;
    int y = kFirstRowY;
    for (const CameraRow& r : kRows) {
        const QString text = QString::fromLatin1(r.text);
        const int index = addRow(r.property, text, text, {kLabelX, y + 2, kSliderX, y, kEditX, y},
                                 QString::fromLatin1(r.sliderId), QString::fromLatin1(r.editId));
        row(index).label->setObjectName(QString::fromLatin1(r.labelId));
        order << row(index).slider << row(index).edit;
        if (r.autoId) {
            QCheckBox* box = addAutoBox(index, kAutoX, y + 1, QString::fromLatin1(r.autoId), text + QStringLiteral(" automatic"));
            connect(box, &QCheckBox::clicked, this, [this, property = r.property](bool checked) { autoClicked(property, checked); });
            order << box;
        }
        y += kRowPitch;
    }

    defaultButton_ = new QPushButton(QStringLiteral("Default"), this);
    defaultButton_->setObjectName(QStringLiteral("2021"));
    defaultButton_->setAccessibleName(QStringLiteral("Restore camera control defaults"));
    // Enter closes the dialog; it never restores the defaults by accident.
    defaultButton_->setAutoDefault(false);
    place(defaultButton_, 95, 180, 60, 14);
    order << defaultButton_;
    setTabOrder(order);
    connect(defaultButton_, &QPushButton::clicked, this, &cdlg3::restoreDefaults);
}

QCheckBox* cdlg3::autoBox(long property)
{
    const int index = rowOf(property);
    return index < 0 ? nullptr : row(index).autoBox;
}

long cdlg3::storedDefault(long property) const
{
    const int index = rowOf(property);
    return index < 0 ? 0 : defaults_[static_cast<size_t>(index)];
}

void cdlg3::initialise()
{
    const ComPtr<IAMCameraControl> control = cameraControl();
    for (long property : kDefaultOrder) {
        const int index = rowOf(property);
        long minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0;
        if (control && SUCCEEDED(control->GetRange(property, &minimum, &maximum, &step, &defaultValue, &caps))) {
            defaults_[static_cast<size_t>(index)] = defaultValue;
        } else {
            Row& r = row(index);
            r.label->setEnabled(false);
            r.edit->setEnabled(false);
            if (r.autoBox) r.autoBox->setEnabled(false);
        }
    }
    std::printf("m_iZoomDefaultValue=%d, m_iExposureDefaultValue=%d, m_iFocusDefaultValue=%d,\n\t\t\t\t"
                "m_iIrisDefaultValue=%d, m_iPanDefaultValue=%d, m_iTiltDefaultValue=%d\n",
                static_cast<int>(storedDefault(CameraControl_Zoom)), static_cast<int>(storedDefault(CameraControl_Exposure)),
                static_cast<int>(storedDefault(CameraControl_Focus)), static_cast<int>(storedDefault(CameraControl_Iris)),
                static_cast<int>(storedDefault(CameraControl_Pan)), static_cast<int>(storedDefault(CameraControl_Tilt)));
    std::fflush(stdout);

    for (const CameraRow& r : kRows) initialiseSlider(r.property);
}

void cdlg3::initialiseSlider(long property)
{
    const int index = rowOf(property);
    if (index < 0) return;
    Row& r = row(index);
    const ComPtr<IAMCameraControl> control = cameraControl();
    long minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0;
    // Without a readable range there is nothing sensible to offer.
    if (!control || FAILED(control->GetRange(property, &minimum, &maximum, &step, &defaultValue, &caps))) {
        disableSliderAndEdit(index);
        update();
        return;
    }
    r.slider->setEnabled(false);
    setRange(index, minimum, maximum);
    long value = 0, flags = 0;
    const HRESULT got = control->Get(property, &value, &flags);
    r.slider->setPageStep(static_cast<int>(usableStep(step)));
    std::printf("\r\n Value : %d, Property : %d\r\n", static_cast<int>(value), static_cast<int>(property));
    std::fflush(stdout);
    if (FAILED(got)) {
        disableSliderAndEdit(index);
        return;
    }
    setPosition(index, value);
    const bool automatic = flags == CameraControl_Flags_Auto;
    // A camera without an automatic mode for this property gets no "(Auto)";
    // one that runs the property itself shows it greyed, not as an error.
    const bool offersAuto = (caps & CameraControl_Flags_Auto) != 0;
    r.slider->setEnabled(!automatic);
    if (r.autoBox) {
        r.autoBox->setVisible(offersAuto);
        r.autoBox->setEnabled(offersAuto);
        r.autoBox->setChecked(offersAuto && automatic);
    }
    showPosition(index);
}

bool cdlg3::offersAuto(long property) const
{
    const int index = rowOf(property);
    const QCheckBox* box = index < 0 ? nullptr : rows()[static_cast<size_t>(index)].autoBox;
    return box && box->isEnabled();
}

void cdlg3::writePosition(int index, int position)
{
    const ComPtr<IAMCameraControl> control = cameraControl();
    if (control) control->Set(row(index).property, position, CameraControl_Flags_Manual);
}

void cdlg3::autoClicked(long property, bool checked)
{
    if (checked) {
        autoChecked(property);
        return;
    }
    row(rowOf(property)).slider->setEnabled(true);
    if (const ComPtr<IAMCameraControl> control = cameraControl()) {
        // Manual at the position the automatic mode had reached, or at the
        // default where it cannot be read; never 0, which for exposure is a
        // near-black picture.
        long value = 0, flags = 0;
        if (FAILED(control->Get(property, &value, &flags))) {
            long minimum = 0, maximum = 0, step = 0, caps = 0;
            if (FAILED(control->GetRange(property, &minimum, &maximum, &step, &value, &caps))) value = storedDefault(property);
        }
        control->Set(property, value, CameraControl_Flags_Manual);
    }
    initialiseSlider(property);
    update();
}

void cdlg3::autoChecked(long property)
{
    row(rowOf(property)).slider->setEnabled(false);
    if (const ComPtr<IAMCameraControl> control = cameraControl())
        control->Set(property, 0, CameraControl_Flags_Auto);
    initialiseSlider(property);
    update();
}

void cdlg3::restoreDefaults()
{
    const ComPtr<IAMCameraControl> control = cameraControl();
    if (!control) return;
    // One sequence at a time: a second one would interleave its writes with
    // this one's during the focus wait.
    defaultButton_->setEnabled(false);
    for (long property : kDefaultOrder) {
        if (property != CameraControl_Focus || !offersAuto(property)) {
            restoreDefault(*control.get(), property);
            continue;
        }
        long minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0, value = 0, flags = 0;
        control->GetRange(property, &minimum, &maximum, &step, &defaultValue, &caps);
        if (FAILED(control->Get(property, &value, &flags))) break;
        autoBox(property)->setChecked(true);
        autoChecked(property);
        // The focus needs time to settle; the window stays live meanwhile.
        QTimer::singleShot(kFocusSettleMs, this, &cdlg3::readBackFocus);
        return;
    }
    finishRestoring();
}

void cdlg3::restoreDefault(IAMCameraControl& control, long property)
{
    long minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0, value = 0, flags = 0;
    control.GetRange(property, &minimum, &maximum, &step, &defaultValue, &caps);
    if (FAILED(control.Get(property, &value, &flags))) return;
    const int index = rowOf(property);
    switch (property) {
    case CameraControl_Pan:
    case CameraControl_Tilt:
        if (flags == CameraControl_Flags_Auto) return;
        [[fallthrough]];
    case CameraControl_Zoom:
        control.Set(property, storedDefault(property), CameraControl_Flags_Manual);
        setPosition(index, storedDefault(property));
        showPosition(index);
        break;
    default: // exposure and iris: back to automatic where the camera has it
        if (!offersAuto(property)) {
            control.Set(property, storedDefault(property), CameraControl_Flags_Manual);
            setPosition(index, storedDefault(property));
            showPosition(index);
            break;
        }
        row(index).autoBox->setChecked(true);
        autoChecked(property);
        break;
    }
}

void cdlg3::readBackFocus()
{
    long value = 0, flags = 0;
    const ComPtr<IAMCameraControl> control = cameraControl();
    const bool read = control && SUCCEEDED(control->Get(CameraControl_Focus, &value, &flags));
    QTimer::singleShot(kFocusSettleMs, this, [this, read, value] {
        if (read) {
            const int index = rowOf(CameraControl_Focus);
            setPosition(index, value);
            showPosition(index);
        }
        finishRestoring();
    });
}

void cdlg3::finishRestoring()
{
    update();
    defaultButton_->setEnabled(true);
    emit defaultsRestored();
}
