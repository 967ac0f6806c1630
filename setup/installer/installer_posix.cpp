#include "setup/installer/installer.h"

// No shell natively: the run makes no links.
String GetSpecialFolder(int) { return String(); }
