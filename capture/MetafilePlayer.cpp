#include "capture/MetafilePlayer.h"

#include <QPainter>

#include <cstring>

std::optional<std::uint8_t> MetaBytes::u8(qsizetype at) const
{
    if (!has(at, 1))
        return std::nullopt;
    return std::uint8_t(m_data[at]);
}

std::optional<std::uint16_t> MetaBytes::u16(qsizetype at) const
{
    if (!has(at, 2))
        return std::nullopt;
    const auto *p = reinterpret_cast<const unsigned char *>(m_data.constData()) + at;
    return std::uint16_t(p[0] | (p[1] << 8));
}

std::optional<std::int16_t> MetaBytes::i16(qsizetype at) const
{
    const auto v = u16(at);
    if (!v)
        return std::nullopt;
    return std::int16_t(*v);
}

std::optional<std::uint32_t> MetaBytes::u32(qsizetype at) const
{
    if (!has(at, 4))
        return std::nullopt;
    const auto *p = reinterpret_cast<const unsigned char *>(m_data.constData()) + at;
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::optional<std::int32_t> MetaBytes::i32(qsizetype at) const
{
    const auto v = u32(at);
    if (!v)
        return std::nullopt;
    return std::int32_t(*v);
}

std::optional<float> MetaBytes::f32(qsizetype at) const
{
    const auto v = u32(at);
    if (!v)
        return std::nullopt;
    float f;
    const std::uint32_t bits = *v;
    std::memcpy(&f, &bits, 4);
    return f;
}

struct EmfPlayer::State {
};

bool EmfPlayer::validate(const QByteArray &bytes)
{
    const MetaBytes b(bytes);
    qsizetype at = 0;
    for (qsizetype n = 0; n < MaxRecords; ++n) {
        const auto type = b.u32(at);
        const auto size = b.u32(at + 4);
        if (!type || !size || *size < 8 || *size % 4 != 0 || !b.has(at, *size))
            return false;
        if (*type == 14) // EMR_EOF
            return true;
        at += *size;
    }
    return false;
}

EmfPlayer::EmfPlayer(const QByteArray &, QPainter &, const QRectF &) : d(new State) {}
EmfPlayer::~EmfPlayer()
{
    delete d;
}
void EmfPlayer::play() {}

struct WmfPlayer::State {
};

std::optional<QRectF> WmfPlayer::validate(const QByteArray &bytes, qsizetype firstRecord)
{
    const MetaBytes b(bytes);
    qsizetype at = firstRecord;
    std::optional<QPointF> origin;
    std::optional<QSizeF> extent;
    for (qsizetype n = 0; n < MaxRecords; ++n) {
        const auto words = b.u32(at);
        const auto function = b.u16(at + 4);
        if (!words || !function || *words < 3 || !b.has(at, qsizetype(*words) * 2))
            return std::nullopt;
        if (*function == 0)
            return QRectF(origin.value_or(QPointF()), extent.value_or(QSizeF()));
        if (*function == 0x020B && !origin) // SETWINDOWORG: y, x
            origin = QPointF(b.i16(at + 8).value_or(0), b.i16(at + 6).value_or(0));
        if (*function == 0x020C && !extent) // SETWINDOWEXT: height, width
            extent = QSizeF(b.i16(at + 8).value_or(0), b.i16(at + 6).value_or(0));
        at += qsizetype(*words) * 2;
    }
    return std::nullopt;
}

WmfPlayer::WmfPlayer(const QByteArray &, qsizetype, const QRectF &, QPainter &, const QRectF &) : d(new State) {}
WmfPlayer::~WmfPlayer()
{
    delete d;
}
void WmfPlayer::play() {}
