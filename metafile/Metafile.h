#pragma once
// Enhanced metafiles (EMF) and Windows metafiles (WMF, with or without the
// placeable header): parsed from bytes with every size, count and offset
// checked, and played back as vectors onto a QPainter.

#include "base/ByteReader.h"
#include "metafile/EmfHeader.h"
#include "metafile/PlaybackBudget.h"
#include "metafile/WmfPlayer.h"

#include <QByteArray>
#include <QRectF>
#include <QSize>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

class QPainter;

class Metafile
{
public:
    // Nothing for a malformed file.
    static std::optional<Metafile> fromBytes(const QByteArray &bytes);

    // Size at 96 dots per inch.
    QSize naturalSize() const { return m_size; }
    // The picture's frame in the units it has as an EMF+ image: an enhanced
    // metafile's in its reference device's pixels, a Windows metafile's in
    // its logical units.
    QSizeF imageFrame() const;
    bool isEnhanced() const { return m_emfHeader.has_value(); }

    // Draws the picture scaled into Target. A picture that needs more work
    // than a playback may do is drawn up to where the work ran out, the
    // same at every size, and the log says so once.
    void draw(QPainter &painter, const QRectF &target) const;
    // Whether a playback so far has drawn the picture in part; any thread.
    bool drawnInPart() const { return *m_drawnInPart; }
    // The same as part of a playback that has spent Budget already: a
    // metafile nested in another.
    void draw(QPainter &painter, const QRectF &target, PlaybackBudget &budget) const;

private:
    static std::optional<Metafile> fromEnhanced(const QByteArray &bytes);
    static std::optional<Metafile> fromWindows(const QByteArray &bytes);
    bool takePlaceableSize(const ByteReader &b);
    bool takeWindowSize(const WmfPlayer::Survey &survey);

    QByteArray m_bytes;
    QSize m_size;
    // An enhanced metafile's header, read once when it opens.
    std::optional<EmfHeader> m_emfHeader;
    // WMF: the logical frame that maps onto the natural size.
    QRectF m_frame;
    // Offset of the first record.
    qsizetype m_firstRecord = 0;
    // A playback has found the picture needs more work than it may do, and
    // the log has been told; shared by the copies, which draw the same
    // picture.
    std::shared_ptr<std::atomic_bool> m_drawnInPart = std::make_shared<std::atomic_bool>(false);
};
