#pragma once
// A census of the record types a set of metafiles uses: how often each
// occurs, in how many files, and whether the players draw it, set it aside
// on purpose (and why) or lack it.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>

class MetafileCensus
{
public:
    // Counts the records of one file; a file that is no metafile adds nothing.
    void add(const QByteArray &bytes);

    // One line per record type, enhanced ones first.
    QString report() const;
    // The record types met that the players neither draw nor set aside.
    QStringList lacking() const;

private:
    struct Count {
        qsizetype records = 0;
        qsizetype files = 0;
    };
    // Key: the format in the high word, the type below.
    enum class Format { Emf, EmfPlus, Wmf };
    using Key = std::uint64_t;
    static Key key(Format format, std::uint32_t type) { return (Key(format) << 32) | type; }
    static QString describe(Key k, bool *lacking);

    std::map<Key, Count> m_counts;
    qsizetype m_files = 0;
};
