#include "metafile/Metafile.h"

#include "metafile/MetafilePlayer.h"

#include <QPainter>

#include <cmath>

std::optional<Metafile> Metafile::fromBytes(const QByteArray &bytes)
{
    const ByteReader b(bytes);
    Metafile meta;
    meta.m_bytes = bytes;

    if (b.u32(0) == 1 && b.u32(40) == 0x464D4520u) { // EMR_HEADER, " EMF"
        const auto headerSize = b.u32(4);
        if (!headerSize || *headerSize < 88 || *headerSize % 4 != 0 || !b.has(0, *headerSize))
            return std::nullopt;
        const auto left = b.i32(24), top = b.i32(28), right = b.i32(32), bottom = b.i32(36);
        if (!left || !top || !right || !bottom)
            return std::nullopt;
        const double w = std::round((double(*right) - *left) * 96.0 / 2540.0);
        const double h = std::round((double(*bottom) - *top) * 96.0 / 2540.0);
        if (w <= 0 || h <= 0 || w > MaxSide || h > MaxSide || b.u16(56).value_or(0) > MaxObjects)
            return std::nullopt;
        meta.m_enhanced = true;
        meta.m_size = QSize(int(w), int(h));
        meta.m_frame = QRectF(*left, *top, double(*right) - *left, double(*bottom) - *top);
        meta.m_firstRecord = 0;
        if (!EmfPlayer::validate(bytes))
            return std::nullopt;
        return meta;
    }

    qsizetype header = 0;
    bool placeable = false;
    if (b.u32(0) == 0x9AC6CDD7u) {
        placeable = true;
        header = 22;
        const auto left = b.i16(6), top = b.i16(8), right = b.i16(10), bottom = b.i16(12);
        const auto inch = b.u16(14);
        if (!left || !top || !right || !bottom || !inch || *inch == 0)
            return std::nullopt;
        const double w = std::round(std::abs(double(*right) - *left) * 96.0 / *inch);
        const double h = std::round(std::abs(double(*bottom) - *top) * 96.0 / *inch);
        if (w <= 0 || h <= 0 || w > MaxSide || h > MaxSide)
            return std::nullopt;
        meta.m_size = QSize(int(w), int(h));
        meta.m_frame = QRectF(std::min(*left, *right), std::min(*top, *bottom), std::abs(double(*right) - *left),
                              std::abs(double(*bottom) - *top));
    }
    const auto type = b.u16(header);
    const auto headerWords = b.u16(header + 2);
    if (!type || !headerWords || (*type != 1 && *type != 2) || *headerWords != 9 ||
        b.u16(header + 10).value_or(0) > MaxObjects)
        return std::nullopt;
    meta.m_firstRecord = header + 18;
    std::optional<QRectF> window = WmfPlayer::validate(bytes, meta.m_firstRecord);
    if (!window)
        return std::nullopt;
    if (!placeable) {
        const double longer = std::max(std::abs(window->width()), std::abs(window->height()));
        if (longer <= 0)
            return std::nullopt;
        const double scale = longer > 1024 ? 1024.0 / longer : 1.0;
        const double w = std::round(std::abs(window->width()) * scale);
        const double h = std::round(std::abs(window->height()) * scale);
        if (w <= 0 || h <= 0)
            return std::nullopt;
        meta.m_size = QSize(int(w), int(h));
        meta.m_frame = *window;
    }
    return meta;
}

void Metafile::draw(QPainter &painter, const QRectF &target) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setClipRect(target, Qt::IntersectClip);
    const double zoom = m_size.width() > 0 ? target.width() / m_size.width() : 1;
    if (m_enhanced)
        EmfPlayer(m_bytes, painter, target, zoom).play();
    else
        WmfPlayer(m_bytes, m_firstRecord, m_frame, painter, target, zoom).play();
    painter.restore();
}
