#include "lib/core/win/kywin.h"

#include <vector>

#include "resstrings.h"
#include "lib/core/kyformat.h"
#include "lib/net/kyproxy.h"

bool ReadInternetSettings(int& enable, String& server) {
  enable = 0;
  server.clear();
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                    KEY_READ, &raw) != ERROR_SUCCESS)
    return false;
  TKeyHandle key(raw);

  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.Get(), L"ProxyEnable", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    DWORD value = 0;
    size = sizeof value;
    if (type != REG_DWORD ||
        RegQueryValueExW(key.Get(), L"ProxyEnable", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS)
      throw ENetError(Format(SProxyBadValue, {u"ProxyEnable"}));
    enable = static_cast<int>(value);
  }
  if (enable == 0) return true;

  size = 0;
  if (RegQueryValueExW(key.Get(), L"ProxyServer", nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return true;
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw ENetError(Format(SProxyBadValue, {u"ProxyServer"}));
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, 0);
  size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.Get(), L"ProxyServer", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
      ERROR_SUCCESS)
    throw ENetError(Format(SProxyBadValue, {u"ProxyServer"}));
  buffer.back() = 0;
  server = FromW(buffer.data());
  return true;
}
