// Line-wise reading of text files with byte-order-mark detection, and whole-or-nothing
// writing of UTF-8 lines, for the uninstall log and the files whose lines it records.
#pragma once

#include "lib/core/kystringlist.h"
#include "lib/core/kytypes.h"

// Lines of FileName: EF BB BF UTF-8, FF FE / FE FF UTF-16, otherwise the ANSI code page.
// CR, LF, CR LF and LF CR each end one line.
void ReadTextLines(const String& fileName, TStringList& lines);
// UTF-8 with byte-order mark and CR LF after every line, through a temporary file.
void WriteUtf8Lines(const String& fileName, const TStringList& lines);
