// HTTP GET of an absolute URL, the body streamed to a sink chunk by chunk (at most one
// 256 KiB chunk in memory per request). WinHTTP on Windows (http_win.cpp), libcurl on Linux
// (http_posix.cpp); one process-wide session opened by httpOpenSession.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Takes a chunk of the body; returning false stops the transfer.
using DataSink = std::function<bool(const std::uint8_t* bytes, std::uint32_t count)>;

// Opens the one session (user agent "QuillmarkResselLauncher/2.0", proxy, time-outs, TLS 1.2/1.3).
// Without a session every request fails at once with 0.
bool httpOpenSession();
void httpCloseSession();

// 200: the whole body reached the sink; another positive number: the server's status (no body
// read); 0: no answer (bad URL, connection, send, receive or read failure, no session);
// -1: the sink stopped the transfer. noCache adds "Cache-Control: no-cache" and "Pragma: no-cache".
// cancel, when given, stops the transfer once it turns true (result -1): on Linux within about
// a second even while the server sends nothing, so that a stalled server cannot hold up Ctrl+C
// or a closing window for the whole stall time-out; on Windows between WinHTTP's calls.
int HttpGet(const std::wstring& url, const DataSink& sink, bool noCache,
            const std::atomic<bool>* cancel = nullptr);

// Collects the body into out (cleared first); -1 when it would grow beyond maxBytes.
int HttpGetToString(const std::wstring& url, std::uint64_t maxBytes, std::string& out,
                    const std::atomic<bool>* cancel = nullptr);
