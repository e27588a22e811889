#pragma once
// The program's identity texts. They are assembled at run time, so that none
// of them stands in the program image as a plain string.

#include <QString>

QString assembleProgramName();
QString assembleCopyrightText();
QString assembleWebAddress();
