// tvdriver: runs a driving script against a program's windows, one command a line.
//
//   start <command line>            window <title> [ms]          click <name>
//   check <name> 0|1                type <name> <text>           select <name> <index>
//   key RETURN|ESCAPE|TAB           expect-text <name> <text>    expect-checked|enabled|visible <name> 0|1
//   msgbox <text> <button id>       shot <file.png>              exit <code> [ms]
//
// Each failing step prints the line and ends with exit code 1.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tests/e2e/driver/kydriver.h"

namespace {

std::wstring Widen(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tvdriver SCRIPT\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "tvdriver: cannot read the script\n");
    return 2;
  }
  TDriver d;
  HWND top = nullptr;
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ls(line);
    std::string cmd, a, rest;
    ls >> cmd >> a;
    std::getline(ls, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    auto fail = [&](const char* why) {
      std::fprintf(stderr, "tvdriver: line %d: %s: %s\n", n, line.c_str(), why);
      return 1;
    };
    auto control = [&]() { return d.Control(top, Widen(a)); };
    if (cmd == "start") {
      if (!d.Start(Widen(a + (rest.empty() ? "" : " " + rest)))) return fail("cannot start");
    } else if (cmd == "window") {
      // The title may hold digits and blanks; only a last word of digits alone is the time-out.
      std::string title = a + (rest.empty() ? "" : " " + rest);
      int timeoutMs = 10000;
      size_t sp = title.rfind(' ');
      if (sp != std::string::npos && sp + 1 < title.size() &&
          title.find_first_not_of("0123456789", sp + 1) == std::string::npos) {
        timeoutMs = std::stoi(title.substr(sp + 1));
        title.erase(sp);
      }
      top = d.WaitWindow(Widen(title), timeoutMs);
      if (!top) return fail("no such window");
    } else if (cmd == "msgbox") {
      HWND box = d.WaitMessageBox();
      if (!box) return fail("no message box");
      size_t sp = line.rfind(' ');
      std::string text = line.substr(7, sp - 7);
      if (TDriver::MessageBoxText(box).find(Widen(text)) == std::wstring::npos) return fail("other message text");
      d.Answer(box, std::stoi(line.substr(sp + 1)));
    } else if (cmd == "shot") {
      if (!TDriver::Screenshot(top, Widen(a))) return fail("no screenshot");
    } else if (cmd == "exit") {
      int code = d.WaitExit(rest.empty() ? 10000 : std::stoi(rest));
      if (code != std::stoi(a)) return fail(("exit code " + std::to_string(code)).c_str());
    } else if (cmd == "key") {
      WORD vk = a == "RETURN" ? VK_RETURN : a == "ESCAPE" ? VK_ESCAPE : a == "TAB" ? VK_TAB : 0;
      if (!vk || !top) return fail("bad key");
      d.Key(top, vk);
    } else {
      HWND c = control();
      if (!c) return fail("no such control");
      if (cmd == "click") d.Click(c);
      else if (cmd == "check") d.SetChecked(c, rest == "1");
      else if (cmd == "type") d.Type(c, Widen(rest));
      else if (cmd == "select") d.SelectItem(c, std::stoi(rest));
      else if (cmd == "expect-text") {
        if (!TDriver::WaitFor([&] { return TDriver::Text(c) == Widen(rest); }, 5000)) return fail("other text");
      } else if (cmd == "expect-checked" || cmd == "expect-enabled" || cmd == "expect-visible") {
        bool want = rest == "1";
        auto get = [&] {
          return cmd == "expect-checked" ? TDriver::Checked(c) : cmd == "expect-enabled" ? TDriver::Enabled(c) : TDriver::Visible(c);
        };
        if (!TDriver::WaitFor([&] { return get() == want; }, 5000)) return fail("other state");
      } else {
        return fail("unknown command");
      }
    }
  }
  return 0;
}
