// Small window-framework helpers that do not need the window system.
#pragma once

#include "lib/core/kytypes.h"

// "MS Shell Dlg" before Windows XP, else "MS Shell Dlg 2" (the Windows version is worked out once).
String GetDialogFontName();
// Pixels per inch times 8, divided by 96: the gap between controls at the screen's resolution.
int ControlSpacingFor(int pixelsPerInch);
// The same for the screen (96 pixels per inch natively).
int GetControlSpacing();
// Banker's rounding: a half goes to the even neighbour.
long long RoundHalfEven(double value);
// A folder path as the folder dialog reports it: a trailing backslash removed, so a drive
// root comes back as its letter and colon.
String FolderWithoutTrailingBackslash(const String& path);
