// Resource strings: every text the user sees has a symbol in resources/strings.txt.
// The generated header "resstrings.h" defines one TResString per symbol.
#pragma once

#include "lib/core/kytypes.h"

struct TResString {
  int Id;
  const Char* English;  // the built-in text, used natively and as the fall-back
};

// The string in the current resource module (a language file once one is active);
// the built-in English text when the module has no such string.
String LoadResString(const TResString& res);

// The module from which resource strings and form resources are read. On Windows an
// HMODULE; 0 means the executable itself.
using TResourceHandle = void*;
TResourceHandle GetResourceHandle();
void SetResourceHandle(TResourceHandle handle);
TResourceHandle GetInstanceHandle();
