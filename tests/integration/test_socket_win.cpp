#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

#include "test_socket.h"

namespace {
sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

SOCKET raw(TestSocket s) { return static_cast<SOCKET>(s); }
TestSocket wrap(SOCKET s) { return s == INVALID_SOCKET ? kNoSocket : static_cast<TestSocket>(s); }
}  // namespace

bool socketStartup() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    WSADATA data;
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  });
  return started;
}

TestSocket listenLoopback(std::uint16_t& port) {
  if (!socketStartup()) return kNoSocket;
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNoSocket;
  // Exclusive use, so that a second server can never share the port.
  const BOOL on = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in a = loopback(port);
  int len = sizeof a;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, SOMAXCONN) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    ::closesocket(s);
    return kNoSocket;
  }
  port = ntohs(a.sin_port);
  return wrap(s);
}

TestSocket acceptConnection(TestSocket listener) {
  const SOCKET s = ::accept(raw(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return kNoSocket;
  const BOOL on = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return wrap(s);
}

TestSocket connectLoopback(std::uint16_t port) {
  if (!socketStartup()) return kNoSocket;
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNoSocket;
  const sockaddr_in a = loopback(port);
  if (::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    ::closesocket(s);
    return kNoSocket;
  }
  return wrap(s);
}

long receiveSome(TestSocket s, char* buffer, std::size_t capacity) {
  const int want = capacity > 1u << 30 ? 1 << 30 : static_cast<int>(capacity);
  const int n = ::recv(raw(s), buffer, want, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

bool sendAll(TestSocket s, const char* data, std::size_t count) {
  while (count > 0) {
    const int want = count > 1u << 20 ? 1 << 20 : static_cast<int>(count);
    const int n = ::send(raw(s), data, want, 0);
    if (n == SOCKET_ERROR) return false;
    data += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

void shutdownSending(TestSocket s) { ::shutdown(raw(s), SD_SEND); }
void shutdownBoth(TestSocket s) { ::shutdown(raw(s), SD_BOTH); }
void closeSocket(TestSocket s) { ::closesocket(raw(s)); }

void resetAndClose(TestSocket s) {
  linger l{};
  l.l_onoff = 1;
  l.l_linger = 0;
  ::setsockopt(raw(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  ::closesocket(raw(s));
}

std::uint16_t unusedLoopbackPort() {
  std::uint16_t port = 0;
  const TestSocket s = listenLoopback(port);
  if (s == kNoSocket) return 0;
  closeSocket(s);
  return port;
}
