// Sections: helpers (paths, request parsing, status texts), RecordedRequest, TestServer set-up
// and queries, the accept loop, answering a connection, pollUntil.
#include "test_server.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/text.h"
#include "formats/utc_time.h"

namespace fs = std::filesystem;

// What a request is answered with: bytes in memory, a generated pattern, or a file.
struct TestServer::Body {
  std::string bytes;
  std::uint64_t patternSize = 0;
  bool pattern = false;
};

namespace {

// A request head larger than this is refused: nothing a client of ours sends comes near it.
constexpr std::size_t kMaxRequestHead = 64 * 1024;
constexpr std::size_t kSendChunk = 64 * 1024;

fs::path widePath(const std::wstring& wide) {
  const std::string utf8 = wideToUtf8(wide);
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

bool equalsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

std::string trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

// Parses "GET /target HTTP/1.1\r\nName: value\r\n...". False when the head is malformed.
bool parseRequestHead(const std::string& head, RecordedRequest& out) {
  std::size_t lineEnd = head.find("\r\n");
  const std::string requestLine = head.substr(0, lineEnd);
  const std::size_t sp1 = requestLine.find(' ');
  const std::size_t sp2 = requestLine.rfind(' ');
  if (sp1 == std::string::npos || sp2 == sp1 || requestLine.compare(sp2 + 1, 5, "HTTP/") != 0) {
    return false;
  }
  out.method = requestLine.substr(0, sp1);
  out.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
  if (out.target.empty()) return false;
  out.path = out.target.substr(0, out.target.find('?'));
  while (lineEnd != std::string::npos && lineEnd + 2 < head.size()) {
    const std::size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string line = head.substr(start, lineEnd - start);
    if (line.empty()) break;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) return false;
    out.headers.emplace_back(line.substr(0, colon), trim(line.substr(colon + 1)));
  }
  return true;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The file a URL path names below a served folder, or false when the path would leave the
// folder or cannot name a file there.
bool relativeFilePath(const std::string& urlPath, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < urlPath.size(); ++i) {
    char c = urlPath[i];
    if (c == '%') {
      if (i + 2 >= urlPath.size()) return false;
      const int hi = hexValue(urlPath[i + 1]), lo = hexValue(urlPath[i + 2]);
      if (hi < 0 || lo < 0) return false;
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    }
    if (c == '\0' || c == '\\' || c == ':') return false;
    out.push_back(c);
  }
  if (out.empty() || out.back() == '/') return false;
  std::size_t start = 0;
  while (start <= out.size()) {
    const std::size_t end = std::min(out.find('/', start), out.size());
    const std::string segment = out.substr(start, end - start);
    if (segment.empty() || segment == "." || segment == "..") return false;
    start = end + 1;
  }
  return true;
}

const char* reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 206:
      return "Partial Content";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 304:
      return "Not Modified";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 416:
      return "Range Not Satisfiable";
    case 429:
      return "Too Many Requests";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    default:
      return "Status";
  }
}

// An HTTP date (IMF-fixdate), "Sun, 06 Nov 1994 08:49:37 GMT", of seconds since 1970.
std::string httpDate(std::int64_t seconds) {
  static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::string iso = formatUtcTime(seconds);  // YYYY-MM-DDTHH:MM:SSZ
  const int month = std::stoi(iso.substr(5, 2));
  return std::string(kDays[(seconds / 86400) % 7]) + ", " + iso.substr(8, 2) + " " +
         kMonths[month - 1] + " " + iso.substr(0, 4) + " " + iso.substr(11, 8) + " GMT";
}

// The bytes as a gzip file (RFC 1952), as Content-Encoding: gzip carries them.
std::string gzipped(const std::string& bytes) {
  z_stream z{};
  std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())) + 64, '\0');
  if (deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
  out.resize(done ? z.total_out : 0);
  deflateEnd(&z);
  return out;
}

std::string contentType(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::string ext = dot == std::string::npos ? std::string() : path.substr(dot);
  if (ext == ".json") return "application/json";
  if (ext == ".txt") return "text/plain";
  return "application/octet-stream";
}

}  // namespace

// ---- RecordedRequest --------------------------------------------------------------------

std::string RecordedRequest::header(const std::string& name) const {
  for (const auto& [n, v] : headers) {
    if (equalsNoCase(n, name)) return v;
  }
  return {};
}

bool RecordedRequest::hasHeader(const std::string& name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& h) { return equalsNoCase(h.first, name); });
}

// ---- set-up and queries -----------------------------------------------------------------

TestServer::TestServer() {
  listener_ = listenLoopback(port_);
  if (listener_ != kNoSocket) acceptor_ = std::thread([this] { acceptLoop(); });
}

TestServer::~TestServer() { stop(); }

std::string TestServer::urlUtf8(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::wstring TestServer::url(const std::string& path) const { return utf8ToWide(urlUtf8(path)); }

void TestServer::serveFolder(const std::wstring& folder, const std::string& urlPrefix) {
  std::lock_guard lock(mutex_);
  folders_.emplace_back(urlPrefix, folder);
}

void TestServer::setBody(const std::string& path, std::string bytes) {
  auto body = std::make_shared<Body>();
  body->bytes = std::move(bytes);
  std::lock_guard lock(mutex_);
  bodies_[path] = std::move(body);
}

void TestServer::setPatternBody(const std::string& path, std::uint64_t size) {
  auto body = std::make_shared<Body>();
  body->pattern = true;
  body->patternSize = size;
  std::lock_guard lock(mutex_);
  bodies_[path] = std::move(body);
}

void TestServer::removeBody(const std::string& path) {
  std::lock_guard lock(mutex_);
  bodies_.erase(path);
}

void TestServer::setFault(const std::string& path, const ServerFault& fault) {
  std::lock_guard lock(mutex_);
  faults_[path] = fault;
  faultUses_[path] = 0;
}

void TestServer::setStatus(const std::string& path, int status) {
  ServerFault fault;
  fault.status = status;
  setFault(path, fault);
}

void TestServer::clearFault(const std::string& path) {
  std::lock_guard lock(mutex_);
  faults_.erase(path);
  faultUses_.erase(path);
}

void TestServer::clearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
  faultUses_.clear();
}

void TestServer::releaseStalls() {
  {
    std::lock_guard lock(mutex_);
    ++releaseGeneration_;
  }
  stallWake_.notify_all();
}

int TestServer::stalledCount() const {
  std::lock_guard lock(mutex_);
  return stalled_;
}

int TestServer::requestCount(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = counts_.find(path);
  return it == counts_.end() ? 0 : it->second;
}

int TestServer::completedCount(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = completed_.find(path);
  return it == completed_.end() ? 0 : it->second;
}

int TestServer::totalRequests() const {
  std::lock_guard lock(mutex_);
  return total_;
}

std::vector<RecordedRequest> TestServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool TestServer::lastRequest(const std::string& path, RecordedRequest& out) const {
  std::lock_guard lock(mutex_);
  for (auto it = requests_.rbegin(); it != requests_.rend(); ++it) {
    if (it->path == path) {
      out = *it;
      return true;
    }
  }
  return false;
}

int TestServer::openConnections() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(open_.size());
}

int TestServer::maxInFlight() const {
  std::lock_guard lock(mutex_);
  return maxInFlight_;
}

void TestServer::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  stallWake_.notify_all();
  if (listener_ == kNoSocket) return;
  // The acceptor blocks in accept(); a connection of our own wakes it to see stopping_.
  const TestSocket wake = connectLoopback(port_);
  acceptor_.join();
  if (wake != kNoSocket) closeSocket(wake);
  closeSocket(listener_);
  {
    std::lock_guard lock(mutex_);
    for (const TestSocket s : open_) shutdownBoth(s);
  }
  for (Worker& w : workers_) w.thread.join();
  workers_.clear();
}

// ---- accept loop ------------------------------------------------------------------------

void TestServer::reapFinishedWorkers() {
  std::list<Worker> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      auto next = std::next(it);
      if (it->done) finished.splice(finished.end(), workers_, it);
      it = next;
    }
  }
  for (Worker& w : finished) w.thread.join();
}

void TestServer::acceptLoop() {
  for (;;) {
    const TestSocket s = acceptConnection(listener_);
    {
      std::lock_guard lock(mutex_);
      if (stopping_) {
        if (s != kNoSocket) closeSocket(s);
        return;
      }
      if (s == kNoSocket) continue;
      open_.push_back(s);
      workers_.emplace_back();
      Worker* w = &workers_.back();
      w->thread = std::thread([this, s, w] { serveConnection(s, w); });
    }
    // Finished threads are joined outside the lock, on each new connection.
    reapFinishedWorkers();
  }
}

// ---- answering a connection -------------------------------------------------------------

bool TestServer::pause(int ms) {
  std::unique_lock lock(mutex_);
  stallWake_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping_; });
  return !stopping_;
}

// Waits ms milliseconds (negative: until releaseStalls()); false when the server is stopping.
bool TestServer::stall(int ms) {
  std::unique_lock lock(mutex_);
  const std::uint64_t generation = releaseGeneration_;
  ++stalled_;
  const auto released = [&] { return stopping_ || releaseGeneration_ != generation; };
  if (ms < 0) {
    stallWake_.wait(lock, released);
  } else {
    stallWake_.wait_for(lock, std::chrono::milliseconds(ms), released);
  }
  --stalled_;
  return !stopping_;
}

void TestServer::serveConnection(TestSocket s, Worker* self) {
  enum class End { Orderly, Reset };

  // Read the request head.
  std::string head;
  char buffer[4096];
  bool complete = false;
  while (head.size() <= kMaxRequestHead) {
    const long n = receiveSome(s, buffer, sizeof buffer);
    if (n <= 0) break;
    head.append(buffer, static_cast<std::size_t>(n));
    // Not HTTP at all (a TLS hello, say): end at once instead of waiting for a head.
    const std::size_t methodEnd = std::min(head.find(' '), head.size());
    if (!std::all_of(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(methodEnd),
                     [](char c) { return c >= 'A' && c <= 'Z'; })) {
      break;
    }
    if (head.find("\r\n\r\n") != std::string::npos) {
      complete = true;
      break;
    }
  }

  RecordedRequest request;
  const bool parsed = complete && parseRequestHead(head, request);

  // Take what this request is answered with, all at once.
  ServerFault fault;
  std::shared_ptr<const Body> body;
  fs::path file;
  bool haveFile = false;
  if (parsed) {
    std::lock_guard lock(mutex_);
    ++total_;
    maxInFlight_ = std::max(maxInFlight_, ++inFlight_);
    ++counts_[request.path];
    requests_.push_back(request);
    auto f = faults_.find(request.path);
    if (f == faults_.end()) f = faults_.find("*");
    if (f != faults_.end()) {
      int& uses = faultUses_[f->first];
      if (f->second.times <= 0 || uses < f->second.times) {
        fault = f->second;
        ++uses;
      }
    }
    const auto b = bodies_.find(request.path);
    if (b != bodies_.end()) {
      body = b->second;
    } else {
      for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
        std::string relative;
        if (request.path.compare(0, it->first.size(), it->first) == 0 &&
            relativeFilePath(request.path.substr(it->first.size()), relative)) {
          file = widePath(it->second) / fs::path(std::u8string(relative.begin(), relative.end()));
          haveFile = true;
          break;
        }
      }
    }
  }

  const auto answer = [&]() -> End {
    if (!parsed) {
      const std::string text = complete || head.size() > kMaxRequestHead
                                   ? "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n"
                                     "Connection: close\r\n\r\n"
                                   : std::string();
      sendAll(s, text.data(), text.size());
      return End::Orderly;
    }
    if (fault.resetBeforeAnswer) return End::Reset;
    if (fault.stallBeforeAnswer && !stall(fault.stallMs)) return End::Orderly;

    int status = 200;
    std::uint64_t size = 0;
    std::string statusText;
    std::ifstream in;
    if (fault.status != 0) {
      status = fault.status;
      statusText = std::to_string(status) + " " + reasonPhrase(status) + "\n";
      size = statusText.size();
    } else if (!fault.replacementBody.empty()) {
      statusText = fault.replacementBody;
      size = statusText.size();
    } else if (body) {
      size = body->pattern ? body->patternSize : body->bytes.size();
    } else if (haveFile) {
      std::error_code ec;
      if (fs::is_regular_file(file, ec)) {
        size = fs::file_size(file, ec);
        if (!ec) in.open(file, std::ios::binary);
      }
      if (!in.is_open()) status = 404;
    } else {
      status = 404;
    }
    if (status == 404 && fault.status == 0) {
      statusText = "404 Not Found\n";
      size = statusText.size();
    }
    if (status < 200 || status == 204 || status == 304) {
      statusText.clear();  // answers that never carry a body
      size = 0;
    }
    // The whole content, compressed, is then sent from memory like a status text.
    const bool gzip = fault.gzipWhenAsked && status == 200 && statusText.empty() &&
                      request.header("Accept-Encoding").find("gzip") != std::string::npos;
    if (gzip) {
      std::string content;
      if (body && body->pattern) {
        for (std::uint64_t i = 0; i < size; ++i)
          content.push_back(static_cast<char>(testPatternByte(i)));
      } else if (body) {
        content = body->bytes;
      } else {
        content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      }
      statusText = gzipped(content);
      size = statusText.size();
    }

    const std::string length = fault.endlessChunks ? "\r\nTransfer-Encoding: chunked"
                                                   : "\r\nContent-Length: " + std::to_string(size);
    std::string headers = "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) +
                          length + "\r\nContent-Type: " +
                          (statusText.empty() || gzip ? contentType(request.path) : "text/plain") +
                          "\r\nConnection: close\r\n" + (gzip ? "Content-Encoding: gzip\r\n" : "") +
                          fault.extraHeaders;
    if (!fault.noDate) headers += "Date: " + httpDate(utcNow() + fault.clockOffsetSeconds) + "\r\n";
    for (std::uint64_t n = 0; fault.headerFillerBytes > 0 && n < fault.headerFillerBytes;) {
      const std::string line =
          "X-Filler-" + std::to_string(n) + ": " + std::string(1000, 'f') + "\r\n";
      headers += line;
      n += line.size();
    }
    headers += "\r\n";
    // Sends bytes, in drips when the fault asks for them; false when the client has gone.
    const auto sendPaced = [&](const char* data, std::size_t count, bool drip) {
      if (!drip || fault.dripBytes == 0) return sendAll(s, data, count);
      for (std::size_t at = 0; at < count; at += fault.dripBytes) {
        if (at > 0 && !pause(fault.dripEveryMs)) return false;
        if (!sendAll(s, data + at, std::min<std::size_t>(fault.dripBytes, count - at)))
          return false;
      }
      return true;
    };
    if (!sendPaced(headers.data(), headers.size(), fault.dripHeaders)) return End::Orderly;
    if (request.method == "HEAD") return End::Orderly;
    if (fault.endlessChunks) {
      std::string chunk = "10000\r\n" + std::string(0x10000, 'c') + "\r\n";
      while (sendPaced(chunk.data(), chunk.size(), true)) {
        std::lock_guard lock(mutex_);
        if (stopping_) break;
      }
      return End::Orderly;
    }

    // The body, in pieces that stop at each fault position.
    std::vector<char> chunk(kSendChunk);
    std::uint64_t sent = 0;
    bool stalled = false;
    for (;;) {
      if (fault.resetAfter >= 0 && sent >= static_cast<std::uint64_t>(fault.resetAfter)) {
        return End::Reset;
      }
      if (fault.cutAfter >= 0 && sent >= static_cast<std::uint64_t>(fault.cutAfter)) {
        return End::Orderly;
      }
      if (!stalled && fault.stallAfter >= 0 &&
          sent >= static_cast<std::uint64_t>(fault.stallAfter)) {
        stalled = true;
        if (!stall(fault.stallMs)) return End::Orderly;
      }
      if (sent >= size) break;
      std::uint64_t want = std::min<std::uint64_t>(kSendChunk, size - sent);
      for (const std::int64_t limit :
           {fault.resetAfter, fault.cutAfter, stalled ? -1 : fault.stallAfter}) {
        if (limit >= 0 && static_cast<std::uint64_t>(limit) > sent) {
          want = std::min<std::uint64_t>(want, static_cast<std::uint64_t>(limit) - sent);
        }
      }
      const std::size_t n = static_cast<std::size_t>(want);
      if (!statusText.empty()) {
        std::copy_n(statusText.data() + sent, n, chunk.data());
      } else if (body && body->pattern) {
        for (std::size_t i = 0; i < n; ++i) chunk[i] = static_cast<char>(testPatternByte(sent + i));
      } else if (body) {
        std::copy_n(body->bytes.data() + sent, n, chunk.data());
      } else if (!in.read(chunk.data(), static_cast<std::streamsize>(n))) {
        // The file shrank while being served: end as a truncated answer would.
        return End::Orderly;
      }
      if (sent > 0 && fault.dripBytes > 0 && !pause(fault.dripEveryMs)) return End::Orderly;
      if (!sendPaced(chunk.data(), n, true)) return End::Orderly;
      sent += n;
    }
    if (status == 200) {
      std::lock_guard lock(mutex_);
      ++completed_[request.path];
    }
    if (!fault.extraBytes.empty()) sendAll(s, fault.extraBytes.data(), fault.extraBytes.size());
    return End::Orderly;
  };
  const End end = answer();
  if (parsed) {
    std::lock_guard lock(mutex_);
    --inFlight_;
  }

  if (end == End::Orderly) {
    // The client reads everything sent, then the end of the stream; waiting for its close
    // keeps unread data of ours from turning the end into a reset.
    shutdownSending(s);
    while (receiveSome(s, buffer, sizeof buffer) > 0) {
    }
  }
  std::lock_guard lock(mutex_);
  open_.erase(std::find(open_.begin(), open_.end(), s));
  if (end == End::Reset) {
    resetAndClose(s);
  } else {
    closeSocket(s);
  }
  self->done = true;
}

// ---- pollUntil --------------------------------------------------------------------------

bool pollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}
