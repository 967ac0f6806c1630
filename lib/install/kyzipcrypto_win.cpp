#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyzipcrypto.h"
#include "resstrings.h"

namespace {

[[noreturn]] void CryptoFailed(NTSTATUS status) {
  throw EKyException(Format(SZipCryptoError, {IntToHex(static_cast<std::uint32_t>(status), 8)}));
}

void Check(NTSTATUS status) {
  if (!BCRYPT_SUCCESS(status)) CryptoFailed(status);
}

class TAlgHandle {
 public:
  TAlgHandle(const wchar_t* alg, ULONG flags) { Check(BCryptOpenAlgorithmProvider(&H, alg, nullptr, flags)); }
  ~TAlgHandle() {
    if (H) BCryptCloseAlgorithmProvider(H, 0);
  }
  TAlgHandle(const TAlgHandle&) = delete;
  TAlgHandle& operator=(const TAlgHandle&) = delete;
  BCRYPT_ALG_HANDLE H = nullptr;
};

PUCHAR Bytes(const RawBytes& s) { return reinterpret_cast<PUCHAR>(const_cast<char*>(s.data())); }

}  // namespace

RawBytes ZipPbkdf2Sha1(const RawBytes& password, const RawBytes& salt, unsigned iterations, size_t length) {
  TAlgHandle alg(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  RawBytes out(length, '\0');
  // An empty password is passed as a one-byte buffer of length 0: BCrypt rejects null.
  char none = 0;
  Check(BCryptDeriveKeyPBKDF2(alg.H, password.empty() ? reinterpret_cast<PUCHAR>(&none) : Bytes(password),
                              static_cast<ULONG>(password.size()), Bytes(salt), static_cast<ULONG>(salt.size()),
                              iterations, reinterpret_cast<PUCHAR>(out.data()), static_cast<ULONG>(length), 0));
  return out;
}

struct TZipAes::TState {
  TAlgHandle Alg{BCRYPT_AES_ALGORITHM, 0};
  BCRYPT_KEY_HANDLE Key = nullptr;
  ~TState() {
    if (Key) BCryptDestroyKey(Key);
  }
};

TZipAes::TZipAes(const RawBytes& key) : State_(std::make_unique<TState>()) {
  Check(BCryptSetProperty(State_->Alg.H, BCRYPT_CHAINING_MODE, (PUCHAR)BCRYPT_CHAIN_MODE_ECB,
                          sizeof(BCRYPT_CHAIN_MODE_ECB), 0));
  Check(BCryptGenerateSymmetricKey(State_->Alg.H, &State_->Key, nullptr, 0, Bytes(key),
                                   static_cast<ULONG>(key.size()), 0));
}

TZipAes::~TZipAes() = default;

void TZipAes::EncryptBlocks(const Byte* in, Byte* out, size_t blocks) {
  ULONG done = 0;
  Check(BCryptEncrypt(State_->Key, const_cast<PUCHAR>(in), static_cast<ULONG>(blocks * 16), nullptr, nullptr, 0,
                      out, static_cast<ULONG>(blocks * 16), &done, 0));
}

struct TZipHmacSha1::TState {
  TAlgHandle Alg{BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG};
  BCRYPT_HASH_HANDLE Hash = nullptr;
  ~TState() {
    if (Hash) BCryptDestroyHash(Hash);
  }
};

TZipHmacSha1::TZipHmacSha1(const RawBytes& key) : State_(std::make_unique<TState>()) {
  Check(BCryptCreateHash(State_->Alg.H, &State_->Hash, nullptr, 0, Bytes(key), static_cast<ULONG>(key.size()), 0));
}

TZipHmacSha1::~TZipHmacSha1() = default;

void TZipHmacSha1::Update(const Byte* data, size_t size) {
  Check(BCryptHashData(State_->Hash, const_cast<PUCHAR>(data), static_cast<ULONG>(size), 0));
}

RawBytes TZipHmacSha1::Final() {
  RawBytes md(20, '\0');
  Check(BCryptFinishHash(State_->Hash, reinterpret_cast<PUCHAR>(md.data()), 20, 0));
  return md;
}
