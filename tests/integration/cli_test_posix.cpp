// quillmark-update on Linux: Ctrl+C (SIGINT) against a stalled server, the redrawn line on a
// real terminal (a pseudo-terminal of a given width), and a game folder in a hostile local
// state: two runs at once, FIFOs and devices, a read-only folder, a huge patcher.ini. Each run
// has a time limit; a program that hangs is killed and the test fails.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "child_process_posix.h"
#include "cli_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> argvOf(const std::vector<std::wstring>& args) {
  std::vector<std::string> text{QM_UPDATE_EXE};
  for (const std::wstring& a : args) text.push_back(wideToUtf8(a));
  return text;
}

// Execs the program in a forked child (async-signal-safe calls only after fork).
[[noreturn]] void execProgram(std::vector<std::string>& text) {
  std::vector<char*> argv;
  for (std::string& t : text) argv.push_back(t.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

pid_t startProgram(const std::vector<std::wstring>& args, const std::wstring& outputFile,
                   bool withoutRoot = false) {
  return ::startProgram(std::string(QM_UPDATE_EXE), args, outputFile, withoutRoot);
}

}  // namespace

TEST_F(CliFixture, CtrlCStopsAStalledDownloadAtOnceAndLeavesNoTemporaryFile) {
  const std::string big = noiseBytes(2 * 1024 * 1024, 7);
  work.write("src/Play Quillmark.exe", "game");
  work.write("src/big.bin", big);
  publish(1);
  // The big file's stream stops after 64 KiB and stays stopped until the test ends: only the
  // program's own cancellation can end this transfer in time.
  server.setFault("/patch/" + compressedPath(big),
                  faultWith([](ServerFault& f) { f.stallAfter = 65536; }));

  const std::vector<std::wstring> args{
      L"--dir",        game.path(),          L"--patch-url", server.patchUrl(),
      L"--public-key", work.file("key.pub"), L"--lang",      L"en"};
  const pid_t pid = startProgram(args, work.file("output.txt"));
  ASSERT_GT(pid, 0);
  const bool stalled = pollUntil([&] {
    return server.stalledCount() == 1 && game.exists("Play Quillmark.exe") &&
           !temporaryFiles(game).empty();
  });
  if (!stalled) ::kill(pid, SIGKILL);
  ASSERT_TRUE(stalled) << work.read("output.txt");

  const auto sent = Clock::now();
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  const int code = waitForExit(pid, std::chrono::seconds(10));
  const auto took = Clock::now() - sent;
  output = work.read("output.txt");
  ASSERT_EQ(code, 130) << output;
  // curl looks at the flag about once a second while nothing arrives; far below the 30 s a
  // stall takes to be given up.
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_EQ(server.stalledCount(), 1) << "the stall was never released";
  EXPECT_NE(at(output, "cancelled"), std::string::npos) << output;
  EXPECT_EQ(at(output, "ERROR"), std::string::npos) << output;
  EXPECT_TRUE(temporaryFiles(game).empty());
  EXPECT_FALSE(game.exists("big.bin"));
  EXPECT_EQ(game.read("Play Quillmark.exe"), "game") << "a finished file stays";
  EXPECT_EQ(game.read("patcher.ini"), "[patch]\r\napplying=1\r\n")
      << "the version belongs to a completed run";
  server.releaseStalls();
}

// Ctrl+C pauses a download: the next run resumes it and fetches none of the files the stopped
// one had put in place, and keeps the large file's partial file.
TEST_F(CliFixture, ANewRunAfterCtrlCFetchesNothingTheStoppedOneFinished) {
  std::map<std::string, std::string> files;
  for (int i = 0; i < 8; ++i) files["small" + std::to_string(i)] = noiseBytes(200000, 40 + i);
  files["large.pak"] = noiseBytes(6 << 20, 50);
  for (const auto& [name, content] : files) work.write("src/" + name, content);
  publish(1);
  server.setFault("*", faultWith([](ServerFault& f) {
                    f.dripBytes = 4096;
                    f.dripEveryMs = 20;
                  }));
  const std::vector<std::wstring> args{
      L"--dir",        game.path(),          L"--patch-url", server.patchUrl(),
      L"--public-key", work.file("key.pub"), L"--lang",      L"en"};
  const pid_t pid = startProgram(args, work.file("output.txt"));
  ASSERT_GT(pid, 0);
  const auto placed = [&] {
    std::vector<std::string> names;
    for (const auto& [name, content] : files) {
      if (game.exists(name)) names.push_back(name);
    }
    return names;
  };
  const bool someDone = pollUntil([&] { return placed().size() >= 3; }, std::chrono::seconds(60));
  if (!someDone) ::kill(pid, SIGKILL);
  ASSERT_TRUE(someDone) << work.read("output.txt");
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  ASSERT_EQ(waitForExit(pid, std::chrono::seconds(10)), 130) << work.read("output.txt");
  EXPECT_TRUE(game.exists(temporaryOf("large.pak"))) << "its chunks are kept";
  const std::vector<std::string> finished = placed();
  ASSERT_LT(finished.size(), files.size());
  const std::string cache = game.read("patcher_cache.dat");
  for (const std::string& name : finished) {
    EXPECT_NE(cache.find("\t" + name + "\n"), std::string::npos) << name << " is not hashed again";
  }

  server.clearFaults();
  ASSERT_EQ(update(), 0) << output;
  for (const auto& [name, content] : files) EXPECT_EQ(game.read(name), content) << name;
  for (const std::string& name : finished) {
    EXPECT_EQ(server.requestCount("/patch/" + compressedPath(files[name])), 1) << name;
  }
}

TEST_F(CliFixture, CtrlCWhileTheManifestIsAwaited) {
  work.write("src/Play Quillmark.exe", "game");
  publish(1);
  server.setFault("/patch/manifest.json",
                  faultWith([](ServerFault& f) { f.stallBeforeAnswer = true; }));
  const pid_t pid = startProgram({L"--dir", game.path(), L"--patch-url", server.patchUrl(),
                                  L"--public-key", work.file("key.pub"), L"--quiet"},
                                 work.file("output.txt"));
  ASSERT_GT(pid, 0);
  const bool stalled = pollUntil([&] { return server.stalledCount() == 1; });
  if (!stalled) ::kill(pid, SIGKILL);
  ASSERT_TRUE(stalled);
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  EXPECT_EQ(waitForExit(pid, std::chrono::seconds(10)), 130) << work.read("output.txt");
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 1) << "no further attempt after Ctrl+C";
  EXPECT_FALSE(game.exists("Play Quillmark.exe"));
  server.releaseStalls();
}

TEST_F(CliFixture, OnATerminalOneLineIsRedrawnWithinItsWidth) {
  const std::string big = noiseBytes(512 * 1024, 5);
  const std::string longName =
      "data/a folder with a long name/and a file name long enough to pass sixty columns.bin";
  work.write("src/Play Quillmark.exe", "game");
  work.write("src/" + longName, big);
  publish(3);
  // Half a second of silence mid-stream, so that the download line is surely drawn.
  server.setFault("/patch/" + compressedPath(big), faultWith([](ServerFault& f) {
                    f.stallAfter = 4096;
                    f.stallMs = 600;
                  }));

  std::vector<std::string> text = argvOf({L"--dir", game.path(), L"--patch-url", server.patchUrl(),
                                          L"--public-key", work.file("key.pub"), L"--lang", L"en"});
  winsize size{};
  size.ws_col = 60;
  size.ws_row = 20;
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
  ASSERT_GE(pid, 0);
  if (pid == 0) execProgram(text);

  std::string screen;
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  for (;;) {
    pollfd p{master, POLLIN, 0};
    const int ready = ::poll(&p, 1, 100);
    if (ready > 0) {
      char buffer[4096];
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n <= 0) break;  // EIO once the program has closed the terminal
      screen.append(buffer, static_cast<std::size_t>(n));
    }
    if (Clock::now() >= deadline) break;
  }
  ::close(master);
  const int code = waitForExit(pid, std::chrono::seconds(10));
  ASSERT_EQ(code, 0) << screen;

  EXPECT_NE(screen.find("\rConnecting to patch server..."), std::string::npos) << screen;
  EXPECT_NE(screen.find("\rDownloading  "), std::string::npos) << screen;
  EXPECT_NE(screen.find("Client up to date - Version 3"), std::string::npos) << screen;
  // The item is cut to the width: no redrawn row may reach the last column, or the terminal
  // would wrap and every redraw would leave a line behind. (Lines that end in a line feed
  // stay on the screen as they are and may wrap.)
  EXPECT_NE(screen.find("..."), std::string::npos) << screen;
  std::size_t longest = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < screen.size(); ++i) {
    if (screen[i] == '\n') start = i + 1;
    if (screen[i] != '\r') continue;
    const bool lineEnd = i + 1 < screen.size() && screen[i + 1] == '\n';
    if (!lineEnd) longest = std::max(longest, i - start);
    start = i + 1;
  }
  EXPECT_LE(longest, 59u) << screen;
}

// ---- a hostile local state ----

TEST_F(CliFixture, TwoRunsOfOneFolderTheSecondFailsAtOnceAndAKilledHolderFreesIt) {
  work.write("src/Play Quillmark.exe", "game");
  publish(1);
  game.write("patcher.lock", "");  // as an older launcher left it
  server.setFault("/patch/manifest.json", faultWith([](ServerFault& f) {
                    f.stallBeforeAnswer = true;
                    f.times = 1;
                  }));
  const pid_t first = startProgram({L"--dir", game.path(), L"--patch-url", server.patchUrl(),
                                    L"--public-key", work.file("key.pub"), L"--quiet"},
                                   work.file("first.txt"));
  ASSERT_GT(first, 0);
  const bool stalled = pollUntil([&] { return server.stalledCount() == 1; });
  if (!stalled) ::kill(first, SIGKILL);
  ASSERT_TRUE(stalled);

  // The lock is the folder's: no file in it lets a second run in.
  ::unlink(wideToUtf8(game.file("patcher.lock")).c_str());
  const auto started = Clock::now();
  EXPECT_EQ(update(), 6) << output;
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
  EXPECT_NE(at(output, "ERROR: Another update of this game folder is running."), std::string::npos)
      << output;
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 1);

  // The system drops a killed holder's lock; the next run has the folder to itself.
  ::kill(first, SIGKILL);
  EXPECT_EQ(waitForExit(first, std::chrono::seconds(10)), -1);
  EXPECT_EQ(update(), 0) << output;
  EXPECT_EQ(game.read("Play Quillmark.exe"), "game");
  server.releaseStalls();
}

TEST_F(CliFixture, FifosAndDevicesInTheFolderAreNeverWaitedOnOrRead) {
  work.write("src/Play Quillmark.exe", "game");
  work.write("src/data/a.bin", "A");
  publish(2);
  // Opening a FIFO for reading waits for a writer, and /dev/zero never ends: a run that opens
  // any of them hangs (and is killed at the time limit).
  ASSERT_EQ(::mkdir(wideToUtf8(game.file("data")).c_str(), 0755), 0);
  for (const char* fifo : {"patcher.ini", "patcher_cache.dat", "data/a.bin"}) {
    ASSERT_EQ(::mkfifo(wideToUtf8(game.file(fifo)).c_str(), 0644), 0) << fifo;
  }
  ASSERT_EQ(::symlink("/dev/zero", wideToUtf8(game.file("Play Quillmark.exe")).c_str()), 0);

  const pid_t pid = startProgram({L"--dir", game.path(), L"--patch-url", server.patchUrl(),
                                  L"--public-key", work.file("key.pub"), L"--lang", L"en"},
                                 work.file("output.txt"));
  ASSERT_GT(pid, 0);
  EXPECT_EQ(waitForExit(pid, std::chrono::seconds(30)), 0) << work.read("output.txt");
  EXPECT_EQ(folderFiles(game), (std::map<std::string, std::string>{{"Play Quillmark.exe", "game"},
                                                                   {"data/a.bin", "A"}}));
  struct stat st {};
  for (const char* own : {"patcher.ini", "patcher_cache.dat", "Play Quillmark.exe"}) {
    ASSERT_EQ(::lstat(wideToUtf8(game.file(own)).c_str(), &st), 0) << own;
    EXPECT_TRUE(S_ISREG(st.st_mode)) << own << " was replaced by a file";
  }
  EXPECT_NE(game.read("patcher.ini").find("version=2"), std::string::npos);
}

TEST_F(CliFixture, AReadOnlyFolderEndsWithAClearMessageAndAnUpToDateOneStillChecks) {
  work.write("src/Play Quillmark.exe", "game");
  publish(1);
  const std::string folder = wideToUtf8(game.path());
  const std::vector<std::wstring> args{
      L"--dir",        game.path(),           L"--patch-url", server.patchUrl(),
      L"--public-key", utf8ToWide(publicHex), L"--lang",      L"en"};
  const auto runReadOnly = [&] {
    const pid_t pid = startProgram(args, work.file("output.txt"), true);
    const int code = waitForExit(pid, std::chrono::seconds(30));
    output = work.read("output.txt");
    return code;
  };
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  EXPECT_EQ(runReadOnly(), 7) << output;
  EXPECT_NE(at(output, "ERROR: Could not write file: " + folder + "patcher.ini"), std::string::npos)
      << output;
  EXPECT_TRUE(folderFiles(game).empty());

  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  ASSERT_EQ(update(), 0) << output;
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  EXPECT_EQ(runReadOnly(), 0) << output;
  EXPECT_NE(at(output, "Client up to date - Version 1"), std::string::npos) << output;
  ::chmod(folder.c_str(), 0755);
}

TEST_F(CliFixture, AHugePatcherIniIsReadFromItsStartAndReplaced) {
  work.write("src/Play Quillmark.exe", "game");
  publish(3);
  // 1 GiB, mostly holes: instant to make, a gigabyte to anything that reads it whole. The
  // version it names at its start still holds the folder there.
  const std::string ini = wideToUtf8(game.file("patcher.ini"));
  game.write("patcher.ini", "[patch]\r\nversion=5\r\n");
  ASSERT_EQ(::truncate(ini.c_str(), 1 << 30), 0);
  const std::vector<std::wstring> args{
      L"--dir",        game.path(),          L"--patch-url", server.patchUrl(),
      L"--public-key", work.file("key.pub"), L"--lang",      L"en"};
  long maxKiB = 0;
  pid_t pid = startProgram(args, work.file("output.txt"));
  EXPECT_EQ(waitForExit(pid, std::chrono::seconds(30), &maxKiB), 3) << work.read("output.txt");
  EXPECT_NE(work.read("output.txt").find("ERROR: The server sent an older version"),
            std::string::npos)
      << work.read("output.txt");
  EXPECT_LT(maxKiB, 256 * 1024) << "KiB held at most";
  struct stat st {};
  ASSERT_EQ(::stat(ini.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 1 << 30) << "a refusal changes nothing";

  publish(6);
  pid = startProgram(args, work.file("output.txt"));
  EXPECT_EQ(waitForExit(pid, std::chrono::seconds(30), &maxKiB), 0) << work.read("output.txt");
  EXPECT_LT(maxKiB, 256 * 1024) << "KiB held at most";
  EXPECT_EQ(game.read("Play Quillmark.exe"), "game");
  EXPECT_EQ(game.read("patcher.ini"), "[patch]\r\nversion=6\r\n");
}

// Mirrors that disagree: A serves version 6, B version 7, which adds files. A run while A is
// down takes 7 from B and is killed once the small files are in place; the next run, with A
// back, must not take 6 (above the installed 5, but below the 7 that was begun) and leave 7's
// files beside it: it finishes 7 from B.
TEST_F(CliFixture, AKilledRunHoldsTheFolderAtTheVersionItBegan) {
  work.write("src/Play Quillmark.exe", "game 5");
  publish(5);
  ASSERT_EQ(update({L"--quiet"}), 0) << output;
  work.write("src/Play Quillmark.exe", "game 6");
  publish(6);
  TestServer mirrorA;
  ASSERT_TRUE(mirrorA.ok());
  mirrorA.serveFolder(work.file("release"));
  mirrorA.setBody("/patch/manifest.json", work.read("release/manifest.json"));
  mirrorA.setBody("/patch/manifest.sig", work.read("release/manifest.sig"));
  const std::string big = noiseBytes(1 << 20, 21);
  work.write("src/Play Quillmark.exe", "game 7");
  work.write("src/plugins/new_v7.dll", "new in 7");
  work.write("src/big_v7.bin", big);
  publish(7);
  const std::map<std::string, std::string> release7 = {
      {"Play Quillmark.exe", "game 7"}, {"plugins/new_v7.dll", "new in 7"}, {"big_v7.bin", big}};

  mirrorA.setStatus("*", 503);
  server.setFault("/patch/" + compressedPath(big),
                  faultWith([](ServerFault& f) { f.stallAfter = 65536; }));
  const std::vector<std::wstring> args{
      L"--dir",          game.path(),     L"--patch-url",       mirrorA.patchUrl(), L"--patch-url",
      server.patchUrl(), L"--public-key", work.file("key.pub"), L"--lang",          L"en"};
  const pid_t pid = startProgram(args, work.file("output.txt"));
  ASSERT_GT(pid, 0);
  const bool landed = pollUntil(
      [&] {
        return server.stalledCount() == 1 && game.exists("plugins/new_v7.dll") &&
               game.read("Play Quillmark.exe") == "game 7";
      },
      std::chrono::seconds(30));
  ::kill(pid, SIGKILL);
  EXPECT_EQ(waitForExit(pid, std::chrono::seconds(10)), -1);
  ASSERT_TRUE(landed) << work.read("output.txt");
  server.releaseStalls();

  mirrorA.clearFaults();
  server.clearFaults();
  ASSERT_EQ(run(args, false), 0) << output;
  EXPECT_NE(at(output, "Client up to date - Version 7\n"), std::string::npos) << output;
  EXPECT_EQ(folderFiles(game), release7);
  EXPECT_TRUE(temporaryFiles(game).empty());
  EXPECT_EQ(fileRequests(mirrorA), 0) << "the mirror behind serves no file";
}
