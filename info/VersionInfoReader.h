#pragma once
// Reads the version record of a file and answers the file version number and
// named version strings.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

struct VersionNumber {
    std::uint16_t Major = 0;
    std::uint16_t Minor = 0;
    std::uint16_t Release = 0;
    std::uint16_t Build = 0;
};

// The string keys, looked up by index.
extern const std::array<const char *, 12> VersionStringNames;

class TVersionInfoReader : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString FileName READ fileName WRITE setFileName)
public:
    // Reads the record of the running executable at once.
    explicit TVersionInfoReader(QObject *owner);
    ~TVersionInfoReader() override = default;

    QString fileName() const { return m_fileName; }
    // An empty name means the running executable; writing reads the record.
    void setFileName(const QString &value);

    VersionNumber GetVersionNumber() const;
    // Index 0 to 11 into VersionStringNames; empty when the record lacks it.
    QString GetStringByIndex(int index) const;

    bool infoLoaded() const { return m_infoLoaded; }
    // The active translation as eight upper-case hex digits, language first.
    QString translationKey() const;

protected:
    virtual void ClearInfo();
    virtual void ReadInfo();

private:
    QString m_fileName;
    bool m_infoLoaded = false;
    QByteArray m_infoBuffer;
    std::array<std::uint32_t, 13> m_fixedPart{};
    std::vector<std::uint32_t> m_translationTable;
    int m_activeTranslation = -1;
};
