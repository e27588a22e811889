#pragma once
// Creating and destroying the program's three windows, shared by main() and
// the tests.

class QLocale;

// Registers the glyphs, images and icon compiled into the library.
void initResources();

// Qt's own texts (the file dialog's labels and buttons, the edit menus) in
// the language of Locale where Qt's translations for it are installed, as
// the desktop shows its common dialogs in the user's language. Whether
// they were found.
bool installQtTranslations(const QLocale &locale);

// Computes the program's identity texts (its name, copyright, web address,
// settings file name and title with the file version) once, before any
// window needs them.
void initIdentity();

// Computes the identity texts, then creates, in this order, the main window, the settings dialog and the
// information window. They live until destroyApplicationWindows().
void createApplicationWindows();

// Destroys the three windows, the last created first.
void destroyApplicationWindows();
