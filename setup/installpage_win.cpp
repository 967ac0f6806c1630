// The install page runs the installation with its progress; the finish page opens the
// read-me file and starts the installed application.
#include <shlobj.h>

#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/locale/kylanguage.h"
#include "lib/locale/kylocale.h"
#include "resstrings.h"
#include "setup/installer/addons.h"
#include "setup/mainform.h"
#include "setup/setupstart.h"

namespace {
// The hourglass while the run goes on, whatever way it ends.
class TBusyCursor {
 public:
  TBusyCursor() : Old_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~TBusyCursor() { SetCursor(Old_); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

 private:
  HCURSOR Old_;
};

// The check list entry of Locale, or -1.
int IndexOfLocale(const std::vector<String>& locales, const String& locale) {
  for (size_t i = 0; i < locales.size(); ++i)
    if (locales[i] == locale) return static_cast<int>(i);
  return -1;
}
}  // namespace

String TMainForm::ReadmeFileName() const {
  String dir = Installer_ ? Installer_->GetSamplesDir() : String();
  return IncludeTrailingBackslash(dir) + u"Readme.html";
}

String TMainForm::ApplicationFileName() const {
  return IncludeTrailingBackslash(EditText(u"InstallDirectoryEdit")) + kApplicationFileName;
}

void TMainForm::RunInstall() {
  TKyWizard* w = Wizard();
  if (!w || !Installer_) return;
  TBusyCursor busy;
  w->SetEnabled(false);
  if (auto* b = Get<TButton>(u"BackButton")) b->SetEnabled(false);
  try {
    TInstaller& in = *Installer_;
    in.SetInstallDir(EditText(u"InstallDirectoryEdit"));
    in.PersonalDir = EditText(u"PersonalDirectoryEdit");
    in.PreviousPersonalDir = GetShellFolder(CSIDL_PERSONAL) + u"\\" + ProductNameWithVersion(kSetupMajor - 1);
    in.SamplesToPersonalDir = IsChecked(u"InstallSamplesToPersonalDirectoryCheck");
    in.ProgramFolder = EditText(u"ProgramFolderEdit");
    in.CreateDesktopIcon = IsChecked(u"CreateIconCheck");
    in.AddSamplesToRecentList = IsChecked(u"AddSamplesToRecentListCheck");
    if (auto* list = Get<TCheckListBox>(u"SamplesCheckList"))
      for (int i = 0; i < list->Items()->Count() && i < static_cast<int>(SampleEntries_.size()); ++i)
        SampleEntries_[static_cast<size_t>(i)]->Selected = list->Checked(i);
    in.InstallType = GetInstallType();
    in.UiLanguage = GetDefaultLanguage();
    in.UninstallerLanguage = CurrentLanguageCode;
    in.OnProgress = [this](TKyInstaller* s, int percent, bool& abort) { InstallerProgress(s, percent, abort); };
    try {
      in.Install();
    } catch (const std::exception& e) {
      auto* known = dynamic_cast<const Exception*>(&e);
      String reason = known ? known->Message() : Utf8ToString(e.what());
      ShowMessageBox(Format(LoadResString(SSetupFailed), {reason}), TMsgKind::Error, TMsgButtons::Ok);
      Close();
    }
    w->Next();
  } catch (...) {
    w->SetEnabled(true);
    throw;
  }
  w->SetEnabled(true);
}

void TMainForm::InstallerComponent(TKyInstaller*, TKyInstallComponent* component) {
  if (auto* l = Get<TLabel>(u"ProgressBarLabel")) {
    l->SetCaption(component->Caption.empty() ? LoadResString(SInstallingApplication)
                                             : Format(SInstallingFiles, {component->Caption}));
  }
}

void TMainForm::InstallerStatus(TKyInstaller*, const String& text) {
  if (auto* l = Get<TLabel>(u"ProgressBarLabel")) l->SetCaption(text);
}

void TMainForm::InstallerProgress(TKyInstaller*, int percent, bool& abort) {
  if (auto* p = Get<TProgressBar>(u"ProgressBar")) p->SetPosition(percent);
  // One pending message per report keeps the window alive and lets Cancel and Escape in.
  if (!abort) abort = PumpMessages(true);
}

void TMainForm::InstallerFile(TKyInstaller*, const String& resourceName, bool& skip, const String& fileName) {
  if (resourceName == u"SPELLCHECK") {
    int i = IndexOfLocale(DictionaryLocales_, DictionaryLocale(ExtractFileName(fileName)));
    auto* list = Get<TCheckListBox>(u"DictionaryCheckList");
    if (i >= 0 && list) skip = !list->Checked(i);
  } else if (resourceName == u"LANGUAGEFILES") {
    String locale;
    if (SameText(ExtractFileExt(fileName), u".chm")) {
      String stem = ChangeFileExt(ExtractFileName(fileName), u"");
      size_t bar = stem.find(u'_');
      if (bar != String::npos) {
        String code = stem.substr(bar + 1);
        code = code.substr(0, code.find(u'_'));
        locale = LocaleDatas.IdFromWindowsCode(code);
      }
    } else {
      locale = TInstaller::LanguageFileLocale(fileName);
    }
    int i = IndexOfLocale(LanguageLocales_, locale);
    auto* list = Get<TCheckListBox>(u"LanguagesCheckList");
    if (i >= 0 && list) skip = !list->Checked(i);
  }
}

void TMainForm::WizardFinish(TKyComponent*) {
  if (IsChecked(u"ReadmeCheck") && FileExists(ReadmeFileName())) ShellOpen(ReadmeFileName(), u"open", SW_SHOW);
  const String app = ApplicationFileName();
  if (IsChecked(u"ApplicationCheck") && FileExists(app))
    RunProgram(app, u"\"" + (Installer_ ? Installer_->PackageFile : String()) + u"\"");
  SetModalResult(mrOk);
  Close();
}

bool RunProgram(const String& file, const String& arguments) {
  String command = u"\"" + file + u"\"";
  if (!arguments.empty()) command += u" " + arguments;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readRaw = nullptr, writeRaw = nullptr;
  if (!CreatePipe(&readRaw, &writeRaw, &sa, 0)) return false;
  THandle readEnd(readRaw), writeEnd(writeRaw);
  // Only the child may inherit the writing end.
  SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = writeEnd.Get();
  si.hStdError = writeEnd.Get();
  PROCESS_INFORMATION pi{};
  std::u16string line = command;
  if (!CreateProcessW(nullptr, W(line.data()), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi))
    return false;
  THandle process(pi.hProcess), thread(pi.hThread);
  writeEnd.Reset();
  // Take what the program wrote at once, without waiting for more.
  DWORD available = 0;
  if (PeekNamedPipe(readEnd.Get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    std::string buffer(available, '\0');
    DWORD read = 0;
    ReadFile(readEnd.Get(), buffer.data(), available, &read, nullptr);
  }
  return true;
}
