// Sections: the shared line, one direction of a connection (a reader that stamps each piece
// with its arrival time, a sender that lets it go then), a connection, the proxy.
#include "delay_proxy.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <string>

#include "base/text.h"

namespace {

using Clock = std::chrono::steady_clock;

// Pieces are read this large at most, so that the line is shared finely between connections.
constexpr std::size_t kPieceBytes = 16 * 1024;
constexpr std::size_t kWindowBytes = 4 * 1024 * 1024;

}  // namespace

// ---- the shared line -------------------------------------------------------------------

// The bottleneck the server's bytes share: each piece occupies it for its size over the
// bandwidth, after the pieces that came before it.
struct DelayProxy::Line {
  std::mutex mutex;
  Clock::time_point free{};
  std::uint64_t bitsPerSecond = 0;

  // When the last bit of count bytes, offered now, has crossed the line.
  Clock::time_point occupy(std::size_t count) {
    const Clock::time_point now = Clock::now();
    if (bitsPerSecond == 0) return now;
    std::lock_guard lock(mutex);
    const auto start = std::max(now, free);
    free = start + std::chrono::nanoseconds(count * 8ull * 1'000'000'000ull / bitsPerSecond);
    return free;
  }
};

// ---- one direction ------------------------------------------------------------------------

namespace {

struct Piece {
  Clock::time_point due;
  std::string bytes;
};

struct Direction {
  TestSocket from = kNoSocket;
  TestSocket to = kNoSocket;
  DelayProxy::Line* line = nullptr;  // the shared line, or none (requests are small)
  Clock::time_point firstAllowed;    // the handshake's round trip
  Clock::duration oneWay{};

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Piece> pieces;
  std::size_t queued = 0;
  bool readerDone = false;
  bool broken = false;  // a send failed, or the proxy stops: no more bytes either way
};

void readLoop(Direction& d) {
  std::string buffer(kPieceBytes, '\0');
  for (;;) {
    const long n = receiveSome(d.from, buffer.data(), buffer.size());
    if (n <= 0) break;
    const std::size_t count = static_cast<std::size_t>(n);
    std::unique_lock lock(d.mutex);
    d.changed.wait(lock, [&] { return d.broken || d.queued + count <= kWindowBytes; });
    if (d.broken) break;
    Clock::time_point sent = d.line ? d.line->occupy(count) : Clock::now();
    sent = std::max(sent, d.firstAllowed);
    d.pieces.push_back({sent + d.oneWay, buffer.substr(0, count)});
    d.queued += count;
    d.changed.notify_all();
  }
  std::lock_guard lock(d.mutex);
  d.readerDone = true;
  d.changed.notify_all();
}

void sendLoop(Direction& d) {
  std::unique_lock lock(d.mutex);
  for (;;) {
    d.changed.wait(lock, [&] { return d.broken || !d.pieces.empty() || d.readerDone; });
    if (d.broken) return;
    if (d.pieces.empty()) {
      shutdownSending(d.to);  // the other side ended in order: so does this one
      return;
    }
    const Clock::time_point due = d.pieces.front().due;
    if (d.changed.wait_until(lock, due, [&] { return d.broken; })) return;
    Piece piece = std::move(d.pieces.front());
    d.pieces.pop_front();
    d.queued -= piece.bytes.size();
    d.changed.notify_all();
    lock.unlock();
    const bool sent = sendAll(d.to, piece.bytes.data(), piece.bytes.size());
    lock.lock();
    if (!sent) {
      d.broken = true;
      shutdownBoth(d.from);
      d.changed.notify_all();
      return;
    }
  }
}

void breakDirection(Direction& d) {
  std::lock_guard lock(d.mutex);
  d.broken = true;
  d.changed.notify_all();
}

}  // namespace

// ---- a connection ------------------------------------------------------------------------

struct DelayProxy::Connection {
  TestSocket client = kNoSocket;
  TestSocket server = kNoSocket;
  Direction up;    // client to server
  Direction down;  // server to client
  std::thread threads[4];
  std::atomic<int> running{4};

  void start() {
    auto run = [this](void (*loop)(Direction&), Direction& d) {
      return std::thread([this, loop, &d] {
        loop(d);
        running.fetch_sub(1);
      });
    };
    threads[0] = run(readLoop, up);
    threads[1] = run(sendLoop, up);
    threads[2] = run(readLoop, down);
    threads[3] = run(sendLoop, down);
  }
  void abort() {
    breakDirection(up);
    breakDirection(down);
    shutdownBoth(client);
    shutdownBoth(server);
  }
  ~Connection() {
    for (std::thread& t : threads) {
      if (t.joinable()) t.join();
    }
    closeSocket(client);
    closeSocket(server);
  }
};

// ---- the proxy --------------------------------------------------------------------------

DelayProxy::DelayProxy(std::uint16_t upstreamPort, LinkShape shape)
    : upstreamPort_(upstreamPort), shape_(shape), downstream_(std::make_unique<Line>()) {
  downstream_->bitsPerSecond = shape.bitsPerSecond;
  if (!socketStartup()) return;
  listener_ = listenLoopback(port_);
  if (listener_ != kNoSocket) acceptor_ = std::thread([this] { acceptLoop(); });
}

DelayProxy::~DelayProxy() { stop(); }

std::wstring DelayProxy::url(const std::string& path) const {
  return utf8ToWide("http://127.0.0.1:" + std::to_string(port_) + path);
}

void DelayProxy::reapFinished() {
  std::list<std::unique_ptr<Connection>> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      auto next = std::next(it);
      if ((*it)->running.load() == 0) finished.splice(finished.end(), connections_, it);
      it = next;
    }
  }
  finished.clear();  // joins outside the lock
}

void DelayProxy::acceptLoop() {
  for (;;) {
    const TestSocket client = acceptConnection(listener_);
    const Clock::time_point accepted = Clock::now();
    {
      std::lock_guard lock(mutex_);
      if (stopping_ || client == kNoSocket) {
        if (client != kNoSocket) closeSocket(client);
        if (stopping_) return;
        continue;
      }
    }
    accepted_.fetch_add(1);
    const TestSocket server = connectLoopback(upstreamPort_);
    if (server == kNoSocket) {
      closeSocket(client);
      continue;
    }
    auto c = std::make_unique<Connection>();
    c->client = client;
    c->server = server;
    const auto oneWay = std::chrono::microseconds(shape_.roundTripMs * 500);
    c->up.from = client;
    c->up.to = server;
    c->up.firstAllowed = accepted + 2 * oneWay;
    c->up.oneWay = oneWay;
    c->down.from = server;
    c->down.to = client;
    c->down.line = downstream_.get();
    c->down.oneWay = oneWay;
    {
      std::lock_guard lock(mutex_);
      c->start();
      connections_.push_back(std::move(c));
    }
    reapFinished();
  }
}

void DelayProxy::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  if (listener_ == kNoSocket) return;
  const TestSocket wake = connectLoopback(port_);
  acceptor_.join();
  if (wake != kNoSocket) closeSocket(wake);
  closeSocket(listener_);
  std::list<std::unique_ptr<Connection>> all;
  {
    std::lock_guard lock(mutex_);
    all.swap(connections_);
  }
  for (auto& c : all) c->abort();
  all.clear();
}
