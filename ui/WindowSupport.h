#pragma once
// Small helpers the program's windows and boxes share.

#include <QString>

class QWidget;

// Moves a window to the centre of its screen (its owner's, when it has one).
void CentreOnScreen(QWidget *window);

// A caption as shown: a single "&" marks the access key and is not shown,
// "&&" shows one ampersand.
QString WithoutAccessKeys(const QString &text);
