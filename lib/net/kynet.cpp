#include "lib/net/kynet.h"

#include "resstrings.h"
#include "lib/core/kyformat.h"

void TNetStream::ReceiveExact(void* buffer, size_t count) {
  auto* p = static_cast<char*>(buffer);
  while (count > 0) {
    size_t n = Receive(p, count);
    if (n == 0) throw ENetError(LoadResString(SNetConnectionClosed));
    p += n;
    count -= n;
  }
}

bool ParseIPv4(const std::string& text, std::string* bytes) {
  std::string out;
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
    size_t start = i;
    unsigned value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3) value = value * 10 + (text[i++] - '0');
    if (i == start || value > 255) return false;
    out.push_back(static_cast<char>(value));
  }
  if (i != text.size()) return false;
  if (bytes) *bytes = out;
  return true;
}

void TSocket::SetDeadline(int ms) {
  HasDeadline_ = ms > 0;
  if (HasDeadline_) Deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

int TSocket::NextWait() const {
  int wait = ReadTimeout_ > 0 ? ReadTimeout_ : -1;
  if (!HasDeadline_) return wait;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline_ - std::chrono::steady_clock::now()).count();
  if (left <= 0) throw ERequestTimeout(LoadResString(SNetRequestTimeout));
  return wait < 0 || left < wait ? static_cast<int>(left) : wait;
}
