#include "metafile/EmfPlusObjects.h"

#include "metafile/PlayerSupport.h"
#include "metafile/SymbolFonts.h"

#include <cmath>

using namespace PlusObjects;

// [MS-EMFPLUS] 2.2.1.5 EmfPlusFont: version, em size, its unit, style
// flags, a reserved word, the family name's length and the name.
std::optional<PlusFont> PlusObjects::readFont(const PlusData &d, double dpi)
{
    constexpr std::uint32_t Bold = 1, Italic = 2, Underline = 4, Strikeout = 8;
    constexpr qsizetype MaxFamily = 32;
    PlusFont o;
    o.emSize = double(d.f32(4)) * plusUnitScale(d.u32(8), dpi);
    const std::uint32_t style = d.u32(12);
    const qsizetype length = std::min<qsizetype>(d.u32(20), MaxFamily);
    const QString family = d.has(24, length * 2) ? PlayerSupport::utf16At(d, 24, length) : QString();
    SymbolFonts::makeKnown(family);
    o.font = QFont(family.isEmpty() ? QStringLiteral("Arial") : family);
    o.font.setBold(style & Bold);
    o.font.setItalic(style & Italic);
    o.font.setUnderline(style & Underline);
    o.font.setStrikeOut(style & Strikeout);
    return o;
}

// [MS-EMFPLUS] 2.2.1.9 EmfPlusStringFormat: version, flags, language, the
// alignment across and down, digit substitution and language, the first
// tab, the hotkey prefix, then the leading and trailing margins.
std::optional<PlusStringFormat> PlusObjects::readStringFormat(const PlusData &d)
{
    constexpr double MaxMargin = 10;
    auto margin = [&](qsizetype at) {
        const double m = d.f32(at);
        return std::isfinite(m) ? std::clamp(m, 0.0, MaxMargin) : PlusStringFormat::DefaultMargin;
    };
    PlusStringFormat o;
    o.alignment = int(d.u32(12));
    o.lineAlignment = int(d.u32(16));
    o.leadingMargin = margin(36);
    o.trailingMargin = margin(40);
    return o;
}
