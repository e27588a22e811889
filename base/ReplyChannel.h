#pragma once
// The way back from work on another thread to an object on the window's
// thread: the work posts a call, which runs on the receiver's thread, or
// not at all once the channel is closed (the receiver going away closes
// it). Work in flight is never waited for.

#include <QObject>

#include <functional>
#include <memory>

class ReplyChannel
{
    struct State;

public:
    // What a worker keeps: it may outlive the receiver.
    class Handle
    {
    public:
        // Runs Call on the receiver's thread, later, if still open then.
        void post(std::function<void()> call) const;

    private:
        friend class ReplyChannel;
        std::shared_ptr<State> m_state;
    };

    explicit ReplyChannel(QObject *receiver);
    ~ReplyChannel();
    ReplyChannel(const ReplyChannel &) = delete;
    ReplyChannel &operator=(const ReplyChannel &) = delete;

    Handle handle() const;

private:
    std::shared_ptr<State> m_state;
};
