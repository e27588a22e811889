#pragma once
// Flood fill by exact colour on a 32-bit image.

#include <QImage>
#include <QPoint>

// Starting at Start, every pixel reachable through 4-connected neighbours of
// exactly Start's colour takes NewColor. A start outside the image, or a new
// colour equal to the old one, changes nothing. Works on the scan lines with
// an explicit stack of spans, never by recursion. Returns the pixels changed.
qint64 floodFill(QImage &image, QPoint start, QRgb newColor);

// The same with the colour stated: nothing happens unless Start has
// exactly OldColor.
qint64 floodFill(QImage &image, QPoint start, QRgb oldColor, QRgb newColor);
