// Text format table, the widgets built on the primitives, the frame output, hit testing and
// the glow pixels.
#include "ui/canvas.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr const wchar_t* kTextFamily = L"Segoe UI";
constexpr const wchar_t* kIconFamily = L"Segoe MDL2 Assets";

// In the order of TextFormat.
constexpr TextFormatStyle kFormats[kTextFormatCount] = {
    {kTextFamily, 900, 50.0f, HAlign::Leading, VAlign::Top, false, false},    // Black50
    {kTextFamily, 400, 13.0f, HAlign::Leading, VAlign::Top, false, false},    // Regular13
    {kTextFamily, 600, 14.0f, HAlign::Leading, VAlign::Centre, true, false},  // Semibold14
    {kTextFamily, 700, 15.0f, HAlign::Leading, VAlign::Centre, true, false},  // Bold15
    {kTextFamily, 700, 23.0f, HAlign::Leading, VAlign::Top, false, false},    // Bold23
    {kTextFamily, 400, 13.5f, HAlign::Leading, VAlign::Top, false, false},    // Regular13_5
    {kTextFamily, 600, 13.5f, HAlign::Leading, VAlign::Top, true, false},     // Semibold13_5
    {kTextFamily, 400, 11.5f, HAlign::Leading, VAlign::Top, true, false},     // Regular11_5
    {kTextFamily, 700, 11.5f, HAlign::Leading, VAlign::Top, true, false},     // Bold11_5
    {kTextFamily, 700, 22.0f, HAlign::Centre, VAlign::Centre, true, false},   // Bold22Centred
    {kTextFamily, 600, 13.0f, HAlign::Centre, VAlign::Centre, true, false},   // Semibold13Centred
    {kIconFamily, 400, 13.0f, HAlign::Centre, VAlign::Centre, false, true},   // Icons13
    {kIconFamily, 400, 10.0f, HAlign::Centre, VAlign::Centre, false, true},   // Icons10
    {kTextFamily, 300, 44.0f, HAlign::Leading, VAlign::Centre, true, false},  // Light44
};
}  // namespace

const TextFormatStyle& textFormatStyle(TextFormat format) {
  const int i = static_cast<int>(format);
  return kFormats[(i >= 0 && i < kTextFormatCount) ? i : 0];
}

void gradientRect(Canvas& c, std::uint32_t rgb1, float opacity1, std::uint32_t rgb2, float opacity2,
                  RectF r, float radius, PointF start, PointF end) {
  const GradientStop stops[2] = {{0.0f, rgb1, opacity1}, {1.0f, rgb2, opacity2}};
  c.ops->fillGradient(c.self, r, radius, start, end, stops, 2);
}

void clearFrameOutput(FrameOutput& output) {
  output.hitRegions.clear();
  output.sliderTracks.clear();
  output.scrollAreas.clear();
}

void addHitRegion(Canvas& c, int actionId, RectF r, bool enabled, int itemIndex) {
  if (c.output) c.output->hitRegions.push_back(HitRegion{actionId, r, enabled, itemIndex});
}

void addSliderTrack(Canvas& c, int actionId, int itemIndex, RectF track) {
  if (c.output) c.output->sliderTracks.push_back(SliderTrack{actionId, itemIndex, track});
}

void addScrollArea(Canvas& c, ScrollKind kind, RectF area, float limit) {
  if (c.output) c.output->scrollAreas.push_back(ScrollArea{kind, area, limit});
}

void sectionHeading(Canvas& c, float x, float y, std::wstring_view text, float right) {
  fillRect(c, {x, y + 3.0f, x + 3.0f, y + 19.0f}, colours::Gold, 1.0f);
  drawText(c, text, TextFormat::Bold15, colours::LightGold, 1.0f, {x + 12.0f, y, right, y + 22.0f});
}

void chipButton(Canvas& c, int actionId, std::wstring_view label, wchar_t glyph, bool enabled,
                RectF r) {
  const bool hovered = c.hoverId == actionId && enabled;
  roundRect(c, colours::Peach, hovered ? 0.10f : 0.04f, hovered ? colours::Gold : colours::Peach,
            hovered ? 0.55f : 0.14f, r, 6.0f);
  const std::uint32_t labelColour = enabled ? colours::Text : colours::MutedText;
  if (glyph == 0) {
    drawText(c, label, TextFormat::Semibold13Centred, labelColour, 1.0f, r);
  } else {
    const float room = r.width() - 40.0f;
    const float w =
        std::min(measureText(c, label, TextFormat::Semibold13Centred, room).width, room);
    const float x = (r.left + r.right - (w + 22.0f)) / 2.0f;
    const wchar_t glyphText[1] = {glyph};
    drawText(c, std::wstring_view(glyphText, 1), TextFormat::Icons10,
             hovered ? colours::LightGold : labelColour, 1.0f, {x, r.top, x + 14.0f, r.bottom});
    drawText(c, label, TextFormat::Semibold13Centred, labelColour, 1.0f,
             {x + 22.0f, r.top, x + 22.0f + w + 2.0f, r.bottom}, HAlign::Centre, VAlign::Centre);
  }
  addHitRegion(c, actionId, r, enabled, -1);
}

void primaryButton(Canvas& c, int actionId, std::wstring_view label, TextFormat format,
                   bool enabled, RectF r) {
  const bool hovered = c.hoverId == actionId && enabled;
  const bool pressed = hovered && c.pressedId == actionId;
  if (pressed) {
    r.top += 1.0f;
    r.bottom += 1.0f;
  }
  if (enabled) {
    if (hovered) {
      const float cx = (r.left + r.right) / 2.0f, cy = (r.top + r.bottom) / 2.0f;
      const float hw = r.width() * 0.75f, hh = r.height() * 1.4f;
      drawGlow(c, colours::Gold, {cx - hw, cy - hh, cx + hw, cy + hh}, 0.22f);
    }
    const GradientStop stops[3] = {
        {0.0f, hovered ? colours::LightGold : colours::ButtonGold, 1.0f},
        {0.55f, colours::Gold, 1.0f},
        {1.0f, colours::DarkGold, 1.0f},
    };
    c.ops->fillGradient(c.self, r, 6.0f, {r.left, r.top}, {r.left, r.bottom}, stops, 3);
    roundRect(c, 0, 0.0f, colours::White, 0.28f, r, 6.0f);
    drawText(c, label, format, colours::ButtonInk, 1.0f, r, HAlign::Centre, VAlign::Centre);
  } else {
    roundRect(c, colours::ButtonDisabled, 0.55f, colours::Peach, 0.10f, r, 6.0f);
    drawText(c, label, format, colours::SecondaryText, 0.8f, r, HAlign::Centre, VAlign::Centre);
  }
  addHitRegion(c, actionId, r, enabled, -1);
}

void toggleSwitch(Canvas& c, RectF r, bool on, bool hovered) {
  const std::uint32_t tint = on ? colours::Gold : colours::Peach;
  roundRect(c, tint, hovered ? 0.35f : 0.12f, tint, on ? 0.55f : 0.18f, r, r.height() / 2.0f);
  const float y = (r.top + r.bottom) / 2.0f;
  fillEllipse(c, {on ? r.right - 12.0f : r.left + 12.0f, y}, 9.0f, 9.0f, colours::Knob, 1.0f);
}

void sliderBar(Canvas& c, RectF track, float fraction, bool active) {
  const float t = std::clamp(fraction, 0.0f, 1.0f);
  const float x = track.left + track.width() * t;
  roundRect(c, colours::Track, 1.0f, 0, 0.0f, track, 2.0f);
  if (t > 0)
    roundRect(c, colours::Gold, 1.0f, 0, 0.0f, {track.left, track.top, x, track.bottom}, 2.0f);
  const PointF knob = {x, (track.top + track.bottom) / 2.0f};
  const float radius = active ? 9.0f : 8.0f;
  fillEllipse(c, knob, radius, radius, colours::Knob, 1.0f);
  strokeEllipse(c, knob, radius, radius, colours::Gold, 0.8f, 1.5f);
}

const HitRegion* findHitRegion(const std::vector<HitRegion>& regions, float x, float y) {
  for (auto it = regions.rbegin(); it != regions.rend(); ++it) {
    if (contains(it->rect, x, y)) return &*it;
  }
  return nullptr;
}

std::vector<std::uint32_t> glowPixels(std::uint32_t rgb) {
  std::vector<std::uint32_t> pixels(static_cast<size_t>(kGlowSize) * kGlowSize, 0);
  const double red = ((rgb >> 16) & 0xFF) / 255.0;
  const double green = ((rgb >> 8) & 0xFF) / 255.0;
  const double blue = (rgb & 0xFF) / 255.0;
  for (int row = 0; row < kGlowSize; ++row) {
    const double u = ((row + 0.5) / kGlowSize) * 2.0 - 1.0;
    for (int col = 0; col < kGlowSize; ++col) {
      const double v = ((col + 0.5) / kGlowSize) * 2.0 - 1.0;
      const double d = std::sqrt(u * u + v * v);
      if (d >= 1.0) continue;
      const double i = (1.0 - d) * (1.0 - d);
      const auto channel = [i](double x) {
        return static_cast<std::uint32_t>(i * x * 255.0 + 0.5);
      };
      pixels[static_cast<size_t>(row) * kGlowSize + col] =
          channel(1.0) << 24 | channel(red) << 16 | channel(green) << 8 | channel(blue);
    }
  }
  return pixels;
}
