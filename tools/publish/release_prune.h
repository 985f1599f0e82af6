// prune: removes from a release folder the objects that none of its last releases uses, so that
// the folder (and the patch server's copy of it) stops growing with every release, while players
// who fetched one of those manifests shortly before the next was published still find every
// object they are downloading.
//
// The releases are the manifests that build keeps in history/ (at most the version served),
// and the served manifest.json. A folder built before the build kept that history cannot tell
// the objects of its older releases from unused ones: when fewer releases are recorded than
// are to be kept, prune removes nothing and says so.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PruneOptions {
  std::wstring releaseDir;
  int keep = 2;         // releases whose objects stay: the served one and those just before it
  bool dryRun = false;  // report what would go, remove nothing
};

struct PruneReport {
  std::vector<std::int64_t> keptVersions;  // highest first
  std::size_t releasesRecorded = 0;        // the served one and the history's, by version
  bool tooFewReleases = false;             // fewer recorded than keep: nothing was removed
  std::size_t objectsKept = 0;             // objects that the kept releases use
  // "files/ab/<hash>.z" and its length, of each object removed (or, in a dry run, to remove).
  std::vector<std::pair<std::string, std::uint64_t>> removed;
  std::uint64_t removedBytes = 0;
  std::vector<std::string> removedHistory;  // "history/<N>.json"
  std::vector<std::string> notes;           // what was left alone and why, one line each
};

// False with a one-line error when nothing could be pruned (no served release, the folder's lock
// held by a build, a chunk list of a kept release unreadable: then nothing was removed), or when
// some removals failed.
bool pruneRelease(const PruneOptions& options, PruneReport& report, std::string& error);
