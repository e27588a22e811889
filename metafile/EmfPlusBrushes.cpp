#include "metafile/EmfPlusObjects.h"
#include "metafile/Limits.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <cmath>

using namespace PlusObjects;

namespace {

// [MS-EMFPLUS] 2.1.1.3 BrushType.
enum BrushType : std::uint32_t { SolidBrush, HatchBrush, TextureBrush, PathGradientBrush, LinearGradientBrush };

// [MS-EMFPLUS] 2.1.2.1 BrushData flags.
constexpr std::uint32_t BrushDataPath = 0x01;
constexpr std::uint32_t BrushDataTransform = 0x02;
constexpr std::uint32_t BrushDataPresetColors = 0x04;
constexpr std::uint32_t BrushDataBlendFactorsH = 0x08;

// [MS-EMFPLUS] 2.1.1.34 WrapMode.
enum WrapMode : std::uint32_t { WrapTile, WrapTileFlipX, WrapTileFlipY, WrapTileFlipXY, WrapClamp };

// [MS-EMFPLUS] 2.1.1.13 HatchStyle: the first six are lines, the next
// twelve percentages of the foreground; the rest are drawn half and half.
QBrush hatchBrush(const PlusData &d)
{
    enum { Horizontal, Vertical, ForwardDiagonal, BackwardDiagonal, Cross, DiagonalCross, FirstPercent };
    static const int percents[] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
    // An 8 by 8 ordered dither: a pixel is foreground below the density.
    static const int order[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                                    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                                    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    const std::uint32_t style = d.u32(0);
    QImage tile(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool h = y == 0, v = x == 0, f = x == y, b = x + y == 7;
            bool on = false;
            if (style <= DiagonalCross) {
                const bool lines[] = {h, v, f, b, h || v, f || b};
                on = lines[style];
            } else {
                const std::uint32_t p = style - FirstPercent;
                on = order[y][x] < (p < std::size(percents) ? percents[p] : 50) * 64 / 100;
            }
            tile.setPixel(x, y, on ? d.u32(4) : d.u32(8));
        }
    }
    return QBrush(tile);
}

// A brush's optional transform at At, which moves past it; the identity
// when there is none or it cannot be undone.
QTransform brushTransform(const PlusData &d, std::uint32_t flags, qsizetype &at)
{
    constexpr qsizetype MatrixSize = 24;
    if (!(flags & BrushDataTransform))
        return QTransform();
    const QTransform m = matrixAt(d, at);
    at += MatrixSize;
    return m.isInvertible() ? m : QTransform();
}

QGradient::Spread spreadOf(std::uint32_t wrap)
{
    if (wrap == WrapClamp)
        return QGradient::PadSpread;
    return wrap == WrapTileFlipX || wrap == WrapTileFlipXY ? QGradient::ReflectSpread : QGradient::RepeatSpread;
}

// [MS-EMFPLUS] 2.2.2.4 EmfPlusBlendColors and 2.2.2.5 EmfPlusBlendFactors:
// a count, the positions, then colours or factors between two colours.
// Reversed for path gradients, whose positions run from the boundary in.
bool addBlend(QGradient &gradient, const PlusData &d, std::uint32_t flags, QColor from, QColor to, bool reversed)
{
    const qsizetype count = d.u32(0);
    if (!(flags & (BrushDataPresetColors | BrushDataBlendFactorsH)) || count < 2 || count > Limits::MaxGradientStops ||
        !d.has(4, count * 8))
        return false;
    QGradientStops stops;
    for (qsizetype i = 0; i < count; ++i) {
        const double position = std::clamp(double(d.f32(4 + i * 4)), 0.0, 1.0);
        QColor color;
        if (flags & BrushDataPresetColors) {
            color = argb(d.u32(4 + count * 4 + i * 4));
        } else {
            const double f = std::clamp(double(d.f32(4 + count * 4 + i * 4)), 0.0, 1.0);
            color = QColor::fromRgbF(
                from.redF() + (to.redF() - from.redF()) * f, from.greenF() + (to.greenF() - from.greenF()) * f,
                from.blueF() + (to.blueF() - from.blueF()) * f, from.alphaF() + (to.alphaF() - from.alphaF()) * f);
        }
        stops << QGradientStop(reversed ? 1 - position : position, color);
    }
    std::sort(stops.begin(), stops.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    gradient.setStops(stops);
    return true;
}

// [MS-EMFPLUS] 2.2.2.24 EmfPlusLinearGradientBrushData: flags, wrap mode,
// rectangle, start and end colours, two reserved words, optional data.
QBrush linearGradient(const PlusData &d)
{
    const std::uint32_t flags = d.u32(0);
    const QRectF rect(d.f32(8), d.f32(12), d.f32(16), d.f32(20));
    const QColor start = argb(d.u32(24)), end = argb(d.u32(28));
    QLinearGradient gradient(rect.left(), rect.center().y(), rect.right(), rect.center().y());
    // Colours with alpha blend premultiplied, as Windows' own drawings of
    // such gradients in dual files show; Qt's default does the same.
    gradient.setSpread(spreadOf(d.u32(4)));
    qsizetype at = 40;
    const QTransform transform = brushTransform(d, flags, at);
    if (!addBlend(gradient, d.from(at), flags, start, end, false)) {
        gradient.setColorAt(0, start);
        gradient.setColorAt(1, end);
    }
    QBrush brush(gradient);
    brush.setTransform(transform);
    return brush;
}

// [MS-EMFPLUS] 2.2.2.29 EmfPlusPathGradientBrushData: flags, wrap mode,
// centre colour and point, the surrounding colours, the boundary as a path
// or points, optional data. Drawn as a radial gradient over the
// boundary's bounds: exact for ellipses, close for other shapes.
std::optional<QBrush> pathGradient(const PlusData &d)
{
    const std::uint32_t flags = d.u32(0);
    const QPointF centre(d.f32(12), d.f32(16));
    const qsizetype colours = d.u32(20);
    if (colours < 1 || colours > Limits::MaxPoints || !d.has(24, colours * 4))
        return std::nullopt;
    qsizetype at = 24 + colours * 4;
    QPainterPath boundary;
    if (flags & BrushDataPath) {
        const auto path = PlusObjects::readPath(d.from(at + 4, d.i32(at)));
        if (!path || d.i32(at) < 0)
            return std::nullopt;
        boundary = *path;
        at += 4 + d.i32(at);
    } else {
        const auto points = PlusObjects::readPoints(d, at + 4, d.i32(at), 0);
        if (!points)
            return std::nullopt;
        boundary.addPolygon(*points);
        at += 4 + points->size() * 8;
    }
    const QRectF bounds = boundary.boundingRect();
    if (bounds.width() <= 0 || bounds.height() <= 0)
        return std::nullopt;
    // Curved boundaries are ellipses; an ellipse round a polygon's bounds
    // reaches its corners.
    const bool curved = boundary.elementCount() > 0 && boundary.elementAt(1 % boundary.elementCount()).isCurveTo();
    const double reach = curved ? 1 : M_SQRT2;
    QRadialGradient gradient(QPointF(0, 0), reach,
                             QPointF((centre.x() - bounds.center().x()) / (bounds.width() / 2),
                                     (centre.y() - bounds.center().y()) / (bounds.height() / 2)));
    const QColor inner = argb(d.u32(8)), outer = argb(d.u32(24));
    const QTransform transform = brushTransform(d, flags, at);
    if (!addBlend(gradient, d.from(at), flags, outer, inner, true)) {
        gradient.setColorAt(0, inner);
        gradient.setColorAt(1, outer);
    }
    QBrush brush(gradient);
    brush.setTransform(QTransform::fromScale(bounds.width() / 2, bounds.height() / 2) *
                       QTransform::fromTranslate(bounds.center().x(), bounds.center().y()) * transform);
    return brush;
}

// [MS-EMFPLUS] 2.2.2.45 EmfPlusTextureBrushData: flags, wrap mode, an
// optional transform, then the image. Metafile textures are not drawn.
std::optional<QBrush> textureBrush(const PlusData &d, qint64 allowance)
{
    const std::uint32_t flags = d.u32(0);
    qsizetype at = 8;
    const QTransform transform = brushTransform(d, flags, at);
    const std::optional<PlusImage> image = PlusObjects::readImage(d.from(at), allowance);
    if (!image || image->image.isNull())
        return std::nullopt;
    QBrush brush(image->image);
    brush.setTransform(transform);
    return brush;
}

} // namespace

// [MS-EMFPLUS] 2.2.1.1 EmfPlusBrush: version, type, then the type's data.
std::optional<PlusBrush> PlusObjects::readBrush(const PlusData &d, qint64 allowance)
{
    const PlusData data = d.from(8);
    std::optional<QBrush> brush;
    switch (d.u32(4)) {
    case SolidBrush:
        brush = QBrush(argb(data.u32(0)));
        break;
    case HatchBrush:
        brush = hatchBrush(data);
        break;
    case TextureBrush:
        brush = textureBrush(data, allowance);
        break;
    case PathGradientBrush:
        brush = pathGradient(data);
        break;
    case LinearGradientBrush:
        brush = linearGradient(data);
        break;
    default:
        break;
    }
    if (!brush)
        return std::nullopt;
    return PlusBrush{*brush};
}
