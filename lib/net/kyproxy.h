// The proxy for web browsing that the user configured for the system, read once at
// program start, and the factory of HTTP clients that applies it.
#pragma once

#include <memory>

#include "lib/core/kytypes.h"
#include "lib/net/kyhttp.h"

// Module-wide proxy settings (set by InitializeHttpProxy).
extern bool UseProxy;
extern String ProxyHost;   // empty for no proxy
extern int ProxyPort;
extern int ProxyKind;      // 0 HTTP, 1 SOCKS 4, 2 SOCKS 4A, anything else SOCKS 5
extern String ProxyUser, ProxyPassword;

// A "ProxyServer" value: "host:port", or entries "name=host:port" separated by ";".
// An "http" entry wins over a "socks" entry; other entries are ignored.
bool ParseProxyServer(StringView value, int& kind, String& host, int& port);

// The current user's system proxy; false when none is enabled or configured.
// Raises ENetError when a value has an unexpected type.
bool ReadSystemProxy(int& kind, String& host, int& port);

// The module's start-up: run once before the main window exists.
void InitializeHttpProxy();

// A client with the two time-outs (milliseconds) and the proxy settings applied; owned
// by the caller, which frees it after its request.
std::unique_ptr<THttpClient> CreateHttpClient(int connectTimeout, int readTimeout);

// One GET through a client of the factory, for callers that only need the bytes or
// nothing (the XML reader's external documents): false on any failure, error status included.
bool TryHttpGetBytes(const String& url, int connectTimeout, int readTimeout, RawBytes& body);

// Platform part: the Internet Settings values of the current user. False when the key
// cannot be opened; Enable is 0 when the value is missing. Raises ENetError for a value
// of another type.
bool ReadInternetSettings(int& enable, String& server);
