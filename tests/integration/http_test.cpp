// The HTTP client (libcurl natively, WinHTTP under Wine) against the fault-injecting test server
// on loopback: results for statuses, bodies, sinks and faults; what reaches the server; large
// and parallel transfers.
#include "base/http.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "formats/utc_time.h"
#include "test_server.h"
#include "test_support.h"

namespace {

constexpr std::uint32_t kChunkLimit = 262144;

// Everything a sink saw.
struct Received {
  std::string bytes;
  int calls = 0;
  std::uint32_t largest = 0;
};

DataSink collectInto(Received& r) {
  return [&r](const std::uint8_t* data, std::uint32_t count) {
    ++r.calls;
    r.largest = std::max(r.largest, count);
    r.bytes.append(reinterpret_cast<const char*>(data), count);
    return true;
  };
}

std::string bytesOf(std::size_t count, char first = 'a') {
  std::string s(count, '\0');
  for (std::size_t i = 0; i < count; ++i) s[i] = static_cast<char>(first + i % 26);
  return s;
}

// A GET with no-cache or without, for its result.
int get(const std::wstring& url, const DataSink& sink, bool noCache) {
  HttpRequest request;
  request.url = url;
  request.noCache = noCache;
  return HttpGet(request, sink).result;
}

class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.ok());
    ASSERT_TRUE(httpOpenSession());
  }
  static void TearDownTestSuite() { httpCloseSession(); }

  TestServer server;
};

TEST_F(HttpTest, StatusOtherThan200IsReturnedAndItsBodyNeverReachesTheSink) {
  server.setStatus("/gone", 404);
  server.setStatus("/busy", 503);
  server.setStatus("/teapot", 418);
  for (const auto& [path, status] :
       std::vector<std::pair<std::string, int>>{{"/gone", 404}, {"/busy", 503}, {"/teapot", 418}}) {
    Received r;
    EXPECT_EQ(get(server.url(path), collectInto(r), false), status) << path;
    EXPECT_EQ(r.calls, 0) << path;
    EXPECT_EQ(server.requestCount(path), 1) << path << ": no retry of its own";
  }
  // A path nobody serves.
  Received r;
  EXPECT_EQ(get(server.url("/nothing/here"), collectInto(r), false), 404);
  EXPECT_EQ(r.calls, 0);
}

TEST_F(HttpTest, WholeBodiesReachTheSinkExactly) {
  server.setBody("/empty", "");
  Received empty;
  EXPECT_EQ(get(server.url("/empty"), collectInto(empty), false), 200);
  EXPECT_EQ(empty.calls, 0) << "an empty body calls no sink";

  const std::string binary = std::string("\0\x01\xff\r\n\r\n", 7) + bytesOf(300000);
  server.setBody("/binary", binary);
  Received r;
  EXPECT_EQ(get(server.url("/binary"), collectInto(r), true), 200);
  EXPECT_EQ(r.bytes, binary);
  EXPECT_LE(r.largest, kChunkLimit);

  // More bytes than Content-Length announced: the announced body, and nothing after it.
  ServerFault overlong;
  overlong.extraBytes = "TRAILING GARBAGE";
  server.setBody("/overlong", "exact body");
  server.setFault("/overlong", overlong);
  Received o;
  EXPECT_EQ(get(server.url("/overlong"), collectInto(o), false), 200);
  EXPECT_EQ(o.bytes, "exact body");
}

TEST_F(HttpTest, BodiesArriveAsSentWithoutDecoding) {
  // Not valid gzip: a client that decoded would fail or alter the bytes.
  const std::string raw = "\x1f\x8b not really compressed";
  ServerFault encoded;
  encoded.extraHeaders = "Content-Encoding: gzip\r\n";
  server.setBody("/file.z", raw);
  server.setFault("/file.z", encoded);
  Received r;
  EXPECT_EQ(get(server.url("/file.z"), collectInto(r), false), 200);
  EXPECT_EQ(r.bytes, raw);
}

// Offered, a compressed body is decoded before the sink, and the cap counts the decoded bytes.
// WinHTTP decodes from Windows 8.1 on; where it cannot (before, and under Wine, which refuses
// the option), nothing is offered and the body comes as it is, which must work just as well.
TEST_F(HttpTest, CompressedTransferIsDecodedWhenOffered) {
  std::string text;
  while (text.size() < 400000)
    text += R"({"p":"data/file)" + std::to_string(text.size()) + R"(.bin"},)";
  ServerFault gzip;
  gzip.gzipWhenAsked = true;
  server.setBody("/m.json", text);
  server.setFault("/m.json", gzip);
  HttpRequest request;
  request.url = server.url("/m.json");
  request.acceptCompressed = true;
  std::string out;
  HttpAnswer answer = HttpGetToString(request, text.size(), out);
  EXPECT_EQ(answer.result, 200);
  EXPECT_EQ(out, text);
  RecordedRequest seen;
  ASSERT_TRUE(server.lastRequest("/m.json", seen));
  EXPECT_EQ(answer.decoded, seen.header("Accept-Encoding").find("gzip") != std::string::npos);
#ifndef _WIN32
  EXPECT_TRUE(answer.decoded);
#endif
  EXPECT_EQ(HttpGetToString(request, text.size() - 1, out).result, -1) << "the decoded size counts";

  // A compressed body cut short is no answer.
  ServerFault cut = gzip;
  cut.cutAfter = 3000;
  server.setFault("/m.json", cut);
  if (answer.decoded) {
    EXPECT_EQ(HttpGetToString(request, text.size(), out).result, 0);
  }

  // Not offered: nothing compressed comes.
  request.acceptCompressed = false;
  server.setFault("/m.json", gzip);
  answer = HttpGetToString(request, text.size(), out);
  EXPECT_EQ(answer.result, 200);
  EXPECT_FALSE(answer.decoded);
  EXPECT_EQ(out, text);
}

TEST_F(HttpTest, SinkRefusalStopsTheTransferWithMinusOne) {
  server.setPatternBody("/big", 4 * 1024 * 1024);
  int calls = 0;
  EXPECT_EQ(get(
                server.url("/big"),
                [&](const std::uint8_t*, std::uint32_t) {
                  ++calls;
                  return false;
                },
                false),
            -1);
  EXPECT_EQ(calls, 1);

  // Refusing a later chunk is the same result.
  std::uint64_t seen = 0;
  EXPECT_EQ(get(
                server.url("/big"),
                [&](const std::uint8_t*, std::uint32_t count) {
                  seen += count;
                  return seen < 1024 * 1024;
                },
                false),
            -1);
  EXPECT_LT(seen, 4u * 1024 * 1024);
}

TEST_F(HttpTest, SinkExceptionPropagatesAndTheClientStaysUsable) {
  server.setBody("/x", bytesOf(1000));
  EXPECT_THROW(
      get(
          server.url("/x"),
          [](const std::uint8_t*, std::uint32_t) -> bool { throw std::runtime_error("full"); },
          false),
      std::runtime_error);
  Received r;
  EXPECT_EQ(get(server.url("/x"), collectInto(r), false), 200);
  EXPECT_EQ(r.bytes, bytesOf(1000));
}

TEST_F(HttpTest, GetToStringHonoursItsCap) {
  server.setBody("/64", bytesOf(64));
  server.setBody("/65", bytesOf(65));
  server.setBody("/0", "");
  std::string out = "left over from before";
  EXPECT_EQ(HttpGetToString(server.url("/64"), 64, out), 200);
  EXPECT_EQ(out, bytesOf(64));
  EXPECT_EQ(HttpGetToString(server.url("/65"), 64, out), -1);
  EXPECT_LE(out.size(), 64u);
  EXPECT_EQ(HttpGetToString(server.url("/65"), 65, out), 200);
  EXPECT_EQ(out, bytesOf(65));
  out = "stale";
  EXPECT_EQ(HttpGetToString(server.url("/0"), 0, out), 200);
  EXPECT_EQ(out, "");
  out = "stale";
  server.setStatus("/64", 404);
  EXPECT_EQ(HttpGetToString(server.url("/64"), 64, out), 404);
  EXPECT_EQ(out, "") << "out is cleared even when nothing arrives";
}

TEST_F(HttpTest, RequestCarriesPortQueryAndHeaders) {
  server.setBody("/patch/manifest.json", "{}");
  Received r;
  // The URL names the server's own (non-default) port; only a client that uses it gets here.
  ASSERT_EQ(get(server.url("/patch/manifest.json?v=2&t=a%20b"), collectInto(r), true), 200);
  RecordedRequest request;
  ASSERT_TRUE(server.lastRequest("/patch/manifest.json", request));
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/patch/manifest.json?v=2&t=a%20b");
  EXPECT_EQ(request.header("Cache-Control"), "no-cache");
  EXPECT_EQ(request.header("Pragma"), "no-cache");
  EXPECT_EQ(request.header("User-Agent"), "QuillmarkResselLauncher/2.0");
  EXPECT_EQ(request.header("Host"), "127.0.0.1:" + std::to_string(server.port()));

  ASSERT_EQ(get(server.url("/patch/manifest.json"), collectInto(r), false), 200);
  ASSERT_TRUE(server.lastRequest("/patch/manifest.json", request));
  EXPECT_EQ(request.target, "/patch/manifest.json");
  EXPECT_FALSE(request.hasHeader("Cache-Control"));
  EXPECT_FALSE(request.hasHeader("Pragma"));
  EXPECT_EQ(request.header("User-Agent"), "QuillmarkResselLauncher/2.0");
}

TEST_F(HttpTest, BodyCutShortOrResetIsNoAnswer) {
  server.setBody("/f", bytesOf(50000));
  ServerFault cut;
  cut.cutAfter = 20000;
  server.setFault("/f", cut);
  Received r1;
  EXPECT_EQ(get(server.url("/f"), collectInto(r1), false), 0);
  EXPECT_LE(r1.bytes.size(), 20000u);

  cut.cutAfter = 0;  // headers only, then an orderly close
  server.setFault("/f", cut);
  Received r2;
  EXPECT_EQ(get(server.url("/f"), collectInto(r2), false), 0);
  EXPECT_EQ(r2.calls, 0);

  ServerFault reset;
  reset.resetAfter = 20000;
  server.setFault("/f", reset);
  Received r3;
  EXPECT_EQ(get(server.url("/f"), collectInto(r3), false), 0);

  reset = ServerFault();
  reset.resetBeforeAnswer = true;
  server.setFault("/f", reset);
  Received r4;
  EXPECT_EQ(get(server.url("/f"), collectInto(r4), false), 0);
  EXPECT_EQ(r4.calls, 0);

  // A short body through HttpGetToString is no answer either, not a short success.
  cut.cutAfter = 10;
  server.setFault("/f", cut);
  std::string out;
  EXPECT_EQ(HttpGetToString(server.url("/f"), 1 << 20, out), 0);
}

TEST_F(HttpTest, UnreachableServersAndUnusableAddressesAreNoAnswer) {
  const std::uint16_t closedPort = unusedLoopbackPort();
  ASSERT_NE(closedPort, 0);
  Received r;
  EXPECT_EQ(get(L"http://127.0.0.1:" + std::to_wstring(closedPort) + L"/patch/manifest.json",
                collectInto(r), true),
            0);

  for (const std::wstring& bad :
       {std::wstring(L""), std::wstring(L"not a url"), std::wstring(L"ftp://127.0.0.1/file"),
        L"127.0.0.1:" + std::to_wstring(server.port()) + L"/x"}) {
    EXPECT_EQ(get(bad, collectInto(r), false), 0) << wideToUtf8(bad);
  }
  EXPECT_EQ(r.calls, 0);
  EXPECT_EQ(server.totalRequests(), 0);

  // A server that goes away.
  server.setBody("/x", "x");
  ASSERT_EQ(get(server.url("/x"), collectInto(r), false), 200);
  const std::wstring address = server.url("/x");
  server.stop();
  EXPECT_EQ(get(address, collectInto(r), false), 0);
}

TEST_F(HttpTest, HttpsAddressMakesASecureRequest) {
  // The plain server cannot speak TLS: a secure request fails, and no plain GET arrives.
  server.setBody("/x", "plain");
  Received r;
  EXPECT_EQ(
      get(L"https://127.0.0.1:" + std::to_wstring(server.port()) + L"/x", collectInto(r), false),
      0);
  EXPECT_EQ(r.calls, 0);
  EXPECT_EQ(server.requestCount("/x"), 0);
}

TEST_F(HttpTest, WithoutASessionEveryRequestFails) {
  server.setBody("/x", "x");
  httpCloseSession();
  Received r;
  EXPECT_EQ(get(server.url("/x"), collectInto(r), false), 0);
  std::string out;
  EXPECT_EQ(HttpGetToString(server.url("/x"), 10, out), 0);
  EXPECT_EQ(server.totalRequests(), 0);
  ASSERT_TRUE(httpOpenSession());
  EXPECT_EQ(get(server.url("/x"), collectInto(r), false), 200);
}

TEST_F(HttpTest, RedirectsAreFollowedToTheirTarget) {
  ServerFault moved;
  moved.status = 302;
  moved.extraHeaders = "Location: /patch/real.json\r\n";
  server.setFault("/patch/old.json", moved);
  server.setBody("/patch/real.json", "the real one");
  Received r;
  EXPECT_EQ(get(server.url("/patch/old.json"), collectInto(r), true), 200);
  EXPECT_EQ(r.bytes, "the real one");
  EXPECT_EQ(server.requestCount("/patch/real.json"), 1);
}

// The server's clock, from the Date of the answer that counts (the last of a redirect), for
// any status; 0 without one.
TEST_F(HttpTest, AnswersTellTheServersClock) {
  constexpr std::int64_t kDays10 = 864000;
  server.setBody("/now", "x");
  ServerFault ahead, none, moved;
  ahead.clockOffsetSeconds = kDays10;
  none.noDate = true;
  moved.status = 302;
  moved.extraHeaders = "Location: /now\r\n";
  moved.clockOffsetSeconds = -kDays10;
  server.setFault("/ahead", ahead);
  server.setFault("/none", none);
  server.setFault("/moved", moved);
  const std::pair<const char*, std::int64_t> cases[] = {
      {"/now", 0}, {"/ahead", kDays10}, {"/moved", 0}, {"/missing", 0}};
  for (const auto& [path, offset] : cases) {
    Received r;
    HttpRequest request;
    request.url = server.url(path);
    const std::int64_t before = utcNow();
    const HttpAnswer answer = HttpGet(request, collectInto(r));
    EXPECT_GE(answer.serverTime, before + offset - 2) << path;
    EXPECT_LE(answer.serverTime, utcNow() + offset + 2) << path;
  }
  Received r;
  HttpRequest request;
  request.url = server.url("/none");
  const HttpAnswer answer = HttpGet(request, collectInto(r));
  EXPECT_EQ(answer.result, 404);
  EXPECT_EQ(answer.serverTime, 0);
}

TEST_F(HttpTest, LargeBodyIsStreamedInBoundedChunks) {
  const std::uint64_t size = 64ull * 1024 * 1024 + 12345;
  server.setPatternBody("/files/ab/big.z", size);
  std::uint64_t offset = 0;
  std::uint64_t wrongAt = ~0ull;
  std::uint32_t largest = 0;
  const int result = get(
      server.url("/files/ab/big.z"),
      [&](const std::uint8_t* data, std::uint32_t count) {
        largest = std::max(largest, count);
        for (std::uint32_t i = 0; i < count && wrongAt == ~0ull; ++i) {
          if (data[i] != testPatternByte(offset + i)) wrongAt = offset + i;
        }
        offset += count;
        return true;
      },
      false);
  EXPECT_EQ(result, 200);
  EXPECT_EQ(offset, size);
  EXPECT_EQ(wrongAt, ~0ull) << "first wrong byte at " << wrongAt;
  EXPECT_LE(largest, kChunkLimit);
  EXPECT_GT(largest, 0u);
}

TEST_F(HttpTest, ParallelRequestsEachGetTheirOwnBody) {
  constexpr int kThreads = 4;
  constexpr int kRequests = 12;
  for (int t = 0; t < kThreads; ++t) {
    server.setPatternBody("/p" + std::to_string(t), 300000 + 4099 * t);
  }
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::uint64_t size = 300000 + 4099 * t;
      for (int i = 0; i < kRequests; ++i) {
        std::uint64_t offset = 0;
        bool same = true;
        const int result = get(
            server.url("/p" + std::to_string(t)),
            [&](const std::uint8_t* d, std::uint32_t n) {
              for (std::uint32_t k = 0; k < n; ++k) {
                same = same && d[k] == testPatternByte(offset + k);
              }
              offset += n;
              return true;
            },
            true);
        if (result != 200 || offset != size || !same) ++failures;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(server.totalRequests(), kThreads * kRequests);
}

// The test server's own promises that other tests rely on.

TEST_F(HttpTest, ServerFailsTheFirstRequestsThenServes) {
  ServerFault flaky;
  flaky.status = 503;
  flaky.times = 2;
  server.setFault("/patch/manifest.sig", flaky);
  server.setBody("/patch/manifest.sig", std::string(64, 's'));
  std::string out;
  EXPECT_EQ(HttpGetToString(server.url("/patch/manifest.sig"), 64, out), 503);
  EXPECT_EQ(HttpGetToString(server.url("/patch/manifest.sig"), 64, out), 503);
  EXPECT_EQ(HttpGetToString(server.url("/patch/manifest.sig"), 64, out), 200);
  EXPECT_EQ(out, std::string(64, 's'));
  EXPECT_EQ(server.requestCount("/patch/manifest.sig"), 3);

  // "*" covers every path without a fault of its own.
  server.setStatus("*", 500);
  server.setBody("/other", "o");
  EXPECT_EQ(HttpGetToString(server.url("/other"), 64, out), 500);
  server.clearFaults();
  EXPECT_EQ(HttpGetToString(server.url("/other"), 64, out), 200);
}

TEST_F(HttpTest, ServerServesAFolderAndNothingOutsideIt) {
  TempDir release;
  release.write("manifest.json", "{\"version\":\"1\"}");
  release.write("files/ab/abcdef.z", bytesOf(70000));
  release.write("secret.txt", "not under the served folder");
  TempDir outside;
  outside.write("secret.txt", "private");
  server.serveFolder(release.path());

  std::string out;
  EXPECT_EQ(HttpGetToString(server.patchUrl() + L"manifest.json", 1 << 20, out), 200);
  EXPECT_EQ(out, "{\"version\":\"1\"}");
  EXPECT_EQ(HttpGetToString(server.patchUrl() + L"files/ab/abcdef.z", 1 << 20, out), 200);
  EXPECT_EQ(out, bytesOf(70000));
  EXPECT_EQ(HttpGetToString(server.patchUrl() + L"files/ab/missing.z", 1 << 20, out), 404);
  EXPECT_EQ(HttpGetToString(server.patchUrl() + L"files/ab", 1 << 20, out), 404) << "a folder";
  // Encoded dot segments reach the server undecoded by the client; it refuses them.
  EXPECT_EQ(HttpGetToString(server.patchUrl() + L"%2e%2e/secret.txt", 1 << 20, out), 404);
  EXPECT_EQ(HttpGetToString(server.url("/secret.txt"), 1 << 20, out), 404);
}

TEST_F(HttpTest, ServerHoldsManyConnectionsInAStallUntilReleased) {
  constexpr int kClients = 16;
  ServerFault hold;
  hold.stallAfter = 1000;  // headers and the first 1000 bytes, then wait
  server.setFault("/slow", hold);
  server.setPatternBody("/slow", 5000);
  std::atomic<int> ok{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&] {
      std::uint64_t n = 0;
      if (get(
              server.url("/slow"),
              [&](const std::uint8_t*, std::uint32_t c) {
                n += c;
                return true;
              },
              false) == 200 &&
          n == 5000) {
        ++ok;
      }
    });
  }
  EXPECT_TRUE(pollUntil([&] { return server.stalledCount() == kClients; }));
  EXPECT_EQ(ok.load(), 0) << "nobody finishes while the server holds the answers";
  server.releaseStalls();
  for (auto& c : clients) c.join();
  EXPECT_EQ(ok.load(), kClients);
  EXPECT_TRUE(pollUntil([&] { return server.openConnections() == 0; }));
}

// Takes the full 30 s receive time-out of the session: a server that stops sending mid-body
// must end in "no answer", not hang the update thread.
TEST_F(HttpTest, StalledBodyEndsAsNoAnswerAfterTheReceiveTimeOut) {
  ServerFault hold;
  hold.stallAfter = 1000;
  server.setFault("/stuck", hold);
  server.setPatternBody("/stuck", 5000);
  const auto start = std::chrono::steady_clock::now();
  Received r;
  EXPECT_EQ(get(server.url("/stuck"), collectInto(r), false), 0);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::seconds(25));
  EXPECT_LT(waited, std::chrono::seconds(90));
  EXPECT_LE(r.bytes.size(), 1000u);
}

}  // namespace
