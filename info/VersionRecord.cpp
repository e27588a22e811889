#include "info/VersionRecord.h"

#include "base/ByteReader.h"

#include <QFile>

#include <cstdint>
#include <cstring>
#include <optional>

namespace VersionRecord {
namespace {

// A record's length field is 16 bits wide.
constexpr qsizetype MaxRecordSize = 0xFFFF;

// Trims a record to the length its root node states.
QByteArray trimmedRecord(const QByteArray &candidate)
{
    const ByteReader b(candidate);
    const auto length = b.u16(0);
    if (!length || *length < 6 || *length > candidate.size())
        return QByteArray();
    return candidate.left(*length);
}

QByteArray findInElf(const ByteReader &b)
{
    if (!b.has(0, 6))
        return QByteArray();
    const int cls = b.u8(4).value_or(0);
    const bool is64 = cls == 2;
    if ((cls != 1 && cls != 2) || b.u8(5) != 1) // little-endian only
        return QByteArray();

    std::optional<std::uint64_t> shoff = b.u64(0x28);
    if (!is64) {
        const auto shoff32 = b.u32(0x20);
        shoff = shoff32 ? std::optional<std::uint64_t>(*shoff32) : std::nullopt;
    }
    const auto shentsize = b.u16(is64 ? 0x3A : 0x2E);
    const auto shnum = b.u16(is64 ? 0x3C : 0x30);
    const auto shstrndx = b.u16(is64 ? 0x3E : 0x32);
    if (!shoff || !shentsize || !shnum || !shstrndx)
        return QByteArray();
    const std::uint64_t entrySize = *shentsize;
    if (entrySize < (is64 ? 64u : 40u) || *shstrndx >= *shnum || !b.has(*shoff, entrySize * *shnum))
        return QByteArray();

    struct Section {
        std::uint32_t name = 0, type = 0;
        std::uint64_t offset = 0, size = 0;
    };
    auto section = [&](std::uint64_t index) {
        const std::uint64_t at = *shoff + index * entrySize;
        Section s;
        s.name = b.u32(at).value_or(0);
        s.type = b.u32(at + 4).value_or(0);
        if (is64) {
            s.offset = b.u64(at + 0x18).value_or(0);
            s.size = b.u64(at + 0x20).value_or(0);
        } else {
            s.offset = b.u32(at + 0x10).value_or(0);
            s.size = b.u32(at + 0x14).value_or(0);
        }
        return s;
    };

    const Section names = section(*shstrndx);
    if (!b.has(names.offset, names.size))
        return QByteArray();
    const std::uint64_t nameLength = sizeof(SectionName); // including the zero
    constexpr std::uint32_t SHT_NOBITS = 8;
    for (std::uint64_t i = 0; i < *shnum; ++i) {
        const Section s = section(i);
        if (s.type == SHT_NOBITS || s.name >= names.size || names.size - s.name < nameLength)
            continue;
        const QByteArray name = b.slice(qsizetype(names.offset + s.name), qsizetype(nameLength));
        if (name.size() != qsizetype(nameLength) || std::memcmp(name.constData(), SectionName, nameLength) != 0)
            continue;
        if (!b.has(s.offset, s.size))
            return QByteArray();
        return trimmedRecord(b.slice(s.offset, std::min<std::uint64_t>(s.size, MaxRecordSize)));
    }
    return QByteArray();
}

// Where a PE file's sections and its resource directory are.
struct PeLayout {
    std::uint64_t sections = 0;
    std::uint16_t sectionCount = 0;
    std::uint32_t resourceRva = 0;
};

std::optional<PeLayout> readPeLayout(const ByteReader &b)
{
    const auto peOffset = b.u32(0x3C);
    if (!peOffset || b.u32(*peOffset) != 0x00004550u) // "PE\0\0"
        return std::nullopt;
    const std::uint64_t coff = std::uint64_t(*peOffset) + 4;
    const auto sectionCount = b.u16(coff + 2);
    const auto optionalSize = b.u16(coff + 16);
    const std::uint64_t optional = coff + 20;
    const auto magic = b.u16(optional);
    if (!sectionCount || !optionalSize || !magic)
        return std::nullopt;
    const bool plus = *magic == 0x20B;
    if (!plus && *magic != 0x10B)
        return std::nullopt;
    const auto dirCount = b.u32(optional + (plus ? 108 : 92));
    if (!dirCount || *dirCount <= 2)
        return std::nullopt;
    const std::uint64_t resourceDir = optional + (plus ? 112 : 96) + 2 * 8;
    if (resourceDir + 8 > optional + *optionalSize)
        return std::nullopt;
    const auto resourceRva = b.u32(resourceDir);
    if (!resourceRva || *resourceRva == 0)
        return std::nullopt;
    return PeLayout{optional + *optionalSize, *sectionCount, *resourceRva};
}

// The file offset of a relative virtual address, through the section table.
std::optional<std::uint64_t> fileOffsetOf(const ByteReader &b, const PeLayout &pe, std::uint32_t rva)
{
    for (std::uint64_t i = 0; i < pe.sectionCount; ++i) {
        const std::uint64_t at = pe.sections + i * 40;
        const auto virtualSize = b.u32(at + 8);
        const auto virtualAddress = b.u32(at + 12);
        const auto rawSize = b.u32(at + 16);
        const auto rawPointer = b.u32(at + 20);
        if (!virtualSize || !virtualAddress || !rawSize || !rawPointer)
            return std::nullopt;
        const std::uint64_t span = std::max(*virtualSize, *rawSize);
        if (rva >= *virtualAddress && rva - *virtualAddress < span) {
            const std::uint64_t into = rva - *virtualAddress;
            if (into >= *rawSize)
                return std::nullopt;
            return std::uint64_t(*rawPointer) + into;
        }
    }
    return std::nullopt;
}

// One resource directory level: the entry with the wanted id, or the first
// entry when any will do. Returns the entry's OffsetToData field.
std::optional<std::uint32_t> resourceEntry(const ByteReader &b, std::uint64_t base, std::uint64_t directory,
                                           std::optional<std::uint32_t> id)
{
    const auto named = b.u16(base + directory + 12);
    const auto numbered = b.u16(base + directory + 14);
    if (!named || !numbered)
        return std::nullopt;
    const std::uint64_t count = std::uint64_t(*named) + *numbered;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t entry = base + directory + 16 + i * 8;
        const auto name = b.u32(entry);
        const auto data = b.u32(entry + 4);
        if (!name || !data)
            return std::nullopt;
        if (!id || (!(*name & 0x80000000u) && *name == *id))
            return data;
    }
    return std::nullopt;
}

// The version resource: type RT_VERSION, its first name, its first language.
QByteArray findInPe(const ByteReader &b)
{
    constexpr std::uint32_t RT_VERSION = 16;
    constexpr std::uint32_t Subdirectory = 0x80000000u;
    const std::optional<PeLayout> pe = readPeLayout(b);
    const auto base = pe ? fileOffsetOf(b, *pe, pe->resourceRva) : std::nullopt;
    if (!base)
        return QByteArray();
    const auto typeEntry = resourceEntry(b, *base, 0, RT_VERSION);
    if (!typeEntry || !(*typeEntry & Subdirectory))
        return QByteArray();
    const auto nameEntry = resourceEntry(b, *base, *typeEntry & ~Subdirectory, std::nullopt);
    if (!nameEntry || !(*nameEntry & Subdirectory))
        return QByteArray();
    const auto languageEntry = resourceEntry(b, *base, *nameEntry & ~Subdirectory, std::nullopt);
    if (!languageEntry || (*languageEntry & Subdirectory))
        return QByteArray();
    const auto dataRva = b.u32(*base + *languageEntry);
    const auto dataSize = b.u32(*base + *languageEntry + 4);
    if (!dataRva || !dataSize)
        return QByteArray();
    const auto dataOffset = fileOffsetOf(b, *pe, *dataRva);
    if (!dataOffset || !b.has(*dataOffset, *dataSize))
        return QByteArray();
    return trimmedRecord(b.slice(*dataOffset, std::min<std::uint64_t>(*dataSize, MaxRecordSize)));
}

// One node of the record: wLength, wValueLength, wType, the key, the value
// and the children, each part aligned to four bytes from the record's start.
struct Node {
    qsizetype start = 0, end = 0;
    QString key;
    qsizetype valueStart = 0, valueSize = 0;
    bool text = false;
    qsizetype childrenStart = 0;
};

constexpr qsizetype align4(qsizetype v)
{
    return (v + 3) & ~qsizetype(3);
}

std::optional<Node> nodeAt(const ByteReader &b, qsizetype start, qsizetype limit)
{
    const auto length = b.u16(std::uint64_t(start));
    const auto valueLength = b.u16(std::uint64_t(start) + 2);
    const auto type = b.u16(std::uint64_t(start) + 4);
    if (!length || !valueLength || !type || *length < 6 || start + *length > limit)
        return std::nullopt;
    Node node;
    node.start = start;
    node.end = start + *length;
    qsizetype at = start + 6;
    for (;;) {
        const auto ch = b.u16(std::uint64_t(at));
        if (!ch || at + 2 > node.end)
            return std::nullopt;
        at += 2;
        if (*ch == 0)
            break;
        node.key.append(QChar(*ch));
    }
    node.text = *type == 1;
    node.valueStart = std::min(align4(at), node.end);
    node.valueSize =
        std::min<qsizetype>(node.text ? qsizetype(*valueLength) * 2 : *valueLength, node.end - node.valueStart);
    node.childrenStart = std::min(align4(node.valueStart + node.valueSize), node.end);
    return node;
}

} // namespace

QByteArray findInImage(const QByteArray &image)
{
    const ByteReader b(image);
    if (image.startsWith("\x7F"
                         "ELF"))
        return findInElf(b);
    if (image.startsWith("MZ"))
        return findInPe(b);
    return QByteArray();
}

QByteArray readFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const qint64 size = file.size();
    if (size <= 0)
        return QByteArray();
    // Map rather than read: an executable can be large, the record is small.
    uchar *mapped = file.map(0, size);
    if (!mapped)
        return QByteArray();
    const QByteArray view = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), qsizetype(size));
    QByteArray record = findInImage(view);
    record.detach(); // own the bytes before the mapping goes away
    file.unmap(mapped);
    return record;
}

bool Query(const QByteArray &record, const QString &subBlock, QByteArray *value, bool *isText)
{
    const ByteReader b(record);
    auto node = nodeAt(b, 0, record.size());
    if (!node)
        return false;
    const QStringList parts = subBlock.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        std::optional<Node> found;
        qsizetype at = node->childrenStart;
        while (at + 6 <= node->end) {
            const auto child = nodeAt(b, at, node->end);
            if (!child)
                break;
            if (child->key.compare(part, Qt::CaseInsensitive) == 0) {
                found = child;
                break;
            }
            at = align4(child->end);
        }
        if (!found)
            return false;
        node = found;
    }
    if (value)
        *value = record.mid(node->valueStart, node->valueSize);
    if (isText)
        *isText = node->text;
    return true;
}

QString textOf(const QByteArray &value)
{
    QString text;
    for (qsizetype i = 0; i + 1 < value.size(); i += 2) {
        const char16_t ch = char16_t(uchar(value[i]) | (uchar(value[i + 1]) << 8));
        if (ch == 0)
            break;
        text.append(QChar(ch));
    }
    return text;
}

} // namespace VersionRecord
