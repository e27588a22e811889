#pragma once
// The graphics objects of a metafile's device context, as records create
// them, and the table the records keep them in.

#include "metafile/GdiConstants.h"
#include "metafile/Limits.h"

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QString>
#include <QVector>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <queue>
#include <variant>
#include <vector>

struct GdiPen {
    std::uint32_t style = 0; // PS_* bits
    double width = 0;        // logical units; 0 draws one device pixel
    QColor color = Qt::black;
    QVector<qreal> userDashes;
    bool cosmetic = false; // an extended pen without PS_GEOMETRIC: one pixel wide
    bool isNull() const { return (style & PenStyle::StyleMask) == PenStyle::Null; }
};

struct GdiBrush {
    std::uint32_t style = 0; // BS_*
    QColor color = Qt::white;
    std::uint32_t hatch = 0;
    QImage pattern;
    bool isNull() const { return style == BrushStyle::Null; }
};

struct GdiFont {
    double height = -12; // lfHeight in logical units
    double width = 0;
    double escapement = 0; // tenths of a degree
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int charset = 0;                 // [MS-WMF] 2.1.1.5 CharacterSet: how single-byte text is encoded
    std::uint8_t pitchAndFamily = 0; // [MS-WMF] 2.2.2.14: the kind of face wanted when this one is missing
    QString face = QStringLiteral("Arial");
};

struct GdiPalette {
    QVector<QRgb> entries;
};

struct GdiRegion {
    QPainterPath path; // logical coordinates
};

// One entry of a metafile's object table: free, or an object of one kind.
using GdiObject = std::variant<std::monostate, GdiPen, GdiBrush, GdiFont, GdiPalette, GdiRegion>;

inline bool isFree(const GdiObject &object)
{
    return std::holds_alternative<std::monostate>(object);
}

// The object table of a metafile, of the size its header states.
class GdiObjectTable
{
public:
    explicit GdiObjectTable(std::size_t size) : m_objects(std::min(size, std::size_t(Limits::MaxObjects))) {}

    // EMF: objects go to the index the record names.
    void put(std::uint32_t index, GdiObject object)
    {
        if (index < m_objects.size())
            m_objects[index] = std::move(object);
    }
    // WMF: objects go to the lowest free slot: one freed, or else the next
    // never used. Looking for it does not visit every slot, since a file
    // may create a million objects into a full table.
    void add(GdiObject object)
    {
        while (!m_freed.empty()) {
            const std::size_t slot = m_freed.top();
            m_freed.pop();
            if (isFree(m_objects[slot])) {
                m_objects[slot] = std::move(object);
                return;
            }
        }
        for (; m_unused < m_objects.size(); ++m_unused) {
            if (isFree(m_objects[m_unused])) {
                m_objects[m_unused++] = std::move(object);
                return;
            }
        }
    }
    const GdiObject *get(std::uint32_t index) const
    {
        return index < m_objects.size() && !isFree(m_objects[index]) ? &m_objects[index] : nullptr;
    }
    // The object of kind Kind at Index; nothing when it holds another kind.
    template <typename Kind> Kind *get(std::uint32_t index)
    {
        return index < m_objects.size() ? std::get_if<Kind>(&m_objects[index]) : nullptr;
    }
    template <typename Kind> const Kind *get(std::uint32_t index) const
    {
        return index < m_objects.size() ? std::get_if<Kind>(&m_objects[index]) : nullptr;
    }
    void remove(std::uint32_t index)
    {
        if (index >= m_objects.size() || isFree(m_objects[index]))
            return;
        m_objects[index] = GdiObject();
        if (index < m_unused)
            m_freed.push(index);
    }

private:
    std::vector<GdiObject> m_objects;
    // Slots below m_unused that were freed, lowest first; those from
    // m_unused on have never been taken by add.
    std::priority_queue<std::size_t, std::vector<std::size_t>, std::greater<>> m_freed;
    std::size_t m_unused = 0;
};
