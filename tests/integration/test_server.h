// An HTTP/1.1 server for tests, with faults on demand.
//
// It listens on 127.0.0.1 at a free port from construction to destruction (or stop()), accepts
// on its own thread and answers each connection on a thread of its own, once, with
// "Connection: close". A request is answered from, in this order:
//   1. the bytes chosen for its path (setBody, setPatternBody);
//   2. a served folder (serveFolder): GET /patch/manifest.json gives <folder>/manifest.json;
//   3. otherwise 404.
// A fault (setFault) changes how a path is answered: another status, a body cut short, more
// bytes than announced, a reset, a stall, a drip (a few bytes now and then, headers too), a
// chunked body without end, megabytes of headers, and each for the first K requests only if
// wished; and a compressed answer to a client that offers to decode one. Redirect loops and
// redirects to other schemes are a status with a Location header. Everything can be changed while
// the server runs; a request takes its path's settings when it arrives. Paths are compared without
// the query ("/a?x=1" counts as "/a").
//
//   TestServer server;
//   ASSERT_TRUE(server.ok());
//   server.serveFolder(release.path());
//   server.setFault("/patch/manifest.json", {.status = 503, .times = 2});  // 503, 503, then served
//   ... HttpGet(server.url("/patch/manifest.json"), sink, true) ...
//   EXPECT_EQ(server.requestCount("/patch/manifest.json"), 3);
//
// Sections: ServerFault, RecordedRequest, TestServer, pollUntil and the pattern bytes.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "test_socket.h"

// How a path is answered when it should not be answered normally. Fields combine: a status
// with extra headers, a stall followed by a cut, and so on. Body positions count body bytes.
struct ServerFault {
  // Not 0: answer with this status and a short text body instead of the content.
  int status = 0;
  // Not empty: answer 200 with these bytes instead of the content (a server that sends the
  // wrong object).
  std::string replacementBody;
  // Header lines added to the answer, each ending in "\r\n" ("Location: /b\r\n").
  std::string extraHeaders;
  // >= 0: Content-Length still announces the whole body, but only this many bytes are sent
  // before the server closes the connection in order.
  std::int64_t cutAfter = -1;
  // Sent after the whole body, beyond what Content-Length announced.
  std::string extraBytes;
  // Reset the connection (SO_LINGER 0) without answering at all.
  bool resetBeforeAnswer = false;
  // >= 0: the headers and this many body bytes are sent, then the connection is reset.
  std::int64_t resetAfter = -1;
  // Stall before anything of the answer is sent.
  bool stallBeforeAnswer = false;
  // >= 0: stall once this many body bytes have been sent.
  std::int64_t stallAfter = -1;
  // How long a stall lasts; negative: until releaseStalls() (or the server stops).
  int stallMs = -1;
  // > 0: the body goes out this many bytes at a time, dripEveryMs apart (and the headers too
  // when dripHeaders is set), so that a transfer runs at any pace wished.
  std::uint32_t dripBytes = 0;
  int dripEveryMs = 0;
  bool dripHeaders = false;
  // A chunked body (no Content-Length) that never ends: chunks go out until the client
  // leaves or the server stops.
  bool endlessChunks = false;
  // > 0: the answer carries this many bytes of extra header lines before the blank line.
  std::uint64_t headerFillerBytes = 0;
  // Every answer carries a Date header from the machine's clock, as a real server's does; this
  // many seconds are added to it (a server whose clock is wrong), or it is left out.
  std::int64_t clockOffsetSeconds = 0;
  bool noDate = false;
  // A request whose Accept-Encoding names gzip is answered with the body gzip-compressed
  // ("Content-Encoding: gzip"; Content-Length and the body positions above count the
  // compressed bytes), as a web server that compresses its JSON does.
  bool gzipWhenAsked = false;
  // > 0: the fault applies to the first `times` requests of the path only; later requests
  // are answered normally. 0: every request.
  int times = 0;
};

struct RecordedRequest {
  std::string method;
  std::string target;                                        // as sent, with the query
  std::string path;                                          // target without the query
  std::vector<std::pair<std::string, std::string>> headers;  // in order, as sent

  // The value of a header (name compared without case); "" when absent.
  std::string header(const std::string& name) const;
  bool hasHeader(const std::string& name) const;
};

class TestServer {
 public:
  // Starts listening at once; ok() tells whether that worked.
  TestServer();
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  bool ok() const { return listener_ != kNoSocket; }
  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:PORT" + path (path starts with "/").
  std::string urlUtf8(const std::string& path) const;
  std::wstring url(const std::string& path) const;
  // The address of a folder served with the default prefix: "http://127.0.0.1:PORT/patch/".
  std::wstring patchUrl() const { return url("/patch/"); }

  // Serves a folder (a wide path as TempDir gives it) under a URL prefix ending in "/".
  // Several folders may be served under different prefixes; ".." never leaves the folder.
  void serveFolder(const std::wstring& folder, const std::string& urlPrefix = "/patch/");
  // Answers path with these bytes (status 200).
  void setBody(const std::string& path, std::string bytes);
  // Answers path with size bytes of testPatternByte(0..size-1), generated while sending so
  // that large bodies cost no memory.
  void setPatternBody(const std::string& path, std::uint64_t size);
  void removeBody(const std::string& path);

  // Sets the fault of a path; the path "*" applies to every path without a fault of its own.
  void setFault(const std::string& path, const ServerFault& fault);
  // Shorthand for setFault(path, {.status = status}).
  void setStatus(const std::string& path, int status);
  void clearFault(const std::string& path);
  void clearFaults();

  // Lets every stalled answer go on (and those that stall later wait for the next release).
  void releaseStalls();
  // Answers currently stalled; a test polls this to know that a request has reached its stall.
  int stalledCount() const;

  // Requests received for a path (without query), whatever their answer.
  int requestCount(const std::string& path) const;
  // Answers of a path (200) whose whole body went out: what a client received in full, not
  // counting transfers it gave up.
  int completedCount(const std::string& path) const;
  int totalRequests() const;
  std::vector<RecordedRequest> requests() const;
  // The last request of a path; false when there was none.
  bool lastRequest(const std::string& path, RecordedRequest& out) const;
  // Connections accepted and not yet finished.
  int openConnections() const;
  // The most requests that were being answered at one moment (from the request's head to the
  // answer's end): how many requests a client keeps in flight.
  int maxInFlight() const;

  // Stops listening, wakes stalls, ends every connection and joins all threads. Afterwards the
  // port refuses connections. Called by the destructor.
  void stop();

 private:
  struct Body;
  struct Worker {
    std::thread thread;
    bool done = false;
  };

  void acceptLoop();
  void serveConnection(TestSocket s, Worker* self);
  bool stall(int ms);
  // Waits ms milliseconds; false when the server is stopping (waking at once).
  bool pause(int ms);
  void reapFinishedWorkers();

  TestSocket listener_ = kNoSocket;
  std::uint16_t port_ = 0;
  std::thread acceptor_;

  mutable std::mutex mutex_;
  std::condition_variable stallWake_;
  bool stopping_ = false;
  std::uint64_t releaseGeneration_ = 0;
  int stalled_ = 0;
  std::map<std::string, std::shared_ptr<const Body>> bodies_;
  std::vector<std::pair<std::string, std::wstring>> folders_;  // prefix, folder
  std::map<std::string, ServerFault> faults_;
  std::map<std::string, int> faultUses_;
  std::map<std::string, int> counts_;
  std::map<std::string, int> completed_;
  std::vector<RecordedRequest> requests_;
  int total_ = 0;
  int inFlight_ = 0;
  int maxInFlight_ = 0;
  std::list<Worker> workers_;
  std::vector<TestSocket> open_;
};

// Calls condition until it returns true or timeout passes; returns its last result.
bool pollUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The byte at position index of a pattern body. Depends on every bit of the position, so a
// lost, repeated or shifted chunk shows up as a wrong byte.
inline std::uint8_t testPatternByte(std::uint64_t index) {
  return static_cast<std::uint8_t>((index * 0x9E3779B97F4A7C15ull) >> 56);
}
