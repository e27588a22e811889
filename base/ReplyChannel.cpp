#include "base/ReplyChannel.h"

#include <QMutex>

struct ReplyChannel::State {
    QMutex mutex;
    QObject *receiver = nullptr; // null once closed
};

ReplyChannel::ReplyChannel(QObject *receiver) : m_state(std::make_shared<State>())
{
    m_state->receiver = receiver;
}

ReplyChannel::~ReplyChannel()
{
    // Posted under the lock, a call never reaches a receiver being destroyed:
    // the calls posted before this are removed with the receiver's events.
    QMutexLocker lock(&m_state->mutex);
    m_state->receiver = nullptr;
}

ReplyChannel::Handle ReplyChannel::handle() const
{
    Handle handle;
    handle.m_state = m_state;
    return handle;
}

void ReplyChannel::Handle::post(std::function<void()> call) const
{
    QMutexLocker lock(&m_state->mutex);
    QObject *receiver = m_state->receiver;
    if (!receiver)
        return;
    // A call left waiting while the channel closes finds it closed.
    QMetaObject::invokeMethod(
        receiver,
        [state = m_state, call = std::move(call)] {
            QMutexLocker check(&state->mutex);
            const bool open = state->receiver != nullptr;
            check.unlock();
            if (open)
                call();
        },
        Qt::QueuedConnection);
}
