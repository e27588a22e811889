#pragma once
// Event and creation handlers run guarded: a failure that escapes one ends
// that handler and is shown in the failure box; the program goes on.

#include <QString>

#include <exception>

// The failure box: the message (with a full stop when its last character
// sorts after '.'), the application title as caption, the error icon and
// one OK button, owned by the active window.
void showFailure(const QString &message);

// The text the failure box shows for a message.
QString failureText(const QString &message);

// The message of a failure: our own failure's text, else the library's.
QString failureMessage(const std::exception &failure);

// Runs an event or creation handler; a failure ends the handler and is
// shown. Handlers run through here so that no exception has to travel
// through the toolkit's own frames.
template <typename Handler> void runHandler(Handler &&handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        showFailure(failureMessage(e));
    }
}

// A slot that runs Handler through runHandler.
template <typename Handler> auto guarded(Handler handler)
{
    return [handler]() { runHandler(handler); };
}
