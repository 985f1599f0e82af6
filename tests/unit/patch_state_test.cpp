// patcher.ini and patcher_cache.dat: what a damaged or foreign file yields, and that what is
// written reads back.
#include "update/patch_state.h"

#include <gtest/gtest.h>

#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "test_support.h"
#include "update/profile.h"
#include "update/update_settings.h"

namespace {

// Entries of these paths (a FileEntry moves, it is not copied out of a list).
std::vector<FileEntry> entriesOf(std::initializer_list<std::string> paths) {
  std::vector<FileEntry> out(paths.size());
  std::size_t i = 0;
  for (const std::string& path : paths) out[i++].path = path;
  return out;
}

std::string hashOf(const CacheSlot& slot) { return slot.hash.hex(); }

TEST(PatchStateTest, CacheLinesThatAreNotRecordsAreSkipped) {
  TempDir dir;
  const std::string h(64, 'a'), g(64, 'b');
  dir.write("patcher_cache.dat",
            h + "\t10\t20\tData/One.bin\n" +                      // read
                h.substr(1) + "\t1\t2\tshort-hash.bin\n" +        // 63-character hash
                h + "\t1\tthree-fields.bin\n" +                   // only three fields
                g + "\t30\t40\tcrlf.bin\r\n" +                    // carriage return tolerated
                h + "\tx\t-1\tnot-numbers.bin\n" +                // numbers that are not give 0
                h + "\t1\t2\t../escape.bin\n" +                   // unsafe path
                g + "\t11\t21\tdata/one.bin\n" +                  // same key, later wins
                std::string(64, 'z') + "\t1\t2\tnot-hex.bin\n" +  // a hash of other letters
                "\n" + h + "\t5\t6\tno-final-newline.bin");
  const std::vector<FileEntry> entries =
      entriesOf({"data/one.bin", "short-hash.bin", "three-fields.bin", "crlf.bin",
                 "not-numbers.bin", "no-final-newline.bin", "not-hex.bin"});
  // Slots known before the read are forgotten: only the file's lines fill them.
  EntryCache cache(entries.size(), knownSlot(1, 2, h));
  loadEntryCache(normalizeGameDir(dir.path()), entries, cache);
  ASSERT_EQ(cache.size(), entries.size());
  EXPECT_EQ(hashOf(cache[0]), g);
  EXPECT_EQ(cache[0].size, 11u);
  EXPECT_EQ(cache[0].writeTime, 21u);
  EXPECT_FALSE(cache[1].known);
  EXPECT_FALSE(cache[2].known);
  EXPECT_EQ(cache[3].writeTime, 40u);
  EXPECT_EQ(hashOf(cache[3]), g);
  EXPECT_TRUE(cache[4].known);
  EXPECT_EQ(cache[4].size, 0u);
  EXPECT_EQ(cache[4].writeTime, 0u);
  EXPECT_TRUE(cache[5].known);
  EXPECT_EQ(cache[5].size, 5u);
  EXPECT_FALSE(cache[6].known);
}

TEST(PatchStateTest, SaveWritesTheManifestsFilesInOrderWithTheirOwnPathText) {
  TempDir dir;
  const std::wstring gameDir = normalizeGameDir(dir.path());
  const std::string h(64, 'd');
  const std::vector<FileEntry> entries = entriesOf({"b/Two.txt", "missing.txt", "A.txt"});
  const EntryCache cache = {knownSlot(2, 18446744073709551615ull, h), CacheSlot(),
                            knownSlot(1, 132000000000000000ull, h)};
  saveEntryCache(gameDir, entries, cache);
  EXPECT_EQ(dir.read("patcher_cache.dat"),
            h + "\t2\t18446744073709551615\tb/Two.txt\n" + h + "\t1\t132000000000000000\tA.txt\n");
  EXPECT_FALSE(dir.exists("patcher_cache.dat" + wideToUtf8(kTemporarySuffix)));
  EntryCache back;
  loadEntryCache(gameDir, entries, back);
  ASSERT_EQ(back.size(), 3u);
  EXPECT_FALSE(back[1].known);
  EXPECT_EQ(back[0].writeTime, 18446744073709551615ull);
  EXPECT_EQ(back[2].size, 1u);
}

TEST(PatchStateTest, RecordsAreFoundByAnySpellingOfTheirPath) {
  TempDir dir;
  const std::wstring gameDir = normalizeGameDir(dir.path());
  const std::string h(64, 'e');
  // Lower case (the key as it stands), ASCII capitals, and non-ASCII letters (é, C3 A9), which
  // always go through the full lowering.
  dir.write("patcher_cache.dat", h + "\t1\t10\tdata/plain.bin\n" + h + "\t2\t20\tData/Mixed.BIN\n" +
                                     h + "\t3\t30\t\xC3\xA9t\xC3\xA9/x.bin\n");
  const std::vector<FileEntry> entries =
      entriesOf({"DATA/PLAIN.bin", "data/mixed.bin", "\xC3\xA9t\xC3\xA9/X.bin", "data/plain.bi"});
  EntryCache cache;
  loadEntryCache(gameDir, entries, cache);
  ASSERT_EQ(cache.size(), 4u);
  EXPECT_EQ(cache[0].size, 1u);
  EXPECT_EQ(cache[1].writeTime, 20u);
  EXPECT_EQ(cache[2].size, 3u);
  EXPECT_FALSE(cache[3].known);
  // Capitals beyond ASCII (\xC3\x89 is É), and the three Greek sigmas, which NTFS upper-cases
  // alike.
  loadEntryCache(gameDir, entriesOf({"\xC3\x89T\xC3\x89/x.bin"}), cache);
  ASSERT_EQ(cache.size(), 1u);
  EXPECT_EQ(cache[0].size, 3u);
  EXPECT_EQ(cacheKey(L"\u03c3\u03c2"), cacheKey(L"\u03a3\u03a3"));
  EXPECT_NE(cacheKey(L"\u00df"), cacheKey(L"SS")) << "no expansion: \u00df stays one letter";
  EXPECT_TRUE(isOwnCacheKey(L"data\\plain.bin"));
  EXPECT_FALSE(isOwnCacheKey(L"Data\\plain.bin"));
  EXPECT_FALSE(isOwnCacheKey(L"\u00e9.bin"));
}

TEST(PatchStateTest, EntrySlotsAreFilledByAnySpellingAndWrittenBackInManifestOrder) {
  TempDir dir;
  const std::wstring gameDir = normalizeGameDir(dir.path());
  const std::string h(64, 'f'), g(64, 'a');
  // Lines of files the manifest no longer lists, longer together than one piece of the read:
  // the lines after them, one of them across a piece's end, are read whole.
  std::string unlisted;
  for (int i = 0; i < 1000; ++i) unlisted += h + "\t7\t70\told/" + std::to_string(i) + ".bin\n";
  dir.write("patcher_cache.dat", h + "\t1\t10\tdata/plain.bin\n" +  // as the entry spells it
                                     h +
                                     "\t2\t20\tDATA/\xC3\x89T\xC3\x89.bin\n" +  // another spelling
                                     h + "\t3\t30\tgone.bin\n" +                // no such entry
                                     h + "\t4\t40\t../escape.bin\n" +           // unsafe
                                     unlisted + h + "\t5\t50\tlast.bin\n" + g +
                                     "\t6\t60\tdata/plain.bin\r\n");  // later wins
  const std::vector<FileEntry> entries =
      entriesOf({"new.bin", "Data/\xC3\xA9t\xC3\xA9.bin", "data/plain.bin", "last.bin"});
  EntryCache cache;
  loadEntryCache(gameDir, entries, cache);
  ASSERT_EQ(cache.size(), 4u);
  EXPECT_FALSE(cache[0].known);
  EXPECT_TRUE(cache[1].known);
  EXPECT_EQ(cache[1].writeTime, 20u);
  EntryHash hashG;
  ASSERT_TRUE(hashG.assign(g));
  EXPECT_TRUE(slotHashIs(cache[2], hashG));
  EXPECT_EQ(cache[2].size, 6u);
  EXPECT_EQ(cache[3].size, 5u);

  saveEntryCache(gameDir, entries, cache);
  EXPECT_EQ(dir.read("patcher_cache.dat"), h + "\t2\t20\tData/\xC3\xA9t\xC3\xA9.bin\n" + g +
                                               "\t6\t60\tdata/plain.bin\n" + h +
                                               "\t5\t50\tlast.bin\n");
  // A missing file leaves every slot unknown.
  deleteFile(dir.file("patcher_cache.dat"));
  loadEntryCache(gameDir, entries, cache);
  ASSERT_EQ(cache.size(), 4u);
  EXPECT_FALSE(cache[1].known || cache[2].known || cache[3].known);
}

TEST(PatchStateTest, InstalledVersion) {
  TempDir dir;
  const std::wstring gameDir = normalizeGameDir(dir.path());
  EXPECT_FALSE(installedVersion(gameDir).present);
  dir.write("patcher.ini", "[other]\r\nversion=9\r\n");
  EXPECT_FALSE(installedVersion(gameDir).present);
  dir.write("patcher.ini", "[patch]\r\nversion=-5\r\n");
  EXPECT_FALSE(installedVersion(gameDir).present);
  dir.write("patcher.ini", "[Patch]\nVersion = 42 \n");
  EXPECT_TRUE(installedVersion(gameDir).present);
  EXPECT_EQ(installedVersion(gameDir).value, 42);
}

// A run records the version it applies, then the one it completed, in one file replaced whole
// that keeps the rest of its lines; the floor is the higher of the two.
TEST(PatchStateTest, TheRecordReadsBackAndKeepsTheRestOfTheFile) {
  TempDir dir;
  const std::wstring gameDir = normalizeGameDir(dir.path());
  dir.write("patcher.ini", "[first]\r\nkey=value\r\n\r\n[patch]\r\nversion=3\r\nnote=kept\r\n");
  PatchRecord record = readPatchRecord(gameDir);
  ASSERT_TRUE(recordApplying(gameDir, record, 7));
  EXPECT_EQ(dir.read("patcher.ini"),
            "[first]\r\nkey=value\r\n\r\n[patch]\r\nversion=3\r\nnote=kept\r\napplying=7\r\n");
  const PatchRecord interrupted = readPatchRecord(gameDir);
  EXPECT_EQ(interrupted.installed.value, 3);
  EXPECT_EQ(versionFloor(interrupted).value, 7);
  ASSERT_TRUE(recordCompleted(gameDir, record, 7));
  EXPECT_EQ(dir.read("patcher.ini"),
            "[first]\r\nkey=value\r\n\r\n[patch]\r\nversion=7\r\nnote=kept\r\n");
  EXPECT_FALSE(readPatchRecord(gameDir).applying.present);

  // Larger than a record can be: read from its start, and replaced by a fresh file that keeps
  // the versions it named.
  dir.write("patcher.ini", "[patch]\r\nversion=5\r\napplying=6\r\n" +
                               std::string(kProfileMaxBytes, ';') + "\r\nversion=1\r\n");
  record = readPatchRecord(gameDir);
  EXPECT_TRUE(record.oversized);
  EXPECT_EQ(versionFloor(record).value, 6);
  ASSERT_TRUE(recordCompleted(gameDir, record, 6));
  EXPECT_EQ(dir.read("patcher.ini"), "[patch]\r\nversion=6\r\n");
}

// An entry's hash is held as bytes, but spelled and compared exactly as the manifest wrote it:
// a cache record (always lower case) vouches only for a lower-case hash of the same digits.
TEST(PatchStateTest, AnEntryHashComparesAsTheManifestSpelledIt) {
  const std::string lower = "0123456789abcdef00ff10e0" + std::string(40, '7');
  std::string mixed = lower;
  mixed[10] = 'A';
  mixed[63] = 'F';  // the last digit, the last bit of the case mask
  mixed[63 - 1] = '7';
  const CacheSlot slot = knownSlot(1, 2, mixed);
  EntryHash written;
  ASSERT_TRUE(written.assign(mixed));
  EXPECT_EQ(written.hex(), mixed);
  EXPECT_TRUE(slotHashIs(slot, written));
  EntryHash other;
  ASSERT_TRUE(other.assign(lower));
  EXPECT_EQ(other.hex(), lower);
  EXPECT_FALSE(slotHashIs(slot, other));
  EXPECT_FALSE(slotHashIs(CacheSlot(), other));
  std::string notHex = lower;
  notHex[0] = 'g';
  for (const std::string& bad : {lower.substr(1), lower + "0", notHex}) {
    EXPECT_FALSE(other.assign(bad)) << bad;
  }
  EXPECT_EQ(other.hex(), lower) << "a refused text leaves the hash as it was";
}

}  // namespace
