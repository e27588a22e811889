#pragma once
// The program's own message boxes: an information and an error box with the
// caller's OK caption, and the two general dialogs behind them, a classic
// message dialog whose button row is laid out anew and a task-style dialog.

#include <QString>

#include <array>
#include <cstddef>
#include <initializer_list>

enum class MessageType { Warning, Error, Information, Confirmation, Custom };

// In the order in which buttons stand in a dialog.
enum class DialogButton { Yes, No, OK, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help };

// A set of dialog buttons.
class DialogButtons
{
public:
    DialogButtons() = default;
    DialogButtons(std::initializer_list<DialogButton> buttons)
    {
        for (const DialogButton b : buttons)
            m_bits |= bit(b);
    }
    bool contains(DialogButton b) const { return (m_bits & bit(b)) != 0; }

private:
    static unsigned bit(DialogButton b) { return 1u << unsigned(b); }
    unsigned m_bits = 0;
};

// The codes the dialogs return, as the designed platform's message boxes do.
namespace DialogResult {
constexpr int None = 0; // nothing was shown, or Help, which does not close
constexpr int OK = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
constexpr int All = 8;
constexpr int NoToAll = 9;
constexpr int YesToAll = 10;
} // namespace DialogResult

// The code a button closes its dialog with; None for Help.
int resultCode(DialogButton button);

constexpr std::size_t DialogButtonCount = 11;

// What a message box shows and offers.
struct MessageOptions {
    QString caption; // the window title
    QString title;   // the main instruction, may be empty
    QString text;
    MessageType type = MessageType::Information;
    DialogButtons buttons{DialogButton::OK};
    DialogButton defaultButton = DialogButton::OK;
    // Captions in place of the standard ones, in the order of DialogButton;
    // empty keeps the standard caption.
    std::array<QString, DialogButtonCount> captions;

    // One OK button, with OKCaption in place of its standard caption.
    static MessageOptions oneButton(const QString &caption, const QString &title, const QString &text, MessageType type,
                                    const QString &okCaption)
    {
        MessageOptions options;
        options.caption = caption;
        options.title = title;
        options.text = text;
        options.type = type;
        options.captionOf(DialogButton::OK) = okCaption;
        return options;
    }

    QString &captionOf(DialogButton button) { return captions[std::size_t(button)]; }
    const QString &captionOf(DialogButton button) const { return captions[std::size_t(button)]; }
};

// Which dialog shows a message: the task dialog where UseTaskDialogs() says
// so and the classic one otherwise, either of them, or the failure box (the
// error icon and one OK button, whatever else the options say).
enum class MessageDialog { Chosen, Classic, Task, Failure };

// The one way to a message box: modal, owned by the program's active window;
// returns the result code of the button that closed it.
int showMessage(const MessageOptions &options, MessageDialog dialog = MessageDialog::Chosen);

int ShowInfoMessage(const QString &Caption, const QString &Title, const QString &Text, const QString &OKCaption);
int ShowErrorMessage(const QString &Caption, const QString &Title, const QString &Text, const QString &OKCaption);

int CustomMessageDialog(const QString &Caption, const QString &Title, const QString &Text, MessageType Type,
                        DialogButtons Buttons, DialogButton DefaultButton, const QString &YesCaption = QString(),
                        const QString &NoCaption = QString(), const QString &OKCaption = QString(),
                        const QString &CancelCaption = QString(), const QString &AbortCaption = QString(),
                        const QString &RetryCaption = QString(), const QString &IgnoreCaption = QString(),
                        const QString &AllCaption = QString(), const QString &NoToAllCaption = QString(),
                        const QString &YesToAllCaption = QString(), const QString &HelpCaption = QString());

int CustomTaskDialog(const QString &Caption, const QString &Title, const QString &Text, MessageType Type,
                     DialogButtons Buttons, DialogButton DefaultButton, const QString &YesCaption = QString(),
                     const QString &NoCaption = QString(), const QString &OKCaption = QString(),
                     const QString &CancelCaption = QString());

// True when task dialogs are present and a styled (not the classic
// "windows") widget style is in effect; asked anew at every call.
bool UseTaskDialogs();
