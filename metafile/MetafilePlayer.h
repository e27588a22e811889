#pragma once
// Playback of EMF and WMF records onto a QPainter. Every read is checked
// against the buffer; a record that does not fit ends the playback, and a
// record that is not drawn is skipped.

#include "base/ByteReader.h"

#include <QByteArray>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>

class QPainter;
class GdiCanvas;
class GdiObjectTable;

class EmfPlayer
{
public:
    // Most records a file may have.
    static constexpr qsizetype MaxRecords = 4'000'000;

    // Walks the records from the header to EMR_EOF; false when any record
    // does not fit the buffer or its size is not a multiple of four.
    static bool validate(const QByteArray &bytes);

    EmfPlayer(const QByteArray &bytes, QPainter &painter, const QRectF &target, double zoom);
    ~EmfPlayer();
    void play();

private:
    void record(std::uint32_t type, qsizetype at, qsizetype size);
    const QByteArray &m_bytes;
    ByteReader m_b;
    std::unique_ptr<GdiCanvas> m_canvas;
    std::unique_ptr<GdiObjectTable> m_objects;
};

class WmfPlayer
{
public:
    static constexpr qsizetype MaxRecords = 4'000'000;

    // Walks the records; returns the window set by the first SETWINDOWORG
    // and SETWINDOWEXT (empty when there is none), or nothing when a
    // record does not fit.
    static std::optional<QRectF> validate(const QByteArray &bytes, qsizetype firstRecord);

    WmfPlayer(const QByteArray &bytes, qsizetype firstRecord, const QRectF &frame, QPainter &painter,
              const QRectF &target, double zoom);
    ~WmfPlayer();
    void play();

private:
    void record(std::uint16_t function, qsizetype at, qsizetype size);
    const QByteArray &m_bytes;
    ByteReader m_b;
    qsizetype m_firstRecord;
    std::unique_ptr<GdiCanvas> m_canvas;
    std::unique_ptr<GdiObjectTable> m_objects;
};
