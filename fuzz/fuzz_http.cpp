// HTTP replies and SOCKS proxy replies from untrusted bytes. The first byte picks how the
// bytes are cut into receives (and, with its top bit, a SOCKS handshake instead).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "lib/net/kyhttpproto.h"
#include "lib/net/kysocks.h"

namespace {

class TFuzzStream : public TNetStream {
 public:
  TFuzzStream(const uint8_t* data, size_t size, size_t step) : Data_(data), Size_(size), Step_(step) {}
  size_t Receive(void* buffer, size_t count) override {
    size_t n = std::min({count, Step_, Size_ - Pos_});
    std::copy(Data_ + Pos_, Data_ + Pos_ + n, static_cast<uint8_t*>(buffer));
    Pos_ += n;
    return n;
  }
  using TNetStream::Send;
  void Send(const void*, size_t) override {}

 private:
  const uint8_t* Data_;
  size_t Size_, Step_, Pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t mode = data[0];
  size_t step = (mode & 0x3F) + 1;
  TFuzzStream in(data + 1, size - 1, step == 64 ? 1 << 20 : step);
  if (mode & 0x80) {
    TSocksInfo info;
    info.Version = static_cast<TSocksVersion>((mode >> 6) % 3);
    info.Authentication = TSocksAuthentication::saUsernamePassword;
    info.Username = u"user";
    info.Password = u"password";
    try {
      SocksConnect(in, info, "example.test", 80, [](const std::string&) { return std::string("\x7f\0\0\1", 4); });
    } catch (const ENetError&) {
    }
    return 0;
  }
  THttpLimits limits;
  limits.MaxHeaderSize = 4096;
  limits.MaxBodySize = 65536;
  try {
    THttpResponse r = ReadHttpResponse(in, limits);
    if (r.Body.size() > limits.MaxBodySize) __builtin_trap();
    (void)DecodeHttpBody(r.Body, r.Header("Content-Type"));
  } catch (const ENetError&) {
  }
  return 0;
}
