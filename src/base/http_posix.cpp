// HTTP client on libcurl. The session is a curl share (DNS and TLS session caches) plus a
// small pool of idle easy handles, so that the download workers reuse their connections the
// way one WinHTTP session does on Windows. Each request takes a handle of its own.
//
// Sections: session, one transfer (callbacks), HttpGet.
#include <curl/curl.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <vector>

#include "base/http.h"
#include "base/text.h"

namespace {

constexpr const char* kUserAgent = "QuillmarkResselLauncher/2.0";
// libcurl's receive buffer, one per transfer: 128 KiB keeps 32 transfers in flight within a few
// MiB, and loopback still reaches its speed.
constexpr long kReceiveBufferBytes = 131072;
constexpr long kConnectTimeoutMs = 15000;
// A transfer that moves less than one byte per second for this long has stalled: the same
// 30 s that bound each receive on Windows.
constexpr long kStallSeconds = 30;
constexpr long kMaxRedirects = 10;
// All header lines of an answer (and of the redirects before it) together; nothing a patch
// server sends comes near it, and a server that sends more is no patch server.
constexpr std::size_t kMaxHeaderBytes = 262144;
// Idle handles kept for reuse: the download phase's thirty-two transfers and the few requests
// beside them, so that each transfer finds a handle whose connection is still open.
constexpr std::size_t kMaxIdleHandles = 36;

// ---- session ------------------------------------------------------------------------------

struct Session {
  CURLSH* share = nullptr;
  std::mutex shareLocks[CURL_LOCK_DATA_LAST];
  std::mutex poolMutex;
  std::vector<CURL*> idle;
};

Session* g_session = nullptr;

// The PEM file of authorities to trust instead of the system's; "" for the system's.
std::mutex g_caMutex;
std::string g_caFile;

std::string caFile() {
  std::lock_guard<std::mutex> lock(g_caMutex);
  return g_caFile;
}

// OpenSSL's verification results that mean a certificate outside its validity dates, and one
// for another host name; any other failed verification is an untrusted chain. libcurl checks
// the name itself before it reads the chain's result, which until then stands at 1.
constexpr long kNameCheckedFirst = 1;
constexpr long kX509NotYetValid = 9;
constexpr long kX509Expired = 10;
constexpr long kX509HostMismatch = 62;

CertificateRefusal certificateRefusal(CURL* easy, CURLcode result) {
  // A handshake that fails before any certificate is judged (a server that does not speak TLS
  // on that port) is reported as WinHTTP reports it, so both transports say the same.
  if (result == CURLE_SSL_CONNECT_ERROR) return CertificateRefusal::Unexplained;
  if (result != CURLE_PEER_FAILED_VERIFICATION) return CertificateRefusal::None;
  long verify = 0;
  if (curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify) != CURLE_OK) verify = -1;
  if (verify == kX509NotYetValid || verify == kX509Expired) return CertificateRefusal::Expired;
  if (verify == kNameCheckedFirst || verify == kX509HostMismatch) {
    return CertificateRefusal::WrongHost;
  }
  return CertificateRefusal::Untrusted;
}

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<Session*>(user)->shareLocks[data].lock();
}

void unlockShare(CURL*, curl_lock_data data, void* user) {
  static_cast<Session*>(user)->shareLocks[data].unlock();
}

CURL* takeHandle(Session& session) {
  {
    std::lock_guard lock(session.poolMutex);
    if (!session.idle.empty()) {
      CURL* easy = session.idle.back();
      session.idle.pop_back();
      // Keeps the handle's open connections, forgets every option of the last request.
      curl_easy_reset(easy);
      return easy;
    }
  }
  return curl_easy_init();
}

void returnHandle(Session& session, CURL* easy) {
  {
    std::lock_guard lock(session.poolMutex);
    if (session.idle.size() < kMaxIdleHandles) {
      session.idle.push_back(easy);
      return;
    }
  }
  curl_easy_cleanup(easy);
}

// ---- one transfer -------------------------------------------------------------------------

struct Transfer {
  CURL* easy = nullptr;
  const DataSink* sink = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  FloorCheck floor{httpTransferFloor(), steadyMs()};
  std::uint64_t headerBytes = 0;
  std::uint64_t bodyBytes = 0;
  long refusedStatus = 0;  // a final answer other than 200, stopped before its body
  bool sinkStopped = false;
  bool noAnswer = false;        // below the floor, or headers beyond their cap
  std::int64_t serverTime = 0;  // the Date header of the latest answer
  bool encoded = false;         // the latest answer named a Content-Encoding
  std::exception_ptr sinkError;
};

long responseCode(CURL* easy) {
  long code = 0;
  if (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK) return 0;
  return code;
}

bool startsWithNoCase(const std::string& text, const char* prefix) {
  for (std::size_t i = 0; prefix[i] != '\0'; ++i) {
    if (i >= text.size()) return false;
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// The value of a header line, without the name, the blanks around it and the line end.
std::string headerValue(const std::string& line, std::size_t nameLength) {
  std::size_t begin = nameLength;
  std::size_t end = line.size();
  while (begin < end && (line[begin] == ' ' || line[begin] == '\t')) ++begin;
  while (end > begin && (line[end - 1] == '\r' || line[end - 1] == '\n' || line[end - 1] == ' ' ||
                         line[end - 1] == '\t')) {
    --end;
  }
  return line.substr(begin, end - begin);
}

// A status line starts the head of another answer (after a redirect or an interim one), whose
// headers are the ones that count; a Date line is read with curl's parser of HTTP dates.
void noteHeader(Transfer& t, const std::string& line) {
  if (startsWithNoCase(line, "http/")) {
    t.serverTime = 0;
    t.encoded = false;
  } else if (startsWithNoCase(line, "date:")) {
    const time_t parsed = curl_getdate(headerValue(line, 5).c_str(), nullptr);
    t.serverTime = parsed > 0 ? static_cast<std::int64_t>(parsed) : 0;
  } else if (startsWithNoCase(line, "content-encoding:")) {
    const std::string value = headerValue(line, 17);
    t.encoded = !value.empty() && !startsWithNoCase(value, "identity");
  }
}

// Sees every header line; at the blank line that ends a final answer other than 200 it stops
// the transfer, so that no byte of that body is read. Interim (1xx) answers and redirects
// (3xx, which curl follows when they name a Location) pass.
size_t onHeader(char* data, size_t size, size_t count, void* user) {
  const size_t length = size * count;
  auto* t = static_cast<Transfer*>(user);
  t->headerBytes += length;
  if (t->headerBytes > kMaxHeaderBytes) {
    t->noAnswer = true;
    return 0;
  }
  const bool endOfHead =
      (length == 2 && data[0] == '\r' && data[1] == '\n') || (length == 1 && data[0] == '\n');
  if (!endOfHead) {
    noteHeader(*t, std::string(data, length));
    return length;
  }
  const long code = responseCode(t->easy);
  if (code == 200 || (code >= 100 && code < 200) || (code >= 300 && code < 400)) return length;
  t->refusedStatus = code;
  return 0;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  const size_t length = size * count;
  auto* t = static_cast<Transfer*>(user);
  const long code = responseCode(t->easy);
  if (code != 200) {
    // A 3xx that curl does not follow (no Location) arrives here with its body.
    t->refusedStatus = code;
    return 0;
  }
  if (length == 0) return 0;
  t->bodyBytes += length;
  try {
    // length is at most the receive buffer (128 KiB), so it fits the sink's 32-bit count.
    if (!(*t->sink)(reinterpret_cast<const std::uint8_t*>(data),
                    static_cast<std::uint32_t>(length))) {
      t->sinkStopped = true;
      return 0;
    }
  } catch (...) {
    // An exception must not cross libcurl's C frames: stop here, rethrow after clean-up.
    t->sinkError = std::current_exception();
    return 0;
  }
  return length;
}

// Called by curl often while data flows and about once a second while it does not: the only
// place where a stalled transfer can notice that it is no longer wanted, or too slow.
int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (t->cancel != nullptr && t->cancel->load()) {
    t->sinkStopped = true;
    return 1;
  }
  if (!t->floor.keepsUp(t->headerBytes + t->bodyBytes, steadyMs())) {
    t->noAnswer = true;
    return 1;
  }
  return 0;
}

}  // namespace

bool httpOpenSession() {
  if (g_session) return true;
  if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return false;
  auto* session = new Session;
  session->share = curl_share_init();
  if (!session->share ||
      curl_share_setopt(session->share, CURLSHOPT_LOCKFUNC, lockShare) != CURLSHE_OK ||
      curl_share_setopt(session->share, CURLSHOPT_UNLOCKFUNC, unlockShare) != CURLSHE_OK ||
      curl_share_setopt(session->share, CURLSHOPT_USERDATA, session) != CURLSHE_OK ||
      curl_share_setopt(session->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS) != CURLSHE_OK ||
      curl_share_setopt(session->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION) !=
          CURLSHE_OK) {
    if (session->share) curl_share_cleanup(session->share);
    delete session;
    curl_global_cleanup();
    return false;
  }
  g_session = session;
  return true;
}

void httpCloseSession() {
  Session* session = g_session;
  if (!session) return;
  g_session = nullptr;
  // The idle handles refer to the share, so they go first.
  for (CURL* easy : session->idle) curl_easy_cleanup(easy);
  curl_share_cleanup(session->share);
  delete session;
  curl_global_cleanup();
}

bool httpSetCaFile(const std::wstring& path) {
  const std::string file = wideToUtf8(path);
  if (!file.empty()) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
  }
  std::lock_guard<std::mutex> lock(g_caMutex);
  g_caFile = file;
  return true;
}

HttpAnswer HttpGet(const HttpRequest& request, const DataSink& sink) {
  HttpAnswer answer;
  Session* session = g_session;
  if (!session) return answer;
  // Only absolute http and https addresses; curl would otherwise guess a scheme.
  const std::string address = wideToUtf8(request.url);
  if (!startsWithNoCase(address, "http://") && !startsWithNoCase(address, "https://")) {
    return answer;
  }

  CURL* easy = takeHandle(*session);
  if (!easy) return answer;
  curl_slist* headers = nullptr;
  if (request.noCache) {
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    if (headers) {
      curl_slist* more = curl_slist_append(headers, "Pragma: no-cache");
      if (!more) {
        curl_slist_free_all(headers);
        headers = nullptr;
      }
    }
    if (!headers) {
      returnHandle(*session, easy);
      return answer;
    }
  }

  Transfer t;
  t.easy = easy;
  t.sink = &sink;
  t.cancel = request.cancel;
  curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
  curl_easy_setopt(easy, CURLOPT_SHARE, session->share);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  // A secure address never leads to a plain one: a redirect from https to http is refused.
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR,
                   startsWithNoCase(address, "https://") ? "https" : "http,https");
  const std::string authorities = caFile();
  if (!authorities.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, authorities.c_str());
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(easy, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  if (request.acceptCompressed) {
    // "": every encoding this libcurl can decode, which it then decodes.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
  } else {
    // Bodies reach the sink exactly as sent: the callers hash and inflate them themselves.
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  }
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  if (headers) curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);

  const CURLcode result = curl_easy_perform(easy);
  const long finalCode = responseCode(easy);
  answer.certificate = certificateRefusal(easy, result);

  // The header list must outlive the transfer; the handle drops its reference on reset.
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(headers);
  returnHandle(*session, easy);
  answer.serverTime = t.serverTime;
  answer.decoded = request.acceptCompressed && t.encoded;

  if (t.sinkError) std::rethrow_exception(t.sinkError);
  if (t.sinkStopped) {
    answer.result = -1;
  } else if (t.noAnswer) {
    answer.result = 0;
  } else if (t.refusedStatus > 0) {
    answer.result = static_cast<int>(t.refusedStatus);
  } else if (result == CURLE_OK && finalCode > 0) {
    answer.result = static_cast<int>(finalCode);
  }
  // Anything short of a complete transfer (connection lost, reset, a body shorter than its
  // Content-Length, a stream that does not decode, a stall) is no answer, never a success.
  return answer;
}
