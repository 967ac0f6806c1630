// The HTTP/1.1 protocol without the sockets: addresses, the GET request, the reply
// parser (Content-Length, chunked transfer coding, read to close) and charset decoding.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lib/core/kytypes.h"
#include "lib/net/kynet.h"

// An http:// address split for the request.
struct TUrl {
  std::string Host;
  int Port = 80;
  std::string Path = "/";  // with the query, never empty
};
// EHttpFormatError for anything but a well-formed http:// address.
TUrl ParseUrl(StringView url);

std::string Base64Encode(std::string_view bytes);

struct THttpRequestOptions {
  std::string UserAgent;
  bool ViaProxy = false;  // the request line carries the absolute address
  std::string ProxyUser, ProxyPassword;  // Basic credentials for the proxy, when User is set
};
std::string BuildGetRequest(const TUrl& url, const THttpRequestOptions& options);

// Bounds of a reply: a header section or a body beyond them is an error, not a wait.
struct THttpLimits {
  size_t MaxHeaderSize = 32 * 1024;
  size_t MaxBodySize = 4 * 1024 * 1024;
};

struct THttpResponse {
  std::string Version;  // "HTTP/1.1"
  int StatusCode = 0;
  std::string ReasonPhrase;
  std::vector<std::pair<std::string, std::string>> Headers;
  RawBytes Body;

  // The first header of that name (ignoring case), empty when there is none.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

// Reads one reply; interim 1xx replies are skipped. EHttpFormatError on a malformed,
// truncated or oversized reply; the stream's own errors (time-outs) pass through.
THttpResponse ReadHttpResponse(TNetStream& in, const THttpLimits& limits = THttpLimits());

// The charset parameter of a Content-Type value, lower-cased; empty when none is named.
std::string CharsetOfContentType(std::string_view contentType);
// Bytes in a named charset to text; UTF-8 when Charset is empty. ENetError for a
// charset that is not supported.
String CharsetToString(const RawBytes& bytes, std::string_view charset);
// A body decoded by the charset of its Content-Type; under a charset that is not
// supported, as UTF-8 when it is valid UTF-8 and as Latin-1 otherwise.
String DecodeHttpBody(const RawBytes& body, std::string_view contentType);
