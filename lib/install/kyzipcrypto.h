// Platform crypto behind the WinZip AES entries: OpenSSL natively, BCrypt on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "lib/core/kytypes.h"

// PBKDF2 with HMAC-SHA1.
RawBytes ZipPbkdf2Sha1(const RawBytes& password, const RawBytes& salt, unsigned iterations, size_t length);

// AES in ECB mode, encryption only (the counter mode is built on it).
class TZipAes {
 public:
  explicit TZipAes(const RawBytes& key);
  ~TZipAes();
  TZipAes(const TZipAes&) = delete;
  TZipAes& operator=(const TZipAes&) = delete;
  // Encrypts Blocks 16-byte blocks from In to Out.
  void EncryptBlocks(const Byte* in, Byte* out, size_t blocks);

 private:
  struct TState;
  std::unique_ptr<TState> State_;
};

class TZipHmacSha1 {
 public:
  explicit TZipHmacSha1(const RawBytes& key);
  ~TZipHmacSha1();
  TZipHmacSha1(const TZipHmacSha1&) = delete;
  TZipHmacSha1& operator=(const TZipHmacSha1&) = delete;
  void Update(const Byte* data, size_t size);
  RawBytes Final();  // 20 bytes

 private:
  struct TState;
  std::unique_ptr<TState> State_;
};
