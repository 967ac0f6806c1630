// The binary form stream: "TPF0", then one component record that nests its children.
// The reader keeps every value as read, so that the writer can reproduce the stream.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kytypes.h"

TV_DECLARE_EXCEPTION(EFormStreamError, EKyException)

enum class TValueType : Byte {
  vaNull = 0, vaList = 1, vaInt8 = 2, vaInt16 = 3, vaInt32 = 4, vaExtended = 5, vaString = 6,
  vaIdent = 7, vaFalse = 8, vaTrue = 9, vaBinary = 10, vaSet = 11, vaLString = 12, vaNil = 13,
  vaCollection = 14, vaSingle = 15, vaCurrency = 16, vaDate = 17, vaWString = 18, vaInt64 = 19,
  vaUTF8String = 20, vaDouble = 21,
};
constexpr Byte kMaxValueType = 21;

// Record prefix bits (the high nibble of the prefix byte is always 0xF).
enum : Byte { ffInherited = 1, ffChildPos = 2, ffInline = 4 };

struct TFormProperty;
struct TFormCollectionItem;

struct TFormValue {
  TValueType Type = TValueType::vaNull;
  std::int64_t Int = 0;        // integers, Int64, Currency (times 10000), Date (raw bits)
  double Float = 0;            // Extended, Single, Double
  std::string Bytes;           // String, Ident, LString, Binary: the 8-bit characters
  String Text;                 // WString, UTF8String
  std::vector<TFormValue> Items;            // List
  std::vector<std::string> SetElements;     // Set
  std::vector<TFormCollectionItem> Collection;

  bool IsInteger() const;
  bool IsFloat() const;
  bool IsText() const;
  // The text of a text value (8-bit characters as Latin-1).
  String AsText() const;
  // Text values that are empty, and Null and Nil, assign nothing.
  bool IsEmpty() const;

  static TFormValue Integer(std::int64_t v);   // the smallest integer type that holds v
  static TFormValue FromText(const String& s); // String, LString or WString as needed
  static TFormValue Ident(const std::string& name);
  static TFormValue Boolean(bool v);
};

struct TFormProperty {
  std::string Path;
  TFormValue Value;
};

struct TFormCollectionItem {
  std::optional<std::int64_t> Index;
  std::vector<TFormProperty> Properties;
};

struct TFormRecord {
  bool HasPrefix = false;
  Byte Flags = 0;
  std::optional<std::int64_t> ChildPos;
  std::string ClassName;
  std::string Name;
  std::vector<TFormProperty> Properties;
  std::vector<TFormRecord> Children;

  const TFormProperty* FindProperty(const std::string& path) const;
  const TFormRecord* FindChild(const std::string& name) const;
};

// Reads a whole stream. A damaged stream raises EFormStreamError naming the cause
// and the byte offset; nothing is read past the end of the data.
TFormRecord ReadFormStream(const void* data, size_t size);
inline TFormRecord ReadFormStream(const RawBytes& bytes) { return ReadFormStream(bytes.data(), bytes.size()); }
bool HasFormSignature(const void* data, size_t size);

// The stream for a record, signature included.
RawBytes WriteFormStream(const TFormRecord& root);

// 10-byte extended precision, as the stream stores it.
double ExtendedToDouble(const Byte* ten);
void DoubleToExtended(double value, Byte* ten);
