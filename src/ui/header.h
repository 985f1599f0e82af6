// The header: the navigation links, the window's own buttons (close, minimise, game folder),
// the language selector and the logo (or the drawn title without a logo picture).
#pragma once
#include <array>
#include <string>

#include "ui/canvas.h"

// The navigation links in drawing order; the position is the link's item index.
inline constexpr int kHeaderLinkCount = 5;
inline constexpr const char* kHeaderLinkKeys[kHeaderLinkCount] = {"site", "discord", "support",
                                                                  "rules", "register"};

struct HeaderView {
  // Each link's address by item index; a link without one is not drawn.
  std::array<std::wstring, kHeaderLinkCount> linkAddresses;
  // The game client's language code as stored ("pt"); shown upper-cased.
  std::string languageCode;
  bool languageListOpen = false;
};

// Draws the header and registers its regions: links (5, item = table index), the window
// buttons (1 close, 2 minimise, 3 game folder) and the language selector (4).
void paintHeader(Canvas& c, const HeaderView& view);
// The window buttons alone (close, minimise, game folder, from the right edge inwards), as the
// header draws them; the advanced settings pages draw them too, so that the window can be
// closed and minimised from there. Returns the right edge left over beside them.
float paintWindowButtons(Canvas& c);
