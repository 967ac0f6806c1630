#include "lib/net/kyhttpproto.h"

#include <cstring>

#include "resstrings.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/core/kytextfile.h"

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = Lower(c);
  return r;
}

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string_view TrimAscii(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Reply bytes may be anything: show them in a message as Latin-1, shortened.
String Shown(std::string_view s) {
  if (s.size() > 80) s = s.substr(0, 80);
  String r;
  for (unsigned char c : s) r.push_back(c < 0x20 ? u'?' : static_cast<Char>(c));
  return r;
}

[[noreturn]] void Malformed(const TResString& res) { throw EHttpFormatError(LoadResString(res)); }

// Buffered reading with a byte budget for lines, so that a header section that never
// ends stops at the limit.
class TReplyReader {
 public:
  explicit TReplyReader(TNetStream& in) : In_(in) {}

  // One line without its CR LF (or bare LF). False at the end of the stream before
  // any byte of the line. Budget is reduced by the bytes consumed.
  bool ReadLine(std::string& line, size_t& budget, const TResString& tooLong = SHttpHeaderTooLarge) {
    line.clear();
    bool any = false;
    for (;;) {
      if (Pos_ == Len_ && !Fill()) {
        if (!any) return false;
        Malformed(SHttpTruncated);
      }
      any = true;
      const char* start = Buf_ + Pos_;
      size_t avail = Len_ - Pos_;
      const void* lf = std::memchr(start, '\n', avail);
      size_t take = lf ? static_cast<size_t>(static_cast<const char*>(lf) - start) + 1 : avail;
      if (take > budget) {
        if (&tooLong == &SHttpBadChunk) throw EHttpFormatError(Format(tooLong, {Shown(line + std::string(start, take))}));
        throw EHttpFormatError(Format(tooLong, {static_cast<int>(Limit_)}));
      }
      budget -= take;
      line.append(start, lf ? take - 1 : take);
      Pos_ += take;
      if (lf) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
      }
    }
  }

  // Up to Count bytes appended to Out; 0 at the end of the stream.
  size_t Read(RawBytes& out, size_t count) {
    if (Pos_ == Len_ && !Fill()) return 0;
    size_t n = std::min(count, Len_ - Pos_);
    out.append(Buf_ + Pos_, n);
    Pos_ += n;
    return n;
  }

  void SetLimit(size_t limit) { Limit_ = limit; }

 private:
  bool Fill() {
    if (Eof_) return false;
    Pos_ = 0;
    Len_ = In_.Receive(Buf_, sizeof Buf_);
    if (Len_ == 0) Eof_ = true;
    return Len_ > 0;
  }

  TNetStream& In_;
  char Buf_[8192];
  size_t Pos_ = 0, Len_ = 0;
  bool Eof_ = false;
  size_t Limit_ = 0;
};

void ParseStatusLine(const std::string& line, THttpResponse& r) {
  // HTTP/d.d SP ddd [SP reason]
  if (line.size() < 12 || line.compare(0, 5, "HTTP/") != 0 || !isdigit(static_cast<unsigned char>(line[5])) ||
      line[6] != '.' || !isdigit(static_cast<unsigned char>(line[7])) || line[8] != ' ')
    throw EHttpFormatError(Format(SHttpBadStatusLine, {Shown(line)}));
  int code = 0;
  for (int i = 9; i < 12; ++i) {
    if (!isdigit(static_cast<unsigned char>(line[i]))) throw EHttpFormatError(Format(SHttpBadStatusLine, {Shown(line)}));
    code = code * 10 + (line[i] - '0');
  }
  if (code < 100 || (line.size() > 12 && line[12] != ' '))
    throw EHttpFormatError(Format(SHttpBadStatusLine, {Shown(line)}));
  r.Version = line.substr(0, 8);
  r.StatusCode = code;
  r.ReasonPhrase = line.size() > 13 ? std::string(TrimAscii(std::string_view(line).substr(13))) : std::string();
}

void ReadHeaders(TReplyReader& in, size_t& budget, std::vector<std::pair<std::string, std::string>>& headers) {
  std::string line;
  for (;;) {
    if (!in.ReadLine(line, budget, SHttpHeaderTooLarge)) Malformed(SHttpTruncated);
    if (line.empty()) return;
    if ((line[0] == ' ' || line[0] == '\t') && !headers.empty()) {  // folded continuation
      headers.back().second += ' ';
      headers.back().second += TrimAscii(line);
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0 || line.find_first_of(" \t") < colon)
      throw EHttpFormatError(Format(SHttpBadHeader, {Shown(line)}));
    headers.emplace_back(line.substr(0, colon), std::string(TrimAscii(std::string_view(line).substr(colon + 1))));
  }
}

[[noreturn]] void TooLarge(const THttpLimits& limits) {
  throw EHttpFormatError(Format(SHttpBodyTooLarge, {static_cast<int>(limits.MaxBodySize)}));
}

// Count more bytes into Body, within the limit; false at an early end of the stream.
bool ReadBody(TReplyReader& in, RawBytes& body, size_t count, const THttpLimits& limits) {
  if (count > limits.MaxBodySize - body.size()) TooLarge(limits);
  while (count > 0) {
    size_t n = in.Read(body, count);
    if (n == 0) return false;
    count -= n;
  }
  return true;
}

void ReadChunked(TReplyReader& in, RawBytes& body, const THttpLimits& limits) {
  std::string line;
  for (;;) {
    size_t lineBudget = 1024;
    if (!in.ReadLine(line, lineBudget, SHttpBadChunk)) Malformed(SHttpTruncated);
    std::string_view size = TrimAscii(std::string_view(line).substr(0, line.find(';')));
    if (size.empty() || size.size() > 15) throw EHttpFormatError(Format(SHttpBadChunk, {Shown(line)}));
    std::uint64_t n = 0;
    for (char c : size) {
      int d = (c >= '0' && c <= '9') ? c - '0' : (Lower(c) >= 'a' && Lower(c) <= 'f') ? Lower(c) - 'a' + 10 : -1;
      if (d < 0) throw EHttpFormatError(Format(SHttpBadChunk, {Shown(line)}));
      n = n * 16 + static_cast<unsigned>(d);
    }
    if (n == 0) break;
    if (n > limits.MaxBodySize - body.size()) TooLarge(limits);
    if (!ReadBody(in, body, static_cast<size_t>(n), limits)) Malformed(SHttpTruncated);
    lineBudget = 1024;
    if (!in.ReadLine(line, lineBudget, SHttpBadChunk)) Malformed(SHttpTruncated);
    if (!line.empty()) throw EHttpFormatError(Format(SHttpBadChunk, {Shown(line)}));
  }
  // Trailer fields up to the empty line; their content is not used.
  size_t budget = limits.MaxHeaderSize;
  std::vector<std::pair<std::string, std::string>> trailers;
  ReadHeaders(in, budget, trailers);
}

// All Content-Length values (a list or repeated fields) must agree.
bool ContentLength(const THttpResponse& r, std::uint64_t& length) {
  bool found = false;
  for (const auto& [name, value] : r.Headers) {
    if (!SameAscii(name, "Content-Length")) continue;
    std::string_view rest = value;
    while (!rest.empty()) {
      size_t comma = rest.find(',');
      std::string_view item = TrimAscii(rest.substr(0, comma));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      std::uint64_t v = 0;
      if (item.empty() || item.size() > 15) throw EHttpFormatError(Format(SHttpBadContentLength, {Shown(value)}));
      for (char c : item) {
        if (c < '0' || c > '9') throw EHttpFormatError(Format(SHttpBadContentLength, {Shown(value)}));
        v = v * 10 + static_cast<unsigned>(c - '0');
      }
      if (found && v != length) throw EHttpFormatError(Format(SHttpBadContentLength, {Shown(value)}));
      length = v;
      found = true;
    }
  }
  return found;
}

}  // namespace

std::string THttpResponse::Header(std::string_view name) const {
  for (const auto& [n, v] : Headers)
    if (SameAscii(n, name)) return v;
  return std::string();
}

bool THttpResponse::HasHeader(std::string_view name) const {
  for (const auto& h : Headers)
    if (SameAscii(h.first, name)) return true;
  return false;
}

TUrl ParseUrl(StringView url) {
  std::string s = StringToUtf8(url);
  auto bad = [&]() -> EHttpFormatError { return EHttpFormatError(Format(SHttpBadUrl, {String(url)})); };
  size_t colon = s.find("://");
  if (colon == std::string::npos) throw bad();
  if (!SameAscii(std::string_view(s).substr(0, colon), "http"))
    throw EHttpFormatError(Format(SHttpUnsupportedScheme, {String(url)}));
  std::string_view rest = std::string_view(s).substr(colon + 3);
  size_t end = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, end);
  std::string_view path = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  if (size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  TUrl r;
  std::string_view host = authority, port;
  if (!authority.empty() && authority[0] == '[') {  // [IPv6]:port
    size_t close = authority.find(']');
    if (close == std::string_view::npos) throw bad();
    host = authority.substr(1, close - 1);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != ':') throw bad();
      port = after.substr(1);
    }
  } else if (size_t c = authority.find(':'); c != std::string_view::npos) {
    host = authority.substr(0, c);
    port = authority.substr(c + 1);
  }
  if (host.empty()) throw bad();
  for (char c : host)
    if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f') throw bad();
  r.Host = std::string(host);
  if (!port.empty()) {
    int p = 0;
    for (char c : port) {
      if (c < '0' || c > '9' || p > 65535) throw bad();
      p = p * 10 + (c - '0');
    }
    if (p < 1 || p > 65535) throw bad();
    r.Port = p;
  }
  if (size_t hash = path.find('#'); hash != std::string_view::npos) path = path.substr(0, hash);
  r.Path.clear();
  for (char c : path) {  // no blanks or controls may reach the request line
    if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f') {
      static const char hex[] = "0123456789ABCDEF";
      r.Path += '%';
      r.Path += hex[static_cast<unsigned char>(c) >> 4];
      r.Path += hex[c & 15];
    } else {
      r.Path += c;
    }
  }
  if (r.Path.empty() || r.Path[0] != '/') r.Path = std::string(1, '/').append(r.Path);
  return r;
}

std::string Base64Encode(std::string_view bytes) {
  static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string r;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                 static_cast<unsigned char>(bytes[i + 2]);
    r += table[v >> 18];
    r += table[(v >> 12) & 63];
    r += table[(v >> 6) & 63];
    r += table[v & 63];
  }
  if (size_t left = bytes.size() - i; left > 0) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (left == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    r += table[v >> 18];
    r += table[(v >> 12) & 63];
    r += left == 2 ? table[(v >> 6) & 63] : '=';
    r += '=';
  }
  return r;
}

std::string BuildGetRequest(const TUrl& url, const THttpRequestOptions& options) {
  bool v6 = url.Host.find(':') != std::string::npos;
  std::string host = v6 ? "[" + url.Host + "]" : url.Host;
  if (url.Port != 80) host.append(1, ':').append(std::to_string(url.Port));
  std::string r = "GET ";
  if (options.ViaProxy) r += "http://" + host;
  r += url.Path + " HTTP/1.1\r\n";
  r += "Host: " + host + "\r\n";
  r += "Accept: text/html, */*\r\n";
  r += "Accept-Encoding: identity\r\n";
  if (!options.UserAgent.empty()) r += "User-Agent: " + options.UserAgent + "\r\n";
  if (options.ViaProxy && !options.ProxyUser.empty())
    r += "Proxy-Authorization: Basic " + Base64Encode(options.ProxyUser + ":" + options.ProxyPassword) + "\r\n";
  r += "Connection: close\r\n\r\n";
  return r;
}

THttpResponse ReadHttpResponse(TNetStream& stream, const THttpLimits& limits) {
  TReplyReader in(stream);
  in.SetLimit(limits.MaxHeaderSize);
  THttpResponse r;
  size_t budget = limits.MaxHeaderSize;
  std::string line;
  do {
    r.Headers.clear();
    if (!in.ReadLine(line, budget, SHttpHeaderTooLarge)) Malformed(SHttpNoReply);
    ParseStatusLine(line, r);
    ReadHeaders(in, budget, r.Headers);
  } while (r.StatusCode < 200);

  if (r.StatusCode == 204 || r.StatusCode == 304) return r;
  std::string te = LowerAscii(TrimAscii(r.Header("Transfer-Encoding")));
  if (!te.empty() && te != "identity") {
    size_t comma = te.rfind(',');
    std::string_view last = TrimAscii(comma == std::string::npos ? std::string_view(te) : std::string_view(te).substr(comma + 1));
    if (last != "chunked" || comma != std::string::npos)
      throw EHttpFormatError(Format(SHttpUnsupportedCoding, {Shown(te)}));
    ReadChunked(in, r.Body, limits);
  } else if (std::uint64_t length = 0; ContentLength(r, length)) {
    if (length > limits.MaxBodySize) TooLarge(limits);
    if (!ReadBody(in, r.Body, static_cast<size_t>(length), limits)) Malformed(SHttpTruncated);
  } else {
    // Delimited by the end of the connection.
    for (;;) {
      if (r.Body.size() >= limits.MaxBodySize) {
        RawBytes probe;
        if (in.Read(probe, 1) == 0) break;
        TooLarge(limits);
      }
      if (in.Read(r.Body, limits.MaxBodySize - r.Body.size()) == 0) break;
    }
  }
  std::string ce = LowerAscii(TrimAscii(r.Header("Content-Encoding")));
  if (!ce.empty() && ce != "identity") throw EHttpFormatError(Format(SHttpUnsupportedCoding, {Shown(ce)}));
  return r;
}

std::string CharsetOfContentType(std::string_view contentType) {
  size_t semi = contentType.find(';');
  while (semi != std::string_view::npos) {
    std::string_view rest = contentType.substr(semi + 1);
    size_t next = rest.find(';');
    std::string_view param = TrimAscii(rest.substr(0, next));
    size_t eq = param.find('=');
    if (eq != std::string_view::npos && SameAscii(TrimAscii(param.substr(0, eq)), "charset")) {
      std::string_view value = TrimAscii(param.substr(eq + 1));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      return LowerAscii(TrimAscii(value));
    }
    semi = next == std::string_view::npos ? next : semi + 1 + next;
  }
  return std::string();
}

String DecodeHttpBody(const RawBytes& body, std::string_view contentType) {
  try {
    return CharsetToString(body, CharsetOfContentType(contentType));
  } catch (const ENetError&) {
    // A label we do not know ("none", "binary"): UTF-8 when the bytes are that, else Latin-1.
    std::string_view text = body;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    try {
      return DecodeUtf8Strict(text);
    } catch (const EUft8Exception&) {
      String r;
      r.reserve(text.size());
      for (unsigned char c : text) r.push_back(static_cast<Char>(c));
      return r;
    }
  }
}
