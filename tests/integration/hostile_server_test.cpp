// Whole update runs against a hostile or broken patch server: each fault of the table, on the
// manifest and on a content file, must end the run with the right message within a time
// limit (and, where the system tells, within a memory limit). The transfer floor runs with a
// short window here (4 KiB/s over 1.5 s instead of 1 KiB/s over 60 s), so that a drip is given
// up quickly.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <ostream>
#include <string>
#include <tuple>

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

// One fault of the table, on the manifest or on a content file.
struct HostileCase {
  const char* name;
  // Sets the fault; self is "http://127.0.0.1:PORT", target the path it applies to.
  void (*set)(ServerFault& f, const std::string& self, const std::string& target);
  bool ends;  // false: a slow but real server, which must be waited for
};

// gtest names a case by its name in messages.
void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

const HostileCase kHostileCases[] = {
    {"AByteEvery50ms",
     [](ServerFault& f, const std::string&, const std::string&) {
       f.dripBytes = 1;
       f.dripEveryMs = 50;
     },
     true},
    // Wine times out each wait for the next header bytes, not all the headers as Windows does,
    // so there an attempt lasts until the last header byte: a faster drip keeps the case within
    // the limit while still far below the floor.
    {"HeadersAByteEvery20ms",
     [](ServerFault& f, const std::string&, const std::string&) {
       f.dripBytes = 1;
       f.dripEveryMs = 20;
       f.dripHeaders = true;
     },
     true},
    {"AChunkedBodyWithoutEnd",
     [](ServerFault& f, const std::string&, const std::string&) { f.endlessChunks = true; }, true},
    {"FourMiBOfHeaders",
     [](ServerFault& f, const std::string&, const std::string&) { f.headerFillerBytes = 4 << 20; },
     true},
    {"ARedirectToItself",
     [](ServerFault& f, const std::string&, const std::string& target) {
       f.status = 302;
       f.extraHeaders = "Location: " + target + "\r\n";
     },
     true},
    {"ARedirectToAFile",
     [](ServerFault& f, const std::string&, const std::string&) {
       f.status = 302;
       f.extraHeaders = "Location: file:///etc/hosts\r\n";
     },
     true},
    {"ARedirectToFtp",
     [](ServerFault& f, const std::string& self, const std::string&) {
       f.status = 301;
       f.extraHeaders = "Location: ftp://127.0.0.1:" + self.substr(self.rfind(':') + 1) + "/x\r\n";
     },
     true},
    {"ARedirectToHttpsWithoutTls",
     [](ServerFault& f, const std::string& self, const std::string&) {
       f.status = 307;
       f.extraHeaders = "Location: https" + self.substr(4) + "/elsewhere\r\n";
     },
     true},
    {"At64KiBPerSecond",
     [](ServerFault& f, const std::string&, const std::string&) {
       f.dripBytes = 6554;
       f.dripEveryMs = 100;
     },
     false},
};

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

// Each case of the table on the manifest (true) and on the content file (false).
class HostileFaultTest : public HostileServerTest,
                         public ::testing::WithParamInterface<std::tuple<HostileCase, bool>> {};

TEST_P(HostileFaultTest, EndsTheRunInTimeWithItsMessage) {
  const auto& [c, onManifest] = GetParam();
  const std::string target =
      onManifest ? std::string("/patch/manifest.json") : "/patch/" + compressedPath(big);
  ServerFault fault;
  c.set(fault, server.urlUtf8(""), target);
  server.setFault(target, fault);
  LauncherState state;
  resetPeakResident();
  const long before = peakResidentKiB();
  const auto start = Clock::now();
  UpdateSettings settings = testSettings(server, game);
  // An endless manifest costs its cap, 256 MiB, in transfer and memory before it is refused;
  // the cases here run under the earlier cap of 32 MiB to stay within their bounds.
  settings.manifestMaxBytes = 32 << 20;
  ASSERT_TRUE(startUpdate(state, false, settings));
  const bool ended = pollUntil([&] { return !state.running.load(); }, std::chrono::seconds(30));
  if (!ended) cancelUpdate(state);
  joinUpdate(state);
  ASSERT_TRUE(ended) << "still running after 30 s";
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
  if (before > 0) {
    EXPECT_LT(peakResidentKiB() - before, 400 * 1024) << "KiB more held";
  }
  const std::wstring error = copyErrorText(state);
  if (!c.ends) {
    EXPECT_EQ(error, L"");
    EXPECT_TRUE(game.read("big.bin") == big);
  } else if (onManifest) {
    // A redirect to https:// on a server without TLS fails in the handshake, which both
    // transports report as a secure connection that failed.
    const bool handshake = std::string(c.name) == "ARedirectToHttpsWithoutTls";
    const wchar_t* message = fault.endlessChunks ? L"Invalid patch manifest. (size)"
                             : handshake         ? uiText(kStrErrSecureConnection)
                                                 : L"Could not connect to the patch server.";
    EXPECT_EQ(error.rfind(message, 0), 0u) << wideToUtf8(error);
  } else {
    EXPECT_EQ(error, L"Could not connect to the patch server. big.bin");
    EXPECT_FALSE(game.exists("big.bin"));
  }
  EXPECT_TRUE(temporaryFiles(game).empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, HostileFaultTest,
                         ::testing::Combine(::testing::ValuesIn(kHostileCases), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<HostileFaultTest::ParamType>& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "OnTheManifest" : "OnAFile");
                         });

// A signed manifest whose sizes add up past 2^64: four entries of 2^62 bytes beside a file of
// 1,000 would need 1,000 bytes if the sum wrapped. The free-space check refuses it instead,
// before any file is asked for.
TEST_F(HostileServerTest, SizesThatWouldWrapDoNotFit) {
  Release r;
  r.files = {{"small.bin", std::string(1000, 's')}};
  std::string text = manifestText(r);
  std::string huge;
  for (int i = 0; i < 4; ++i) {
    huge += "{\"p\":\"huge" + std::to_string(i) + ".bin\",\"h\":\"" + std::string(63, 'a') +
            std::to_string(i) + "\",\"s\":4611686018427387904,\"c\":100},";
  }
  text.insert(text.find("[") + 1, huge);
  writeSignedManifest(release, text);
  LauncherState state;
  UpdateSettings settings = testSettings(server, game);
  settings.pretendFreeBytes = 1 << 20;
  runToEnd(state, settings);
  EXPECT_EQ(copyErrorText(state).rfind(L"Not enough disk space for the update", 0), 0u)
      << wideToUtf8(copyErrorText(state));
  EXPECT_EQ(takeRunSnapshot(state).errorKind, ErrorKind::DiskFull);
  EXPECT_EQ(fileRequests(server), 0);
  EXPECT_TRUE(folderFiles(game).empty());
}

}  // namespace
