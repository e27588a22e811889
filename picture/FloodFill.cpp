#include "picture/FloodFill.h"

#include <algorithm>
#include <vector>

namespace {

// A run [x1, x2] on row Y - Dy has been filled; row Y is to be scanned
// below (or above) it.
struct Span {
    int x1;
    int x2;
    int y;
    int dy;
};

} // namespace

qint64 floodFill(QImage &image, QPoint start, QRgb newColor)
{
    if (!image.valid(start))
        return 0;
    return floodFill(image, start, image.pixel(start), newColor);
}

qint64 floodFill(QImage &image, QPoint start, QRgb stated, QRgb newColor)
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

    // Span filling: every run is found by one scan of its row and written
    // in one go; a row is scanned again only under the parts of a run that
    // stick out past the run it came from.
    qint64 changed = 0;
    std::vector<Span> stack;
    stack.push_back({start.x(), start.x(), start.y(), 1});
    stack.push_back({start.x(), start.x(), start.y() - 1, -1});

    while (!stack.empty()) {
        Span s = stack.back();
        stack.pop_back();
        if (s.y < 0 || s.y >= height)
            continue;
        QRgb *row = line(s.y);
        int x = s.x1;
        if (row[x] == oldColor) {
            // Extend to the left of the parent run; what sticks out goes back.
            int left = x;
            while (left > 0 && row[left - 1] == oldColor)
                --left;
            if (left < x)
                stack.push_back({left, x - 1, s.y - s.dy, -s.dy});
            x = left;
        } else {
            while (x <= s.x2 && row[x] != oldColor)
                ++x;
        }
        while (x <= s.x2) {
            // [x, end) is a run of the old colour that touches the parent.
            int end = x;
            while (end < width && row[end] == oldColor)
                ++end;
            std::fill(row + x, row + end, newColor);
            changed += end - x;
            stack.push_back({x, end - 1, s.y + s.dy, s.dy});
            if (end - 1 > s.x2)
                stack.push_back({s.x2 + 1, end - 1, s.y - s.dy, -s.dy});
            x = end + 1;
            while (x <= s.x2 && row[x] != oldColor)
                ++x;
        }
    }
    return changed;
}
