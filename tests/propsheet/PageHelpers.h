#pragma once

#include <QLineEdit>
#include <QSlider>
#include <QtTest>

#include "PropertyPage.h"

// The pages' dialog units in every test: 8-point "MS Shell Dlg" at 96 dpi.
inline DialogUnits testUnits() { return DialogUnits(6, 13); }

// What a user's drag does: the slider follows the mouse, then is let go.
inline void drag(QSlider* slider, int position)
{
    slider->setSliderDown(true);
    slider->setSliderPosition(position);
    slider->setSliderDown(false);
}

inline const PropertyPage::Row& rowFor(const PropertyPage& page, long property)
{
    for (const PropertyPage::Row& row : page.rows())
        if (row.property == property) return row;
    qFatal("no row for property %ld", property);
}

// Compares two lists of lines and shows both in full when they differ.
#define QCOMPARE_LINES(actual, expected) \
    QCOMPARE(QStringList(actual).join(QLatin1String(" | ")), QStringList(expected).join(QLatin1String(" | ")))
