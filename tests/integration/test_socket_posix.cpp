#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "test_socket.h"

namespace {
sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}
}  // namespace

bool socketStartup() { return true; }

TestSocket listenLoopback(std::uint16_t& port) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return kNoSocket;
  const int on = 1;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a = loopback(port);
  socklen_t len = sizeof a;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, SOMAXCONN) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    ::close(s);
    return kNoSocket;
  }
  port = ntohs(a.sin_port);
  return s;
}

TestSocket acceptConnection(TestSocket listener) {
  for (;;) {
    const int s = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (s >= 0) {
      const int on = 1;
      ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      return s;
    }
    if (errno != EINTR && errno != ECONNABORTED) return kNoSocket;
  }
}

TestSocket connectLoopback(std::uint16_t port) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return kNoSocket;
  const sockaddr_in a = loopback(port);
  if (::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    ::close(s);
    return kNoSocket;
  }
  return s;
}

long receiveSome(TestSocket s, char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t n = ::recv(static_cast<int>(s), buffer, capacity, 0);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -1;
  }
}

bool sendAll(TestSocket s, const char* data, std::size_t count) {
  while (count > 0) {
    const ssize_t n = ::send(static_cast<int>(s), data, count, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

void shutdownSending(TestSocket s) { ::shutdown(static_cast<int>(s), SHUT_WR); }
void shutdownBoth(TestSocket s) { ::shutdown(static_cast<int>(s), SHUT_RDWR); }
void closeSocket(TestSocket s) { ::close(static_cast<int>(s)); }

void resetAndClose(TestSocket s) {
  const linger l{1, 0};
  ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(static_cast<int>(s));
}

std::uint16_t unusedLoopbackPort() {
  std::uint16_t port = 0;
  const TestSocket s = listenLoopback(port);
  if (s == kNoSocket) return 0;
  closeSocket(s);
  return port;
}
