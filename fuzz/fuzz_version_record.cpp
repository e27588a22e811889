// Finds and queries version records in arbitrary executable images.
#include "FuzzSupport.h"
#include "info/VersionRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = BytesOf(data, size);
    QByteArray value;
    for (const QByteArray &record : {VersionRecord::findInImage(bytes), bytes}) {
        VersionRecord::Query(record, QStringLiteral("\\"), &value);
        VersionRecord::Query(record, QStringLiteral("\\VarFileInfo\\Translation"), &value);
        if (VersionRecord::Query(record, QStringLiteral("\\StringFileInfo\\041304E4\\ProductVersion"), &value))
            VersionRecord::textOf(value);
    }
    return 0;
}
