// A slow link on loopback: a proxy that forwards every connection to a port of 127.0.0.1 as a
// distant server would be reached. A new connection waits one round trip (the handshake)
// before its first byte goes on, every byte arrives half a round trip after it was sent, and
// the bytes from the server share one line of the given bandwidth, in the order they left.
// Each direction of a connection holds at most kWindowBytes in flight, like a TCP window.
//
//   DelayProxy proxy(nginxPort, {.roundTripMs = 50, .bitsPerSecond = 100'000'000});
//   ... HttpGet(proxy.url("/patch/manifest.json"), sink, true) ...
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "test_socket.h"

struct LinkShape {
  int roundTripMs = 50;
  std::uint64_t bitsPerSecond = 100'000'000;  // 0: no limit
};

class DelayProxy {
 public:
  DelayProxy(std::uint16_t upstreamPort, LinkShape shape);
  ~DelayProxy();
  DelayProxy(const DelayProxy&) = delete;
  DelayProxy& operator=(const DelayProxy&) = delete;

  bool ok() const { return listener_ != kNoSocket; }
  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:PORT" + path (path starts with "/").
  std::wstring url(const std::string& path) const;
  // Connections accepted so far: how many a client opened, and so how well it reuses them.
  int connectionsAccepted() const { return accepted_.load(); }
  // Ends every connection and joins every thread; called by the destructor.
  void stop();

  struct Connection;
  struct Line;

 private:
  void acceptLoop();
  void reapFinished();

  const std::uint16_t upstreamPort_;
  const LinkShape shape_;
  std::unique_ptr<Line> downstream_;
  TestSocket listener_ = kNoSocket;
  std::uint16_t port_ = 0;
  std::atomic<int> accepted_{0};
  std::thread acceptor_;
  std::mutex mutex_;
  bool stopping_ = false;
  std::list<std::unique_ptr<Connection>> connections_;
};
