#include "metafile/MetafileCensus.h"

#include "metafile/EmfPlayer.h"
#include "metafile/WmfPlayer.h"

#include <set>

namespace {

// [MS-WMF] 2.3.2.3 placeable header and 2.3.2.2 header: their sizes.
constexpr std::uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr qsizetype PlaceableSize = 22;
constexpr qsizetype WmfHeaderSize = 18;
constexpr std::uint32_t EmfSignature = 0x464D4520;
constexpr qsizetype EmfSignatureAt = 40;

} // namespace

void MetafileCensus::add(const QByteArray &bytes)
{
    const ByteReader b(bytes);
    std::set<Key> seen;
    auto count = [&](bool enhanced, std::uint32_t type) {
        const Key k = key(enhanced, type);
        ++m_counts[k].records;
        if (seen.insert(k).second)
            ++m_counts[k].files;
        return true;
    };
    if (b.u32(EmfSignatureAt) == EmfSignature) {
        walkEmfRecords(b, [&](std::uint32_t type, const RecordView &) { return count(true, type); });
    } else {
        const qsizetype first = (b.u32(0) == PlaceableKey ? PlaceableSize : 0) + WmfHeaderSize;
        walkWmfRecords(b, first, [&](std::uint16_t function, const RecordView &) { return count(false, function); });
    }
    ++m_files;
}

QString MetafileCensus::describe(Key k, bool *lacking)
{
    const bool enhanced = (k >> 32) == 0;
    const auto type = std::uint32_t(k & 0xFFFFFFFFu);
    const RecordHandling h = enhanced ? EmfPlayer::handling(type) : WmfPlayer::handling(std::uint16_t(type));
    *lacking = !h.name;
    const QString name =
        h.name ? QString::fromLatin1(h.name)
               : QStringLiteral("%1 type 0x%2").arg(enhanced ? "EMF" : "WMF").arg(type, 4, 16, QLatin1Char('0'));
    const QString what = h.drawn  ? QStringLiteral("drawn")
                         : h.name ? QStringLiteral("ignored: %1").arg(QString::fromLatin1(h.ignoredBecause))
                                  : QStringLiteral("LACKING");
    return QStringLiteral("%1  %2").arg(name, -28).arg(what);
}

QString MetafileCensus::report() const
{
    QString text = QStringLiteral("Record census of %1 files: records, files, handling\n").arg(m_files);
    for (const auto &[k, c] : m_counts) {
        bool lacking = false;
        const QString line = describe(k, &lacking);
        text += QStringLiteral("  %1 %2  %3\n").arg(c.records, 7).arg(c.files, 4).arg(line);
    }
    return text;
}

QStringList MetafileCensus::lacking() const
{
    QStringList result;
    for (const auto &[k, c] : m_counts) {
        bool lacking = false;
        const QString line = describe(k, &lacking);
        if (lacking)
            result << line.section(QLatin1Char(' '), 0, 2);
    }
    return result;
}
