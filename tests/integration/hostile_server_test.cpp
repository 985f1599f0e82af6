// Whole update runs against a hostile or broken patch server: each fault of the table, on the
// manifest and on a content file, must end the run with the right message within a time
// limit (and, where the system tells, within a memory limit). The transfer floor runs with a
// short window here (4 KiB/s over 1.5 s instead of 1 KiB/s over 60 s), so that a drip is given
// up quickly.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "base/files.h"
#include "base/http.h"
#include "base/text.h"
#include "i18n/strings.h"
#include "run_support.h"

namespace {

using Clock = std::chrono::steady_clock;

// The most memory this process has held since the last reset, in KiB; 0 where the system does
// not tell (only Linux does, through /proc).
long peakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

void resetPeakResident() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

struct HostileCase {
  const char* name;
  ServerFault fault;
  bool ends;  // false: a slow but real server, which must be waited for
};

std::vector<HostileCase> hostileCases(std::uint16_t port) {
  const std::string self = "http://127.0.0.1:" + std::to_string(port);
  std::vector<HostileCase> cases;
  const auto add = [&cases](const char* name, bool ends, auto set) {
    ServerFault f;
    set(f);
    cases.push_back({name, f, ends});
  };
  add("a byte every 50 ms", true, [](ServerFault& f) {
    f.dripBytes = 1;
    f.dripEveryMs = 50;
  });
  // Wine times out each wait for the next header bytes, not all the headers as Windows does,
  // so there an attempt lasts until the last header byte: a faster drip keeps the case within
  // the limit while still far below the floor.
  add("headers a byte every 20 ms", true, [](ServerFault& f) {
    f.dripBytes = 1;
    f.dripEveryMs = 20;
    f.dripHeaders = true;
  });
  add("a chunked body without end", true, [](ServerFault& f) { f.endlessChunks = true; });
  add("4 MiB of headers", true, [](ServerFault& f) { f.headerFillerBytes = 4 << 20; });
  add("a redirect to itself", true, [](ServerFault& f) {
    f.status = 302;
    f.extraHeaders = "Location: \r\n";  // the path, filled in by the test
  });
  add("a redirect to a file", true, [](ServerFault& f) {
    f.status = 302;
    f.extraHeaders = "Location: file:///etc/hosts\r\n";
  });
  add("a redirect to ftp", true, [self](ServerFault& f) {
    f.status = 301;
    f.extraHeaders = "Location: ftp://127.0.0.1:" + self.substr(self.rfind(':') + 1) + "/x\r\n";
  });
  add("a redirect to https without TLS", true, [self](ServerFault& f) {
    f.status = 307;
    f.extraHeaders = "Location: https" + self.substr(4) + "/elsewhere\r\n";
  });
  add("64 KiB/s", false, [](ServerFault& f) {
    f.dripBytes = 6554;
    f.dripEveryMs = 100;
  });
  return cases;
}

class HostileServerTest : public GameRunTest {
 protected:
  void SetUp() override {
    GameRunTest::SetUp();
    ensureHttpSession();
    httpSetTransferFloor({4096, 1500});
    Release r;
    r.files = {{"Play Quillmark.exe", "game"}, {"big.bin", big}};
    publishRelease(release, r);
  }
  void TearDown() override { httpSetTransferFloor(TransferFloor()); }

  const std::string big = noiseBytes(192 * 1024, 11);
};

TEST_F(HostileServerTest, EveryFaultEndsTheRunInTimeWithItsMessage) {
  const std::string manifestPath = "/patch/manifest.json";
  const std::string filePath = "/patch/" + compressedPath(big);
  int cases = 0;
  for (const HostileCase& c : hostileCases(server.port())) {
    for (const std::string& target : {manifestPath, filePath}) {
      SCOPED_TRACE(std::string(c.name) + " on " + target);
      ServerFault fault = c.fault;
      if (fault.extraHeaders == "Location: \r\n")
        fault.extraHeaders = "Location: " + target + "\r\n";
      server.clearFaults();
      server.setFault(target, fault);
      TempDir game;
      LauncherState state;
      resetPeakResident();
      const long before = peakResidentKiB();
      const auto start = Clock::now();
      UpdateSettings settings = testSettings(server, game);
      // An endless manifest costs its cap, 256 MiB, in transfer and memory before it is
      // refused; the cases here run under the earlier cap of 32 MiB to stay within their bounds.
      settings.manifestMaxBytes = 32 << 20;
      ASSERT_TRUE(startUpdate(state, false, settings));
      const bool ended = pollUntil([&] { return !state.running.load(); }, std::chrono::seconds(30));
      if (!ended) cancelUpdate(state);
      joinUpdate(state);
      ++cases;
      if (!ended) {
        ADD_FAILURE() << "still running after 30 s";
        continue;
      }
      EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
      if (before > 0) {
        EXPECT_LT(peakResidentKiB() - before, 400 * 1024) << "KiB more held";
      }
      const std::wstring error = copyErrorText(state);
      if (!c.ends) {
        EXPECT_EQ(error, L"");
        EXPECT_TRUE(game.read("big.bin") == big);
      } else if (target == manifestPath) {
        const wchar_t* message = c.fault.endlessChunks ? L"Invalid patch manifest. (size)"
                                                       : L"Could not connect to the patch server.";
        EXPECT_EQ(error.rfind(message, 0), 0u) << wideToUtf8(error);
      } else {
        EXPECT_EQ(error, L"Could not connect to the patch server. big.bin");
        EXPECT_FALSE(game.exists("big.bin"));
      }
      EXPECT_TRUE(temporaryFiles(game).empty());
    }
  }
  std::printf("hostile server cases: %d\n", cases);
}

}  // namespace
