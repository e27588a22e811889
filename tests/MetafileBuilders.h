#pragma once
// Hand-made metafiles for the metafile tests: enhanced and Windows
// metafiles record by record, and EMF+ records inside their comments, each
// record named by its type.

#include "metafile/RecordWalk.h"
#include "metafile/Records.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QtGlobal>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

// An EMF of 100 x 100 pixels at 96 dpi unless sized, built record by
// record, each a type and 32-bit values; the header and the end are added.
class EmfBuilder
{
public:
    void record(EmfRecord type, std::initializer_list<quint32> values)
    {
        QByteArray body;
        for (const quint32 v : values)
            put(body, v);
        record(type, body);
    }
    // Records take whole 32-bit words: the body is padded.
    void record(EmfRecord type, const QByteArray &body)
    {
        const QByteArray padding((4 - body.size() % 4) % 4, '\0');
        put(m_records, quint32(type));
        put(m_records, quint32(8 + body.size() + padding.size()));
        m_records += body + padding;
    }
    QByteArray bytes() const
    {
        QByteArray header;
        put(header, 1);
        put(header, 88);
        // The frame in hundredths of a millimetre, at 96 pixels an inch.
        const auto hundredths = [](int pixels) { return quint32(std::lround(pixels * 2540.0 / 96)); };
        for (const quint32 v : {0u, 0u, quint32(m_size.width() - 1), quint32(m_size.height() - 1), 0u, 0u,
                                hundredths(m_size.width()), hundredths(m_size.height()), 0x464D4520u, 0x10000u})
            put(header, v);
        const QByteArray eof = QByteArray::fromHex("0e000000140000000000000010000000"
                                                   "14000000");
        put(header, quint32(88 + m_records.size() + eof.size()));
        put(header, 0);  // records, not checked
        put(header, 16); // handles
        put(header, 0);  // description
        put(header, 0);
        put(header, 0); // palette entries
        for (const quint32 v : m_device)
            put(header, v); // the reference device in pixels and in millimetres
        return header + m_records + eof;
    }
    // The reference device's size in pixels and millimetres; 96 dpi unless set.
    void setDevice(quint32 widthPixels, quint32 heightPixels, quint32 widthMm, quint32 heightMm)
    {
        m_device = {widthPixels, heightPixels, widthMm, heightMm};
    }
    // The picture's natural size; 100 x 100 unless set.
    void setSize(QSize size) { m_size = size; }
    static void put(QByteArray &b, quint32 v)
    {
        for (int i = 0; i < 4; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    }

private:
    QByteArray m_records;
    std::array<quint32, 4> m_device{1024, 768, 271, 203};
    QSize m_size{100, 100};
};

// A WMF built record by record: 16-bit words, little-endian. Placeable, its
// header giving the size at 96 units an inch; or else sized by the window
// extent its first records set.
class WmfBuilder
{
public:
    void record(WmfRecord function, std::initializer_list<quint16> params)
    {
        QByteArray body;
        for (const quint16 p : params)
            word(body, p);
        record(function, body);
    }
    // Parameters given as bytes, padded to whole words.
    void record(WmfRecord function, QByteArray body)
    {
        if (body.size() % 2)
            body.append('\0');
        const quint32 words = 3 + quint32(body.size() / 2);
        m_records.append(char(words & 0xFF)).append(char((words >> 8) & 0xFF)).append(char(words >> 16)).append('\0');
        word(m_records, quint16(function));
        m_records += body;
    }
    QByteArray bytes(int side, quint16 objects, bool placeable = true) const
    {
        QByteArray b;
        if (placeable) {
            word(b, 0xCDD7);
            word(b, 0x9AC6);
            word(b, 0);
            for (const quint16 v : {quint16(0), quint16(0), quint16(side), quint16(side), quint16(96)})
                word(b, v);
            word(b, 0);
            word(b, 0);
            word(b, 0);
        }
        WmfBuilder sized;
        if (!placeable) {
            sized.record(WmfRecord::SetWindowOrg, {0, 0});                         // META_SETWINDOWORG
            sized.record(WmfRecord::SetWindowExt, {quint16(side), quint16(side)}); // META_SETWINDOWEXT
        }
        QByteArray records = sized.m_records + m_records;
        records.append(QByteArray::fromHex("030000000000")); // EOF
        const quint32 size = quint32(9 + records.size() / 2);
        for (const quint16 v : {quint16(1), quint16(9), quint16(0x0300), quint16(size & 0xFFFF), quint16(size >> 16),
                                objects, quint16(0), quint16(0), quint16(0)})
            word(b, v);
        return b + records;
    }
    static void word(QByteArray &b, quint16 v) { b.append(char(v & 0xFF)).append(char(v >> 8)); }

private:
    QByteArray m_records;
};

// EMF+ records in one EMR_COMMENT: each a type, flags and its data.
class EmfPlusComment
{
public:
    void record(EmfPlusRecord type, quint16 flags, std::initializer_list<quint32> data)
    {
        QByteArray body;
        for (const quint32 v : data)
            EmfBuilder::put(body, v);
        record(type, flags, body);
    }
    void record(EmfPlusRecord type, quint16 flags, const QByteArray &body)
    {
        const auto code = quint16(type);
        m_records.append(char(code & 0xFF)).append(char(code >> 8)).append(char(flags & 0xFF)).append(char(flags >> 8));
        EmfBuilder::put(m_records, quint32(12 + body.size()));
        EmfBuilder::put(m_records, quint32(body.size()));
        m_records += body;
    }
    // The comment's body: its data size, "EMF+", the records.
    QByteArray body() const
    {
        QByteArray b;
        EmfBuilder::put(b, quint32(4 + m_records.size()));
        EmfBuilder::put(b, EmfPlusCommentIdentifier);
        return b + m_records;
    }

private:
    QByteArray m_records;
};

inline QByteArray words(std::initializer_list<quint32> values)
{
    QByteArray b;
    for (const quint32 v : values)
        EmfBuilder::put(b, v);
    return b;
}

inline void gdiRect(EmfBuilder &emf, quint32 colour, std::initializer_list<quint32> box)
{
    emf.record(EmfRecord::CreateBrushIndirect, {1, 0, colour, 0}); // CREATEBRUSHINDIRECT
    emf.record(EmfRecord::SelectObject, {1});                      // SELECTOBJECT
    emf.record(EmfRecord::Rectangle, box);                         // RECTANGLE
}

// A GDI region ([MS-EMF] 2.2.24) of the rectangles given.
inline QByteArray gdiRegion(const std::vector<QRect> &rects)
{
    QByteArray b = words({32, 1, quint32(rects.size()), quint32(rects.size() * 16), 0, 0, 100, 100});
    for (const QRect &r : rects)
        b += words({quint32(r.left()), quint32(r.top()), quint32(r.right() + 1), quint32(r.bottom() + 1)});
    return b;
}

// A bitmap record's fixed part up to the bitmap's place, then the DIB: the
// offsets of its header and bits are filled in.
inline QByteArray withBitmap(QByteArray body, qsizetype offBmiAt, const QByteArray &dib, quint32 infoSize = 40)
{
    const quint32 bmi = quint32(8 + body.size());
    auto set = [&](qsizetype at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            body[at - 8 + i] = char((v >> (8 * i)) & 0xFF);
    };
    set(offBmiAt, bmi);
    set(offBmiAt + 4, infoSize);
    set(offBmiAt + 8, bmi + infoSize);
    set(offBmiAt + 12, quint32(dib.size() - infoSize));
    return body + dib;
}
inline QByteArray withBitmap(std::initializer_list<quint32> fixed, qsizetype offBmiAt, const QByteArray &dib,
                             quint32 infoSize = 40)
{
    return withBitmap(words(fixed), offBmiAt, dib, infoSize);
}

// A packed 32-bit bottom-up DIB of Width x Height pixels, each (0x00rrggbb)
// as Pixel(x, y) gives it.
template <typename Pixel> QByteArray dibOf(int width, int height, Pixel pixel)
{
    QByteArray b =
        words({40, quint32(width), quint32(height), 0x00200001u, 0, quint32(width * height * 4), 0, 0, 0, 0});
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x)
            b += words({quint32(pixel(x, y))});
    return b;
}

// A float's bits, for EMF+ data.
inline quint32 bitsOf(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Empty when most of Area has Colour, within Tolerance in each channel;
// otherwise what was seen. Most, not all: a hatch leaves its lines in the
// colour of the ground, and edges are smoothed.
inline QString mostlyColoured(const QImage &image, const QRect &area, QRgb colour, int tolerance)
{
    int matching = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            matching += std::abs(qRed(p) - qRed(colour)) <= tolerance &&
                        std::abs(qGreen(p) - qGreen(colour)) <= tolerance &&
                        std::abs(qBlue(p) - qBlue(colour)) <= tolerance;
        }
    if (matching * 2 > area.width() * area.height())
        return QString();
    return QStringLiteral("%1 of %2 match; the centre is %3")
        .arg(matching)
        .arg(area.width() * area.height())
        .arg(image.pixel(area.center()), 8, 16);
}
