// The HTTP client against nginx (Linux): a release folder served as a CDN or web server would
// serve it, with keep-alive connections, sendfile and its own idea of headers.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/http.h"
#include "nginx_fixture.h"
#include "test_support.h"

namespace {

std::string filler(std::size_t count, unsigned seed) {
  std::string s(count, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (char& c : s) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

TEST(HttpNginxTest, FetchesAReleaseFolderFromNginx) {
  ASSERT_TRUE(NginxServer::available()) << "nginx is not installed (scripts/deps.sh)";
  ASSERT_TRUE(httpOpenSession());
  TempDir release;
  const std::string manifest = "{\"version\":\"7\",\"files\":[]}";
  release.write("manifest.json", manifest);
  release.write("manifest.sig", filler(64, 1));
  for (unsigned i = 0; i < 8; ++i) {
    release.write("files/a" + std::to_string(i) + "/f" + std::to_string(i) + ".z",
                  filler(300000 + i * 777, i));
  }

  NginxServer nginx;
  ASSERT_TRUE(nginx.start(release.path())) << nginx.error();

  std::string out;
  EXPECT_EQ(HttpGetToString(nginx.patchUrl() + L"manifest.json", 32 << 20, out), 200);
  EXPECT_EQ(out, manifest);
  EXPECT_EQ(HttpGetToString(nginx.patchUrl() + L"manifest.sig", 64, out), 200);
  EXPECT_EQ(out, filler(64, 1));
  EXPECT_EQ(HttpGetToString(nginx.patchUrl() + L"files/zz/missing.z", 1 << 20, out), 404);
  EXPECT_EQ(HttpGetToString(nginx.patchUrl() + L"manifest.json", 10, out), -1);

  // A large manifest comes compressed when that is offered, and decoded to its exact bytes.
  std::string large = "[";
  while (large.size() < 300000) large += R"({"p":"data/)" + std::to_string(large.size()) + R"("},)";
  large.back() = ']';
  release.write("large.json", large);
  HttpRequest request;
  request.url = nginx.patchUrl() + L"large.json";
  request.acceptCompressed = true;
  const HttpAnswer answer = HttpGetToString(request, large.size(), out);
  EXPECT_EQ(answer.result, 200);
  EXPECT_TRUE(answer.decoded);
  EXPECT_EQ(out, large);

  // Four workers, two files each, over connections nginx keeps alive.
  std::atomic<int> wrong{0};
  std::vector<std::thread> workers;
  for (unsigned w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      for (unsigned i = w; i < 8; i += 4) {
        std::string body;
        const std::wstring url =
            nginx.patchUrl() + L"files/a" + std::to_wstring(i) + L"/f" + std::to_wstring(i) + L".z";
        if (HttpGetToString(url, 1 << 20, body) != 200 || body != filler(300000 + i * 777, i))
          ++wrong;
      }
    });
  }
  for (auto& t : workers) t.join();
  EXPECT_EQ(wrong.load(), 0);

  EXPECT_NE(nginx.accessLog().find("\"GET /patch/manifest.json HTTP/1.1\" 200"), std::string::npos)
      << nginx.accessLog();
  EXPECT_NE(nginx.accessLog().find("QuillmarkResselLauncher/2.0"), std::string::npos);

  // Once stopped, nobody answers.
  const std::wstring address = nginx.patchUrl() + L"manifest.json";
  nginx.stop();
  EXPECT_EQ(HttpGetToString(address, 1 << 20, out), 0);
  httpCloseSession();
}

}  // namespace
