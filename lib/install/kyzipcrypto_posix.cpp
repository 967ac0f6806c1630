#include "lib/install/kyzipcrypto.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "resstrings.h"

// The HMAC_CTX interface is deprecated in OpenSSL 3 but is the shortest route to HMAC-SHA1.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {
[[noreturn]] void CryptoFailed() { throw EKyException(Format(SZipCryptoError, {String(u"OpenSSL")})); }
}  // namespace

RawBytes ZipPbkdf2Sha1(const RawBytes& password, const RawBytes& salt, unsigned iterations, size_t length) {
  RawBytes out(length, '\0');
  if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                             reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()),
                             static_cast<int>(iterations), static_cast<int>(length),
                             reinterpret_cast<unsigned char*>(out.data())) != 1)
    CryptoFailed();
  return out;
}

struct TZipAes::TState {
  EVP_CIPHER_CTX* Ctx = nullptr;
  ~TState() { EVP_CIPHER_CTX_free(Ctx); }
};

TZipAes::TZipAes(const RawBytes& key) : State_(std::make_unique<TState>()) {
  const EVP_CIPHER* cipher = key.size() == 16 ? EVP_aes_128_ecb()
                             : key.size() == 24 ? EVP_aes_192_ecb()
                                                : EVP_aes_256_ecb();
  State_->Ctx = EVP_CIPHER_CTX_new();
  if (!State_->Ctx ||
      EVP_EncryptInit_ex(State_->Ctx, cipher, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                         nullptr) != 1)
    CryptoFailed();
  EVP_CIPHER_CTX_set_padding(State_->Ctx, 0);
}

TZipAes::~TZipAes() = default;

void TZipAes::EncryptBlocks(const Byte* in, Byte* out, size_t blocks) {
  int outLen = 0;
  if (EVP_EncryptUpdate(State_->Ctx, out, &outLen, in, static_cast<int>(blocks * 16)) != 1) CryptoFailed();
}

struct TZipHmacSha1::TState {
  HMAC_CTX* Ctx = nullptr;
  ~TState() { HMAC_CTX_free(Ctx); }
};


TZipHmacSha1::TZipHmacSha1(const RawBytes& key) : State_(std::make_unique<TState>()) {
  State_->Ctx = HMAC_CTX_new();
  if (!State_->Ctx || HMAC_Init_ex(State_->Ctx, key.data(), static_cast<int>(key.size()), EVP_sha1(), nullptr) != 1)
    CryptoFailed();
}

TZipHmacSha1::~TZipHmacSha1() = default;

void TZipHmacSha1::Update(const Byte* data, size_t size) {
  if (HMAC_Update(State_->Ctx, data, size) != 1) CryptoFailed();
}

RawBytes TZipHmacSha1::Final() {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned len = 0;
  if (HMAC_Final(State_->Ctx, md, &len) != 1) CryptoFailed();
  return RawBytes(reinterpret_cast<const char*>(md), len);
}
