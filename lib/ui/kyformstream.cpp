#include "lib/ui/kyformstream.h"

#include <cmath>
#include <cstring>

#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

namespace {

constexpr int kMaxDepth = 100;

class TReader {
 public:
  TReader(const Byte* data, size_t size) : P_(data), Size_(size) {}

  [[noreturn]] void Fail(const TResString& why) const {
    throw EFormStreamError(Format(SFormStreamAt, {static_cast<long long>(Pos_), LoadResString(why)}));
  }
  void Need(size_t n) const {
    if (n > Size_ - Pos_) Fail(SFormStreamEnd);
  }
  Byte U8() { Need(1); return P_[Pos_++]; }
  Byte Peek() { Need(1); return P_[Pos_]; }
  std::uint64_t Uint(int n) {
    Need(n);
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | P_[Pos_ + i];
    Pos_ += n;
    return v;
  }
  std::string Chars(size_t n) {
    Need(n);
    std::string s(reinterpret_cast<const char*>(P_ + Pos_), n);
    Pos_ += n;
    return s;
  }
  std::string ShortString() { return Chars(U8()); }
  size_t Pos() const { return Pos_; }

  void Enter() { if (++Depth_ > kMaxDepth) Fail(SFormStreamDepth); }
  void Leave() { --Depth_; }

  TValueType Type() {
    size_t at = Pos_;
    Byte t = U8() & 0x7F;
    if (t > kMaxValueType) {
      throw EFormStreamError(Format(SFormStreamAt, {static_cast<long long>(at), LoadResString(SUnknownValueType)}));
    }
    return static_cast<TValueType>(t);
  }

  TFormValue Value() {
    TFormValue v;
    v.Type = Type();
    ReadPayload(v);
    return v;
  }

  void ReadPayload(TFormValue& v) {
    using enum TValueType;
    switch (v.Type) {
      case vaNull: case vaNil: case vaFalse: case vaTrue: break;
      case vaList:
        Enter();
        // The list ends at a Null type byte, whose high bit does not count either.
        while ((Peek() & 0x7F) != 0) v.Items.push_back(Value());
        U8();
        Leave();
        break;
      case vaInt8: v.Int = static_cast<std::int8_t>(U8()); break;
      case vaInt16: v.Int = static_cast<std::int16_t>(Uint(2)); break;
      case vaInt32: v.Int = static_cast<std::int32_t>(Uint(4)); break;
      case vaInt64: case vaCurrency: case vaDate: v.Int = static_cast<std::int64_t>(Uint(8)); break;
      case vaExtended: {
        Need(10);
        v.Float = ExtendedToDouble(P_ + Pos_);
        Pos_ += 10;
        break;
      }
      case vaSingle: {
        std::uint32_t bits = static_cast<std::uint32_t>(Uint(4));
        float f;
        std::memcpy(&f, &bits, 4);
        v.Float = f;
        break;
      }
      case vaDouble: {
        std::uint64_t bits = Uint(8);
        std::memcpy(&v.Float, &bits, 8);
        break;
      }
      case vaString: case vaIdent: v.Bytes = ShortString(); break;
      case vaBinary: case vaLString: v.Bytes = Chars(Uint(4)); break;
      case vaSet:
        for (;;) {
          std::string e = ShortString();
          if (e.empty()) break;
          v.SetElements.push_back(std::move(e));
        }
        break;
      case vaWString: {
        std::uint64_t n = Uint(4);
        if (n > (Size_ - Pos_) / 2) Fail(SFormStreamEnd);
        v.Text.resize(n);
        for (auto& c : v.Text) c = static_cast<Char>(Uint(2));
        break;
      }
      case vaUTF8String: v.Text = Utf8ToString(Chars(Uint(4))); break;
      case vaCollection:
        Enter();
        while (Peek() != 0) {
          TFormCollectionItem item;
          Byte t = Peek() & 0x7F;
          if (t == 2 || t == 3 || t == 4) item.Index = Value().Int;
          if ((U8() & 0x7F) != 1) Fail(SUnknownValueType);
          Properties(item.Properties);
          v.Collection.push_back(std::move(item));
        }
        U8();
        Leave();
        break;
    }
  }

  void Properties(std::vector<TFormProperty>& props) {
    while (Peek() != 0) {
      TFormProperty p;
      p.Path = ShortString();
      p.Value = Value();
      props.push_back(std::move(p));
    }
    U8();
  }

  void Record(TFormRecord& r) {
    Enter();
    Byte b = Peek();
    if ((b & 0xF0) == 0xF0) {
      U8();
      r.HasPrefix = true;
      r.Flags = b & 0x0F;
      if (r.Flags & ffChildPos) {
        TFormValue pos = Value();
        if (!pos.IsInteger() || pos.Type == TValueType::vaInt64) Fail(SFormStreamBadPrefix);
        r.ChildPos = pos.Int;
      }
    }
    r.ClassName = ShortString();
    r.Name = ShortString();
    Properties(r.Properties);
    while (Peek() != 0) {
      r.Children.emplace_back();
      Record(r.Children.back());
    }
    U8();
    Leave();
  }

 private:
  const Byte* P_;
  size_t Size_;
  size_t Pos_ = 0;
  int Depth_ = 0;
};

class TWriter {
 public:
  void U8(Byte b) { Out += static_cast<char>(b); }
  void Uint(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) U8(static_cast<Byte>(v >> (8 * i)));
  }
  void ShortString(const std::string& s) {
    // Names and short strings cannot be longer than a length byte says.
    if (s.size() > 255) throw EFormStreamError(LoadResString(SFormStreamEnd));
    U8(static_cast<Byte>(s.size()));
    Out += s;
  }
  void Value(const TFormValue& v) {
    using enum TValueType;
    U8(static_cast<Byte>(v.Type));
    switch (v.Type) {
      case vaNull: case vaNil: case vaFalse: case vaTrue: break;
      case vaList:
        for (const auto& i : v.Items) Value(i);
        U8(0);
        break;
      case vaInt8: Uint(static_cast<std::uint64_t>(v.Int), 1); break;
      case vaInt16: Uint(static_cast<std::uint64_t>(v.Int), 2); break;
      case vaInt32: Uint(static_cast<std::uint64_t>(v.Int), 4); break;
      case vaInt64: case vaCurrency: case vaDate: Uint(static_cast<std::uint64_t>(v.Int), 8); break;
      case vaExtended: {
        Byte ten[10];
        DoubleToExtended(v.Float, ten);
        Out.append(reinterpret_cast<const char*>(ten), 10);
        break;
      }
      case vaSingle: {
        float f = static_cast<float>(v.Float);
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        Uint(bits, 4);
        break;
      }
      case vaDouble: {
        std::uint64_t bits;
        std::memcpy(&bits, &v.Float, 8);
        Uint(bits, 8);
        break;
      }
      case vaString: case vaIdent: ShortString(v.Bytes); break;
      case vaBinary: case vaLString: Uint(v.Bytes.size(), 4); Out += v.Bytes; break;
      case vaSet:
        for (const auto& e : v.SetElements) ShortString(e);
        U8(0);
        break;
      case vaWString:
        Uint(v.Text.size(), 4);
        for (Char c : v.Text) Uint(c, 2);
        break;
      case vaUTF8String: {
        std::string u = StringToUtf8(v.Text);
        Uint(u.size(), 4);
        Out += u;
        break;
      }
      case vaCollection:
        for (const auto& item : v.Collection) {
          if (item.Index) Value(TFormValue::Integer(*item.Index));
          U8(1);
          Properties(item.Properties);
        }
        U8(0);
        break;
    }
  }
  void Properties(const std::vector<TFormProperty>& props) {
    for (const auto& p : props) {
      ShortString(p.Path);
      Value(p.Value);
    }
    U8(0);
  }
  void Record(const TFormRecord& r) {
    Byte flags = r.Flags & 0x0F;
    if (r.ChildPos) flags |= ffChildPos;
    if (r.HasPrefix || flags) U8(0xF0 | flags);
    if (r.ChildPos) Value(TFormValue::Integer(*r.ChildPos));
    ShortString(r.ClassName);
    ShortString(r.Name);
    Properties(r.Properties);
    for (const auto& c : r.Children) Record(c);
    U8(0);
  }
  RawBytes Out;
};

}  // namespace

bool TFormValue::IsInteger() const {
  using enum TValueType;
  return Type == vaInt8 || Type == vaInt16 || Type == vaInt32 || Type == vaInt64;
}

bool TFormValue::IsFloat() const {
  using enum TValueType;
  return Type == vaExtended || Type == vaSingle || Type == vaDouble || Type == vaCurrency;
}

bool TFormValue::IsText() const {
  using enum TValueType;
  return Type == vaString || Type == vaLString || Type == vaWString || Type == vaUTF8String || Type == vaBinary;
}

String TFormValue::AsText() const {
  if (Type == TValueType::vaWString || Type == TValueType::vaUTF8String) return Text;
  String s;
  s.reserve(Bytes.size());
  for (char c : Bytes) s += static_cast<Char>(static_cast<Byte>(c));
  return s;
}

bool TFormValue::IsEmpty() const {
  if (Type == TValueType::vaNull || Type == TValueType::vaNil) return true;
  if (IsText()) return Bytes.empty() && Text.empty();
  return false;
}

TFormValue TFormValue::Integer(std::int64_t v) {
  TFormValue r;
  r.Int = v;
  if (v >= INT8_MIN && v <= INT8_MAX) r.Type = TValueType::vaInt8;
  else if (v >= INT16_MIN && v <= INT16_MAX) r.Type = TValueType::vaInt16;
  else if (v >= INT32_MIN && v <= INT32_MAX) r.Type = TValueType::vaInt32;
  else r.Type = TValueType::vaInt64;
  return r;
}

TFormValue TFormValue::FromText(const String& s) {
  TFormValue r;
  bool ascii = true;
  for (Char c : s) ascii = ascii && c < 0x80;
  if (!ascii) {
    r.Type = TValueType::vaWString;
    r.Text = s;
    return r;
  }
  r.Type = s.size() <= 255 ? TValueType::vaString : TValueType::vaLString;
  r.Bytes.assign(s.begin(), s.end());
  return r;
}

TFormValue TFormValue::Ident(const std::string& name) {
  TFormValue r;
  r.Type = TValueType::vaIdent;
  r.Bytes = name;
  return r;
}

TFormValue TFormValue::Boolean(bool v) {
  TFormValue r;
  r.Type = v ? TValueType::vaTrue : TValueType::vaFalse;
  return r;
}

const TFormProperty* TFormRecord::FindProperty(const std::string& path) const {
  for (const auto& p : Properties)
    if (p.Path == path) return &p;
  return nullptr;
}

const TFormRecord* TFormRecord::FindChild(const std::string& name) const {
  for (const auto& c : Children)
    if (c.Name == name) return &c;
  return nullptr;
}

bool HasFormSignature(const void* data, size_t size) {
  return size >= 4 && std::memcmp(data, "TPF0", 4) == 0;
}

TFormRecord ReadFormStream(const void* data, size_t size) {
  if (!HasFormSignature(data, size)) throw EFormStreamError(LoadResString(SFormStreamSignature));
  TReader r(static_cast<const Byte*>(data) + 4, size - 4);
  TFormRecord root;
  r.Record(root);
  return root;
}

RawBytes WriteFormStream(const TFormRecord& root) {
  TWriter w;
  w.Out = "TPF0";
  w.Record(root);
  return std::move(w.Out);
}

double ExtendedToDouble(const Byte* ten) {
  std::uint64_t mantissa = 0;
  for (int i = 7; i >= 0; --i) mantissa = (mantissa << 8) | ten[i];
  int se = ten[8] | (ten[9] << 8);
  bool negative = se & 0x8000;
  int exponent = se & 0x7FFF;
  double v;
  if (exponent == 0 && mantissa == 0) v = 0;
  else if (exponent == 0x7FFF) v = (mantissa << 1) == 0 ? INFINITY : NAN;
  else v = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
  return negative ? -v : v;
}

void DoubleToExtended(double value, Byte* ten) {
  std::uint64_t mantissa = 0;
  int se = std::signbit(value) ? 0x8000 : 0;
  double a = std::fabs(value);
  if (std::isnan(value)) {
    se |= 0x7FFF;
    mantissa = 0xC000000000000000ULL;
  } else if (std::isinf(value)) {
    se |= 0x7FFF;
    mantissa = 0x8000000000000000ULL;
  } else if (a != 0) {
    int e;
    double m = std::frexp(a, &e);  // a = m * 2^e, 0.5 <= m < 1
    mantissa = static_cast<std::uint64_t>(std::ldexp(m, 64));
    se |= (e - 1 + 16383);
  }
  for (int i = 0; i < 8; ++i) ten[i] = static_cast<Byte>(mantissa >> (8 * i));
  ten[8] = static_cast<Byte>(se);
  ten[9] = static_cast<Byte>(se >> 8);
}
