// What the tests of quillmark-update share: a release built by the publisher's own code from
// a real game folder, served by the test server, and the real program run against it.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "keys.h"
#include "publish_run.h"
#include "release_build.h"
#include "run_support.h"
#include "test_server.h"
#include "test_support.h"

inline std::wstring updateExe() { return utf8ToWide(QM_UPDATE_EXE); }

class CliFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(makeKeyFiles(work.file("key"), publicHex, error)) << error;
    ASSERT_TRUE(server.ok());
    server.serveFolder(work.file("release"));
  }

  // Builds the game folder work/src into the release folder as version `version`.
  void publish(std::int64_t version, const std::wstring& launcherFile = std::wstring(),
               int expiresInDays = 0) {
    BuildOptions o;
    o.gameDir = work.file("src");
    o.releaseDir = work.file("release");
    o.keyFile = work.file("key.key");
    o.version = version;
    o.launcherFile = launcherFile;
    o.expiresInDays = expiresInDays;
    o.jobs = 2;
    if (version > 1 && work.exists("release/manifest.json")) {
      // The previous manifest gives the release its delete list.
      work.write("previous.json", work.read("release/manifest.json"));
      o.previousManifest = work.file("previous.json");
    }
    BuildReport report;
    std::string error;
    ASSERT_TRUE(buildRelease(o, report, error)) << error;
  }

  // Runs quillmark-update with the server's address and args; output gets both streams.
  int run(std::vector<std::wstring> args, bool withServer = true) {
    if (withServer) {
      args.insert(args.begin(), {L"--patch-url", server.patchUrl(), L"--lang", L"en"});
    }
    const int code = runProgram(updateExe(), args, work.file("output.txt"));
    output = work.read("output.txt");
    // Windows ends lines with "\r\n"; a lone "\r" is what redraws a line.
    for (std::size_t i = output.find("\r\n"); i != std::string::npos; i = output.find("\r\n", i)) {
      output.erase(i, 1);
    }
    return code;
  }
  // The usual run into game with the release's own key (from its .pub file).
  int update(std::vector<std::wstring> more = {}) {
    std::vector<std::wstring> args{L"--dir", game.path(), L"--public-key", work.file("key.pub")};
    args.insert(args.end(), more.begin(), more.end());
    return run(args);
  }

  TempDir work;  // src/ (the game as published), release/, the key, the program's output
  TempDir game;  // the player's folder
  TestServer server;
  std::string publicHex;
  std::string output;
};

// Where text occurs in output, or npos.
inline std::size_t at(const std::string& output, const std::string& text) {
  return output.find(text);
}
