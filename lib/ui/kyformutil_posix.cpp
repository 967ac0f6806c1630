#include "lib/ui/kyformutil.h"

int GetControlSpacing() { return ControlSpacingFor(96); }
