#include "ui/DevicePointer.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cmath>

void PointerTrail::record(const PointerSample &sample)
{
    m_samples[m_next] = sample;
    m_next = (m_next + 1) % Length;
    m_count = std::min(m_count + 1, Length);
}

void PointerTrail::clear()
{
    m_count = 0;
}

std::optional<PointerSample> PointerTrail::match(std::uint32_t window, std::uint64_t time, QPointF approxInWindow,
                                                 qreal tolerance) const
{
    for (std::size_t back = 1; back <= m_count; ++back) {
        const PointerSample &sample = m_samples[(m_next + Length - back) % Length];
        if (sample.window != window || sample.time != std::uint32_t(time))
            continue;
        const QPointF off = sample.inWindow - approxInWindow;
        if (std::abs(off.x()) <= tolerance && std::abs(off.y()) <= tolerance)
            return sample;
    }
    return std::nullopt;
}

std::optional<PointerSample> PointerTrail::latest(std::uint32_t window) const
{
    for (std::size_t back = 1; back <= m_count; ++back) {
        const PointerSample &sample = m_samples[(m_next + Length - back) % Length];
        if (sample.window == window)
            return sample;
    }
    return std::nullopt;
}

DevicePointer &DevicePointer::instance()
{
    static DevicePointer *pointer = [] {
        auto *made = new DevicePointer;
        const auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (x11 && x11->connection()) {
            const xcb_query_extension_reply_t *input = xcb_get_extension_data(x11->connection(), &xcb_input_id);
            if (input && input->present)
                made->setInputOpcode(input->major_opcode);
            QCoreApplication::instance()->installNativeEventFilter(made);
        }
        return made;
    }();
    return *pointer;
}

bool DevicePointer::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType == "xcb_generic_event_t" && message)
        take(message);
    return false; // Qt handles every event as ever
}

namespace {

qreal fromFixed(xcb_input_fp1616_t value)
{
    return value / 65536.0;
}

template <typename InputEvent> PointerSample inputSample(const InputEvent *event)
{
    return {event->time, event->event, QPointF(fromFixed(event->event_x), fromFixed(event->event_y))};
}

template <typename CoreEvent> PointerSample coreSample(const CoreEvent *event)
{
    return {event->time, event->event, QPointF(event->event_x, event->event_y)};
}

} // namespace

void DevicePointer::take(const void *message)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    switch (event->response_type & ~0x80) {
    case XCB_GE_GENERIC: {
        const auto *generic = static_cast<const xcb_ge_generic_event_t *>(message);
        if (m_inputOpcode == 0 || generic->extension != m_inputOpcode)
            return;
        switch (generic->event_type) {
        case XCB_INPUT_MOTION:
        case XCB_INPUT_BUTTON_PRESS:
        case XCB_INPUT_BUTTON_RELEASE:
            m_trail.record(inputSample(static_cast<const xcb_input_button_press_event_t *>(message)));
            return;
        case XCB_INPUT_ENTER:
        case XCB_INPUT_LEAVE:
            m_trail.record(inputSample(static_cast<const xcb_input_enter_event_t *>(message)));
            return;
        default:
            return;
        }
    }
    case XCB_MOTION_NOTIFY:
        m_trail.record(coreSample(static_cast<const xcb_motion_notify_event_t *>(message)));
        return;
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
        m_trail.record(coreSample(static_cast<const xcb_button_press_event_t *>(message)));
        return;
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY:
        m_trail.record(coreSample(static_cast<const xcb_enter_notify_event_t *>(message)));
        return;
    default:
        return;
    }
}
