// Manifest: fetch with attempts, signature, the choice among servers (freshness, version),
// parsing of files/news/links, publication.
#include "update/manifest.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>

#include "base/http.h"
#include "base/memory.h"
#include "base/parallel.h"
#include "base/paths.h"
#include "base/text.h"
#include "formats/chunk_list.h"
#include "formats/signature.h"
#include "formats/utc_time.h"
#include "i18n/strings.h"
#include "update/kept_manifest.h"
#include "update/patch_state.h"

namespace {

// "s" and "c": a missing member, a non-number, a negative number or one out of range counts
// as 0.
std::uint64_t readSize(const JsonValue* value) {
  if (value == nullptr || value->kind != JsonKind::Number) return 0;
  const std::int64_t n = value->asInt64();
  return n < 0 ? 0 : static_cast<std::uint64_t>(n);
}

// "chunk_list": {"h", "s", "c"} naming the object that lists the file's chunks, its length no
// more than a list of a file of this size can have. Anything else refuses the entry: the run
// would otherwise fetch and hold whatever length the member claimed.
bool readChunkList(const JsonValue& value, FileEntry& out) {
  if (value.kind != JsonKind::Object) return false;
  ChunkListRef list;
  const JsonValue& hash = value.member("h");
  const JsonValue& size = value.member("s");
  if (hash.kind != JsonKind::String || !list.hash.assign(hash.string) ||
      size.kind != JsonKind::Number) {
    return false;
  }
  const std::int64_t n = size.asInt64();
  if (n < 1 || static_cast<std::uint64_t>(n) > chunkListMaxBytes(out.size) ||
      static_cast<double>(n) != size.number) {
    return false;
  }
  list.size = static_cast<std::uint64_t>(n);
  list.compressedSize = readSize(&value.member("c"));
  out.chunkList = std::make_unique<ChunkListRef>(std::move(list));
  return true;
}

// One "files" element or the "launcher" object, its members found in one pass.
bool readEntry(const JsonValue& value, FileEntry& out, std::wstring& widePath) {
  if (value.kind != JsonKind::Object) return false;
  out = FileEntry();
  const JsonValue* path = nullptr;
  const JsonValue* hash = nullptr;
  const JsonValue* size = nullptr;
  const JsonValue* compressed = nullptr;
  const JsonValue* keep = nullptr;
  const JsonValue* chunkList = nullptr;
  for (const auto& [name, member] : value.members) {
    if (name == "chunk_list") chunkList = &member;
    if (name.size() != 1) continue;
    switch (name[0]) {
      case 'p':
        path = &member;
        break;
      case 'h':
        hash = &member;
        break;
      case 's':
        size = &member;
        break;
      case 'c':
        compressed = &member;
        break;
      case 'k':
        keep = &member;
        break;
      default:
        break;
    }
  }
  // Copied at its length, not moved: the reader's string grew by doubling, and a large game's
  // paths would each carry that slack (16 bytes of every path of 16 to 23 characters).
  if (path != nullptr && path->kind == JsonKind::String) out.path = std::string(path->string);
  if (!isSafeRelativePath(out.path, widePath)) return false;
  if (hash == nullptr || hash->kind != JsonKind::String || !out.hash.assign(hash->string)) {
    return false;
  }
  out.size = readSize(size);
  out.compressedSize = readSize(compressed);
  out.keep = keep != nullptr && keep->kind == JsonKind::Number && keep->number != 0.0;
  return chunkList == nullptr || readChunkList(*chunkList, out);
}

std::wstring stringOr(const JsonValue& object, const char* name, const wchar_t* def) {
  const JsonValue& v = object.member(name);
  return v.kind == JsonKind::String ? utf8ToWide(v.string) : std::wstring(def);
}

bool startsWith(const std::string& text, const char* prefix, std::string& rest) {
  const std::string p(prefix);
  if (text.compare(0, p.size(), p) != 0) return false;
  rest = text.substr(p.size());
  return true;
}

}  // namespace

namespace {

// The value of every byte as a hex digit, -1 for the bytes that are none.
constexpr std::array<std::int8_t, 256> kHexValues = [] {
  std::array<std::int8_t, 256> values{};
  for (int c = 0; c < 256; ++c) {
    values[c] = c >= '0' && c <= '9'   ? static_cast<std::int8_t>(c - '0')
                : c >= 'a' && c <= 'f' ? static_cast<std::int8_t>(c - 'a' + 10)
                : c >= 'A' && c <= 'F' ? static_cast<std::int8_t>(c - 'A' + 10)
                                       : -1;
  }
  return values;
}();

}  // namespace

bool EntryHash::assign(std::string_view text) {
  if (text.size() != 64) return false;
  std::array<std::uint8_t, 32> bytes;
  std::uint64_t upper = 0;
  for (std::size_t i = 0; i < 64; i += 2) {
    const int high = kHexValues[static_cast<unsigned char>(text[i])];
    const int low = kHexValues[static_cast<unsigned char>(text[i + 1])];
    if (high < 0 || low < 0) return false;
    bytes[i / 2] = static_cast<std::uint8_t>(high << 4 | low);
    upper |= static_cast<std::uint64_t>(text[i] >= 'A' && text[i] <= 'F') << i;
    upper |= static_cast<std::uint64_t>(text[i + 1] >= 'A' && text[i + 1] <= 'F') << (i + 1);
  }
  bytes_ = bytes;
  upperDigits_ = upper;
  return true;
}

void EntryHash::writeHex(char* out) const {
  static constexpr char kLower[] = "0123456789abcdef";
  static constexpr char kUpper[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < 64; ++i) {
    const int value = i % 2 == 0 ? bytes_[i / 2] >> 4 : bytes_[i / 2] & 15;
    out[i] = ((upperDigits_ >> i) & 1) != 0 ? kUpper[value] : kLower[value];
  }
}

std::string EntryHash::hex() const {
  std::string text(64, '\0');
  writeHex(text.data());
  return text;
}

bool EntryHash::is(std::string_view text) const {
  char digits[64];
  writeHex(digits);
  return text == std::string_view(digits, sizeof(digits));
}

namespace {

// A sink that collects the manifest up to its cap; tooLarge tells why it stopped.
DataSink manifestSink(LauncherState& state, std::uint64_t maxBytes, std::string& text,
                      bool& tooLarge) {
  return [&text, &state, maxBytes, &tooLarge](const std::uint8_t* bytes, std::uint32_t count) {
    if (state.cancel.load()) return false;
    if (text.size() + count > maxBytes) {
      tooLarge = true;
      return false;
    }
    // A quarter more at a time rather than double: the text of a large manifest stands
    // beside its entries while they are read. (A string's reserve would double anyway, so
    // the larger buffer is a new string.)
    if (text.size() + count > text.capacity()) {
      std::string larger;
      larger.reserve(std::max(text.size() + count, text.size() + text.size() / 4));
      adviseLargePages(larger.data(), larger.capacity());
      larger.append(text);
      text.swap(larger);
    }
    text.append(reinterpret_cast<const char*>(bytes), count);
    return true;
  };
}

// The kept manifest, read into answer, when signature is its signature and it verifies (read
// and checked once a run: a kept file that fails is not read again). Its text is parsed while
// a second thread checks the signature, a hash of the whole text: for a large game, tens of MB
// that would otherwise be read twice in turn. The parse only builds records in memory, and
// they are dropped unless the signature is valid.
bool useKeptManifest(LauncherState& state, const UpdateSettings& settings,
                     const std::wstring& gameDir, KeptManifestState& kept,
                     const std::string& signature, ManifestAnswer& answer) {
  if (kept.refused || kept.signature.empty() || signature != kept.signature) return false;
  postPhase(state, kPhaseVerifying);
  bool verified = false;
  if (readKeptManifest(gameDir, signature, settings.manifestMaxBytes, answer.text)) {
    runJobsInParallel(
        2,
        [&](std::size_t job) {
          if (job == 0) {
            verified = manifestVerifies(settings.publicKeys, signature, answer.text);
          } else {
            answer.parsed = parseManifest(answer.text, answer.manifest, answer.parseError);
          }
        },
        2);
  }
  if (verified) return true;
  releaseText(answer.text);
  answer.parsed = false;
  answer.manifest = ParsedManifest();
  kept.refused = true;
  return false;
}

StringId certificateText(CertificateRefusal refusal) {
  switch (refusal) {
    case CertificateRefusal::WrongHost:
      return kStrErrCertificateHost;
    case CertificateRefusal::Expired:
      return kStrErrCertificateExpired;
    case CertificateRefusal::Unexplained:
      return kStrErrSecureConnection;
    default:
      return kStrErrCertificateUntrusted;
  }
}

}  // namespace

bool manifestVerifies(const std::vector<PublicKey>& keys, std::string_view signature,
                      std::string_view text) {
  return signature.size() == kSignatureBytes &&
         verifyUnderAnyKey(keys, reinterpret_cast<const std::uint8_t*>(signature.data()),
                           reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) >= 0;
}

StepResult fetchManifest(LauncherState& state, const UpdateSettings& settings,
                         const std::wstring& baseUrl, const std::wstring& gameDir,
                         KeptManifestState& kept, ManifestAnswer& answer, ManifestError& error) {
  HttpRequest signatureRequest;
  signatureRequest.url = baseUrl + L"manifest.sig";
  signatureRequest.noCache = true;
  signatureRequest.cancel = &state.cancel;
  HttpRequest manifestRequest = signatureRequest;
  manifestRequest.url = baseUrl + L"manifest.json";
  manifestRequest.acceptCompressed = true;
  std::string& text = answer.text;
  std::string& signature = answer.signature;
  int signatureResult = 0;
  int manifestResult = 0;
  CertificateRefusal refusal = CertificateRefusal::None;
  bool signatureInvalid = false;
  bool mismatched = false;
  // A manifest over the limit stays over it: no other attempt is made, and the message says
  // what is wrong with the server's release rather than with the connection.
  bool tooLarge = false;
  for (int attempt = 0;
       attempt < (mismatched ? kManifestMismatchAttempts : kManifestAttempts) && !tooLarge;
       ++attempt) {
    if (state.cancel.load()) return StepResult::Cancelled;
    if (attempt > 0 && !pauseUnlessCancelled(state, settings.manifestRetryPauseMs)) {
      return StepResult::Cancelled;
    }
    text.clear();
    signatureInvalid = false;
    manifestResult = 0;
    const HttpAnswer signatureAnswer =
        HttpGetToString(signatureRequest, kSignatureBytes, signature);
    signatureResult = signatureAnswer.result;
    refusal = signatureAnswer.certificate;
    // A refused certificate stays refused: asking again only delays the message.
    if (refusal != CertificateRefusal::None) break;
    if (signatureResult != 200 || signature.size() != kSignatureBytes) continue;
    if (useKeptManifest(state, settings, gameDir, kept, signature, answer)) {
      answer.serverTime = signatureAnswer.serverTime;
      answer.kept = true;
      return StepResult::Ok;
    }
    const HttpAnswer fetched =
        HttpGet(manifestRequest, manifestSink(state, settings.manifestMaxBytes, text, tooLarge));
    manifestResult = fetched.result;
    refusal = fetched.certificate;
    if (manifestResult != 200) continue;
    postPhase(state, kPhaseVerifying);
    if (manifestVerifies(settings.publicKeys, signature, text)) {
      answer.serverTime = fetched.serverTime;
      return StepResult::Ok;
    }
    signatureInvalid = true;
    mismatched = true;
  }
  releaseText(text);
  if (state.cancel.load()) return StepResult::Cancelled;
  if (signatureInvalid) {
    error = {ErrorKind::Refused, uiText(kStrErrSignature)};
    return StepResult::Failed;
  }
  if (tooLarge) {
    error = {ErrorKind::Refused, std::wstring(uiText(kStrErrManifest)) + L" (size)"};
    return StepResult::Failed;
  }
  // The status of the request that failed. A signature body longer than 64 bytes is stopped by
  // us (-1) after the server answered 200; it is shown as the 200 it was, like a signature that
  // is too short.
  const int shown = signatureResult != 200 || signature.size() != kSignatureBytes
                        ? (signatureResult == -1 ? 200 : signatureResult)
                        : manifestResult;
  // A refused certificate says why, since retrying never helps and the studio must act.
  if (refusal != CertificateRefusal::None) {
    error = {ErrorKind::Unreachable, uiText(certificateText(refusal))};
    return StepResult::Failed;
  }
  error = {ErrorKind::Unreachable, uiText(kStrErrConnect)};
  if (shown > 0) error.text += L" (HTTP " + std::to_wstring(shown) + L")";
  return StepResult::Failed;
}

bool manifestExpired(std::int64_t expires, std::int64_t localNow, std::int64_t serverNow) {
  return (serverNow > 0 ? serverNow : localNow) > expires;
}

namespace {

// The "expires" member of a verified manifest: false, with the message, when it is malformed
// (the publisher's tool never writes that; an unreadable limit is not taken for none) or past.
bool checkExpiry(const JsonValue& root, const UpdateSettings& settings, std::int64_t serverTime,
                 ManifestError& error) {
  std::int64_t expires = 0;
  switch (readManifestExpiry(root, expires)) {
    case ManifestExpiry::None:
      return true;
    case ManifestExpiry::Malformed:
      error = {ErrorKind::Refused, std::wstring(uiText(kStrErrManifest)) + L" "};
      return false;
    case ManifestExpiry::At:
      break;
  }
  if (!manifestExpired(expires, utcNow() + settings.clockOffsetSeconds, serverTime)) return true;
  error = {ErrorKind::Refused, uiTextWith(kStrErrExpired, utf8ToWide(displayUtcTime(expires)))};
  return false;
}

}  // namespace

StepResult chooseManifest(LauncherState& state, const UpdateSettings& settings,
                          const std::wstring& gameDir, ChosenManifest& out) {
  const std::size_t count = settings.patchUrls.size();
  out = ChosenManifest();
  // The version each server's verified manifest showed, if it showed one.
  std::vector<std::int32_t> shown(count, 0);
  std::vector<bool> showed(count, false);
  // Not below the installed version, nor below one that a run began to apply.
  const InstalledVersion installed = versionFloor(readPatchRecord(gameDir));
  KeptManifestState kept;
  kept.signature = readKeptSignature(gameDir, settings.manifestMaxBytes);
  ManifestError error{ErrorKind::Unreachable, uiText(kStrErrConnect)};
  bool olderThanInstalled = false;
  std::int32_t refusedVersion = 0;
  for (std::size_t i = 0; i < count; ++i) {
    olderThanInstalled = false;
    ManifestAnswer answer;
    const StepResult fetched =
        fetchManifest(state, settings, settings.patchUrls[i], gameDir, kept, answer, error);
    if (fetched == StepResult::Cancelled) return StepResult::Cancelled;
    if (fetched != StepResult::Ok) continue;
    if (!answer.kept)
      answer.parsed = parseManifest(answer.text, answer.manifest, answer.parseError);
    if (!answer.parsed) {
      error = {ErrorKind::Refused, answer.parseError};
      continue;
    }
    // The kept manifest is not written again: its text goes as soon as its entries are read.
    if (answer.kept) releaseText(answer.text);
    const JsonValue& root = answer.manifest.root;
    const std::int32_t version = static_cast<std::int32_t>(root.member("version").asInt64());
    shown[i] = version;
    showed[i] = true;
    if (!checkExpiry(root, settings, answer.serverTime, error)) continue;
    if (installed.present && version < installed.value) {
      error = {ErrorKind::Refused, uiText(kStrErrRollback)};
      olderThanInstalled = true;
      refusedVersion = version;
      continue;
    }
    out.server = i;
    out.manifest = std::move(answer.manifest);
    out.version = version;
    out.older.assign(count, false);
    for (std::size_t j = 0; j < count; ++j) out.older[j] = showed[j] && shown[j] < version;
    out.text = std::move(answer.text);
    out.signature = std::move(answer.signature);
    out.fromKeptFile = answer.kept;
    return StepResult::Ok;
  }
  if (state.cancel.load()) return StepResult::Cancelled;
  // As with one server: a manifest refused for its version still shows that version.
  if (olderThanInstalled) state.version.store(refusedVersion);
  setError(state, error.kind, error.text);
  return StepResult::Failed;
}

bool parseManifest(const std::string& text, ParsedManifest& out, std::wstring& error) {
  out = ParsedManifest();
  // Each "files" element becomes its FileEntry as soon as it is read; the first invalid one
  // marks the list, and the run refuses it once the manifest has been accepted.
  JsonArrayVisitor files;
  files.member = "files";
  files.begin = [&out] {
    out.entries.clear();
    out.entriesValid = true;
  };
  std::wstring widePath;
  files.element = [&out, &widePath](JsonValue& value) {
    if (!out.entriesValid) return;
    FileEntry& entry = out.entries.emplace_back();
    // The launcher's own files are written by the launcher alone.
    if (!readEntry(value, entry, widePath) || isLauncherOwnPath(widePath)) {
      out.entriesValid = false;
      out.entries = std::vector<FileEntry>();
    }
  };
  // Room for every entry at once: growing by doubling would leave, at its last step, the old
  // and the new array side by side. Every entry is one object at least 80 bytes long (a path
  // and 64 hex digits), and a document has no more objects than "{" bytes.
  const std::size_t objects = static_cast<std::size_t>(std::count(text.begin(), text.end(), '{'));
  reserveLarge(out.entries, std::min(objects, text.size() / 80));
  std::string parserMessage;
  const bool parsed = parseJson(text, out.root, &parserMessage, &files);
  JsonValue& root = out.root;
  if (parsed && root.kind == JsonKind::Object && root.member("format").asInt64() == 1 &&
      root.member("files").kind == JsonKind::Array) {
    return true;
  }
  out = ParsedManifest();
  error = std::wstring(uiText(kStrErrManifest)) + L" " +
          (parsed ? std::wstring() : utf8ToWide(parserMessage));
  return false;
}

bool readFileEntry(const JsonValue& value, FileEntry& out) {
  std::wstring widePath;
  return readEntry(value, out, widePath);
}

namespace {

// The cache key of the entry's path, made in key (a buffer reused from one entry to the next).
void makeEntryKey(const FileEntry& entry, std::wstring& key) {
  key.clear();
  appendWidePath(key, entry.path);
  if (!isOwnCacheKey(key)) key = cacheKey(key);
}

std::size_t keyHash(std::wstring_view key) { return std::hash<std::wstring_view>()(key); }

// Whether two of the entries share a key, among those whose keys have one hash.
bool sameKeyAmong(const std::vector<FileEntry>& entries,
                  const std::vector<std::pair<std::size_t, std::uint32_t>>& run) {
  std::vector<std::wstring> keys(run.size());
  for (std::size_t k = 0; k < run.size(); ++k) makeEntryKey(entries[run[k].second], keys[k]);
  std::sort(keys.begin(), keys.end());
  return std::adjacent_find(keys.begin(), keys.end()) != keys.end();
}

}  // namespace

bool fileEntriesAreDistinct(const std::vector<FileEntry>& entries) {
  // Two entries for one file (also differing only in case) would have two workers write the
  // same temporary file at once; such a manifest is refused. The entries are sorted by the
  // hash of their keys, and only keys of equal hash are made again and compared: 16 bytes an
  // entry, where a table of 100,000 keys would cost over 100 each.
  using KeyHash = std::pair<std::size_t, std::uint32_t>;  // hash of the key, entry number
  std::vector<KeyHash> byHash;
  reserveLarge(byHash, entries.size());
  std::vector<std::uint32_t> temporaries;  // entries whose key ends like a temporary file
  std::wstring key;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    makeEntryKey(entries[i], key);
    byHash.emplace_back(keyHash(key), static_cast<std::uint32_t>(i));
    if (isTemporaryPath(key)) temporaries.push_back(static_cast<std::uint32_t>(i));
  }
  std::sort(byHash.begin(), byHash.end());
  const auto sameHash = [](const KeyHash& a, const KeyHash& b) { return a.first == b.first; };
  for (auto run = std::adjacent_find(byHash.begin(), byHash.end(), sameHash); run != byHash.end();
       run = std::adjacent_find(run, byHash.end(), sameHash)) {
    const auto runEnd =
        std::find_if(run, byHash.end(), [&](const KeyHash& k) { return k.first != run->first; });
    if (sameKeyAmong(entries, std::vector<KeyHash>(run, runEnd))) return false;
    run = runEnd;
  }
  // "p" and "p.ap_tmp" both listed: the first one's temporary file is the second one's file,
  // so one download would overwrite the other's content while the cache recorded its hash.
  const std::wstring_view suffix(kTemporarySuffix);
  std::wstring other;
  for (const std::uint32_t i : temporaries) {
    makeEntryKey(entries[i], key);
    const std::wstring_view stem = std::wstring_view(key).substr(0, key.size() - suffix.size());
    const auto [from, to] =
        std::equal_range(byHash.begin(), byHash.end(), KeyHash(keyHash(stem), 0),
                         [](const KeyHash& a, const KeyHash& b) { return a.first < b.first; });
    for (auto it = from; it != to; ++it) {
      makeEntryKey(entries[it->second], other);
      if (other == stem) return false;
    }
  }
  return true;
}

std::vector<NewsItem> readNews(const JsonValue& root) {
  std::vector<NewsItem> news;
  const JsonValue& list = root.member("news");
  if (list.kind != JsonKind::Array) return news;
  news.reserve(list.elements.size());
  for (const JsonValue& element : list.elements) {
    NewsItem item;
    item.date = stringOr(element, "date", L"");
    item.title = stringOr(element, "title", L"");
    item.text = stringOr(element, "text", L"");
    item.url = stringOr(element, "url", L"");
    item.type = stringOr(element, "type", L"noticia");
    item.author = stringOr(element, "author", L"");
    if (element.kind == JsonKind::Object) {
      for (const auto& [name, value] : element.members) {
        if (value.kind != JsonKind::String) continue;
        std::string code;
        if (startsWith(name, "title_", code)) {
          item.titles[code] = utf8ToWide(value.string);
        } else if (startsWith(name, "text_", code)) {
          item.texts[code] = utf8ToWide(value.string);
        }
      }
    }
    news.push_back(std::move(item));
  }
  return news;
}

void keepChosenManifest(const std::wstring& gameDir, ChosenManifest& chosen) {
  if (!chosen.fromKeptFile) keepManifest(gameDir, chosen.signature, chosen.text);
  releaseText(chosen.text);
}

void publishManifest(const JsonValue& root, LauncherState& state) {
  std::wstring gameExe;
  const bool gameExeSafe =
      isSafeRelativePath(root.member("game_exe").asString("Play Quillmark.exe"), gameExe);
  std::vector<NewsItem> news = readNews(root);
  std::map<std::string, std::wstring> links;
  // Each accepted manifest replaces the table whole: links it no longer names are gone.
  const JsonValue& linkObject = root.member("links");
  if (linkObject.kind == JsonKind::Object) {
    for (const auto& [name, value] : linkObject.members) {
      if (value.kind == JsonKind::String) links[name] = utf8ToWide(value.string);
    }
  }
  std::lock_guard<std::mutex> guard(state.lock);
  if (gameExeSafe) state.gameExe = std::move(gameExe);
  state.news = std::move(news);
  state.links = std::move(links);
}

void acceptManifest(LauncherState& state, ChosenManifest& chosen, std::vector<FileEntry>& entries) {
  state.version.store(chosen.version);
  publishManifest(chosen.manifest.root, state);
  notifyPhase(state, kPhaseVerifying, kManifestAccepted);
  entries = std::move(chosen.manifest.entries);
}
