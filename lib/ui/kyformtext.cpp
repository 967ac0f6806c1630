#include "lib/ui/kyformtext.h"

#include <cmath>
#include <cstdio>

#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"

namespace {

enum class TTok { End, Ident, Int, Float, Str, Sym };

struct TToken {
  TTok Kind = TTok::End;
  std::string Text;       // identifier, symbol or number text
  String Str;             // string value
  std::int64_t Int = 0;
  double Float = 0;
  char Suffix = 0;        // float suffix: d s c
  int Line = 1;
};

bool IsIdentStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

class TParser {
 public:
  TParser(const std::string& src, const String& file) : S_(src), File_(file) { Next(); }

  [[noreturn]] void Fail(const std::string& why, int line = -1) {
    if (line < 0) line = Tok_.Line;
    throw EFormTextError(File_ + u"(" + IntToStr(line) + u"): " + Utf8ToString(why), line);
  }

  TFormRecord Root() {
    TFormRecord r = Object();
    if (Tok_.Kind != TTok::End) Fail("text after the final 'end'");
    return r;
  }

 private:
  void SkipBlanks() {
    for (;;) {
      while (P_ < S_.size() && (S_[P_] == ' ' || S_[P_] == '\t' || S_[P_] == '\r' || S_[P_] == '\n')) {
        if (S_[P_] == '\n') ++Line_;
        ++P_;
      }
      if (P_ + 1 < S_.size() && S_[P_] == '/' && S_[P_ + 1] == '/') {
        while (P_ < S_.size() && S_[P_] != '\n') ++P_;
        continue;
      }
      return;
    }
  }

  // One piece of a string: '...' or #nnn; several pieces in a row make one string.
  bool StringPiece(String& out) {
    if (P_ >= S_.size()) return false;
    if (S_[P_] == '\'') {
      ++P_;
      std::string bytes;
      for (;;) {
        if (P_ >= S_.size() || S_[P_] == '\n' || S_[P_] == '\r') Fail("unterminated string", Line_);
        if (S_[P_] == '\'') {
          if (P_ + 1 < S_.size() && S_[P_ + 1] == '\'') {
            bytes += '\'';
            P_ += 2;
            continue;
          }
          ++P_;
          break;
        }
        bytes += S_[P_++];
      }
      String piece = Utf8ToString(bytes);
      if (piece.find(u'\xFFFD') != String::npos && bytes.find("\xEF\xBF\xBD") == std::string::npos)
        Fail("the string is not valid UTF-8", Line_);
      out += piece;
      return true;
    }
    if (S_[P_] == '#') {
      ++P_;
      std::uint32_t code = 0;
      size_t start = P_;
      if (P_ < S_.size() && S_[P_] == '$') {
        ++P_;
        while (P_ < S_.size() && IsHex(S_[P_])) {
          code = code * 16 + static_cast<std::uint32_t>(std::stoi(std::string(1, S_[P_]), nullptr, 16));
          if (code > 0xFFFF) Fail("character code out of range", Line_);
          ++P_;
        }
        if (P_ == start + 1) Fail("character code expected after #$", Line_);
      } else {
        while (P_ < S_.size() && IsDigit(S_[P_])) {
          code = code * 10 + static_cast<std::uint32_t>(S_[P_] - '0');
          if (code > 0xFFFF) Fail("character code out of range", Line_);
          ++P_;
        }
        if (P_ == start) Fail("character code expected after #", Line_);
      }
      out += static_cast<Char>(code);
      return true;
    }
    return false;
  }

  void Next() {
    SkipBlanks();
    Tok_ = TToken();
    Tok_.Line = Line_;
    if (P_ >= S_.size()) return;
    char c = S_[P_];
    if (c == '\'' || c == '#') {
      Tok_.Kind = TTok::Str;
      while (StringPiece(Tok_.Str)) {
      }
      return;
    }
    if (IsIdentStart(c)) {
      size_t b = P_;
      while (P_ < S_.size() && (IsIdentStart(S_[P_]) || IsDigit(S_[P_]) || S_[P_] == '.')) ++P_;
      Tok_.Kind = TTok::Ident;
      Tok_.Text = S_.substr(b, P_ - b);
      if (Tok_.Text.back() == '.' || Tok_.Text.find("..") != std::string::npos) Fail("bad name '" + Tok_.Text + "'");
      if (Tok_.Text.size() > 255) Fail("name longer than 255 characters");
      return;
    }
    if (IsDigit(c) || c == '-' || c == '$') {
      Number();
      return;
    }
    if (std::string("=()[]<>{},:+").find(c) != std::string::npos) {
      Tok_.Kind = TTok::Sym;
      Tok_.Text = std::string(1, c);
      ++P_;
      return;
    }
    Fail(std::string("unexpected character '") + c + "'");
  }

  void Number() {
    size_t b = P_;
    bool neg = false;
    if (S_[P_] == '-') {
      neg = true;
      ++P_;
    }
    if (P_ < S_.size() && S_[P_] == '$') {
      ++P_;
      size_t h = P_;
      while (P_ < S_.size() && IsHex(S_[P_])) ++P_;
      if (P_ == h || P_ - h > 16) Fail("bad hexadecimal number");
      std::uint64_t u = std::stoull(S_.substr(h, P_ - h), nullptr, 16);
      Tok_.Kind = TTok::Int;
      Tok_.Int = neg ? -static_cast<std::int64_t>(u) : static_cast<std::int64_t>(u);
      return;
    }
    while (P_ < S_.size() && IsDigit(S_[P_])) ++P_;
    bool isFloat = false;
    if (P_ < S_.size() && S_[P_] == '.') {
      isFloat = true;
      ++P_;
      while (P_ < S_.size() && IsDigit(S_[P_])) ++P_;
    }
    if (P_ < S_.size() && (S_[P_] == 'e' || S_[P_] == 'E')) {
      isFloat = true;
      ++P_;
      if (P_ < S_.size() && (S_[P_] == '+' || S_[P_] == '-')) ++P_;
      while (P_ < S_.size() && IsDigit(S_[P_])) ++P_;
    }
    std::string text = S_.substr(b, P_ - b);
    if (text == "-" || text == "-." || text == ".") Fail("number expected");
    if (P_ < S_.size() && (S_[P_] == 'd' || S_[P_] == 's' || S_[P_] == 'c')) {
      isFloat = true;
      Tok_.Suffix = S_[P_++];
    }
    if (P_ < S_.size() && (IsIdentStart(S_[P_]) || IsDigit(S_[P_]))) Fail("bad number '" + text + "'");
    if (isFloat) {
      Tok_.Kind = TTok::Float;
      try {
        Tok_.Float = std::stod(text);
      } catch (...) {
        Fail("bad number '" + text + "'");
      }
      return;
    }
    Tok_.Kind = TTok::Int;
    try {
      Tok_.Int = std::stoll(text);
    } catch (...) {
      Fail("integer out of range '" + text + "'");
    }
  }

  bool IsSym(const char* s) const { return Tok_.Kind == TTok::Sym && Tok_.Text == s; }
  bool IsWord(const char* w) const { return Tok_.Kind == TTok::Ident && SameText(AsciiToString(Tok_.Text), AsciiToString(w)); }
  void Expect(const char* sym) {
    if (!IsSym(sym)) Fail(std::string("'") + sym + "' expected");
    Next();
  }
  std::string Name(const char* what) {
    if (Tok_.Kind != TTok::Ident || Tok_.Text.find('.') != std::string::npos) Fail(std::string(what) + " expected");
    std::string n = Tok_.Text;
    Next();
    return n;
  }

  TFormRecord Object() {
    TFormRecord r;
    if (IsWord("inherited")) r.Flags = ffInherited;
    else if (IsWord("inline")) r.Flags = ffInline;
    else if (!IsWord("object")) Fail("'object', 'inherited' or 'inline' expected");
    r.HasPrefix = r.Flags != 0;
    Next();
    std::string first = Name("component name or class name");
    if (IsSym(":")) {
      Next();
      r.Name = first;
      r.ClassName = Name("class name");
    } else {
      r.ClassName = first;
    }
    if (IsSym("[")) {
      Next();
      if (Tok_.Kind != TTok::Int || Tok_.Int < INT32_MIN || Tok_.Int > INT32_MAX) Fail("child position expected");
      r.ChildPos = Tok_.Int;
      Next();
      Expect("]");
    }
    for (;;) {
      if (Tok_.Kind == TTok::End) Fail("'end' expected");
      if (IsWord("end")) {
        Next();
        return r;
      }
      if (IsWord("object") || IsWord("inherited") || IsWord("inline")) {
        r.Children.push_back(Object());
        continue;
      }
      if (!r.Children.empty()) Fail("properties must come before the child objects");
      r.Properties.push_back(Property());
    }
  }

  TFormProperty Property() {
    if (Tok_.Kind != TTok::Ident) Fail("property name expected");
    TFormProperty p;
    p.Path = Tok_.Text;
    Next();
    Expect("=");
    p.Value = Value();
    return p;
  }

  TFormValue Value() {
    TFormValue v;
    int line = Tok_.Line;
    switch (Tok_.Kind) {
      case TTok::End: Fail("value expected");
      case TTok::Int:
        v = TFormValue::Integer(Tok_.Int);
        Next();
        return v;
      case TTok::Float:
        v.Float = Tok_.Float;
        switch (Tok_.Suffix) {
          case 'd': v.Type = TValueType::vaDouble; break;
          case 's': v.Type = TValueType::vaSingle; break;
          case 'c': {
            v.Type = TValueType::vaCurrency;
            double scaled = std::round(Tok_.Float * 10000);
            if (!(std::fabs(scaled) < 9.2e18)) Fail("currency out of range", line);
            v.Int = static_cast<std::int64_t>(scaled);
            break;
          }
          default: v.Type = TValueType::vaExtended;
        }
        Next();
        return v;
      case TTok::Str: {
        String s = Tok_.Str;
        Next();
        while (IsSym("+")) {
          Next();
          if (Tok_.Kind != TTok::Str) Fail("string expected after '+'");
          s += Tok_.Str;
          Next();
        }
        return TFormValue::FromText(s);
      }
      case TTok::Ident: {
        if (Tok_.Text.find('.') != std::string::npos) Fail("identifier expected");
        for (const char* w : {"end", "object", "inherited", "inline", "item"})
          if (IsWord(w)) Fail("value expected");
        if (IsWord("true") || IsWord("false")) v = TFormValue::Boolean(IsWord("true"));
        else if (IsWord("nil")) v.Type = TValueType::vaNil;
        else v = TFormValue::Ident(Tok_.Text);
        Next();
        return v;
      }
      case TTok::Sym: break;
    }
    if (IsSym("[")) {
      v.Type = TValueType::vaSet;
      Next();
      while (!IsSym("]")) {
        if (!v.SetElements.empty()) Expect(",");
        v.SetElements.push_back(Name("set element"));
      }
      Next();
      return v;
    }
    if (IsSym("(")) {
      v.Type = TValueType::vaList;
      Next();
      while (!IsSym(")")) {
        if (Tok_.Kind == TTok::End) Fail("')' expected");
        if (IsSym(",")) Next();
        v.Items.push_back(Value());
      }
      Next();
      return v;
    }
    if (IsSym("<")) {
      v.Type = TValueType::vaCollection;
      Next();
      while (!IsSym(">")) {
        if (!IsWord("item")) Fail("'item' or '>' expected");
        Next();
        TFormCollectionItem item;
        if (IsSym("[")) {
          Next();
          if (Tok_.Kind != TTok::Int || Tok_.Int < INT32_MIN || Tok_.Int > INT32_MAX) Fail("item index expected");
          item.Index = Tok_.Int;
          Next();
          Expect("]");
        }
        while (!IsWord("end")) {
          if (Tok_.Kind == TTok::End) Fail("'end' expected");
          item.Properties.push_back(Property());
        }
        Next();
        v.Collection.push_back(std::move(item));
      }
      Next();
      return v;
    }
    if (IsSym("{")) {
      // Hexadecimal bytes up to the closing brace; blanks and line breaks allowed.
      v.Type = TValueType::vaBinary;
      std::string hex;
      while (P_ < S_.size() && S_[P_] != '}') {
        char c = S_[P_++];
        if (c == '\n') ++Line_;
        if (IsHex(c)) hex += c;
        else if (c != ' ' && c != '\t' && c != '\r' && c != '\n') Fail("hexadecimal digit expected", Line_);
      }
      if (P_ >= S_.size()) Fail("'}' expected", line);
      ++P_;
      if (hex.size() % 2) Fail("odd number of hexadecimal digits", line);
      for (size_t i = 0; i < hex.size(); i += 2) v.Bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
      Next();
      return v;
    }
    Fail("value expected");
  }

  const std::string& S_;
  String File_;
  size_t P_ = 0;
  int Line_ = 1;
  TToken Tok_;
};

std::string Quote(const String& s) {
  std::string out;
  bool open = false;
  for (Char c : s) {
    if (c >= 0x20 && c != 0x7F && !(c >= 0xD800 && c <= 0xDFFF)) {
      if (!open) out += '\'';
      open = true;
      if (c == u'\'') out += "''";
      else out += StringToUtf8(String(1, c));
    } else {
      if (open) out += '\'';
      open = false;
      out += "#" + std::to_string(c);
    }
  }
  if (open) out += '\'';
  return out.empty() ? "''" : out;
}

std::string FloatText(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  std::string s = buf;
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
  return s;
}

void WriteValue(std::string& out, const TFormValue& v, const std::string& indent);

void WriteProps(std::string& out, const std::vector<TFormProperty>& props, const std::string& indent) {
  for (const auto& p : props) {
    out += indent + p.Path + " = ";
    WriteValue(out, p.Value, indent);
    out += "\n";
  }
}

void WriteValue(std::string& out, const TFormValue& v, const std::string& indent) {
  using enum TValueType;
  switch (v.Type) {
    case vaNull: out += "()"; break;  // only inside lists, where the reader skips it
    case vaList:
      out += "(";
      for (const auto& i : v.Items) {
        out += "\n" + indent + "  ";
        WriteValue(out, i, indent + "  ");
      }
      out += ")";
      break;
    case vaInt8: case vaInt16: case vaInt32: case vaInt64: out += std::to_string(v.Int); break;
    case vaExtended: out += FloatText(v.Float); break;
    case vaDouble: out += FloatText(v.Float) + "d"; break;
    case vaSingle: out += FloatText(v.Float) + "s"; break;
    case vaCurrency: out += FloatText(static_cast<double>(v.Int) / 10000) + "c"; break;
    case vaDate: out += std::to_string(v.Int); break;
    case vaString: case vaLString: case vaWString: case vaUTF8String: out += Quote(v.AsText()); break;
    case vaIdent: out += v.Bytes; break;
    case vaFalse: out += "False"; break;
    case vaTrue: out += "True"; break;
    case vaNil: out += "nil"; break;
    case vaBinary: {
      out += "{";
      static const char* hex = "0123456789ABCDEF";
      for (size_t i = 0; i < v.Bytes.size(); ++i) {
        if (i % 32 == 0) out += "\n" + indent + "  ";
        Byte b = static_cast<Byte>(v.Bytes[i]);
        out += hex[b >> 4];
        out += hex[b & 15];
      }
      out += "}";
      break;
    }
    case vaSet:
      out += "[";
      for (size_t i = 0; i < v.SetElements.size(); ++i) out += (i ? ", " : "") + v.SetElements[i];
      out += "]";
      break;
    case vaCollection:
      out += "<";
      for (const auto& item : v.Collection) {
        out += "\n" + indent + "  item";
        if (item.Index) out += " [" + std::to_string(*item.Index) + "]";
        out += "\n";
        WriteProps(out, item.Properties, indent + "    ");
        out += indent + "  end";
      }
      out += ">";
      break;
  }
}

void WriteRecord(std::string& out, const TFormRecord& r, const std::string& indent) {
  out += indent;
  out += (r.Flags & ffInherited) ? "inherited " : (r.Flags & ffInline) ? "inline " : "object ";
  if (!r.Name.empty()) out += r.Name + ": ";
  out += r.ClassName;
  if (r.ChildPos) out += " [" + std::to_string(*r.ChildPos) + "]";
  out += "\n";
  WriteProps(out, r.Properties, indent + "  ");
  for (const auto& c : r.Children) WriteRecord(out, c, indent + "  ");
  out += indent + "end\n";
}

}  // namespace

TFormRecord ParseFormText(const std::string& utf8, const String& fileName) {
  TParser p(utf8, fileName);
  return p.Root();
}

std::string FormToText(const TFormRecord& root) {
  std::string out;
  WriteRecord(out, root, "");
  return out;
}
