// A plain font description: what the library's font object converts to and from, and
// what the window framework turns into a GDI font.
#pragma once

#include <cstdint>

#include "lib/core/kytypes.h"

enum : std::uint32_t { fdBold = 1, fdItalic = 2, fdUnderline = 4, fdStrikeOut = 8 };
enum class TFontPitch { Default, Variable, Fixed };

struct TFontDesc {
  String Name;
  int Size = 0;             // points; 0 when unknown
  std::uint32_t Style = 0;  // fd* bits
  int Charset = 1;          // DEFAULT_CHARSET
};

// What a platform font handle says about itself.
struct TFontData {
  void* Handle = nullptr;
  int Height = 0;
  std::uint32_t Style = 0;
  int Charset = 1;
  TFontPitch Pitch = TFontPitch::Default;
  String Name;  // at most 31 characters
};
