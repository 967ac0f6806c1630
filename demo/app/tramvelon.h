// Resource numbers of the demo Tramvelon.exe and of its language files.
#pragma once

// Icons in this order: the program, a project file (.tvp, index 1), a package file (.tve, index 2).
#define IDI_APPLICATION_ICON 1
#define IDI_PROJECT_ICON 2
#define IDI_PACKAGE_ICON 3

#define IDS_TITLE 1
#define IDS_EMPTY 2
#define IDS_PROJECT 3
#define IDS_CANNOT_READ 4
#define IDS_SOURCE 5
#define IDS_LANGUAGES 6
