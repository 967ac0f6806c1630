// Windows-only helpers: UTF-16 strings for Win32 calls and RAII holders for handles.
#pragma once

#ifndef _WIN32
#error "Windows-only header"
#endif

#include <winsock2.h>
#include <windows.h>
#include <objbase.h>

#include <utility>

#include "lib/core/kystreams.h"
#include "lib/core/kytypes.h"

static_assert(sizeof(wchar_t) == sizeof(Char), "UTF-16 wchar_t expected");

inline const wchar_t* W(const String& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline wchar_t* W(Char* s) { return reinterpret_cast<wchar_t*>(s); }
inline String FromW(const wchar_t* s) { return s ? String(reinterpret_cast<const Char*>(s)) : String(); }
inline String FromW(const wchar_t* s, size_t n) { return String(reinterpret_cast<const Char*>(s), n); }

// Holds a handle and closes it with Close when it goes out of scope.
template <typename H, auto Close, auto Invalid>
class TUniqueHandle {
 public:
  TUniqueHandle() = default;
  explicit TUniqueHandle(H h) : H_(h) {}
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  TUniqueHandle(TUniqueHandle&& o) noexcept : H_(std::exchange(o.H_, Invalid())) {}
  TUniqueHandle& operator=(TUniqueHandle&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.H_, Invalid()));
    return *this;
  }
  ~TUniqueHandle() { Reset(); }

  H Get() const { return H_; }
  explicit operator bool() const { return H_ != Invalid(); }
  H Release() { return std::exchange(H_, Invalid()); }
  void Reset(H h = Invalid()) {
    if (H_ != Invalid()) Close(H_);
    H_ = h;
  }

 private:
  H H_ = Invalid();
};

namespace kywin_detail {
inline HANDLE InvalidFile() { return INVALID_HANDLE_VALUE; }
inline HANDLE NullHandle() { return nullptr; }
inline HKEY NullKey() { return nullptr; }
inline HMODULE NullModule() { return nullptr; }
inline void CloseKey(HKEY k) { RegCloseKey(k); }
inline void UnloadModule(HMODULE m) { FreeLibrary(m); }
inline void CloseH(HANDLE h) { CloseHandle(h); }
inline void CloseFind(HANDLE h) { FindClose(h); }
inline HGDIOBJ NullGdiObject() { return nullptr; }
inline void DeleteGdiObject(HGDIOBJ o) { DeleteObject(o); }
inline HDC NullDC() { return nullptr; }
inline void DeleteDeviceContext(HDC dc) { DeleteDC(dc); }
}  // namespace kywin_detail

using TFileHandle = TUniqueHandle<HANDLE, kywin_detail::CloseH, kywin_detail::InvalidFile>;
using THandle = TUniqueHandle<HANDLE, kywin_detail::CloseH, kywin_detail::NullHandle>;
using TFindHandle = TUniqueHandle<HANDLE, kywin_detail::CloseFind, kywin_detail::InvalidFile>;
using TKeyHandle = TUniqueHandle<HKEY, kywin_detail::CloseKey, kywin_detail::NullKey>;
using TModuleHandle = TUniqueHandle<HMODULE, kywin_detail::UnloadModule, kywin_detail::NullModule>;
// A font, brush, pen or bitmap; deselect it from every device context before it goes.
using TGdiObject = TUniqueHandle<HGDIOBJ, kywin_detail::DeleteGdiObject, kywin_detail::NullGdiObject>;
// A device context made with CreateDC or CreateCompatibleDC (not one from GetDC).
using TDeviceContext = TUniqueHandle<HDC, kywin_detail::DeleteDeviceContext, kywin_detail::NullDC>;

// Memory the shell or COM handed out (an item id list, a string), freed with CoTaskMemFree.
template <typename T>
class TCoTaskMem {
 public:
  TCoTaskMem() = default;
  TCoTaskMem(const TCoTaskMem&) = delete;
  TCoTaskMem& operator=(const TCoTaskMem&) = delete;
  ~TCoTaskMem() { CoTaskMemFree(P_); }
  T* Get() const { return P_; }
  T** Put() {
    CoTaskMemFree(P_);
    P_ = nullptr;
    return &P_;
  }
  T* Release() { return std::exchange(P_, nullptr); }

 private:
  T* P_ = nullptr;
};

// COM for the calling thread from its first use until the thread ends (the system cleans up
// then), called by whatever needs it: a program's start does not pay for an apartment that
// only its later steps use. S_FALSE (already initialised) is fine; a thread in another
// apartment keeps it.
inline void NeedCom() {
  static thread_local bool initialized = false;
  if (!initialized) {
    CoInitialize(nullptr);
    initialized = true;
  }
}

// Initialises COM for the calling thread for the life of the object.
class TComInit {
 public:
  TComInit() : Ok_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~TComInit() {
    if (Ok_) CoUninitialize();
  }
  TComInit(const TComInit&) = delete;
  TComInit& operator=(const TComInit&) = delete;

 private:
  bool Ok_;
};

// A COM interface pointer released when it goes out of scope.
template <typename T>
class TComPtr {
 public:
  TComPtr() = default;
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& o) noexcept : P_(std::exchange(o.P_, nullptr)) {}
  ~TComPtr() { Reset(); }
  T* Get() const { return P_; }
  T* operator->() const { return P_; }
  T** Put() {
    Reset();
    return &P_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  explicit operator bool() const { return P_ != nullptr; }
  void Reset() {
    if (P_) P_->Release();
    P_ = nullptr;
  }

 private:
  T* P_ = nullptr;
};

// Reading, writing and moving in an open file as TFileStream does it, in pieces of at most
// 1 GiB; failures raise EReadError/EWriteError with the system's text, EOSError for a seek.
size_t ReadFileHandle(HANDLE file, void* buffer, size_t count);
size_t WriteFileHandle(HANDLE file, const void* buffer, size_t count);
std::int64_t SeekFileHandle(HANDLE file, std::int64_t offset, TSeekOrigin origin);
