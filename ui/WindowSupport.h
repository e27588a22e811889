#pragma once
// Small helpers the program's windows and boxes share.

#include <QString>

class QWidget;

// Moves a window to the centre of its screen (its owner's, when it has one).
void centreOnScreen(QWidget *window);

// A caption as shown: a single "&" marks the access key and is not shown,
// "&&" shows one ampersand.
QString withoutAccessKeys(const QString &text);

// Gives a shown window an empty title on the desktop. Qt writes the
// application's name in place of an empty title; on X11 the title
// properties are emptied again here. Elsewhere nothing changes.
void showEmptyTitle(QWidget *window);

// Asks the window manager, before a top-level window is mapped, not to
// offer minimising it. Most managers read that from the window's hints;
// Openbox offers minimise to every dialog and leaves it out only for
// windows of the toolbar type (and, without a close button, the splash
// type), which it is then given. Elsewhere nothing changes.
void offerNoMinimise(QWidget *window);
