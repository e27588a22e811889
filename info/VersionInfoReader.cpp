#include "info/VersionInfoReader.h"

#include "base/Environment.h"
#include "info/VersionRecord.h"

#include <cstring>

const std::array<const char *, 12> VersionStringNames = {
    "Comments",        "CompanyName",      "FileDescription", "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTrademarks", "OriginalFileName", "PrivateBuild",    "ProductName", "ProductVersion", "SpecialBuild",
};

namespace {

// The three version-library operations, over our own record reader.

qsizetype GetFileVersionInfoSize(const QString &path, QByteArray *handle)
{
    *handle = VersionRecord::readFromFile(path);
    return handle->size();
}

bool GetFileVersionInfo(const QByteArray &handle, qsizetype size, QByteArray *buffer)
{
    if (handle.size() != size || size == 0)
        return false;
    *buffer = handle;
    return true;
}

bool VerQueryValue(const QByteArray &buffer, const QString &subBlock, QByteArray *value)
{
    return VersionRecord::Query(buffer, subBlock, value);
}

std::uint32_t wordAt(const QByteArray &bytes, qsizetype index)
{
    std::uint32_t word = 0;
    std::memcpy(&word, bytes.constData() + index * 4, 4); // little-endian host
    return word;
}

} // namespace

TVersionInfoReader::TVersionInfoReader(QObject *owner) : QObject(owner)
{
    setFileName(QString());
}

void TVersionInfoReader::setFileName(const QString &value)
{
    if (value.isEmpty())
        m_fileName = ExeFileName.isEmpty() ? runningExecutablePath() : ExeFileName;
    else
        m_fileName = value;
    ClearInfo();
    ReadInfo();
}

void TVersionInfoReader::ClearInfo()
{
    m_infoLoaded = false;
}

void TVersionInfoReader::ReadInfo()
{
    m_infoLoaded = false;
    m_fixedPart.fill(0);
    m_translationTable.clear();
    m_activeTranslation = -1;

    QByteArray handle;
    const qsizetype size = GetFileVersionInfoSize(m_fileName, &handle);
    if (size == 0)
        return;
    m_infoBuffer = QByteArray();
    if (!GetFileVersionInfo(handle, size, &m_infoBuffer))
        return;
    m_infoLoaded = true;

    QByteArray value;
    if (VerQueryValue(m_infoBuffer, QStringLiteral("\\"), &value) && value.size() >= qsizetype(sizeof(m_fixedPart))) {
        for (qsizetype i = 0; i < qsizetype(m_fixedPart.size()); ++i)
            m_fixedPart[std::size_t(i)] = wordAt(value, i);
    }
    if (VerQueryValue(m_infoBuffer, QStringLiteral("\\VarFileInfo\\Translation"), &value)) {
        for (qsizetype i = 0; i < value.size() / 4; ++i)
            m_translationTable.push_back(wordAt(value, i));
    }
    m_activeTranslation = m_translationTable.empty() ? -1 : 0;
}

VersionNumber TVersionInfoReader::GetVersionNumber() const
{
    // Words 2 and 3 of the fixed part: the most and least significant
    // halves of the file version.
    const std::uint32_t ms = m_fixedPart[2];
    const std::uint32_t ls = m_fixedPart[3];
    return VersionNumber{std::uint16_t(ms >> 16), std::uint16_t(ms & 0xFFFF), std::uint16_t(ls >> 16),
                         std::uint16_t(ls & 0xFFFF)};
}

QString TVersionInfoReader::translationKey() const
{
    if (!m_infoLoaded || m_activeTranslation < 0)
        return QString();
    const std::uint32_t entry = m_translationTable[std::size_t(m_activeTranslation)];
    return QStringLiteral("%1%2")
        .arg(entry & 0xFFFF, 4, 16, QLatin1Char('0'))
        .arg(entry >> 16, 4, 16, QLatin1Char('0'))
        .toUpper();
}

QString TVersionInfoReader::GetStringByIndex(int index) const
{
    if (!m_infoLoaded || index < 0 || index >= int(VersionStringNames.size()))
        return QString();
    const QString path = QStringLiteral("\\StringFileInfo\\") + translationKey() + QLatin1Char('\\') +
                         QLatin1String(VersionStringNames[std::size_t(index)]);
    QByteArray value;
    if (path.size() > 255 || !VerQueryValue(m_infoBuffer, path, &value))
        return QString();
    return VersionRecord::textOf(value);
}
