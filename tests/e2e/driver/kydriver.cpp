#include "tests/e2e/driver/kydriver.h"

#include <zlib.h>

#include <cstdio>
#include <vector>

TDriver::~TDriver() {
  if (Process_ && WaitForSingleObject(Process_.Get(), 0) == WAIT_TIMEOUT) TerminateProcess(Process_.Get(), 255);
}

bool TDriver::Start(const std::wstring& command) {
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  std::wstring cmd = command;
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  THandle thread(pi.hThread);
  Process_.Reset(pi.hProcess);
  Pid_ = pi.dwProcessId;
  WaitForInputIdle(Process_.Get(), 5000);
  return true;
}

bool TDriver::WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (static_cast<int>(end - GetTickCount()) <= 0) return false;
    Sleep(20);
  }
}

namespace {
struct TFind {
  DWORD Pid;
  const std::wstring* Title;
  const wchar_t* Class;
  HWND Found = nullptr;
};

BOOL CALLBACK FindTop(HWND h, LPARAM lp) {
  auto* f = reinterpret_cast<TFind*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if ((f->Pid && pid != f->Pid) || !IsWindowVisible(h)) return TRUE;
  if (f->Title && TDriver::Text(h) != *f->Title) return TRUE;
  if (f->Class) {
    wchar_t cls[64];
    GetClassNameW(h, cls, 64);
    if (wcscmp(cls, f->Class) != 0) return TRUE;
  }
  f->Found = h;
  return FALSE;
}

struct TFindName {
  const std::wstring* Name;
  HWND Found = nullptr;
};

BOOL CALLBACK FindChild(HWND h, LPARAM lp) {
  auto* f = reinterpret_cast<TFindName*>(lp);
  if (TDriver::NameOf(h) == *f->Name) {
    f->Found = h;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND TDriver::WaitWindow(const std::wstring& title, int timeoutMs) {
  TFind f{Pid_, &title, nullptr};
  WaitFor([&] {
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
    return f.Found != nullptr;
  }, timeoutMs);
  return f.Found;
}

HWND TDriver::FollowWindow(const std::wstring& title, int timeoutMs) {
  TFind f{0, &title, nullptr};
  WaitFor([&] {
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
    return f.Found != nullptr;
  }, timeoutMs);
  DWORD pid = 0;
  if (f.Found) GetWindowThreadProcessId(f.Found, &pid);
  if (pid && pid != Pid_) {
    Process_.Reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pid));
    Pid_ = pid;
  }
  return f.Found;
}

HWND TDriver::WaitMessageBox(int timeoutMs) {
  TFind f{Pid_, nullptr, L"#32770"};
  WaitFor([&] {
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
    return f.Found != nullptr;
  }, timeoutMs);
  return f.Found;
}

std::wstring TDriver::NameOf(HWND h) {
  auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(h, L"KyName")));
  wchar_t buf[256] = {};
  if (!atom || !GlobalGetAtomNameW(atom, buf, 256)) return std::wstring();
  return buf;
}

HWND TDriver::Control(HWND top, const std::wstring& name) const {
  if (!top) return nullptr;
  if (NameOf(top) == name) return top;
  TFindName f{&name};
  EnumChildWindows(top, FindChild, reinterpret_cast<LPARAM>(&f));
  return f.Found;
}

namespace {
// How long a query waits for the target's thread. Under Wine without a window manager, a
// thread that hides a managed window (a dialog that closes) waits 2 s for an answer that
// never comes (the test prefix has Wine manage its windows itself, which avoids that).
constexpr UINT kAnswerMs = 10000;
}  // namespace

std::wstring TDriver::Text(HWND h) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &len)) return std::wstring();
  std::wstring s(len + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(s.data()), SMTO_ABORTIFHUNG, kAnswerMs, &got);
  s.resize(got);
  return s;
}

bool TDriver::Checked(HWND h) {
  DWORD_PTR r = 0;
  SendMessageTimeoutW(h, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &r);
  return r == BST_CHECKED;
}

void TDriver::Click(HWND control) { PostMessageW(control, BM_CLICK, 0, 0); }

void TDriver::SetChecked(HWND control, bool checked) {
  if (Checked(control) != checked) Click(control);
}

void TDriver::Type(HWND control, const std::wstring& text) {
  DWORD_PTR r = 0;
  SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, kAnswerMs, &r);
}

void TDriver::SelectItem(HWND control, int index) {
  wchar_t cls[64];
  GetClassNameW(control, cls, 64);
  bool combo = _wcsicmp(cls, L"ComboBox") == 0;
  DWORD_PTR r = 0;
  SendMessageTimeoutW(control, combo ? CB_SETCURSEL : LB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, kAnswerMs, &r);
  // Sent, not posted: a message sent afterwards to wait for the program would be handled
  // before a posted one, and the state read before the selection had arrived.
  SendMessageTimeoutW(GetParent(control), WM_COMMAND,
                      MAKEWPARAM(GetDlgCtrlID(control), combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                      reinterpret_cast<LPARAM>(control), SMTO_ABORTIFHUNG, kAnswerMs, &r);
}

void TDriver::Key(HWND top, WORD vk) {
  GUITHREADINFO gi{sizeof gi};
  DWORD tid = GetWindowThreadProcessId(top, nullptr);
  HWND target = top;
  if (GetGUIThreadInfo(tid, &gi) && gi.hwndFocus) target = gi.hwndFocus;
  PostMessageW(target, WM_KEYDOWN, vk, 1);
  PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

std::wstring TDriver::MessageBoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text ? Text(text) : std::wstring();
}

void TDriver::Answer(HWND box, int buttonId) {
  HWND b = GetDlgItem(box, buttonId);
  if (b) PostMessageW(b, BM_CLICK, 0, 0);
  else PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
}

int TDriver::WaitExit(int timeoutMs) {
  if (!Process_ || WaitForSingleObject(Process_.Get(), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(Process_.Get(), &code);
  return static_cast<int>(code);
}

namespace {
void Put32(std::string& s, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Chunk(std::string& png, const char* type, const std::string& data) {
  Put32(png, static_cast<std::uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  png += body;
  Put32(png, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}
}  // namespace

namespace {
// The screen's pixels of a rectangle as they are now.
TDriver::TPixels Grab(const RECT& r) {
  TDriver::TPixels pixels;
  const int w = r.right - r.left, h = r.bottom - r.top;
  TDeviceContext screen(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
  TDeviceContext mem(CreateCompatibleDC(screen.Get()));
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  TGdiObject bmp(CreateDIBSection(screen.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bmp) return pixels;
  HGDIOBJ old = SelectObject(mem.Get(), bmp.Get());
  BitBlt(mem.Get(), 0, 0, w, h, screen.Get(), r.left, r.top, SRCCOPY);
  SelectObject(mem.Get(), old);
  const auto* px = static_cast<const std::uint32_t*>(bits);
  pixels.Width = w;
  pixels.Height = h;
  pixels.Rgb.assign(px, px + static_cast<size_t>(w) * h);
  for (std::uint32_t& p : pixels.Rgb) p &= 0xFFFFFF;
  return pixels;
}
}  // namespace

TDriver::TPixels TDriver::Capture(HWND window) {
  RECT r;
  if (!GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top) return TPixels();
  // Let the window's own thread paint everything again before the screen is copied: a
  // window that has just appeared may not have drawn all of itself yet. Its own message
  // loop paints, in its own order (painting it from here, RDW_UPDATENOW, may draw the
  // banner picture over the transparent labels on it).
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &ignored);
  // Paint messages come after everything else in its queue: wait until two copies of the
  // screen agree.
  Sleep(100);
  TPixels pixels = Grab(r);
  for (int i = 0; i < 40; ++i) {
    Sleep(50);
    TPixels again = Grab(r);
    if (again.Rgb == pixels.Rgb) break;
    pixels = std::move(again);
  }
  return pixels;
}

bool TDriver::Screenshot(HWND window, const std::wstring& pngFile) {
  TPixels pixels = Capture(window);
  if (pixels.Rgb.empty()) return false;
  std::string raw;
  raw.reserve(static_cast<size_t>(pixels.Height) * (pixels.Width * 3 + 1));
  for (int y = 0; y < pixels.Height; ++y) {
    raw += '\0';  // no filter
    for (int x = 0; x < pixels.Width; ++x) {
      std::uint32_t p = pixels.At(x, y);
      raw += static_cast<char>(p >> 16);
      raw += static_cast<char>(p >> 8);
      raw += static_cast<char>(p);
    }
  }
  uLongf zlen = compressBound(static_cast<uLong>(raw.size()));
  std::string z(zlen, '\0');
  if (compress2(reinterpret_cast<Bytef*>(z.data()), &zlen, reinterpret_cast<const Bytef*>(raw.data()),
                static_cast<uLong>(raw.size()), 6) != Z_OK)
    return false;
  z.resize(zlen);
  std::string png = "\x89PNG\r\n\x1A\n";
  std::string ihdr;
  Put32(ihdr, static_cast<std::uint32_t>(pixels.Width));
  Put32(ihdr, static_cast<std::uint32_t>(pixels.Height));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  Chunk(png, "IHDR", ihdr);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", "");
  FILE* f = _wfopen(pngFile.c_str(), L"wb");
  if (!f) return false;
  bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
  return fclose(f) == 0 && ok;
}

std::vector<HWND> TDriver::ProcessWindows(DWORD pid) {
  struct TCollect {
    DWORD Pid;
    std::vector<HWND> Windows;
  } c{pid, {}};
  EnumWindows([](HWND h, LPARAM lp) -> BOOL {
    auto* c = reinterpret_cast<TCollect*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    if (owner != c->Pid || !IsWindowVisible(h)) return TRUE;
    c->Windows.push_back(h);
    EnumChildWindows(h, [](HWND k, LPARAM lp2) -> BOOL {
      reinterpret_cast<std::vector<HWND>*>(lp2)->push_back(k);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&c->Windows));
    return TRUE;
  }, reinterpret_cast<LPARAM>(&c));
  return c.Windows;
}

std::vector<std::wstring> TDriver::Items(HWND list) {
  wchar_t cls[32] = {};
  GetClassNameW(list, cls, 32);
  bool combo = _wcsicmp(cls, L"ComboBox") == 0;
  std::vector<std::wstring> items;
  DWORD_PTR n = 0;
  SendMessageTimeoutW(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &n);
  for (int i = 0; i < static_cast<int>(n); ++i) {
    wchar_t buf[512] = {};
    SendMessageW(list, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
    items.push_back(buf);
  }
  return items;
}

int TDriver::ItemContaining(HWND list, const std::wstring& part) {
  auto items = Items(list);
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].find(part) != std::wstring::npos) return static_cast<int>(i);
  return -1;
}
