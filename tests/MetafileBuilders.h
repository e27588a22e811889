#pragma once
// Hand-made metafiles for the metafile tests: enhanced metafiles record by
// record, and EMF+ records inside their comments.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>

#include <array>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// An EMF of 100 x 100 pixels at 96 dpi, built record by record, each a
// type and 32-bit values; the header and the end are added.
class EmfBuilder
{
public:
    void record(quint32 type, std::initializer_list<quint32> values)
    {
        QByteArray body;
        for (const quint32 v : values)
            put(body, v);
        record(type, body);
    }
    // Records take whole 32-bit words: the body is padded.
    void record(quint32 type, const QByteArray &body)
    {
        const QByteArray padding((4 - body.size() % 4) % 4, '\0');
        put(m_records, type);
        put(m_records, quint32(8 + body.size() + padding.size()));
        m_records += body + padding;
    }
    QByteArray bytes() const
    {
        QByteArray header;
        put(header, 1);
        put(header, 88);
        for (const quint32 v : {0u, 0u, 99u, 99u, 0u, 0u, 2645u, 2645u, 0x464D4520u, 0x10000u})
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
    static void put(QByteArray &b, quint32 v)
    {
        for (int i = 0; i < 4; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    }

private:
    QByteArray m_records;
    std::array<quint32, 4> m_device{1024, 768, 271, 203};
};

// EMF+ records in one EMR_COMMENT: each a type, flags and its data.
class EmfPlusComment
{
public:
    void record(quint16 type, quint16 flags, std::initializer_list<quint32> data)
    {
        QByteArray body;
        for (const quint32 v : data)
            EmfBuilder::put(body, v);
        record(type, flags, body);
    }
    void record(quint16 type, quint16 flags, const QByteArray &body)
    {
        m_records.append(char(type & 0xFF)).append(char(type >> 8)).append(char(flags & 0xFF)).append(char(flags >> 8));
        EmfBuilder::put(m_records, quint32(12 + body.size()));
        EmfBuilder::put(m_records, quint32(body.size()));
        m_records += body;
    }
    // The comment's body: its data size, "EMF+", the records.
    QByteArray body() const
    {
        QByteArray b;
        EmfBuilder::put(b, quint32(4 + m_records.size()));
        EmfBuilder::put(b, 0x2B464D45u);
        return b + m_records;
    }

private:
    QByteArray m_records;
};

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
