#pragma once
// Rules the whole program keeps, whatever window has the focus: filters
// the application object installs on itself.

#include <QObject>

// A modal window is never minimised: with it out of sight the window below
// takes no input and the program looks dead. The window manager is asked
// not to offer it, and a minimise that comes anyway is undone at once, with
// the owner brought back too where it went along.
class ModalWindowGuard : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// Alt with a key is a command, never text: a letter that no menu takes
// would otherwise be typed into the field or list that has the focus.
class AltKeyGuard : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether a key press (its modifiers and text) would type Alt's letter.
    static bool typesUnderAlt(Qt::KeyboardModifiers modifiers, const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
