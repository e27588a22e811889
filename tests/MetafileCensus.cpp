#include "MetafileCensus.h"

#include "metafile/EmfPlayer.h"
#include "metafile/EmfPlusPlayer.h"
#include "metafile/WmfPlayer.h"

#include <set>

void MetafileCensus::add(const QByteArray &bytes)
{
    const ByteReader b(bytes);
    std::set<Key> seen;
    auto count = [&](Format format, std::uint32_t type) {
        const Key k = key(format, type);
        ++m_counts[k].records;
        if (seen.insert(k).second)
            ++m_counts[k].files;
        return true;
    };
    if (FileHeader::isEnhanced(b)) {
        walkEmfRecords(b, [&](std::uint32_t type, const RecordView &r) {
            if (EmfRecord(type) == EmfRecord::Comment) {
                forEachEmfPlusRecord(r, [&](std::uint16_t plusType, std::uint16_t, qsizetype, qsizetype) {
                    count(Format::EmfPlus, plusType);
                });
            }
            return count(Format::Emf, type);
        });
    } else {
        const qsizetype first = FileHeader::firstWmfRecord(b);
        walkWmfRecords(b, first,
                       [&](std::uint16_t function, const RecordView &) { return count(Format::Wmf, function); });
    }
    ++m_files;
}

QString MetafileCensus::describe(Key k, bool *lacking)
{
    const auto format = Format(k >> 32);
    const auto type = std::uint32_t(k & 0xFFFFFFFFu);
    RecordHandling h;
    if (format == Format::Emf)
        h = EmfPlayer::handling(type);
    else if (format == Format::EmfPlus)
        h = EmfPlusPlayer::handling(std::uint16_t(type));
    else
        h = WmfPlayer::handling(std::uint16_t(type));
    *lacking = !h.name;
    static const char *const FormatNames[] = {"EMF", "EMF+", "WMF"};
    const QString name = h.name ? QString::fromLatin1(h.name)
                                : QStringLiteral("%1 type 0x%2")
                                      .arg(QLatin1String(FormatNames[int(format)]))
                                      .arg(type, 4, 16, QLatin1Char('0'));
    const QString what = h.drawn  ? QStringLiteral("drawn")
                         : h.name ? QStringLiteral("ignored: %1").arg(QString::fromLatin1(h.ignoredBecause))
                                  : QStringLiteral("LACKING");
    return QStringLiteral("%1  %2").arg(name, -32).arg(what);
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
