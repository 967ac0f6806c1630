// The page that looks for a newer setup on the maker's web server.
#include "lib/core/kyformat.h"
#include "resstrings.h"
#include "setup/mainform.h"
#include "setup/updatecheck.h"

void TMainForm::CheckButtonClick(TKyComponent*) {
  int major = 0, minor = 0, build = 0;
  // A reply that is no version raises for the general error handler; the page stays as it is.
  int result = CheckVersion(major, minor, build, ShowHourglass);
  auto* label = Get<TLabel>(u"CheckResultLabel");
  auto* button = Get<TButton>(u"CheckButton");
  if (!label || !button) return;
  switch (result) {
    case vcNotChecked:
      label->SetCaption(LoadResString(SCheckFailed));
      break;
    case vcNewerAvailable:
      OpenDownloadPage();
      label->SetCaption(Format(SCheckAvailable, {FormatVersion(major, minor, build)}));
      button->SetEnabled(false);
      break;
    default:
      label->SetCaption(LoadResString(SCheckMostRecent));
      button->SetEnabled(false);
      break;
  }
  label->SetVisible(true);
}
