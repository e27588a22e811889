#include "picture/PictureLoader.h"

#include "base/Failure.h"
#include "base/WorkerPool.h"
#include "raster/ImageFiles.h"

#include <QThreadPool>

#include <functional>
#include <new>

namespace {

bool isPhoto(const QString &fileName)
{
    const QString extension = Picture::extensionOf(fileName).toLower();
    return extension == QLatin1String("jpg") || extension == QLatin1String("jpeg");
}

// A first view of a large photo, or a null image where none is worth it.
QImage firstViewOf(const QString &fileName, const QByteArray &bytes, QSize *fullSize)
{
    if (!isPhoto(fileName))
        return QImage();
    *fullSize = ImageFiles::claimedJpegSize(bytes);
    if (!fullSize->isValid() || qint64(fullSize->width()) * fullSize->height() <= PictureLoader::FirstViewPixels ||
        !ImageFiles::passesLimit(*fullSize, Picture::imageLimitMiB()))
        return QImage();
    return ImageFiles::readJpegReduced(bytes, PictureLoader::FirstViewSide);
}

} // namespace

PictureLoader::PictureLoader(QObject *parent) : QObject(parent), m_reply(this) {}

void PictureLoader::load(const QString &fileName)
{
    const int request = ++m_request;
    m_busy = true;
    workerPool()->start([reply = m_reply.handle(), self = this, request, fileName] {
        // Each outcome reaches the window only while no newer request came.
        auto answer = [reply, self, request](std::function<void()> emitIt) {
            reply.post([self, request, emitIt = std::move(emitIt)] {
                if (request == self->m_request)
                    emitIt();
            });
        };
        try {
            const QByteArray bytes = Picture::readBytes(fileName);
            // The first view decodes on another worker while this one
            // decodes the whole picture.
            if (isPhoto(fileName)) {
                workerPool()->start([answer, self, fileName, bytes] {
                    QSize fullSize;
                    const QImage first = firstViewOf(fileName, bytes, &fullSize);
                    if (!first.isNull())
                        answer([self, first, fullSize] {
                            if (self->m_busy)
                                emit self->firstView(first, fullSize);
                        });
                });
            }
            Picture picture = Picture::fromBytes(bytes, Picture::extensionOf(fileName));
            answer([self, picture = std::move(picture)] {
                self->m_busy = false;
                emit self->loaded(picture);
            });
        } catch (const VantrixError &error) {
            answer([self, message = error.message()] {
                self->m_busy = false;
                emit self->failed(message);
            });
        } catch (const std::bad_alloc &) {
            answer([self, fileName] {
                self->m_busy = false;
                emit self->failed(QStringLiteral("Out of memory while opening \"%1\"").arg(fileName));
            });
        }
    });
}
