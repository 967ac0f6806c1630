// TvUninstall.exe: asks, takes away what TvUninstall.dat beside it names, tells the result.
// Started plainly (Apps & Features, the Start menu, by hand), it hands the run to a second
// instance under the command processor, which deletes the program after that run ends.
#include "lib/core/kyformat.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/install/kyuninstall.h"
#include "lib/locale/kylanguage.h"
#include "lib/locale/kytranslator.h"
#include "lib/ui/win/setupdialogs.h"
#include "resstrings.h"
#include "uninstall/uninstallsys.h"

namespace {
const String kRunSwitch = u"/run:";

template <class T>
T* Find(const TKyComponent* form, const char16_t* name) {
  return dynamic_cast<T*>(form->FindComponent(name));
}

class TUninstallDialog : public TSetupDialog {
 public:
  using TSetupDialog::TSetupDialog;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info(u"TUninstallDialog", &TSetupDialog::StaticClassInfo(), {});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetTexts(const String& name, const String& folder) {
    if (auto* l = Find<TLabel>(this, u"QuestionLabel")) l->SetCaption(Format(SUninstallQuestion, {name}));
    if (auto* l = Find<TLabel>(this, u"FolderLabel")) l->SetCaption(Format(SUninstallFolder, {folder}));
  }
};

class TUninstallResultDialog : public TSetupDialog {
 public:
  using TSetupDialog::TSetupDialog;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info(u"TUninstallResultDialog", &TSetupDialog::StaticClassInfo(), {});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetResult(const String& text, const std::vector<String>& notes) {
    if (auto* l = Find<TLabel>(this, u"ResultLabel")) l->SetCaption(text);
    if (auto* m = Find<TMemo>(this, u"NotesMemo")) {
      String all;
      for (const String& n : notes) all += n + u"\r\n";
      m->SetText(all);
      m->SetVisible(!notes.empty());
      // Without notes the window is only the sentence and the button.
      auto* b = Find<TButton>(this, u"CloseButton");
      if (notes.empty() && b) {
        b->SetTop(m->Top());
        SetClientHeight(m->Top() + b->Height() + 8);
      }
    }
  }
};

void ShowError(const String& text) { ShowMessageBox(text, TMsgKind::Error, TMsgButtons::Ok); }

// The setup's language: it recorded its code for this program as the start-up override
// (" " for English). The language modules are carried inside and written out beside it.
void SelectLanguage(const String& program) {
  InitTranslator();
  TranslatedTypeKinds = StringTypeKinds;
  TranslatorFlags = tfMirrorLayout;
  InitEmbeddedLanguages(elKeepSameDate | elDeleteAtExit, u"LANGUAGEDLL");
  bool found = false;
  String code = TrimBlanks(ReadLanguageChoice(program, found));
  if (found && code != CurrentLanguageCode) SwitchLanguage(code, slMirrorLayout);
}

// Exit code 0 only when everything is gone, so that the program may be deleted.
int RunUninstall(const String& program) {
  // One run per installation: a second start while the first is open only ends.
  String lock = u"Local\\TvUninstall " + StringReplaceAll(UpperCase(ExtractFileDir(program)), u"\\", u"/");
  THandle running(CreateMutexW(nullptr, TRUE, W(lock)));
  if (running && GetLastError() == ERROR_ALREADY_EXISTS) return 1;
  SelectLanguage(program);
  TKyUninstallFile log;
  log.FileName = IncludeTrailingBackslash(ExtractFileDir(program)) + kUninstallLogName;
  if (!FileExists(log.FileName)) {
    ShowError(Format(SUninstallNoLog, {log.FileName}));
    return 1;
  }
  try {
    log.Load();
  } catch (const Exception& e) {
    ShowError(Format(SUninstallLogUnreadable, {log.FileName, e.Message()}));
    return 1;
  }
  auto fs = CreateSystemFileSystem();
  TUninstaller uninstaller(*fs, GetInstallationFolders(program), program);
  try {
    uninstaller.Load(log.Lines);
  } catch (const EUninstallLogError& e) {
    ShowError(Format(SUninstallLogRefused, {log.FileName, e.Message()}));
    return 1;
  }
  String name = uninstaller.Folders().DisplayName;
  if (name.empty()) name = Format(u"%s %d", {u"Tramvelon", 4});
  {
    auto ask = NewForm<TUninstallDialog>(nullptr);
    ask->SetTexts(name, ExtractFileDir(program));
    if (ask->ShowModal() != mrOk) return 1;
  }
  HCURSOR cursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  uninstaller.Run();
  SetCursor(cursor);
  std::vector<String> notes = uninstaller.Problems();
  bool complete = uninstaller.Complete();
  if (complete) {
    if (FileExists(log.FileName) && !RemoveFile(log.FileName)) {
      notes.push_back(Format(SUninstallFileFailed, {log.FileName, TrimBlanks(SysErrorMessage(GetLastError()))}));
      complete = false;
    }
  } else {
    log.Lines = uninstaller.RemainingLines();
    try {
      log.Save();
    } catch (const Exception& e) {
      notes.push_back(Format(SUninstallLogNotSaved, {log.FileName, e.Message()}));
    }
  }
  String text = !complete ? LoadResString(SUninstallIncomplete)
                          : Format(notes.empty() ? SUninstallDone : SUninstallDoneNotes, {name});
  auto result = NewForm<TUninstallResultDialog>(nullptr);
  result->SetResult(text, notes);
  result->ShowModal();
  return complete ? 0 : 1;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int) {
  String args = TrimBlanks(FromW(cmdLine));
  String program = GetProgramPath();
  if (StartsText(kRunSwitch, args)) {
    // Started by the first instance: it must have ended before its file can go.
    if (auto pid = TryStrToInt64(StringView(args).substr(kRunSwitch.size())); pid && *pid > 0)
      WaitForProcessEnd(static_cast<unsigned long>(*pid));
  } else {
    AllowSetForegroundWindow(ASFW_ANY);
    if (StartSupervisedRun(program, kRunSwitch + IntToStr(GetCurrentProcessId()))) return 0;
    // Without the command processor the run happens here, and the program stays.
  }
  int code = 1;
  try {
    code = RunUninstall(program);
  } catch (const std::exception& e) {
    Application.HandleException(e);
  }
  // The written-out language modules go before the folder is removed.
  ReleaseEmbeddedLanguages();
  return code;
}
