// Lists the ordinary files directly in one folder.
#pragma once

#include "lib/core/kystringlist.h"
#include "lib/core/kytypes.h"

class TKyFileFinder {
 public:
  String Folder;
  String Mask = u"*.*";
  // Full names of the files found by the last Find, in the file system's order.
  TStringList Files;

  // Lists the files of Folder that match Mask (not folders, hidden or system files). The
  // process's current folder is Folder while the search runs and is restored afterwards.
  void Find();
};
