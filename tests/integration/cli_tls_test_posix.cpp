// quillmark-update over https:// against nginx with certificates made for the test by
// tls_certificates.sh: one from the test's own authority (trusted through --ca-file only, so
// the machine's trust store never sees it) is accepted; a self-signed one, one for another
// host name and an expired one are each refused with their own message and nothing written;
// a redirect from https:// to http:// is refused.
#include <cstdlib>
#include <filesystem>

#include "cli/update_command.h"
#include "cli_fixture.h"
#include "nginx_fixture.h"

namespace {

class CliTlsTest : public CliFixture {
 protected:
  void SetUp() override {
    CliFixture::SetUp();
    ASSERT_TRUE(NginxServer::available()) << "nginx is not installed (scripts/deps.sh)";
    const std::string command =
        std::string("bash '") + QM_TLS_CERTIFICATES + "' '" + wideToUtf8(work.file("tls")) + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    work.write("src/Play Quillmark.exe", "game");
    work.write("src/data/a.txt", "some data");
    publish(3);
  }

  // Serves the release with the certificate NAME.pem.
  void serveWith(const std::string& name) {
    nginx.setTls(tlsFile(name + ".pem"), tlsFile(name + ".key"));
    ASSERT_TRUE(nginx.start(work.file("release"))) << nginx.error();
  }
  std::string tlsFile(const std::string& name) { return wideToUtf8(work.file("tls/" + name)); }

  int updateFrom(const std::wstring& url, bool trustTestAuthority = true) {
    std::vector<std::wstring> args{
        L"--patch-url", url,         L"--lang",       L"en",
        L"--dir",       game.path(), L"--public-key", work.file("key.pub")};
    if (trustTestAuthority) args.insert(args.end(), {L"--ca-file", work.file("tls/ca.pem")});
    return run(args, false);
  }
  bool gameFolderEmpty() const {
    return std::filesystem::is_empty(std::filesystem::path(game.path()));
  }

  NginxServer nginx;
};

TEST_F(CliTlsTest, RefusesEachBadCertificateWithItsOwnMessageAndWritesNothing) {
  const struct {
    const char* certificate;
    const char* message;
  } cases[] = {
      {"selfsigned", "The patch server's security certificate is not from a trusted authority."},
      {"otherhost", "The patch server's security certificate was issued for another server name."},
      {"expired", "The patch server's security certificate has expired or is not yet valid."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.certificate);
    serveWith(c.certificate);
    EXPECT_EQ(updateFrom(nginx.patchUrl(L"localhost")), kExitUnreachable) << output;
    EXPECT_NE(at(output, c.message), std::string::npos) << output;
    EXPECT_TRUE(gameFolderEmpty());
    nginx.stop();
  }
}

TEST_F(CliTlsTest, AcceptsTheTestAuthorityOnlyWhenGivenAndNeverFollowsHttpsToHttp) {
  serveWith("good");
  // The system's store does not hold the test's authority.
  EXPECT_EQ(updateFrom(nginx.patchUrl(L"localhost"), false), kExitUnreachable) << output;
  EXPECT_NE(at(output, "not from a trusted authority"), std::string::npos) << output;
  // A redirect to plain http:// on the same server is not followed (nginx would answer the
  // plain request on its TLS port with 400), while one to https:// is.
  EXPECT_EQ(updateFrom(nginx.patchUrl() + L"to-http/"), kExitUnreachable) << output;
  EXPECT_NE(at(output, "Could not connect to the patch server.\n"), std::string::npos) << output;
  EXPECT_TRUE(gameFolderEmpty());
  ASSERT_EQ(updateFrom(nginx.patchUrl() + L"to-https/"), kExitUpToDate) << output;
  EXPECT_EQ(game.read("data/a.txt"), "some data");
  EXPECT_NE(nginx.accessLog().find("GET /patch/to-http/manifest.sig"), std::string::npos);

  EXPECT_EQ(updateFrom(nginx.patchUrl(L"localhost"), true), kExitUpToDate) << output;
  EXPECT_NE(at(output, "Client up to date - Version 3\n"), std::string::npos) << output;
  // A file that is not there is refused before anything is written.
  EXPECT_EQ(run({L"--ca-file", work.file("tls/missing.pem"), L"--dir", game.file("other")}, false),
            kExitUsage);
  EXPECT_NE(at(output, "cannot use --ca-file"), std::string::npos) << output;
  EXPECT_FALSE(game.exists("other"));
}

}  // namespace
