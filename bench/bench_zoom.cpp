// Zooming a large bitmap: what the doubled view adds to the process's peak
// memory, and what painting a viewport of it costs next to the 1:1 view.

#include "BenchSupport.h"
#include "capture/ImagePic.h"
#include "picture/Picture.h"

#include <QApplication>
#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // An 8000 x 8000 picture with some structure, through the BMP reader.
    QByteArray bmp;
    {
        QImage source(8000, 8000, QImage::Format_RGB32);
        for (int y = 0; y < source.height(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(source.scanLine(y));
            for (int x = 0; x < source.width(); ++x)
                row[x] = qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF);
        }
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "bmp").write(source);
    }
    ImagePicWidget pic;
    pic.setPicture(Picture::fromBytes(bmp, QStringLiteral("bmp")));
    bmp.clear();
    bmp.squeeze();

    QImage viewport(1024, 768, QImage::Format_RGB32);
    auto paintViewport = [&](QPoint at) {
        QPainter painter(&viewport);
        pic.render(&painter, QPoint(0, 0), QRegion(QRect(at, viewport.size())));
    };

    // Settle the 1:1 view, then measure the peak from here on.
    paintViewport(QPoint(3000, 3000));
    const long before = StatusKiB("VmRSS");
    ResetPeak();
    pic.setDoubled(true);
    paintViewport(QPoint(6000, 6000));
    paintViewport(QPoint(15000, 15000));
    const long peak = StatusKiB("VmHWM");
    Report("resident before zoom", before / 1024.0, "MiB");
    Report("peak while zoomed and painting", peak / 1024.0, "MiB");
    Report("added by the zoom (target under 5)", 100.0 * double(peak - before) / double(before), "%");

    pic.setDoubled(false);
    const double natural = BestMs(15, [&] { paintViewport(QPoint(3000, 3000)); });
    pic.setDoubled(true);
    const double doubled = BestMs(15, [&] { paintViewport(QPoint(6000, 6000)); });
    Report("paint 1024 x 768 viewport, 1:1", natural, "ms");
    Report("paint 1024 x 768 viewport, doubled", doubled, "ms");
    Report("ratio doubled / 1:1 (target at most 2)", doubled / natural, "x");
    return 0;
}
