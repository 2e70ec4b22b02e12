// The window's font: 9 points (12 pixels) in a face with Simplified Chinese
// glyph forms, whatever the system's language.
#pragma once

#include <QFont>
#include <QStringList>

// Faces tried in order: Simplified Chinese ones first, so that the characters
// the faces share with Japanese take their Chinese forms.
QStringList form1FontFamilies();

QFont form1Font();

// Whether any installed font has Simplified Chinese; if none does, says on
// standard error which package to install and returns false.
bool checkForChineseFont();
