#pragma once
// Bounds-checked little-endian reads over bytes from a file: every read
// outside the bytes gives nothing instead of touching memory it must not.

#include <QByteArray>

#include <cstdint>
#include <cstring>
#include <optional>

class ByteReader
{
public:
    // The bytes must outlive the reader.
    explicit ByteReader(const QByteArray &bytes) : m_bytes(bytes) {}

    qsizetype size() const { return m_bytes.size(); }

    // Whether Count bytes from At lie inside; negative values never do.
    bool has(qsizetype at, qsizetype count) const
    {
        return at >= 0 && count >= 0 && at <= m_bytes.size() && count <= m_bytes.size() - at;
    }

    std::optional<std::uint8_t> u8(qsizetype at) const
    {
        if (!has(at, 1))
            return std::nullopt;
        return std::uint8_t(m_bytes[at]);
    }
    std::optional<std::uint16_t> u16(qsizetype at) const
    {
        if (!has(at, 2))
            return std::nullopt;
        return le16(raw(at));
    }
    std::optional<std::int16_t> i16(qsizetype at) const
    {
        const auto value = u16(at);
        return value ? std::optional<std::int16_t>(std::int16_t(*value)) : std::nullopt;
    }
    std::optional<std::uint32_t> u32(qsizetype at) const
    {
        if (!has(at, 4))
            return std::nullopt;
        return le32(raw(at));
    }
    std::optional<std::int32_t> i32(qsizetype at) const
    {
        const auto value = u32(at);
        return value ? std::optional<std::int32_t>(std::int32_t(*value)) : std::nullopt;
    }
    std::optional<std::uint64_t> u64(qsizetype at) const
    {
        if (!has(at, 8))
            return std::nullopt;
        return std::uint64_t(le32(raw(at))) | (std::uint64_t(le32(raw(at + 4))) << 32);
    }
    std::optional<float> f32(qsizetype at) const
    {
        const auto bits = u32(at);
        if (!bits)
            return std::nullopt;
        float value;
        std::memcpy(&value, &*bits, sizeof value);
        return value;
    }

    // Count bytes from At, or nothing when they do not all lie inside.
    QByteArray slice(qsizetype at, qsizetype count) const
    {
        return has(at, count) ? m_bytes.mid(at, count) : QByteArray();
    }

    // Unchecked reads, for loops over a range whose bounds were checked once.
    static std::uint16_t le16(const unsigned char *p) { return std::uint16_t(p[0] | (p[1] << 8)); }
    static std::uint32_t le32(const unsigned char *p)
    {
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
               (std::uint32_t(p[3]) << 24);
    }

private:
    const unsigned char *raw(qsizetype at) const
    {
        return reinterpret_cast<const unsigned char *>(m_bytes.constData()) + at;
    }

    const QByteArray &m_bytes;
};
