// Basic types shared by the whole code base.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// UTF-16 everywhere; 8-bit text only at byte boundaries (std::string).
using String = std::u16string;
using StringView = std::u16string_view;
using Char = char16_t;
using Byte = std::uint8_t;
using RawBytes = std::string;

// Days since 1899-12-30, the fraction is the time of day.
using TDateTime = double;
