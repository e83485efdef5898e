#include "DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace {

// a * b / c rounded half away from zero, as the templates' geometry has
// always been scaled.
int mulDiv(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

DialogUnits::DialogUnits(int baseUnitX, int baseUnitY)
    : baseX_(baseUnitX > 0 ? baseUnitX : 1), baseY_(baseUnitY > 0 ? baseUnitY : 1)
{
}

DialogUnits DialogUnits::forFont(const QFont& font) { return forMetrics(QFontMetrics(font)); }

DialogUnits DialogUnits::forMetrics(const QFontMetrics& metrics)
{
    // The average width over both alphabets, rounded to whole pixels.
    const int extent = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits((extent / 26 + 1) / 2, metrics.height());
}

int DialogUnits::x(int du) const { return mulDiv(du, baseX_, 4); }

int DialogUnits::y(int du) const { return mulDiv(du, baseY_, 8); }

QRect DialogUnits::rect(int left, int top, int width, int height) const
{
    return QRect(x(left), y(top), x(width), y(height));
}
