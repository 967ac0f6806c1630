// The parts of the setup's start-up that do not need a window: names, the default
// destination, the Start-menu folder names and the running-process rule.
#pragma once

#include <vector>

#include "lib/core/kytypes.h"

constexpr int kSetupMajor = 4;
constexpr int kSetupMinor = 0;
constexpr int kSetupBuild = 354;

extern const Char kProductName[];        // "Tramvelon"
extern const Char kSetupFileName[];      // the setup's own file name, counted among the processes
extern const Char kApplicationFileName[];

// "Tramvelon 4" for 4.
String ProductNameWithVersion(int major);
// "4.0 (Build 354)" from the resource string.
String GetSetupVersionText();

// The Program Files folder (empty when the shell gave none) joined with the product name
// and major version.
String DefaultInstallDirIn(const String& programFiles);

// Adds the entries of one folder listing to Names: "." and ".." are skipped, each name loses
// its extension, and a name already present (ignoring case) is not added again. Order is kept.
void AddFolderEntryNames(std::vector<String>& names, const std::vector<String>& entries);

enum class TRunningCheck { Ok, ApplicationRunning, SetupRunning };
// Walks the running processes' file names: the application's name stops the walk; two or
// more copies of the setup's name (the running setup counts itself) refuse as well.
TRunningCheck CheckRunningProcesses(const std::vector<String>& processNames);
