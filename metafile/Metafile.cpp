#include "metafile/Metafile.h"

#include "metafile/EmfPlayer.h"
#include "metafile/Limits.h"
#include "metafile/WmfPlayer.h"

#include <QLoggingCategory>
#include <QPainter>

#include <cmath>

Q_LOGGING_CATEGORY(metafileLog, "vantrix.metafile")

namespace {

constexpr double HundredthsOfMmPerInch = 2540;

// [MS-WMF] 2.3.2.3 META_PLACEABLE and 2.3.2.2 META_HEADER.
constexpr qsizetype PlaceableBoundsAt = 6;
constexpr qsizetype PlaceableInchAt = 14;
constexpr std::uint16_t WmfHeaderWords = 9;
constexpr qsizetype WmfObjectsAt = 10;

// Longest side a picture without any size of its own is given.
constexpr double LargestGuessedSide = 1024;

constexpr double ScreenDpi = 96;

bool fits(double w, double h)
{
    return w > 0 && h > 0 && w <= Limits::MaxSide && h <= Limits::MaxSide;
}

// Metafiles nested in EMF+ images open through the facade, as the outer one.
std::optional<NestedMetafile> openNested(const QByteArray &bytes)
{
    std::optional<Metafile> inner = Metafile::fromBytes(bytes);
    if (!inner)
        return std::nullopt;
    return NestedMetafile{inner->imageFrame(), inner->isEnhanced(),
                          [inner = *inner](QPainter &painter, const QRectF &target, PlaybackBudget &budget) {
                              inner.draw(painter, target, budget);
                          }};
}

} // namespace

QSizeF Metafile::imageFrame() const
{
    return m_emfHeader ? m_emfHeader->frameDevice.size() : m_frame.size();
}

std::optional<Metafile> Metafile::fromBytes(const QByteArray &bytes)
{
    const ByteReader b(bytes);
    if (FileHeader::isEnhanced(b))
        return fromEnhanced(bytes);
    return fromWindows(bytes);
}

std::optional<Metafile> Metafile::fromEnhanced(const QByteArray &bytes)
{
    const ByteReader b(bytes);
    const std::optional<EmfHeader> header = EmfHeader::read(b);
    if (!header)
        return std::nullopt;
    const double w = std::round(header->frame.width() * ScreenDpi / HundredthsOfMmPerInch);
    const double h = std::round(header->frame.height() * ScreenDpi / HundredthsOfMmPerInch);
    if (!fits(w, h) || header->handles > std::uint32_t(Limits::MaxObjects) || !EmfPlayer::validate(bytes))
        return std::nullopt;
    Metafile meta;
    meta.m_bytes = bytes;
    meta.m_emfHeader = *header;
    meta.m_size = QSize(int(w), int(h));
    return meta;
}

std::optional<Metafile> Metafile::fromWindows(const QByteArray &bytes)
{
    const ByteReader b(bytes);
    Metafile meta;
    meta.m_bytes = bytes;
    const bool placeable = FileHeader::isPlaceable(b);
    const qsizetype header = FileHeader::wmfHeaderAt(b);
    const auto type = b.u16(header);
    const auto headerWords = b.u16(header + 2);
    if (!type || !headerWords || (*type != 1 && *type != 2) || *headerWords != WmfHeaderWords ||
        b.u16(header + WmfObjectsAt).value_or(0) > Limits::MaxObjects)
        return std::nullopt;
    meta.m_firstRecord = FileHeader::firstWmfRecord(b);
    const std::optional<WmfPlayer::Survey> survey = WmfPlayer::survey(bytes, meta.m_firstRecord);
    if (!survey)
        return std::nullopt;
    if (placeable ? !meta.takePlaceableSize(b) : !meta.takeWindowSize(*survey))
        return std::nullopt;
    return meta;
}

// The placeable header's bounds in logical units and its units per inch.
bool Metafile::takePlaceableSize(const ByteReader &b)
{
    const auto left = b.i16(PlaceableBoundsAt), top = b.i16(PlaceableBoundsAt + 2);
    const auto right = b.i16(PlaceableBoundsAt + 4), bottom = b.i16(PlaceableBoundsAt + 6);
    const auto inch = b.u16(PlaceableInchAt);
    if (!left || !top || !right || !bottom || !inch || *inch == 0)
        return false;
    const double w = std::round(std::abs(double(*right) - *left) * ScreenDpi / *inch);
    const double h = std::round(std::abs(double(*bottom) - *top) * ScreenDpi / *inch);
    if (!fits(w, h))
        return false;
    m_size = QSize(int(w), int(h));
    m_frame = QRectF(std::min(*left, *right), std::min(*top, *bottom), std::abs(double(*right) - *left),
                     std::abs(double(*bottom) - *top));
    return true;
}

// Without a placeable header: the window the records set, or else the
// extent of what they draw, one logical unit a pixel, the longer side at
// most LargestGuessedSide.
bool Metafile::takeWindowSize(const WmfPlayer::Survey &survey)
{
    QRectF frame = survey.window;
    if (frame.width() == 0 || frame.height() == 0) {
        if (!survey.drawnExtent)
            return false;
        frame = QRectF(survey.drawnExtent->topLeft(), survey.drawnExtent->size() + QSizeF(1, 1));
    }
    const double longer = std::max(std::abs(frame.width()), std::abs(frame.height()));
    const double scale = longer > LargestGuessedSide ? LargestGuessedSide / longer : 1.0;
    const double w = std::max(1.0, std::round(std::abs(frame.width()) * scale));
    const double h = std::max(1.0, std::round(std::abs(frame.height()) * scale));
    if (!fits(w, h))
        return false;
    m_size = QSize(int(w), int(h));
    m_frame = frame;
    return true;
}

void Metafile::draw(QPainter &painter, const QRectF &target) const
{
    PlaybackBudget budget;
    draw(painter, target, budget);
    if (budget.drawnInPart() && !m_drawnInPart->exchange(true))
        qCWarning(metafileLog,
                  "A metafile of %dx%d pixels was drawn in part: drawing it whole needs more work than "
                  "a picture may take (%lld of %lld units drawn, %lld of %lld spent on clips, %lld of %lld bytes "
                  "decoded%s)",
                  m_size.width(), m_size.height(), budget.drawWork, MaxDrawWork, budget.booleanWork, MaxBooleanWork,
                  budget.decodedBytes, MaxDecodedBytes,
                  budget.exhausted ? "" : "; a part too large alone was left out");
}

void Metafile::draw(QPainter &painter, const QRectF &target, PlaybackBudget &budget) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setClipRect(target, Qt::IntersectClip);
    // The outermost picture's frame, in the painter's coordinates now: a
    // nested picture is drawn through a transform of its own.
    const QRectF outerFrame = budget.frame;
    const QTransform toDevice = painter.transform();
    if (budget.deviceFrame.isEmpty())
        budget.deviceFrame = toDevice.mapRect(target.normalized());
    budget.frame = toDevice.isInvertible() ? toDevice.inverted().mapRect(budget.deviceFrame) : target.normalized();
    Playback playback{painter,
                      target,
                      QRectF(QPointF(0, 0), QSizeF(m_size)),
                      ScreenDpi / 25.4,
                      m_size.width() > 0 ? target.width() / m_size.width() : 1,
                      budget,
                      Playback::Mode::Gdi,
                      {}};
    if (m_emfHeader) {
        playback.deviceFrame = m_emfHeader->frameDevice;
        playback.devicePixelsPerMm = m_emfHeader->pixelsPerMm;
        if (m_emfHeader->drawnFromEmfPlus) {
            playback.mode = Playback::Mode::EmfPlus;
            playback.openNested = openNested;
        }
        EmfPlayer(m_bytes, *m_emfHeader, playback).play();
    } else {
        WmfPlayer(m_bytes, m_firstRecord, m_frame, playback).play();
    }
    budget.frame = outerFrame;
    painter.restore();
}
