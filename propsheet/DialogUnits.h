#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>

// Converts the dialog templates' dialog units to pixels from the dialog
// font's base units, so the pages keep their proportions whatever font and
// resolution the platform gives (8-point "MS Shell Dlg" at 96 dpi is 6 x 13).
class DialogUnits {
public:
    DialogUnits(int baseUnitX, int baseUnitY);
    // Base units from the font's average character width and its height.
    static DialogUnits forFont(const QFont& font);
    // The same from the metrics a widget really draws with.
    static DialogUnits forMetrics(const QFontMetrics& metrics);

    int x(int du) const;
    int y(int du) const;
    QRect rect(int left, int top, int width, int height) const;

    int baseUnitX() const { return baseX_; }
    int baseUnitY() const { return baseY_; }

private:
    int baseX_;
    int baseY_;
};
