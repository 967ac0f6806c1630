// The Windows side of the update check: the browser and the cursor.
#include "lib/core/win/kywin.h"
#include "lib/ui/win/kyform.h"
#include "setup/updatecheck.h"

bool OpenDownloadPage() { return ShellOpen(DownloadPageUrl(WebAddress()), u"open", SW_SHOW); }

void ShowHourglass(bool busy) {
  // The window does not take messages during the request, so the cursor stays as set here.
  static HCURSOR previous = nullptr;
  if (busy)
    previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  else
    SetCursor(previous);
}
