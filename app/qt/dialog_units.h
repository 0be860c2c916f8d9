// Dialog units: the templates place every control in units of the dialog font, a quarter of
// its average character width across and an eighth of its height down, so that a window keeps
// its proportions whatever font and screen it meets.
#pragma once

#include <QFont>
#include <QRect>

namespace kv58::app {

struct BaseUnits {
    int x = 0;  // average character width in pixels
    int y = 0;  // character height in pixels
};

// The template's font when the system has it, else a sans serif with the same metrics
// (Liberation Sans), else the desktop's own sans serif, always at the template's size.
QFont dialogFont(const char* family, int points);

// Base units of the font actually used: the average width of the 52 letters A-Z and a-z,
// rounded, and the line height.
BaseUnits baseUnitsOf(const QFont& font);

// Dialog units to pixels, rounded to the nearest pixel.
int dluToPixelsX(BaseUnits units, int dlu);
int dluToPixelsY(BaseUnits units, int dlu);
QRect mapDialogRect(BaseUnits units, int x, int y, int width, int height);

}  // namespace kv58::app
