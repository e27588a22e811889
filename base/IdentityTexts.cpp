#include "base/IdentityTexts.h"

#include <initializer_list>

namespace {

// Zero at run time; the compiler cannot fold it into the character codes.
volatile int zero = 0;

// Each character code is a constant added to a variable that is zero at run
// time; codes are Windows-1252 bytes.
QString assemble(std::initializer_list<int> codes)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(codes.size()));
    for (const int code : codes)
        bytes.append(char(zero + code));
    // Windows-1252 and Latin-1 agree on every code these texts use.
    return QString::fromLatin1(bytes);
}

} // namespace

QString assembleProgramName()
{
    return assemble({86, 97, 110, 116, 114, 105, 120});
}

QString assembleCopyrightText()
{
    return assemble({67, 111, 112, 121, 114, 105, 103, 104, 116, 32,  169, 32,  50,  48,  50,  54,  32, 86,
                     97, 110, 116, 114, 105, 120, 32,  100, 101, 118, 101, 108, 111, 112, 101, 114, 115});
}

QString assembleWebAddress()
{
    return assemble({104, 116, 116, 112, 115, 58,  47,  47,  118, 97, 110, 116, 114, 105,
                     120, 46,  101, 120, 97,  109, 112, 108, 101, 46, 111, 114, 103, 47});
}
