// One flood fill over a 4096 x 4096 single-colour bitmap, next to one plain
// sequential write over the same pixels.

#include "BenchSupport.h"
#include "picture/FloodFill.h"

#include <QGuiApplication>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QImage image(4096, 4096, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QRgb colours[] = {qRgb(0, 0, 255), qRgb(255, 255, 0)};
    int turn = 0;

    const double fill = BestMs(7, [&] { floodFill(image, QPoint(2048, 2048), colours[turn++ % 2]); });
    const double write = BestMs(7, [&] {
        const QRgb value = colours[turn++ % 2] | 0xFF000000u;
        for (int y = 0; y < image.height(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            std::fill(row, row + image.width(), value);
        }
    });
    Report("flood fill, 4096 x 4096 one colour", fill, "ms");
    Report("plain sequential write, same pixels", write, "ms");
    Report("ratio fill / write (target at most 4)", fill / write, "x");
    return 0;
}
