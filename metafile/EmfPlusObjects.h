#pragma once
// The graphics objects of EMF+ records ([MS-EMFPLUS] 2.2.1): brushes, pens,
// paths, regions, images, fonts and string formats, read from an
// EmfPlusObject record's data with every count and size checked first.
// Each family is read in a file of its own (EmfPlusBrushes.cpp, ...).

#include "metafile/Geometry.h"
#include "metafile/Limits.h"
#include "metafile/PlaybackBudget.h"
#include "metafile/RecordWalk.h"

#include <QBrush>
#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <cstdint>
#include <optional>
#include <variant>

// A stretch of EMF+ record data, read as a record is, with the flags of
// the record it belongs to.
class PlusData : public RecordView
{
public:
    // Size bytes from At inside View; what lies outside View is left out.
    PlusData(const RecordView &view, qsizetype at, qsizetype size, std::uint16_t flags)
        : RecordView(view.bytes(), view.start() + std::clamp<qsizetype>(at, 0, view.size()),
                     std::clamp<qsizetype>(size, 0, view.size() - std::clamp<qsizetype>(at, 0, view.size()))),
          flags(flags)
    {}

    // The data from O on, at most N bytes of it.
    PlusData from(qsizetype o, qsizetype n = -1) const
    {
        const qsizetype start = std::clamp<qsizetype>(o, 0, size());
        const qsizetype left = size() - start;
        return PlusData(*this, start, n < 0 ? left : std::min(n, left), flags);
    }

    std::uint16_t flags;
};

// How one unit of the page or of an object maps onto reference-device
// pixels, given the logical resolution of the EMF+ header.
// [MS-EMFPLUS] 2.1.1.33 UnitType.
double plusUnitScale(std::uint32_t unit, double dpi);

// The kinds of object ([MS-EMFPLUS] 2.2.1), each with what drawing needs of it.
struct PlusBrush {
    QBrush brush;
};

struct PlusPen {
    QPen pen;
    double width = 0; // in world units, past what QPen holds; 0 draws one device pixel
    // Custom caps: shapes filled at the line's ends, in pen widths, the
    // y-axis pointing out of the line; and how far the line stops short.
    struct Cap {
        QPainterPath shape;
        double inset = 0;
    };
    std::optional<Cap> startCap, endCap;
};

struct PlusPath {
    QPainterPath path;
};

struct PlusRegion {
    QPainterPath path;
    bool infinite = false; // without bounds
};

// A bitmap, or else the bytes of a metafile.
struct PlusImage {
    QImage image;
    QByteArray metafile;
};

struct PlusFont {
    QFont font;
    double emSize = 0; // in world units
};

struct PlusStringFormat {
    int alignment = 0; // StringAlignment: near, center, far
    int lineAlignment = 0;
    // Space before and after a line of text, in ems; text without a string
    // format has the defaults of GDI+.
    static constexpr double DefaultMargin = 1.0 / 6;
    double leadingMargin = DefaultMargin;
    double trailingMargin = DefaultMargin;
};

// Image attributes: wrap and clamp colour of images, which are drawn as they are.
struct PlusImageAttributes {
};

// One entry of the object table: nothing, or an object of one kind.
using PlusObject = std::variant<std::monostate, PlusBrush, PlusPen, PlusPath, PlusRegion, PlusImage, PlusFont,
                                PlusStringFormat, PlusImageAttributes>;

namespace PlusObjects {
// [MS-EMFPLUS] 2.2.2.1 EmfPlusARGB.
inline QColor argb(std::uint32_t value)
{
    return QColor::fromRgba(QRgb(value));
}
// [MS-EMFPLUS] 2.2.2.47 EmfPlusTransformMatrix: six floats from At.
inline QTransform matrixAt(const PlusData &d, qsizetype at)
{
    return QTransform(d.f32(at), d.f32(at + 4), d.f32(at + 8), d.f32(at + 12), d.f32(at + 16), d.f32(at + 20));
}

// The memory a decoded image takes.
qint64 imageBytes(const PlusObject &object);

// [MS-EMFPLUS] 2.1.1.22 ObjectType, from bits 8 to 14 of the record flags.
// An image, or a texture brush's, is read only while it fits Allowance
// bytes decoded.
// Budget: the playback's, charged with the boolean operations a region takes.
std::optional<PlusObject> read(int objectType, const PlusData &data, double dpi, PlaybackBudget &budget,
                               qint64 allowance = Limits::MaxImageBytes);
std::optional<PlusBrush> readBrush(const PlusData &data, qint64 allowance = Limits::MaxImageBytes);
std::optional<PlusImage> readImage(const PlusData &data, qint64 allowance = Limits::MaxImageBytes);
std::optional<QPainterPath> readPath(const PlusData &data);
// Each region node a boolean operation charged to Budget.
std::optional<PlusRegion> readRegion(const PlusData &data, PlaybackBudget &budget);
// Widths and em sizes in world units, through the header's resolution Dpi.
std::optional<PlusPen> readPen(const PlusData &data, double dpi);
std::optional<PlusFont> readFont(const PlusData &data, double dpi);
std::optional<PlusStringFormat> readStringFormat(const PlusData &data);
// The points of a path or record, in the form the flags of either give:
// 16-bit integers, relative points, or floats. Nothing when they do not fit
// or are too many; End, when asked, is where they stop.
constexpr std::uint16_t CompressedPoints = 0x4000; // C
constexpr std::uint16_t RelativePoints = 0x0800;   // P
std::optional<QPolygonF> readPoints(const PlusData &data, qsizetype at, qsizetype count, std::uint16_t form,
                                    qsizetype *end = nullptr);
QPainterPath boundedForBoolean(const QPainterPath &path);
} // namespace PlusObjects

// Gathers an object that is continued over several EmfPlusObject records
// ([MS-EMFPLUS] 2.3.5.1): each part but the last carries the flag and the
// whole object's size before its data.
class PlusObjectAssembler
{
public:
    // The whole object's data once its last part has come, else nothing.
    std::optional<QByteArray> add(const PlusData &part, bool continued, int objectId);

private:
    QByteArray m_data;
    qsizetype m_total = 0;
    int m_id = -1;
};
