#pragma once
// The program's fonts at their designed pixel sizes. Each names the
// designed family first and its metric-compatible substitutes after it, so
// that text fits the designed geometry where the designed family is missing.

#include <QFont>

// "MS Sans Serif", 11 pixels: windows, dialogs and their controls.
QFont windowFont();

// "Courier New", 11 pixels: the three text lists.
QFont listFont();

// "Arial" at a pixel height, for the information window.
QFont arialFont(int pixelHeight, bool bold);
