// The Windows side of the uninstaller: its file system, the folders of its installation,
// and the command processor that removes the program after it has ended.
#pragma once

#include <memory>

#include "uninstall/uninstaller.h"

std::unique_ptr<TUninstallFileSystem> CreateSystemFileSystem();
// Path of the running program in its long form.
String GetProgramPath();
// The folders of the installation whose uninstaller is Program: its own folder, the shell
// folders, and what the setup records and uninstall entries say about it.
TUninstallFolders GetInstallationFolders(const String& program);

// Starts the command processor, which runs Program with RunArgs, waits for it to end and,
// when it ended with exit code 0, deletes Program and then its folder when that is empty.
// False when the command processor could not be started.
bool StartSupervisedRun(const String& program, const String& runArgs);
// Waits until the process Pid has ended (bounded; a process already gone returns at once).
void WaitForProcessEnd(unsigned long pid);
