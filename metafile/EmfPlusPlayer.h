#pragma once
// Playback of EMF+ records ([MS-EMFPLUS]), which travel inside enhanced
// metafile comments, onto a QPainter. Each record type has one small
// handler found through a table; what the table does not name is skipped.
// Objects are kept by their identifiers, every count and size is checked
// before use.

#include "metafile/RecordHandling.h"
#include "metafile/RecordWalk.h"

#include <QBrush>
#include <QFont>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QTransform>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class QPainter;

class EmfPlusPlayer
{
public:
    // The comment identifier of EMF+ records, "EMF+".
    static constexpr std::uint32_t CommentIdentifier = 0x2B464D45;

    // Whether the file is EMF+ only: its first record after the header is
    // an EMF+ header whose dual flag is clear, so its GDI records are no
    // copy of the picture.
    static bool isEmfPlusOnly(const ByteReader &bytes);
    // How the player handles an EMF+ record type.
    static RecordHandling handling(std::uint16_t type);
    // Calls Visit(type) for each EMF+ record in an EMR_COMMENT.
    template <typename Visit> static void forEachRecord(const RecordView &comment, Visit &&visit);

    // DeviceToTarget maps the reference device's pixels onto the painter.
    EmfPlusPlayer(QPainter &painter, const QTransform &deviceToTarget, double devicePixelsPerInch);

    // Plays the EMF+ records of one EMR_COMMENT.
    void playComment(const RecordView &comment);
    // GDI records are drawn only after EmfPlusGetDC, until the next EMF+ record.
    bool gdiAllowed() const { return m_gdiAllowed; }

    struct Record {
        const RecordView &view; // the whole comment
        qsizetype at;           // the record's data, past its 12-byte head
        qsizetype size;         // of the data
        std::uint16_t flags;
        // Reads inside the record's data; zero past its end.
        std::uint32_t u32(qsizetype o) const { return has(o, 4) ? view.u32(at + o) : 0; }
        std::int16_t i16(qsizetype o) const { return has(o, 2) ? view.i16(at + o) : 0; }
        float f32(qsizetype o) const { return has(o, 4) ? view.f32(at + o) : 0; }
        bool has(qsizetype o, qsizetype n) const { return o >= 0 && n >= 0 && o <= size && n <= size - o; }
    };

private:
    using Handler = void (EmfPlusPlayer::*)(const Record &);
    struct Entry {
        std::uint16_t type;
        const char *name;
        Handler play;
        const char *ignoredBecause;
    };
    static const Entry *entryFor(std::uint16_t type);
    void playRecord(const Record &r, std::uint16_t type);

    void header(const Record &r);
    void getDc(const Record &r);
    void object(const Record &r);
    void clear(const Record &r);
    void fillRects(const Record &r);
    void drawRects(const Record &r);
    void fillPolygon(const Record &r);
    void drawLines(const Record &r);
    void fillEllipse(const Record &r);
    void drawEllipse(const Record &r);
    void fillPie(const Record &r);
    void drawPie(const Record &r);
    void drawArc(const Record &r);
    void fillPath(const Record &r);
    void drawPath(const Record &r);
    void fillClosedCurve(const Record &r);
    void drawClosedCurve(const Record &r);
    void drawCurve(const Record &r);
    void drawBeziers(const Record &r);
    void drawString(const Record &r);
    void save(const Record &r);
    void restore(const Record &r);
    void setWorldTransform(const Record &r);
    void resetWorldTransform(const Record &r);
    void multiplyWorldTransform(const Record &r);
    void translateWorldTransform(const Record &r);
    void scaleWorldTransform(const Record &r);
    void rotateWorldTransform(const Record &r);
    void setPageTransform(const Record &r);
    void multiplyWorld(const Record &r, const QTransform &m);

    // What the object table holds.
    struct Object {
        enum class Kind { None, Brush, Pen, Path, Font, StringFormat } kind = Kind::None;
        QBrush brush;
        QPen pen;
        double penWidth = 0; // in world units; 0 draws one device pixel
        QPainterPath path;
        QFont font;
        double emSize = 0; // in world units
        int alignment = 0; // StringAlignment: near, center, far
        int lineAlignment = 0;
    };
    std::optional<Object> readBrush(const Record &r, qsizetype at) const;
    std::optional<Object> readPen(const Record &r) const;
    std::optional<Object> readPath(const Record &r) const;
    std::optional<Object> readFont(const Record &r) const;
    std::optional<Object> readStringFormat(const Record &r) const;
    QBrush brushOf(const Record &r, std::uint32_t brushId) const;
    const Object *objectOf(std::uint32_t id, Object::Kind kind) const;

    QPolygonF points(const Record &r, qsizetype countAt, qsizetype firstAt) const;
    QRectF rectAt(const Record &r, qsizetype at) const;
    QPainterPath curve(const QPolygonF &points, double tension, bool closed, qsizetype first = 0,
                       qsizetype count = -1) const;
    double unitScale(std::uint32_t unit) const;
    QTransform toTarget() const;
    void fill(const QPainterPath &path, const QBrush &brush);
    void stroke(const QPainterPath &path, std::uint32_t penId);

    QPainter &m_painter;
    QTransform m_deviceToTarget;
    double m_devicePixelsPerInch;
    double m_dpi = 96;
    QTransform m_world;
    double m_pageScale = 1;
    std::vector<QTransform> m_saved;
    std::array<Object, 64> m_objects{};
    bool m_gdiAllowed = false;
};

template <typename Visit> void EmfPlusPlayer::forEachRecord(const RecordView &comment, Visit &&visit)
{
    // [MS-EMF] 2.3.3.2 EMR_COMMENT_EMFPLUS: DataSize at 8, the identifier at 12,
    // the records from 16; each EMF+ record: Type, Flags, Size, DataSize.
    constexpr qsizetype RecordsAt = 16;
    constexpr qsizetype RecordHead = 12;
    const qsizetype end = std::min<qsizetype>(comment.size(), 12 + qsizetype(comment.u32(8)));
    if (comment.u32(12) != CommentIdentifier)
        return;
    qsizetype at = RecordsAt;
    while (at + RecordHead <= end) {
        const std::uint16_t type = comment.u16(at);
        const std::uint16_t flags = comment.u16(at + 2);
        const qsizetype size = comment.u32(at + 4);
        const qsizetype dataSize = comment.u32(at + 8);
        if (size < RecordHead || size > end - at || dataSize > size - RecordHead)
            return;
        visit(type, flags, at + RecordHead, dataSize);
        at += size;
    }
}
