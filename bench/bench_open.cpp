// Whether opening a picture or flashing ever holds the window: the main
// window opens pictures this benchmark makes itself (an 8000 x 6000 bitmap
// and photo, a 12000 x 9000 bitmap, a progressive photo, an icon with a
// 256-pixel PNG image) and the largest metafiles of the shared corpus,
// while a 2-ms timer measures the longest time the event loop goes
// unanswered; then it flashes ten times. Reported: the longest stall, the
// time from the opening until the first view and until the full picture,
// and the time reading and decoding alone take.

#include "BenchSupport.h"
#include "app/StartUp.h"
#include "base/Environment.h"
#include "capture/HoofdUnit.h"
#include "capture/ImagePic.h"
#include "picture/Picture.h"
#include "tests/WindowControls.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QTemporaryDir>

namespace {

constexpr int LoadLimitMs = 30000;
constexpr int Flashes = 10;
constexpr int BetweenFlashesMs = 150;

// A picture with detail everywhere, so that no coder finds it trivial.
QImage detailed(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb((x * 7 + y) & 0xFF, (y * 5 + x / 3) & 0xFF, (x ^ y) & 0xFF);
    }
    return image;
}

QString writeImage(const QDir &dir, const QString &name, const QImage &image, const char *format,
                   bool progressive = false)
{
    const QString path = dir.filePath(name);
    QImageWriter writer(path, format);
    writer.setProgressiveScanWrite(progressive);
    writer.setQuality(90);
    writer.write(image);
    return path;
}

// An icon file whose one image is a 256 x 256 PNG.
QString writePngIcon(const QDir &dir)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    detailed(QSize(256, 256)).save(&buffer, "png");
    QByteArray icon;
    auto put = [&icon](quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            icon.append(char((value >> (8 * i)) & 0xFF));
    };
    put(0, 2), put(1, 2), put(1, 2);                                // ICONDIR: reserved, icon, one image
    put(0, 1), put(0, 1), put(0, 1), put(0, 1);                     // 256 x 256, no palette, reserved
    put(1, 2), put(32, 2), put(quint32(png.size()), 4), put(22, 4); // planes, depth, size, offset
    icon.append(png);
    const QString path = dir.filePath(QStringLiteral("png256.ico"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(icon);
    return path;
}

struct Opening {
    double stall = 0;
    double firstViewMs = -1;
    double fullMs = -1;
};

Opening open(const QString &path)
{
    const ImagePicWidget *pic = MainControls(HoofdForm).ImagePic;
    QElapsedTimer clock;
    StallWatch watch;
    Opening result;
    watch.start();
    clock.start();
    HoofdForm->openPicture(path);
    runFor(LoadLimitMs, [&] {
        if (result.firstViewMs < 0 && (pic->showingFirstView() || !HoofdForm->isOpening()))
            result.firstViewMs = clock.nsecsElapsed() / 1e6;
        return !HoofdForm->isOpening();
    });
    result.fullMs = clock.nsecsElapsed() / 1e6;
    if (result.firstViewMs < 0)
        result.firstViewMs = result.fullMs;
    runFor(200);
    result.stall = watch.stop();
    HoofdForm->WachtTimerTimer();
    return result;
}

// Flashes on Bitmap, a picture full of small areas as a scan is.
double flashes(const QString &bitmap)
{
    open(bitmap);
    StallWatch watch;
    watch.start();
    for (int i = 0; i < Flashes; ++i) {
        HoofdForm->FlashArea(100 + 37 * i, 100 + 23 * i);
        runFor(BetweenFlashesMs);
    }
    return watch.stop();
}

// Reading and decoding alone, on this thread with nothing else to do.
double decodeAloneMs(const QString &path)
{
    return BestMs(1, [&] { Picture::load(path); });
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    initEnvironment();
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    AppPath = AddBackslash(temporary.path()); // the settings land in the temporary folder
    const QDir dir(temporary.path());
    std::printf("Making the pictures...\n");
    std::fflush(stdout);
    QList<QString> files;
    {
        const QImage big = detailed(QSize(8000, 6000));
        files << writeImage(dir, QStringLiteral("8000x6000.bmp"), big, "bmp")
              << writeImage(dir, QStringLiteral("8000x6000.jpg"), big, "jpeg")
              << writeImage(dir, QStringLiteral("8000x6000-progressive.jpg"), big, "jpeg", true);
    }
    files << writeImage(dir, QStringLiteral("12000x9000.bmp"), detailed(QSize(12000, 9000)), "bmp")
          << writePngIcon(dir);
    const QDir metafiles(corpusDir() + QStringLiteral("/metafiles"));
    QFileInfoList largest =
        metafiles.entryInfoList({QStringLiteral("*.emf"), QStringLiteral("*.wmf")}, QDir::Files, QDir::Size);
    for (int i = 0; i < std::min<qsizetype>(3, largest.size()); ++i)
        files << largest[i].filePath();

    createApplicationWindows();
    HoofdForm->show();
    runFor(300);
    MainControls(HoofdForm).Flitsen1->trigger(); // the openings alone; the flash has its own row
    std::printf("%-32s %10s %12s %12s %14s\n", "picture", "stall ms", "first view", "full ms", "decode alone");
    double worst = 0;
    for (const QString &file : files) {
        const Opening o = open(file);
        worst = std::max(worst, o.stall);
        std::printf("%-32s %10.1f %12.1f %12.1f %14.1f\n", qPrintable(QFileInfo(file).fileName()), o.stall,
                    o.firstViewMs, o.fullMs, decodeAloneMs(file));
        std::fflush(stdout);
    }
    const double flashStall = flashes(files.front());
    std::printf("%-32s %10.1f\n", "ten flashes", flashStall);
    std::printf("longest stall of all: %.1f ms (goal: at most 16)\n", std::max(worst, flashStall));
    destroyApplicationWindows();
    return 0;
}
