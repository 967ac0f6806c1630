// Socket addresses, written once for Winsock and BSD sockets: included by kysocket_win.cpp
// and kysocket_posix.cpp after their system headers, which declare the same structures.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The socket address of 4 or 16 address bytes and Port; returns its length.
inline int ToSockaddr(const std::string& address, int port, sockaddr_storage& out) {
  out = sockaddr_storage{};
  if (address.size() == 4) {
    auto* in = reinterpret_cast<sockaddr_in*>(&out);
    in->sin_family = AF_INET;
    in->sin_port = htons(static_cast<std::uint16_t>(port));
    std::memcpy(&in->sin_addr, address.data(), 4);
    return sizeof(sockaddr_in);
  }
  auto* in6 = reinterpret_cast<sockaddr_in6*>(&out);
  in6->sin6_family = AF_INET6;
  in6->sin6_port = htons(static_cast<std::uint16_t>(port));
  std::memcpy(&in6->sin6_addr, address.data(), 16);
  return sizeof(sockaddr_in6);
}

// The addresses getaddrinfo finds for Host, each once; none when it finds nothing.
inline std::vector<std::string> GetAddrInfoAddresses(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* list = nullptr;
  std::vector<std::string> out;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return out;
  for (addrinfo* a = list; a; a = a->ai_next) {
    std::string bytes;
    if (a->ai_family == AF_INET)
      bytes.assign(reinterpret_cast<const char*>(&reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr), 4);
    else if (a->ai_family == AF_INET6)
      bytes.assign(reinterpret_cast<const char*>(&reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr), 16);
    if (!bytes.empty() && std::find(out.begin(), out.end(), bytes) == out.end()) out.push_back(bytes);
  }
  freeaddrinfo(list);
  return out;
}
