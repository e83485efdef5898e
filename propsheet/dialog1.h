#pragma once

#include <QDialog>

#include "platform/DirectShow.h"

class QTabWidget;
class cdlg2;
class cdlg3;

// The "Properties" dialog: a tab control over the "Video Proc Amp" and
// "Camera Control" pages of one camera. The filter is borrowed; the pages
// ask it for their interface on every access.
class dialog1 : public QDialog {
    Q_OBJECT
public:
    explicit dialog1(IUnknown* filter, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }
    cdlg2* procAmpPage() const { return procAmpPage_; }
    cdlg3* cameraControlPage() const { return cameraControlPage_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTabWidget* tabs_ = nullptr;
    cdlg2* procAmpPage_ = nullptr;
    cdlg3* cameraControlPage_ = nullptr;
};
