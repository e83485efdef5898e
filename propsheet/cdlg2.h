#pragma once

#include "PropertyPage.h"

class QComboBox;
class QPushButton;

// The "Video Proc Amp" page: nine proc-amp properties, white balance with its
// automatic mode, and the power-line frequency as "Anti Flicker". Every
// change goes to the camera at once.
class cdlg2 : public PropertyPage {
    Q_OBJECT
public:
    cdlg2(IUnknown* filter, const DialogUnits& units, QWidget* parent = nullptr);

    // Reads every row and the power-line frequency from the camera.
    void initialise();
    // Reads one property back into its row.
    void initialiseSlider(long property);

    QCheckBox* whiteBalanceAuto() const { return whiteBalanceAuto_; }
    QComboBox* antiFlicker() const { return antiFlicker_; }
    QPushButton* defaultButton() const { return defaultButton_; }

private:
    ComPtr<IAMVideoProcAmp> procAmp() const { return query<IAMVideoProcAmp>(IID_IAMVideoProcAmp); }
    void writePosition(int index, int position) override;
    void whiteBalanceAutoClicked(bool checked);
    void antiFlickerActivated(int index);
    void restoreDefaults();

    QCheckBox* whiteBalanceAuto_ = nullptr;
    QComboBox* antiFlicker_ = nullptr;
    QPushButton* defaultButton_ = nullptr;
};
