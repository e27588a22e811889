// Parses arbitrary settings files; what is parsed must survive a write and
// a second parse unchanged.
#include "FuzzSupport.h"
#include "settings/SettingsFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    CodeTemplates templates;
    parseSettings(BytesOf(data, size)).applyTo(templates);
    // Line breaks and the end-of-file byte cannot be stored in a value.
    for (QString *value : {&templates.InX, &templates.InY, &templates.OutX, &templates.OutY}) {
        value->remove(QLatin1Char('\n'));
        value->remove(QLatin1Char('\x1A'));
    }
    CodeTemplates back;
    parseSettings(formatSettings(QStringLiteral("Vantrix"), templates)).applyTo(back);
    if (back.InX != templates.InX || back.InY != templates.InY || back.OutX != templates.OutX ||
        back.OutY != templates.OutY)
        std::abort();
    return 0;
}
