#include "lib/net/kynet.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "resstrings.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"

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

bool ParseIPv6(const std::string& text, std::string* bytes) {
  std::vector<unsigned> head, tail;  // the groups before and after "::"
  std::vector<unsigned>* groups = &head;
  std::string v4;
  bool compressed = false;
  size_t i = 0, n = text.size();
  if (text.compare(0, 2, "::") == 0) {
    compressed = true;
    groups = &tail;
    i = 2;
  }
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  while (i < n) {
    size_t start = i;
    unsigned value = 0;
    while (i < n && i - start < 4 && hex(text[i]) >= 0) value = value * 16 + static_cast<unsigned>(hex(text[i++]));
    if (i < n && text[i] == '.') {  // an IPv4 address in the last 32 bits
      if (!ParseIPv4(text.substr(start), &v4)) return false;
      break;
    }
    if (i == start) return false;
    groups->push_back(value);
    if (i == n) break;
    if (text[i++] != ':' || i == n) return false;
    if (text[i] == ':') {
      if (compressed) return false;
      compressed = true;
      groups = &tail;
      ++i;
    }
  }
  size_t count = head.size() + tail.size() + (v4.empty() ? 0 : 2);
  if (compressed ? count > 7 : count != 8) return false;
  if (bytes) {
    std::string out;
    auto put = [&](unsigned g) {
      out.push_back(static_cast<char>(g >> 8));
      out.push_back(static_cast<char>(g & 0xFF));
    };
    for (unsigned g : head) put(g);
    out.append(2 * (8 - count), '\0');
    for (unsigned g : tail) put(g);
    *bytes = out + v4;
  }
  return true;
}

namespace {

std::atomic<TNameResolver> Resolver{nullptr};

// What a lookup on the helper thread hands back.
struct TLookup {
  std::mutex Lock;
  std::condition_variable Done;
  bool Finished = false;
  std::vector<std::string> Addresses;
};

// Milliseconds left until Deadline, at least 0.
int MsLeft(std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

void SetNameResolver(TNameResolver resolver) { Resolver = resolver; }

std::vector<std::string> LookupHost(const std::string& host, int timeoutMs) {
  std::string literal;
  if (ParseIPv4(host, &literal) || ParseIPv6(host, &literal)) return {literal};
  TNameResolver resolve = Resolver.load();
  if (!resolve) resolve = SystemResolve;
  std::vector<std::string> found;
  if (host.empty() || host.find('\0') != std::string::npos) {
    // nothing to look up
  } else if (timeoutMs <= 0) {
    found = resolve(host);
  } else {
    // The system's lookup cannot be given a time limit: it runs on a thread of its own,
    // and a lookup that takes too long is left to finish there.
    auto state = std::make_shared<TLookup>();
    std::thread([state, resolve, host] {
      std::vector<std::string> r;
      try {
        r = resolve(host);
      } catch (...) {
        // not found
      }
      std::lock_guard<std::mutex> guard(state->Lock);
      state->Addresses = std::move(r);
      state->Finished = true;
      state->Done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> guard(state->Lock);
    if (!state->Done.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return state->Finished; }))
      throw EConnectTimeout(Format(SNetResolveTimeout, {Utf8ToString(host)}));
    found = std::move(state->Addresses);
  }
  std::erase_if(found, [](const std::string& a) { return a.size() != 4 && a.size() != 16; });
  if (found.empty()) throw EResolveError(Format(SNetResolveFailed, {Utf8ToString(host)}));
  return found;
}

std::string ResolveIPv4(const std::string& host, int timeoutMs) {
  for (const std::string& a : LookupHost(host, timeoutMs))
    if (a.size() == 4) return a;
  throw EResolveError(Format(SNetResolveFailed, {Utf8ToString(host)}));
}

std::unique_ptr<TSocket> TSocket::Connect(const std::string& host, int port, int connectTimeout) {
  bool limited = connectTimeout > 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limited ? connectTimeout : 0);
  std::vector<std::string> addresses = LookupHost(host, connectTimeout);
  int lastError = 0;
  bool timedOut = false;
  for (size_t i = 0; i < addresses.size(); ++i) {
    int wait = -1;
    if (limited) {
      int left = MsLeft(deadline);
      if (left == 0) {
        timedOut = true;
        break;
      }
      // An even share of what is left; a refusal returns at once and leaves its share to the rest.
      wait = std::max(1, left / static_cast<int>(addresses.size() - i));
    }
    bool attemptTimedOut = false;
    if (auto s = TryConnect(addresses[i], port, wait, lastError, attemptTimedOut)) return s;
    timedOut = timedOut || attemptTimedOut;
  }
  String name = Utf8ToString(host);
  if (timedOut) throw EConnectTimeout(Format(SNetConnectTimeout, {name, port}));
  throw ESocketError(Format(SNetConnectFailed, {name, port, SysErrorMessage(static_cast<std::uint32_t>(lastError))}),
                     lastError);
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
