// Small platform pieces of the installer library.
#pragma once

#include <string>

#include "lib/core/kytypes.h"

// Text in the system's ANSI code page (Latin-1 natively).
std::string StringToAnsiBytes(StringView text);
// Removes and dispatches at most one pending window message of the thread; true when it
// was a key press or release of Escape. Natively there are no messages.
bool PumpOneMessage();
