// Opens arbitrary bytes as a picture of one kind and draws it. Built once
// per kind, with VANTRIX_FUZZ_EXTENSION naming it.
#include "FuzzSupport.h"
#include "base/Failure.h"
#include "picture/Picture.h"

#include <QImage>
#include <QPainter>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    EnsureGuiApplication();
    // Huge but valid headers would make each run slow without finding more.
    Picture::setImageLimitMiB(64);
    try {
        const Picture picture = Picture::fromBytes(BytesOf(data, size), QStringLiteral(VANTRIX_FUZZ_EXTENSION));
        QImage target(64, 64, QImage::Format_RGB32);
        target.fill(Qt::white);
        QPainter painter(&target);
        picture.draw(painter, target.rect(), target.rect());
    } catch (const VantrixError &) {
        // a refused picture is the expected outcome for most inputs
    }
    return 0;
}
