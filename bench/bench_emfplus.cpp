// An EMF+ picture carrying a photo, as Office writes them, drawn tile by
// tile as the picture widget draws it: the first tile decodes the photo,
// the others find it decoded.

#include "BenchSupport.h"
#include "metafile/Metafile.h"
#include "tests/MetafileBuilders.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>

namespace {

constexpr QSize PhotoSize(3000, 2000);
constexpr int Tile = 256;

// A photo-like picture: smooth colours with fine noise, saved as JPEG.
QByteArray jpegPhoto()
{
    QImage photo(PhotoSize, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x * 255 / photo.width(), (x ^ y) & 0xFF, y * 255 / photo.height()));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    photo.save(&buffer, "JPEG", 90);
    // Records keep to whole 32-bit words.
    jpeg.append((4 - jpeg.size() % 4) % 4, '\0');
    return jpeg;
}

// The photo as an EMF+ image object drawn over the whole 100 x 100 picture.
QByteArray pictureWithPhoto()
{
    auto words = [](std::initializer_list<quint32> values) {
        QByteArray b;
        for (const quint32 v : values)
            EmfBuilder::put(b, v);
        return b;
    };
    auto floats = [&](std::initializer_list<float> values) {
        QByteArray b;
        for (const float v : values)
            EmfBuilder::put(b, bitsOf(v));
        return b;
    };
    constexpr quint32 Version = 0xDBC01002u;
    EmfPlusComment plus;
    plus.record(EmfPlusRecord::Header, 0, {Version, 1, 96, 96});
    plus.record(EmfPlusRecord::Object, 0x0501, words({Version, 1, 0, 0, 0, 0, 1}) + jpegPhoto());
    plus.record(EmfPlusRecord::DrawImage, 1,
                words({0, 2}) + floats({0, 0, float(PhotoSize.width()), float(PhotoSize.height())}) +
                    floats({0, 0, 100, 100}));
    plus.record(EmfPlusRecord::EndOfFile, 0, QByteArray());
    EmfBuilder emf;
    emf.record(EmfRecord::Comment, plus.body());
    return emf.bytes();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::optional<Metafile> picture = Metafile::fromBytes(pictureWithPhoto());
    if (!picture)
        return 1;
    // The picture at 10 times its size, 1000 x 1000 pixels, in tiles.
    const QSize shown = picture->naturalSize() * 10;
    std::vector<double> tiles;
    for (int y = 0; y < shown.height(); y += Tile)
        for (int x = 0; x < shown.width(); x += Tile)
            tiles.push_back(BestMs(1, [&] {
                QImage tile(Tile, Tile, QImage::Format_RGB32);
                tile.fill(Qt::white);
                QPainter painter(&tile);
                painter.translate(-x, -y);
                picture->draw(painter, QRectF(QPointF(0, 0), QSizeF(shown)));
            }));
    double all = 0;
    for (const double t : tiles)
        all += t;
    std::printf("EMF+ picture with a %dx%d JPEG photo, %zu tiles of %d pixels\n", PhotoSize.width(), PhotoSize.height(),
                tiles.size(), Tile);
    std::printf("first tile %8.2f ms\nother tiles, median %8.2f ms\nall tiles %8.2f ms\n", tiles.front(),
                Median(std::vector<double>(tiles.begin() + 1, tiles.end())), all);
    return 0;
}
