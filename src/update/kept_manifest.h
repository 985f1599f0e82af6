// The last manifest a run accepted, kept in the game folder ("patcher_manifest.dat": its 64
// signature bytes, then its exact bytes), so that a start whose release has not changed asks
// the server for the signature alone. The file is a hint, never trusted as it stands: its
// text is verified again under the run's keys before it is used, and a file that is missing,
// damaged, too large or a link counts as none.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The signature at the head of gameDir's kept file; empty when there is no file to use (none,
// or a manifest over maxBytes after it).
std::string readKeptSignature(const std::wstring& gameDir, std::uint64_t maxBytes);

// The kept manifest's text, when the file still begins with signature and the text is at most
// maxBytes; false (and text empty) otherwise. Not verified here: the caller checks the text
// under its keys before it uses anything of it (useKeptManifest in manifest.cpp).
bool readKeptManifest(const std::wstring& gameDir, std::string_view signature,
                      std::uint64_t maxBytes, std::string& text);

// Replaces the kept file with this pair (written whole, then moved over the old one). Silent:
// a file that cannot be written costs the next start a whole manifest, nothing more.
void keepManifest(const std::wstring& gameDir, std::string_view signature, std::string_view text);
