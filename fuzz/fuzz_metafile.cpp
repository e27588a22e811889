// Parses arbitrary bytes as a metafile and plays what is accepted.
#include "FuzzSupport.h"
#include "metafile/Metafile.h"

#include <QImage>
#include <QPainter>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    EnsureGuiApplication();
    const std::optional<Metafile> metafile = Metafile::fromBytes(BytesOf(data, size));
    if (!metafile)
        return 0; // a refused file is the expected outcome for most inputs
    QImage target(64, 64, QImage::Format_RGB32);
    target.fill(Qt::white);
    QPainter painter(&target);
    metafile->draw(painter, QRectF(target.rect()));
    return 0;
}
