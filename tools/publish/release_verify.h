// verify: reads a release folder the way the launcher will (signature, manifest rules, every
// object inflated and hashed), and optionally compares a game folder with it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct VerifyOptions {
  std::wstring releaseDir;
  std::wstring publicKey;  // up to four keys separated by commas: 64 hex digits or .pub files
  std::wstring gameDir;    // optional
  unsigned jobs = 0;       // 0: one per processor
  std::function<void(const std::string&)> progress;  // as for build
};

struct VerifyReport {
  std::vector<std::string> problems;  // one line each; empty when everything holds
  std::size_t objects = 0;            // distinct objects checked
  std::size_t files = 0;              // entries of "files"
  std::size_t gameFilesChecked = 0;   // with a game folder: entries compared
  std::string signedBy;               // the key the signature holds under, in hex
  std::int64_t expires = 0;           // the manifest's "expires"; 0 when it has none
};

// False with a one-line error when the check could not run at all (no usable public key);
// otherwise true, and report.problems lists what does not hold.
bool verifyRelease(const VerifyOptions& options, VerifyReport& report, std::string& error);
