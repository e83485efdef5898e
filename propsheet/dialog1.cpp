#include "dialog1.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QTabWidget>

#include "DialogUnits.h"
#include "cdlg2.h"
#include "cdlg3.h"

dialog1::dialog1(IUnknown* filter, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Properties"));
    setAccessibleName(QStringLiteral("Properties"));
    // The layout is drawn for an 8-point dialog font; the family stays the platform's.
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    const DialogUnits units = DialogUnits::forFont(font());
    setFixedSize(units.x(315), units.y(309));

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("2004"));
    tabs_->setAccessibleName(QStringLiteral("Property pages"));
    tabs_->setGeometry(units.rect(7, 7, 301, 295));

    procAmpPage_ = new cdlg2(filter, units, this);
    cameraControlPage_ = new cdlg3(filter, units, this);
    tabs_->addTab(procAmpPage_, QStringLiteral("Video Proc Amp"));
    tabs_->addTab(cameraControlPage_, QStringLiteral("Camera Control"));
    tabs_->setCurrentIndex(0);

    procAmpPage_->initialise();
    cameraControlPage_->initialise();

    // A style sheet that reaches the dialog from its parent window can give
    // the pages another font than the dialog's: lay out for the one they draw with.
    ensurePolished();
    QWidget* sample = procAmpPage_->rows().front().label;
    sample->ensurePolished();
    const DialogUnits drawn = DialogUnits::forMetrics(sample->fontMetrics());
    if (drawn.baseUnitX() != units.baseUnitX() || drawn.baseUnitY() != units.baseUnitY()) {
        setFixedSize(drawn.x(315), drawn.y(309));
        tabs_->setGeometry(drawn.rect(7, 7, 301, 295));
        procAmpPage_->setUnits(drawn);
        cameraControlPage_->setUnits(drawn);
    }
}

void dialog1::keyPressEvent(QKeyEvent* event)
{
    // Enter is the dialog's OK: it closes, whichever control has the focus.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
