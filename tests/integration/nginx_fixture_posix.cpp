// Sections: helpers (files, spawning), the configuration, start and stop.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "base/text.h"
#include "nginx_fixture.h"
#include "test_socket.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";
constexpr int kStartAttempts = 5;
constexpr auto kStartTimeout = std::chrono::seconds(15);
constexpr auto kStopTimeout = std::chrono::seconds(10);

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return out.good();
}

// The last lines of a log, for error messages.
std::string tail(const std::string& text, std::size_t maxChars = 2000) {
  return text.size() <= maxChars ? text : text.substr(text.size() - maxChars);
}

// Starts kNginx with args, its output going to outputFile. -1 on failure.
pid_t spawnNginx(const std::vector<std::string>& args, const std::string& outputFile) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(kNginx));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, kNginx, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// Waits for a child to end, at most timeout; true when it has ended (and was reaped).
bool waitForExit(pid_t pid, std::chrono::milliseconds timeout, int* status = nullptr) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int st = 0;
    const pid_t r = waitpid(pid, &st, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) {
      if (status) *status = st;
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Modules that this nginx was built without; their directives would be unknown.
std::string buildOptions(const std::string& scratchDir) {
  const std::string out = scratchDir + "nginx-V.txt";
  const pid_t pid = spawnNginx({"-V"}, out);
  if (pid < 0 || !waitForExit(pid, std::chrono::seconds(10))) return {};
  return readFile(out);
}

// nginx's configuration syntax: a quoted string with " and \ escaped.
std::string confString(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// The listen line and, with a certificate, the TLS settings and the redirects of the tests.
std::string listenLines(std::uint16_t port, const std::string& certificateFile,
                        const std::string& keyFile) {
  const std::string address = "127.0.0.1:" + std::to_string(port);
  if (certificateFile.empty()) return "    listen " + address + ";\n";
  return "    listen " + address + " ssl;\n" + "    ssl_certificate " +
         confString(certificateFile) + ";\n" + "    ssl_certificate_key " + confString(keyFile) +
         ";\n" + "    location /patch/to-http/ { rewrite ^/patch/to-http/(.*)$ http://" + address +
         "/patch/$1 redirect; }\n" +
         "    location /patch/to-https/ { rewrite ^/patch/to-https/(.*)$ https://" + address +
         "/patch/$1 redirect; }\n";
}

std::string configuration(const std::string& dir, const std::string& folder,
                          const std::string& options, const std::string& listen) {
  std::string temps;
  for (const char* module : {"proxy", "fastcgi", "uwsgi", "scgi"}) {
    if (options.find(std::string("--without-http_") + module + "_module") == std::string::npos) {
      temps +=
          std::string("  ") + module + "_temp_path " + confString(dir + "tmp/" + module) + ";\n";
    }
  }
  std::string root = folder;
  if (root.empty() || root.back() != '/') root.push_back('/');
  return "daemon off;\n"
         "master_process off;\n"
         "worker_processes 1;\n"
         "pid " +
         confString(dir + "nginx.pid") +
         ";\n"
         "error_log " +
         confString(dir + "error.log") +
         " warn;\n"
         "events { worker_connections 1024; }\n"
         "http {\n"
         "  access_log " +
         confString(dir + "access.log") +
         ";\n"
         "  client_body_temp_path " +
         confString(dir + "tmp/body") + ";\n" + temps +
         "  default_type application/octet-stream;\n"
         "  types { application/json json; }\n"
         // As a publisher serves the manifest: compressed for clients that offer to decode it.
         "  gzip on;\n"
         "  gzip_types application/json;\n"
         "  sendfile on;\n"
         "  tcp_nopush on;\n"
         "  keepalive_requests 100000;\n"
         "  server {\n" +
         listen +
         "    server_name localhost;\n"
         "    location /patch/ { alias " +
         confString(root) +
         "; }\n"
         "    location / { return 404; }\n"
         "  }\n"
         "}\n";
}

}  // namespace

// ---- start and stop ---------------------------------------------------------------------

NginxServer::~NginxServer() { stop(); }

bool NginxServer::available() { return access(kNginx, X_OK) == 0; }

void NginxServer::setTls(const std::string& certificateFile, const std::string& keyFile) {
  certificateFile_ = certificateFile;
  keyFile_ = keyFile;
}

std::wstring NginxServer::patchUrl(const std::wstring& host) const {
  return (certificateFile_.empty() ? L"http://" : L"https://") + host + L":" +
         std::to_wstring(port_) + L"/patch/";
}

std::string NginxServer::accessLog() const {
  return dir_.empty() ? std::string() : readFile(dir_ + "access.log");
}

bool NginxServer::start(const std::wstring& folder) {
  stop();
  error_.clear();
  if (!available()) {
    error_ = std::string(kNginx) + " is missing (scripts/deps.sh installs nginx-light)";
    return false;
  }
  static std::atomic<int> counter{0};
  std::error_code ec;
  const fs::path dir = fs::temp_directory_path(ec) /
                       ("qm-nginx-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(dir, ec);
  if (!fs::create_directories(dir / "tmp", ec)) {
    error_ = "cannot create " + dir.string();
    return false;
  }
  dir_ = dir.string() + "/";
  socketStartup();
  const std::string root = wideToUtf8(folder);
  // The free port is chosen before nginx binds it; another process may take it in between,
  // and then nginx exits and a new port is tried.
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    if (startOnce(root)) return true;
  }
  return false;
}

bool NginxServer::startOnce(const std::string& folder) {
  static const std::string options = buildOptions(dir_);
  port_ = unusedLoopbackPort();
  if (port_ == 0) {
    error_ = "no free loopback port";
    return false;
  }
  const std::string conf = dir_ + "nginx.conf";
  if (!writeFile(conf, configuration(dir_, folder, options,
                                     listenLines(port_, certificateFile_, keyFile_)))) {
    error_ = "cannot write " + conf;
    return false;
  }
  std::remove((dir_ + "nginx.pid").c_str());
  const pid_t pid =
      spawnNginx({"-p", dir_, "-c", conf, "-e", dir_ + "error.log"}, dir_ + "output.log");
  if (pid < 0) {
    error_ = "cannot start " + std::string(kNginx);
    return false;
  }
  // Up when its pid file names it (written once the port is bound) and the port answers.
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  for (;;) {
    int status = 0;
    if (waitForExit(pid, std::chrono::milliseconds(0), &status)) {
      error_ = "nginx exited (status " + std::to_string(status) +
               "): " + tail(readFile(dir_ + "output.log") + readFile(dir_ + "error.log"));
      return false;
    }
    if (std::atoi(readFile(dir_ + "nginx.pid").c_str()) == pid) {
      const TestSocket s = connectLoopback(port_);
      if (s != kNoSocket) {
        closeSocket(s);
        pid_ = pid;
        return true;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitForExit(pid, std::chrono::seconds(5));
      error_ = "nginx did not answer on port " + std::to_string(port_) + ": " +
               tail(readFile(dir_ + "error.log"));
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void NginxServer::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    if (!waitForExit(pid_, kStopTimeout)) {
      kill(pid_, SIGKILL);
      waitForExit(pid_, kStopTimeout);
    }
    pid_ = -1;
  }
  if (!dir_.empty()) {
    std::error_code ec;
    fs::remove_all(dir_, ec);
    dir_.clear();
  }
}
