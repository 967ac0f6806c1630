// Small platform pieces of the installer library.
#pragma once

#include <string>

#include "lib/core/kytypes.h"

// Text <-> the system's ANSI code page (Latin-1 natively).
String AnsiBytesToString(std::string_view bytes);
std::string StringToAnsiBytes(StringView text);
// Moves Source over Target, replacing it; false on failure (Target then stays as it was).
bool ReplaceFileWith(const String& source, const String& target);
// Removes and dispatches at most one pending window message of the thread; true when it
// was a key press or release of Escape. Natively there are no messages.
bool PumpOneMessage();
