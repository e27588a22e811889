#pragma once
// Where the pointer is, in the window system's own pixels.
//
// At a display scale that is not whole, Qt rounds the places its mouse
// events carry to logical pixels, and makes up some events (the move that
// follows entering a control) from a window position that is rounded too:
// such a place can be a device pixel or two off the one the screen shows
// under the pointer. The window system's own events carry the exact device
// pixel; this filter keeps a short trail of them, and a mouse event finds
// its own in the trail by its time stamp and place.

#include <QAbstractNativeEventFilter>
#include <QPointF>

#include <array>
#include <cstdint>
#include <optional>

// One place of the pointer as the window system reported it.
struct PointerSample {
    std::uint32_t time = 0;   // the window system's time stamp, in ms
    std::uint32_t window = 0; // the native window the place is relative to
    QPointF inWindow;         // device pixels from the window's top left
};

class PointerTrail
{
public:
    static constexpr std::size_t Length = 64;

    void record(const PointerSample &sample);
    void clear();

    // The sample that a mouse event of Window with time stamp Time and a
    // place in that window of ApproxInWindow device pixels (rounded by Qt,
    // so up to Tolerance off) came from, newest first.
    std::optional<PointerSample> match(std::uint32_t window, std::uint64_t time, QPointF approxInWindow,
                                       qreal tolerance) const;
    // The newest place known in Window.
    std::optional<PointerSample> latest(std::uint32_t window) const;

private:
    std::array<PointerSample, Length> m_samples{};
    std::size_t m_next = 0;
    std::size_t m_count = 0;
};

class DevicePointer : public QAbstractNativeEventFilter
{
public:
    // The trail of this process's X11 connection; installed as the
    // application's native filter at first use. Elsewhere it stays empty.
    static DevicePointer &instance();

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    PointerTrail &trail() { return m_trail; }

    // The X input extension's major opcode (0: not in use).
    void setInputOpcode(std::uint8_t opcode) { m_inputOpcode = opcode; }

private:
    void take(const void *event);

    PointerTrail m_trail;
    std::uint8_t m_inputOpcode = 0;
};
