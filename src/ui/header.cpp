// The header, left to right: navigation links, then from the right edge inwards the window
// buttons and the language selector; the logo below the links.
#include "ui/header.h"

#include "i18n/strings.h"
#include "ui/action_ids.h"
#include "ui/layout.h"

namespace {

constexpr StringId kLinkLabels[kHeaderLinkCount] = {kStrHome, kStrDiscord, kStrSupport, kStrRules,
                                                    kStrRegister};

struct WindowButton {
  int actionId;
  wchar_t glyph;
  std::uint32_t hoverFill;
  float hoverOpacity;
};
constexpr WindowButton kWindowButtons[] = {
    {kActionClose, L'\uE8BB', colours::CloseRed, 0.85f},
    {kActionMinimise, L'\uE921', colours::Peach, 0.12f},
    {kActionOpenGameFolder, L'\uE8B7', colours::Peach, 0.12f},
};

void paintLinks(Canvas& c, const HeaderView& view) {
  const float top = kHeaderControlsTop, bottom = kHeaderControlsBottom;
  float x = kHeaderLinksLeft;
  for (int i = 0; i < kHeaderLinkCount; ++i) {
    if (view.linkAddresses[static_cast<std::size_t>(i)].empty()) continue;
    const wchar_t* label = uiText(kLinkLabels[i]);
    const float w = measureText(c, label, TextFormat::Semibold14, 10000.0f).width;
    const bool hovered = c.hoverId == kActionHeaderLink && c.hoverIndex == i;
    drawText(c, label, TextFormat::Semibold14, hovered ? colours::LightGold : colours::Text, 1.0f,
             {x, top, x + w, bottom});
    if (hovered) fillRect(c, {x, bottom - 3.0f, x + w, bottom - 1.0f}, colours::Gold, 1.0f);
    addHitRegion(c, kActionHeaderLink, {x - 6.0f, top, x + w + 6.0f, bottom}, true, i);
    x += w + 24.0f;
  }
}

}  // namespace

float paintWindowButtons(Canvas& c) {
  const float top = kHeaderControlsTop, bottom = kHeaderControlsBottom;
  float right = kWindowButtonsRight;
  for (const WindowButton& b : kWindowButtons) {
    const RectF r = {right - 30.0f, top, right, bottom};
    const bool hovered = c.hoverId == b.actionId;
    roundRect(c, hovered ? b.hoverFill : colours::Peach, hovered ? b.hoverOpacity : 0.04f,
              colours::Peach, 0.18f, r, 4.0f);
    drawText(c, std::wstring(1, b.glyph), TextFormat::Icons10, colours::Text, 1.0f, r);
    addHitRegion(c, b.actionId, r, true, -1);
    right -= 36.0f;
  }
  return right;
}

namespace {

void paintLanguageSelector(Canvas& c, const HeaderView& view, float right) {
  const RectF r = {right - 84.0f, kHeaderControlsTop, right - 6.0f, kHeaderControlsBottom};
  const bool highlighted = c.hoverId == kActionLanguageList || view.languageListOpen;
  if (highlighted) roundRect(c, colours::Peach, 0.08f, 0, 0.0f, r, 4.0f);
  drawText(c, L"\uE774", TextFormat::Icons13, highlighted ? colours::LightGold : colours::Text,
           1.0f, {r.left + 4.0f, r.top, r.left + 24.0f, r.bottom});
  std::wstring code;
  for (const char ch : view.languageCode) {
    code.push_back(static_cast<wchar_t>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch));
  }
  drawText(c, code, TextFormat::Semibold14, colours::Text, 1.0f,
           {r.left + 30.0f, r.top, r.right - 18.0f, r.bottom});
  drawText(c, L"\uE70D", TextFormat::Icons10, colours::SecondaryText, 1.0f,
           {r.right - 18.0f, r.top, r.right - 4.0f, r.bottom});
  addHitRegion(c, kActionLanguageList, r, true, -1);
}

void paintLogo(Canvas& c) {
  float w = 0, h = 0;
  if (imageSize(c, ImageId::Logo, &w, &h) && w > 0 && h > 0) {
    const float s = w * 124.0f / h;
    const float cx = s * 0.5f + 56.0f;
    drawGlow(c, colours::LogoGlow, {cx - s * 0.9f, 17.0f, cx + s * 0.9f, 203.0f}, 0.3f);
    drawImage(c, ImageId::Logo, {56.0f, 48.0f, 56.0f + s, 172.0f}, 1.0f);
    return;
  }
  const GradientStop stops[3] = {{0.0f, colours::LightGold, 1.0f},
                                 {0.6f, colours::Gold, 1.0f},
                                 {1.0f, colours::DarkGold, 1.0f}};
  drawGradientText(c, L"QUILLMARK", TextFormat::Black50, kDrawnTitleRect, {0, 80.0f}, {0, 140.0f},
                   stops, 3);
}

}  // namespace

void paintHeader(Canvas& c, const HeaderView& view) {
  paintLinks(c, view);
  paintLanguageSelector(c, view, paintWindowButtons(c));
  paintLogo(c);
}
