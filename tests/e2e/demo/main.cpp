// tvuidemo: shows one of the setup's small dialogs for the end-to-end tests and reports
// what the caller would receive: the exit code is the modal result, and a message box
// shows the password or folder that came back.
//
//   tvuidemo exit | password | folder [start folder] | error  [--language CODE FILE]
//
// With --language the dialog opens in the language of that language file, mirrored for a
// right-to-left one.

#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/locale/kylanguage.h"
#include "lib/locale/kytranslator.h"
#include "lib/ui/win/setupdialogs.h"

int wmain(int argc, wchar_t** argv) {
  String what = argc > 1 ? String(reinterpret_cast<const Char*>(argv[1])) : String(u"exit");
  InitTranslator();
  for (int i = 2; i + 2 < argc; ++i) {
    if (String(reinterpret_cast<const Char*>(argv[i])) != u"--language") continue;
    String code = reinterpret_cast<const Char*>(argv[i + 1]), file = reinterpret_cast<const Char*>(argv[i + 2]);
    if (!SwitchLanguage(code, tfMirrorLayout, String(), file)) return 99;
    argc = i;
  }
  int result = 0;
  if (what == u"exit") {
    auto d = NewForm<TExitSetupDialog>(nullptr);
    result = d->ShowModal();
  } else if (what == u"password") {
    auto d = NewForm<TPasswordDialog>(nullptr);
    result = d->ShowModal();
    String pw = result == mrOk ? d->Edit()->Text() : String();
    ShowInformation(u"Password: [" + pw + u"]");
  } else if (what == u"folder") {
    auto d = NewForm<TSelectDirectoryDialog>(nullptr);
    if (argc > 2) d->SetFolder(String(reinterpret_cast<const Char*>(argv[2])));
    result = d->ShowModal();
    ShowInformation(u"Folder: [" + (result == mrOk ? d->GetFolder() : String()) + u"]");
  } else if (what == u"error") {
    // An exception from a click handler is shown and the dialog stays.
    auto d = NewForm<TExitSetupDialog>(nullptr);
    auto* b = dynamic_cast<TButton*>(d->FindComponent(u"ExitButton"));
    b->SetModalResult(mrNone);
    b->OnClick = [](TKyComponent*) { throw EKyException(u"Something went wrong"); };
    result = d->ShowModal();
  }
  return result;
}
