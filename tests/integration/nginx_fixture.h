// nginx on loopback for tests (Linux only, nginx_fixture_posix.cpp): Debian's /usr/sbin/nginx,
// run as a child of the test with a configuration of its own in a temporary folder (pid file,
// logs and temporary paths there; no root needed), serving one folder under /patch/ on a free
// 127.0.0.1 port.
//
//   NginxServer nginx;
//   ASSERT_TRUE(nginx.start(release.path())) << nginx.error();
//   ... HttpGet(nginx.patchUrl() + L"manifest.json", sink, true) ...
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>

class NginxServer {
 public:
  NginxServer() = default;
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  // Whether the nginx binary is there to be started.
  static bool available();

  // Serves https:// with this certificate (PEM, its chain after it) and key from the next
  // start() on; "" for plain http. /patch/to-http/NAME then redirects to http://, and
  // /patch/to-https/NAME to https://, of /patch/NAME on the same port.
  void setTls(const std::string& certificateFile, const std::string& keyFile);

  // Starts nginx serving folder (a wide path as TempDir gives it) under /patch/ and returns
  // once it answers. False when it does not come up; error() then says why.
  bool start(const std::wstring& folder);
  // Stops nginx and removes its temporary folder. Called by the destructor.
  void stop();

  bool running() const { return pid_ > 0; }
  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:PORT/patch/" ("https://" with a certificate); host replaces 127.0.0.1.
  std::wstring patchUrl(const std::wstring& host = L"127.0.0.1") const;
  // Why start() failed, with the end of nginx's error log.
  const std::string& error() const { return error_; }
  // Lines of the access log so far ("GET /patch/manifest.json HTTP/1.1" 200 ...).
  std::string accessLog() const;

 private:
  bool startOnce(const std::string& folder);

  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
  std::string dir_;  // the configuration folder, with a trailing "/"
  std::string certificateFile_;
  std::string keyFile_;
  std::string error_;
};
