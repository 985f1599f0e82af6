// HTTP GET of an absolute URL, the body streamed to a sink chunk by chunk (at most one receive
// buffer in memory per request: 256 KiB with WinHTTP, 128 KiB with libcurl). WinHTTP on Windows
// (http_win.cpp), libcurl on Linux (http_posix.cpp); one process-wide session opened by
// httpOpenSession.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Takes a chunk of the body; returning false stops the transfer.
using DataSink = std::function<bool(const std::uint8_t* bytes, std::uint32_t count)>;

// The slowest a transfer may be: one that receives fewer than bytesPerSecond on average over
// a whole window is given up as no answer (0), like a stalled one. A server that drips a byte
// a second would otherwise hold a run for ever (the stall rule only sees silence). The floor,
// 1 KiB/s over 60 s, is a sixty-fourth of a slow 64 KiB/s line: the thirty-two downloads
// that a run keeps in flight share such a line at 2 KiB/s each and always finish. The window counts
// from the request, so it also bounds an answer whose headers drip.
struct TransferFloor {
  std::uint32_t bytesPerSecond = 1024;
  std::uint32_t windowMs = 60000;
};
// Changes the floor for every later request (tests use a short window).
void httpSetTransferFloor(const TransferFloor& floor);
TransferFloor httpTransferFloor();

// Tracks one transfer against the floor, in tumbling windows from its start.
class FloorCheck {
 public:
  FloorCheck(const TransferFloor& floor, std::uint64_t startMs);
  // receivedBytes so far, at nowMs; false once a whole window has passed below the floor.
  bool keepsUp(std::uint64_t receivedBytes, std::uint64_t nowMs);

 private:
  TransferFloor floor_;
  std::uint64_t windowStartMs_;
  std::uint64_t windowStartBytes_ = 0;
};
// A monotonic clock in milliseconds for the checks.
std::uint64_t steadyMs();

// Opens the one session (user agent "QuillmarkResselLauncher/2.0", proxy, time-outs, TLS 1.2/1.3).
// Without a session every request fails at once with 0.
bool httpOpenSession();
void httpCloseSession();

// Trusts the certificate authorities in a PEM file (path) instead of the system's, for every
// later request: a studio whose patch servers hold certificates from a private authority.
// "" goes back to the system's. libcurl only: WinHTTP trusts only the Windows certificate
// store, where such an authority is installed instead (false there, and for a file that
// cannot be read).
bool httpSetCaFile(const std::wstring& path);

// One GET: what to ask for and how.
struct HttpRequest {
  // An absolute http or https address.
  std::wstring url;
  // Adds "Cache-Control: no-cache" and "Pragma: no-cache", so that no cache on the way answers
  // with an old copy (the manifest and its signature).
  bool noCache = false;
  // Offers a compressed transfer (Accept-Encoding); the sink then receives the decoded bytes,
  // so that its size cap and any check apply to the content itself. Without it the body
  // reaches the sink exactly as sent (the files, which the callers inflate and hash
  // themselves). Where the system cannot decode (WinHTTP before Windows 8.1) nothing is
  // offered and the answer comes uncompressed.
  bool acceptCompressed = false;
  // When given, stops the transfer once it turns true (result -1): on Linux within about a
  // second even while the server sends nothing, so that a stalled server cannot hold up
  // Ctrl+C or a closing window for the whole stall time-out; on Windows between WinHTTP's calls.
  const std::atomic<bool>* cancel = nullptr;
};

// Why a server's TLS certificate was refused.
enum class CertificateRefusal {
  None,
  // Not issued by an authority this machine trusts (self-signed, an unknown authority).
  Untrusted,
  // Issued for another host name.
  WrongHost,
  // Expired or not yet valid.
  Expired,
  // The TLS handshake failed without saying why (Wine's WinHTTP loses the reason).
  Unexplained,
};

// What came back.
struct HttpAnswer {
  // 200: the whole body reached the sink; another positive number: the server's status (no
  // body read); 0: no answer (bad URL, connection, send, receive or read failure, no session);
  // -1: the sink or the cancel flag stopped the transfer. A transfer below the floor
  // (TransferFloor), and an answer whose headers pass 256 KiB, are no answer.
  int result = 0;
  // The server's clock: the final answer's Date header in seconds since 1970 (UTC); 0 when it
  // sent none that could be read.
  std::int64_t serverTime = 0;
  // The body came with a Content-Encoding and was decoded before it reached the sink.
  bool decoded = false;
  // With result 0: the server's certificate was refused, and why.
  CertificateRefusal certificate = CertificateRefusal::None;
};

HttpAnswer HttpGet(const HttpRequest& request, const DataSink& sink);

// Collects the body into out (cleared first); result -1 when it would grow beyond maxBytes.
HttpAnswer HttpGetToString(const HttpRequest& request, std::uint64_t maxBytes, std::string& out);
// The same with no-cache, for the result alone.
int HttpGetToString(const std::wstring& url, std::uint64_t maxBytes, std::string& out,
                    const std::atomic<bool>* cancel = nullptr);
