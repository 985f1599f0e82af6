// HTTP client on WinHTTP: one session for the process, a connection and a request handle
// per call, so that calls may run in parallel on the update thread and its workers.
//
// Sections: session, handles, HttpGet.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cwchar>
#include <memory>

#include "base/http.h"

namespace {

constexpr const wchar_t* kUserAgent = L"QuillmarkResselLauncher/2.0";
constexpr DWORD kReceiveBufferBytes = 262144;
constexpr DWORD kTls12And13 =
    WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
constexpr DWORD kTls12 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
constexpr DWORD kHostChars = 256;
constexpr DWORD kPathChars = 2048;
// All header lines of an answer together, as on every platform.
constexpr DWORD kMaxHeaderBytes = 262144;

HINTERNET g_session = nullptr;

// Closes a WinHTTP handle when it goes out of scope, on every path including exceptions
// thrown by a sink.
struct InternetHandle {
  HINTERNET handle = nullptr;
  explicit InternetHandle(HINTERNET h) : handle(h) {}
  ~InternetHandle() {
    if (handle) WinHttpCloseHandle(handle);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
};

// The announced Content-Length; false when the answer has none (or an unreadable one).
bool contentLength(HINTERNET request, unsigned long long& out) {
  wchar_t text[32] = {};
  DWORD size = sizeof text;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                           text, &size, WINHTTP_NO_HEADER_INDEX)) {
    return false;
  }
  out = 0;
  const wchar_t* p = text;
  if (*p < L'0' || *p > L'9') return false;
  for (; *p >= L'0' && *p <= L'9'; ++p) {
    if (out > (~0ull - 9) / 10) return false;
    out = out * 10 + static_cast<unsigned long long>(*p - L'0');
  }
  return *p == L'\0';
}

// Whether the answer's header lines stay within the limit. The limit is also set as an option
// before the request, but Wine ignores it, so what arrived is measured as well.
bool headersWithinLimit(HINTERNET request) {
  DWORD size = 0;
  if (WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                          WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX)) {
    return true;
  }
  return GetLastError() == ERROR_INSUFFICIENT_BUFFER && size / sizeof(wchar_t) <= kMaxHeaderBytes;
}

// Whether the answer names a Content-Encoding other than identity.
bool contentEncoded(HINTERNET request) {
  wchar_t text[64] = {};
  DWORD size = sizeof text;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_ENCODING, WINHTTP_HEADER_NAME_BY_INDEX,
                           text, &size, WINHTTP_NO_HEADER_INDEX)) {
    // An encoding too long for the buffer is an encoding all the same.
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
  }
  return text[0] != L'\0' && _wcsicmp(text, L"identity") != 0;
}

// The answer's Date header in seconds since 1970 (UTC); 0 when there is none to read.
std::int64_t serverTime(HINTERNET request) {
  wchar_t text[64] = {};
  DWORD size = sizeof text;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_DATE, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    return 0;
  }
  SYSTEMTIME time{};
  FILETIME file{};
  if (!WinHttpTimeToSystemTime(text, &time) || !SystemTimeToFileTime(&time, &file)) return 0;
  const unsigned long long ticks =
      (static_cast<unsigned long long>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
  // FILETIME counts 100 ns from 1601; 11644473600 s lie between 1601 and 1970.
  const long long seconds = static_cast<long long>(ticks / 10000000ull) - 11644473600ll;
  return seconds > 0 ? seconds : 0;
}

}  // namespace

// ---- session ------------------------------------------------------------------------------

bool httpOpenSession() {
  if (g_session) return true;
  HINTERNET session = WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                  WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  // Before Windows 8.1 the automatic proxy type does not exist.
  if (!session) {
    session = WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                          WINHTTP_NO_PROXY_BYPASS, 0);
  }
  if (!session) return false;
  WinHttpSetTimeouts(session, 10000, 15000, 20000, 30000);
  // Windows 7 and 8 know no TLS 1.3 and refuse the pair; TLS 1.2 alone is the floor.
  DWORD protocols = kTls12And13;
  if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
    protocols = kTls12;
    WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
  }
  g_session = session;
  return true;
}

void httpCloseSession() {
  if (!g_session) return;
  WinHttpCloseHandle(g_session);
  g_session = nullptr;
}

bool httpSetCaFile(const std::wstring& path) { return path.empty(); }

// ---- HttpGet ------------------------------------------------------------------------------

namespace {

// What a refused certificate's flags (from the secure-failure notice) or error code mean.
CertificateRefusal refusalOf(DWORD flags, DWORD error) {
  if ((flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID) ||
      error == ERROR_WINHTTP_SECURE_CERT_DATE_INVALID) {
    return CertificateRefusal::Expired;
  }
  if ((flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID) ||
      error == ERROR_WINHTTP_SECURE_CERT_CN_INVALID) {
    return CertificateRefusal::WrongHost;
  }
  if (flags != 0 || error == ERROR_WINHTTP_SECURE_INVALID_CA) return CertificateRefusal::Untrusted;
  if (error == ERROR_WINHTTP_SECURE_FAILURE || error == ERROR_WINHTTP_SECURE_CHANNEL_ERROR) {
    return CertificateRefusal::Unexplained;
  }
  return CertificateRefusal::None;
}

// Keeps the flags of a secure-failure notice, which WinHTTP sends (on the calling thread, for
// a synchronous request) before the call fails with ERROR_WINHTTP_SECURE_FAILURE.
void CALLBACK onSecureFailure(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                              DWORD length) {
  if (status == WINHTTP_CALLBACK_STATUS_SECURE_FAILURE && info && length >= sizeof(DWORD)) {
    *reinterpret_cast<DWORD*>(context) |= *static_cast<DWORD*>(info);
  }
}

// The transfer of HttpGet, which only turns its result into an answer.
int transfer(const HttpRequest& r, const DataSink& sink, HttpAnswer& answer) {
  if (!g_session) return 0;
  const std::atomic<bool>* cancel = r.cancel;
  auto cancelled = [cancel] { return cancel != nullptr && cancel->load(); };
  const std::wstring& url = r.url;

  wchar_t host[kHostChars] = {};
  wchar_t path[kPathChars] = {};
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = kHostChars;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = kPathChars;
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);  // a pointer into url
  if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return 0;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return 0;
  std::wstring requestPath(path, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo && parts.dwExtraInfoLength > 0) {
    requestPath.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }
  const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;

  InternetHandle connection(WinHttpConnect(g_session, host, parts.nPort, 0));
  if (!connection.handle) return 0;
  InternetHandle request(WinHttpOpenRequest(connection.handle, L"GET", requestPath.c_str(), nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            flags));
  if (!request.handle) return 0;
  // The floor's window (TransferFloor) counts from here; headers that do not arrive within one
  // window are no answer, whatever pace they drip at.
  const TransferFloor floorSettings = httpTransferFloor();
  FloorCheck floor(floorSettings, steadyMs());
  DWORD headerTimeoutMs = floorSettings.windowMs;
  WinHttpSetOption(request.handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headerTimeoutMs,
                   sizeof headerTimeoutMs);
  DWORD maxHeaderBytes = kMaxHeaderBytes;
  WinHttpSetOption(request.handle, WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE, &maxHeaderBytes,
                   sizeof maxHeaderBytes);

  // WinHTTP then sends Accept-Encoding itself and decodes the body. Before Windows 8.1 the
  // option is refused (and by Wine): nothing is offered and the body comes as it is.
  DWORD decompression = WINHTTP_DECOMPRESSION_FLAG_ALL;
  const bool decoding =
      r.acceptCompressed && WinHttpSetOption(request.handle, WINHTTP_OPTION_DECOMPRESSION,
                                             &decompression, sizeof decompression);

  DWORD secureFailure = 0;
  DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&secureFailure);
  WinHttpSetOption(request.handle, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
  WinHttpSetStatusCallback(request.handle, onSecureFailure, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE,
                           0);
  // A secure address never leads to a plain one (WinHTTP's default, made explicit).
  DWORD redirects = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
  WinHttpSetOption(request.handle, WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof redirects);

  const wchar_t* headers = r.noCache ? L"Cache-Control: no-cache\r\nPragma: no-cache\r\n"
                                     : WINHTTP_NO_ADDITIONAL_HEADERS;
  if (!WinHttpSendRequest(request.handle, headers, r.noCache ? static_cast<DWORD>(-1) : 0,
                          WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.handle, nullptr)) {
    const DWORD error = GetLastError();
    if (cancelled()) return -1;
    answer.certificate = refusalOf(secureFailure, error);
    return 0;
  }
  if (cancelled()) return -1;
  // Headers that took longer than the floor's window are no answer, even where the response
  // time-out was only applied to each wait for the next bytes (as Wine does).
  if (!headersWithinLimit(request.handle) || !floor.keepsUp(0, steadyMs())) return 0;
  answer.serverTime = serverTime(request.handle);

  DWORD status = 0;
  DWORD statusSize = sizeof status;
  if (!WinHttpQueryHeaders(request.handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                           WINHTTP_NO_HEADER_INDEX)) {
    status = 0;
  }
  if (status != 200) return static_cast<int>(status);

  // A decoded body is longer than the Content-Length, which counts the encoded bytes; its
  // end is the end of the stream, and a stream cut short does not decode.
  answer.decoded = decoding && contentEncoded(request.handle);
  unsigned long long announced = 0;
  const bool haveLength = !answer.decoded && contentLength(request.handle, announced);
  const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kReceiveBufferBytes]);
  unsigned long long received = 0;
  for (;;) {
    // The body is what Content-Length announced: bytes a server sends after it are none of it
    // (Wine may count them as available).
    if (haveLength && received >= announced) break;
    // What has arrived, waiting only for the first byte of it: a read of the whole buffer may
    // wait until the buffer is full, which a server that drips would never let happen.
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request.handle, &available)) return cancelled() ? -1 : 0;
    if (cancelled()) return -1;
    if (available == 0) break;
    DWORD want = std::min(available, kReceiveBufferBytes);
    if (haveLength)
      want = static_cast<DWORD>(std::min<unsigned long long>(want, announced - received));
    DWORD read = 0;
    if (!WinHttpReadData(request.handle, buffer.get(), want, &read)) {
      return cancelled() ? -1 : 0;
    }
    if (cancelled()) return -1;
    if (read == 0) break;
    received += read;
    if (!sink(buffer.get(), read)) return -1;
    if (!floor.keepsUp(received, steadyMs())) return 0;
  }
  // A connection closed in order before the announced length is a lost answer, not a
  // complete one: a truncated body must never count as success.
  if (haveLength && received < announced) return 0;
  return 200;
}

}  // namespace

HttpAnswer HttpGet(const HttpRequest& request, const DataSink& sink) {
  HttpAnswer answer;
  answer.result = transfer(request, sink, answer);
  return answer;
}
