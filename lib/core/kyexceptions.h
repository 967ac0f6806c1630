// Exception classes of the runtime: every error carries a UTF-16 message text.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "lib/core/kytypes.h"

class Exception : public std::exception {
 public:
  explicit Exception(String message);
  ~Exception() override = default;

  const String& Message() const { return Message_; }
  void SetMessage(String message);
  // UTF-8 form of the message, for diagnostics and GoogleTest output.
  const char* what() const noexcept override { return Utf8_.c_str(); }

 private:
  String Message_;
  std::string Utf8_;
};

// Exception classes that add nothing but their type.
#define TV_DECLARE_EXCEPTION(Name, Base)               \
  class Name : public Base {                           \
   public:                                             \
    using Base::Base;                                  \
  };

TV_DECLARE_EXCEPTION(EConvertError, Exception)
TV_DECLARE_EXCEPTION(ERangeError, Exception)
TV_DECLARE_EXCEPTION(EListError, Exception)
TV_DECLARE_EXCEPTION(EResNotFound, Exception)
TV_DECLARE_EXCEPTION(EStreamError, Exception)
TV_DECLARE_EXCEPTION(EFOpenError, EStreamError)
TV_DECLARE_EXCEPTION(EFCreateError, EStreamError)
TV_DECLARE_EXCEPTION(EReadError, EStreamError)
TV_DECLARE_EXCEPTION(EWriteError, EStreamError)
TV_DECLARE_EXCEPTION(EInOutError, Exception)
// The library's own exception base.
TV_DECLARE_EXCEPTION(EKyException, Exception)

// An operating-system call failed; the message is the system's text for the code.
class EOSError : public Exception {
 public:
  EOSError(String message, std::uint32_t errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
  std::uint32_t ErrorCode;
};

// Invalid UTF-8: the 1-based byte position and the bytes that were being decoded.
class EUft8Exception : public EKyException {
 public:
  EUft8Exception(String message, int position, RawBytes bytes)
      : EKyException(std::move(message)), Position(position), Bytes(std::move(bytes)) {}
  int Position;
  RawBytes Bytes;
};

// "Range check error" as a range error.
[[noreturn]] void RaiseRangeCheckError();
// The last OS error (GetLastError/errno) with the system's message text.
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseOSError(std::uint32_t errorCode);
// The system's message text for an error code (FormatMessage or strerror).
String SysErrorMessage(std::uint32_t errorCode);
std::uint32_t GetLastOSError();
