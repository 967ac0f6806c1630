#include "lib/core/kyexceptions.h"

#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

Exception::Exception(String message) : Message_(std::move(message)), Utf8_(StringToUtf8(Message_)) {}

void Exception::SetMessage(String message) {
  Message_ = std::move(message);
  Utf8_ = StringToUtf8(Message_);
}

void RaiseRangeCheckError() { throw ERangeError(LoadResString(SRangeError)); }

void RaiseOSError(std::uint32_t errorCode) {
  if (errorCode == 0) throw EOSError(LoadResString(SUnkOSError), 0);
  throw EOSError(Format(SOSError, {errorCode, SysErrorMessage(errorCode)}), errorCode);
}

void RaiseLastOSError() { RaiseOSError(GetLastOSError()); }
