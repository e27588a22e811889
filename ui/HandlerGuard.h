#pragma once
// Event and creation handlers run guarded: a failure that escapes one ends
// that handler and is shown in the failure box; the program goes on.

#include <QString>

#include <exception>

// The failure box: the message (with a full stop when its last character
// sorts after '.'), the application title as caption, the error icon and
// one OK button, owned by the active window.
void ShowFailure(const QString &message);

// The text the failure box shows for a message.
QString FailureText(const QString &message);

// The message of a failure: our own failure's text, else the library's.
QString FailureMessage(const std::exception &failure);

// Runs an event or creation handler; a failure ends the handler and is
// shown. Handlers run through here so that no exception has to travel
// through the toolkit's own frames.
template <typename Handler> void RunHandler(Handler &&handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        ShowFailure(FailureMessage(e));
    }
}

// A slot that runs Handler through RunHandler.
template <typename Handler> auto Guarded(Handler handler)
{
    return [handler]() { RunHandler(handler); };
}
