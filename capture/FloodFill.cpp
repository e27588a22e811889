#include "capture/FloodFill.h"

#include <vector>

namespace {

struct Seed {
    int x;
    int y;
};

} // namespace

qint64 FloodFill(QImage &image, QPoint start, QRgb newColor)
{
    if (!image.valid(start))
        return 0;
    return FloodFill(image, start, image.pixel(start), newColor);
}

qint64 FloodFill(QImage &image, QPoint start, QRgb stated, QRgb newColor)
{
    Q_ASSERT(image.depth() == 32);
    const int width = image.width();
    const int height = image.height();
    if (start.x() < 0 || start.y() < 0 || start.x() >= width || start.y() >= height)
        return 0;
    if (image.format() == QImage::Format_RGB32) {
        newColor |= 0xFF000000u;
        stated |= 0xFF000000u;
    }

    uchar *const bits = image.bits(); // detaches once, before the loop
    const qsizetype bytesPerLine = image.bytesPerLine();
    auto line = [bits, bytesPerLine](int y) { return reinterpret_cast<QRgb *>(bits + y * bytesPerLine); };
    const QRgb oldColor = line(start.y())[start.x()];
    if (oldColor != stated || oldColor == newColor)
        return 0;

    qint64 changed = 0;
    std::vector<Seed> stack;
    stack.push_back({start.x(), start.y()});

    // Pushes one seed for every run of old-coloured pixels in [left, right]
    // of row y.
    auto pushRuns = [&](int y, int left, int right) {
        if (y < 0 || y >= height)
            return;
        const QRgb *row = line(y);
        int x = left;
        while (x <= right) {
            while (x <= right && row[x] != oldColor)
                ++x;
            if (x > right)
                break;
            stack.push_back({x, y});
            while (x <= right && row[x] == oldColor)
                ++x;
        }
    };

    while (!stack.empty()) {
        const Seed seed = stack.back();
        stack.pop_back();
        QRgb *row = line(seed.y);
        if (row[seed.x] != oldColor)
            continue;
        int left = seed.x;
        while (left > 0 && row[left - 1] == oldColor)
            --left;
        int right = seed.x;
        while (right + 1 < width && row[right + 1] == oldColor)
            ++right;
        for (int x = left; x <= right; ++x)
            row[x] = newColor;
        changed += right - left + 1;
        pushRuns(seed.y - 1, left, right);
        pushRuns(seed.y + 1, left, right);
    }
    return changed;
}
