#pragma once
// Reading the VS_VERSIONINFO record: finding it inside an executable image
// (an ELF section of its own, or a PE file's version resource) and answering
// sub-block queries over it. Every length and offset is checked against the
// bytes at hand; a damaged image simply has no record.

#include <QByteArray>
#include <QString>

namespace VersionRecord {

// Name of the ELF section that carries the record.
inline constexpr char SectionName[] = ".vantrix_version";

// The record inside an executable image, or an empty array.
QByteArray findInImage(const QByteArray &image);

// The record of a file on disk, or an empty array.
QByteArray readFromFile(const QString &path);

// Looks up a sub-block path such as "\", "\VarFileInfo\Translation" or
// "\StringFileInfo\041304E4\ProductVersion". On success *value receives the
// value's bytes and *isText whether they are UTF-16 text.
bool Query(const QByteArray &record, const QString &subBlock, QByteArray *value, bool *isText = nullptr);

// The text of a UTF-16 value up to its terminating zero.
QString textOf(const QByteArray &value);

} // namespace VersionRecord
