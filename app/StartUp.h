#pragma once
// Creating and destroying the program's three windows, shared by main() and
// the tests.

// Registers the glyphs, images and icon compiled into the library.
void initResources();

// Creates, in this order, the main window, the settings dialog and the
// information window. They live until destroyApplicationWindows().
void createApplicationWindows();

// Destroys the three windows, the last created first.
void destroyApplicationWindows();
