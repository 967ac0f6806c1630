// File-system steps of the extraction that differ per platform.
#pragma once

#include "lib/core/kytypes.h"

// Renames Source to Target, replacing an existing Target in one step.
bool ZipReplaceFile(const String& source, const String& target);
