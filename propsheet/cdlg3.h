#pragma once

#include <array>

#include "PropertyPage.h"

class QPushButton;

// The "Camera Control" page: zoom, focus, exposure, iris, pan and tilt, with
// the automatic modes of focus, exposure and iris. Every change goes to the
// camera at once.
class cdlg3 : public PropertyPage {
    Q_OBJECT
public:
    cdlg3(IUnknown* filter, const DialogUnits& units, QWidget* parent = nullptr);

    // Reads the defaults, then every row, from the camera.
    void initialise();
    // Reads one property back into its row.
    void initialiseSlider(long property);

    QCheckBox* autoBox(long property);
    QPushButton* defaultButton() const { return defaultButton_; }
    // The default read from the camera's range when the page was set up.
    long storedDefault(long property) const;

signals:
    // The "Default" sequence has finished, focus wait included.
    void defaultsRestored();

private:
    ComPtr<IAMCameraControl> cameraControl() const { return query<IAMCameraControl>(IID_IAMCameraControl); }
    void writePosition(int index, int position) override;
    void autoClicked(long property, bool checked);
    void autoChecked(long property);
    void restoreDefaults();
    void restoreDefault(IAMCameraControl& control, long property);
    void readBackFocus();
    // Whether the camera offers an automatic mode for the row's property.
    bool offersAuto(long property) const;
    void finishRestoring();

    std::array<long, 6> defaults_{}; // by row
    QPushButton* defaultButton_ = nullptr;
};
