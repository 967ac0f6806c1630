// A switch of the setup's language with the main window and the small dialogs open, timed
// under Wine: the translation pass, the mirroring for Arabic, the texts set from code and
// the repaint of every window, for English -> German -> Arabic -> English, after every page
// of the main window was shown once.
//
//   bench_language_switch.exe LANGUAGE_DIR [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "lib/core/kysysutils.h"
#include "lib/locale/kylanguage.h"
#include "lib/locale/kylocale.h"
#include "lib/locale/kytranslator.h"
#include "lib/ui/win/setupdialogs.h"
#include "setup/mainform.h"

namespace {
double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Repaint() {
  for (TKyComponent* f : Screen.Forms)
    if (auto* form = dynamic_cast<TKyCustomForm*>(f); form && form->Handle())
      RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_language_switch LANGUAGE_DIR [ROUNDS]\n");
    return 2;
  }
  String dir = reinterpret_cast<const Char*>(argv[1]);
  int rounds = argc > 2 ? _wtoi(argv[2]) : 20;
  InitTranslator();
  PopulateLocaleDatas();
  TranslatedTypeKinds = StringTypeKinds;
  TranslatorFlags = tfMirrorLayout;
  auto main = NewForm<TMainForm>(nullptr);
  Application.MainForm = main.get();
  main->Show();
  // Pages make their windows when first shown: every page once, so that a switch has all of
  // them to translate (a user who went back to the first page).
  if (auto* pages = dynamic_cast<TPageControl*>(main->FindComponent(u"PageControl"))) {
    for (int i = 0; i < pages->PageCount(); ++i) {
      pages->SetActivePageIndex(i);
      Application.ProcessMessages();
    }
    pages->SetActivePageIndex(0);
  }
  auto exitDialog = NewForm<TExitSetupDialog>(main.get());
  exitDialog->Show();
  auto password = NewForm<TPasswordDialog>(main.get());
  password->Show();
  auto folder = NewForm<TSelectDirectoryDialog>(main.get());
  folder->Show();
  Application.ProcessMessages();

  if (std::getenv("TV_BENCH_TRACE")) {
    OnPropertyTranslated = [](TKyComponent*, TPersistent* o, const TPropInfo* p) {
      if (p && !IsStringKind(p->Kind)) std::printf("assigned %s.%s\n", StringToUtf8(o->ClassName()).c_str(), StringToUtf8(p->Name).c_str());
    };
  }
  struct TStep {
    const char16_t* Code;
    const char* Name;
  };
  const TStep steps[] = {{u"DEU", "English -> German"}, {u"ARA", "German -> Arabic"}, {u"", "Arabic -> English"}};
  std::vector<double> pass[3], click[3];
  for (int r = 0; r < rounds; ++r) {
    for (int i = 0; i < 3; ++i) {
      String code = steps[i].Code;
      String file = code.empty() ? String() : IncludeTrailingBackslash(dir) + u"Tram." + code;
      auto t0 = std::chrono::steady_clock::now();
      if (!SwitchLanguage(code, tfMirrorLayout, String(), file)) {
        std::fprintf(stderr, "cannot load the language file for step %d\n", i);
        return 1;
      }
      auto t1 = std::chrono::steady_clock::now();
      main->InitializeSetup();  // what the click handler does next
      Repaint();
      auto t2 = std::chrono::steady_clock::now();
      pass[i].push_back(Ms(t1 - t0));
      click[i].push_back(Ms(t2 - t0));
      Application.ProcessMessages();
    }
  }
  // Parts of the right-to-left switch: mirroring the four windows, there and back.
  std::vector<double> mirror;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    for (TKyComponent* f : Screen.Forms) f->MirrorLayout(true);
    for (TKyComponent* f : Screen.Forms) f->MirrorLayout(false);
    mirror.push_back(Ms(std::chrono::steady_clock::now() - t0) / 2);
  }
  std::sort(mirror.begin(), mirror.end());
  std::printf("mirroring the 4 windows one way: median %.2f ms\n", mirror[mirror.size() / 2]);
  std::printf("language switch with 4 windows open, %d rounds (milliseconds)\n", rounds);
  std::printf("%-20s %12s %12s %12s %12s\n", "", "pass median", "pass max", "all median", "all max");
  for (int i = 0; i < 3; ++i) {
    auto med = [](std::vector<double> v) {
      std::sort(v.begin(), v.end());
      return v[v.size() / 2];
    };
    std::printf("%-20s %12.2f %12.2f %12.2f %12.2f\n", steps[i].Name, med(pass[i]),
                *std::max_element(pass[i].begin(), pass[i].end()), med(click[i]),
                *std::max_element(click[i].begin(), click[i].end()));
  }
  return 0;
}
