// libFuzzer target for the manifest as the update run reads it after its signature: the
// shape check, the file entries, the news and the links. Beyond memory errors, it checks that
// every accepted entry list could be written to a game folder safely:
//   - each path passes the path rules and is not one of the launcher's own files;
//   - no two entries name one file on Windows (NTFS case), and no entry is another one's
//     temporary file;
//   - each hash is 64 hex digits;
// and that news and links can be read from any accepted root.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "base/case_fold.h"
#include "base/paths.h"
#include "update/launcher_state.h"
#include "update/manifest.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "manifest_fuzz: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ParsedManifest manifest;
  std::wstring error;
  if (!parseManifest(text, manifest, error)) {
    check(!error.empty(), "refused without a message");
    return 0;
  }
  LauncherState state;
  publishManifest(manifest.root, state);
  (void)readNews(manifest.root);

  const std::vector<FileEntry>& entries = manifest.entries;
  check(manifest.entriesValid || entries.empty(), "an invalid list kept entries");
  if (!manifest.entriesValid || !fileEntriesAreDistinct(entries)) return 0;
  std::set<std::wstring> keys;
  for (const FileEntry& e : entries) {
    std::wstring again;
    check(isSafeRelativePath(e.path, again) && again == entryWidePath(e), "entry path not safe");
    check(!isLauncherOwnPath(again), "entry names a file of the launcher");
    check(keys.insert(nameKey(again)).second, "two entries name one file");
  }
  for (const std::wstring& key : keys) {
    check(keys.count(nameKey(key + kTemporarySuffix)) == 0, "an entry is another's temporary file");
  }
  return 0;
}
