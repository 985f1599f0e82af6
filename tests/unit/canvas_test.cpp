// The drawing interface's shared pieces: the chip button, hit testing, the glow pixels, the
// backdrop's cover geometry and the drawn icons, checked through the recording back end.
#include "ui/canvas.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ui/action_ids.h"
#include "ui/fit_text.h"
#include "ui/focus.h"
#include "ui/frame.h"
#include "ui/icons.h"
#include "ui/layout.h"
#include "ui/recording_canvas.h"
#include "update/launcher_state.h"

namespace {
void expectRect(const RectF& r, float l, float t, float rt, float b) {
  EXPECT_FLOAT_EQ(r.left, l);
  EXPECT_FLOAT_EQ(r.top, t);
  EXPECT_FLOAT_EQ(r.right, rt);
  EXPECT_FLOAT_EQ(r.bottom, b);
}
}  // namespace

TEST(ChipButton, HoverTurnsTheBorderGoldOnlyWhenEnabled) {
  RecordingCanvas rec;
  const RectF r = {100, 200, 250, 234};
  Canvas hovered = rec.canvas(18);
  chipButton(hovered, 18, L"Repair files", 0, true, r);
  const DrawCall* bg = rec.callsOf(DrawKind::RoundRect)[0];
  EXPECT_FLOAT_EQ(bg->opacity, 0.10f);
  EXPECT_EQ(bg->border, colours::Gold);
  EXPECT_FLOAT_EQ(bg->borderOpacity, 0.55f);
  EXPECT_FLOAT_EQ(bg->radius, 6);
  const DrawCall* label = rec.findText(L"Repair files");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->rgb, colours::Text);
  EXPECT_EQ(label->format, TextFormat::Semibold13Centred);
  expectRect(label->rect, 100, 200, 250, 234);

  // Disabled: the pointer over it changes nothing, the label is muted, the region disabled.
  rec.reset();
  chipButton(hovered, 18, L"Repair files", 0, false, r);
  bg = rec.callsOf(DrawKind::RoundRect)[0];
  EXPECT_FLOAT_EQ(bg->opacity, 0.04f);
  EXPECT_EQ(bg->border, colours::Peach);
  EXPECT_FLOAT_EQ(bg->borderOpacity, 0.14f);
  EXPECT_EQ(rec.findText(L"Repair files")->rgb, colours::MutedText);
  ASSERT_EQ(rec.output.hitRegions.size(), 1u);
  EXPECT_EQ(rec.output.hitRegions[0].actionId, 18);
  EXPECT_FALSE(rec.output.hitRegions[0].enabled);
  EXPECT_EQ(rec.output.hitRegions[0].itemIndex, -1);
}

TEST(ChipButton, IconAndLabelAreCentredAsAGroup) {
  RecordingCanvas rec;
  const RectF r = {100, 200, 300, 234};
  Canvas c = rec.canvas(17);
  chipButton(c, 17, L"Settings", 0xE713, true, r);
  const float w = recordedTextSize(L"Settings", TextFormat::Semibold13Centred).width;
  const float x = (100 + 300 - (w + 22)) / 2;
  const DrawCall* glyph = rec.findText(L"\uE713");
  ASSERT_NE(glyph, nullptr);
  EXPECT_EQ(glyph->format, TextFormat::Icons10);
  EXPECT_EQ(glyph->rgb, colours::LightGold);  // hovered
  expectRect(glyph->rect, x, 200, x + 14, 234);
  const DrawCall* label = rec.findText(L"Settings");
  expectRect(label->rect, x + 22, 200, x + 22 + w + 2, 234);
  EXPECT_EQ(label->horizontal, HAlign::Centre);
  EXPECT_EQ(label->vertical, VAlign::Centre);

  // A label wider than the button less 40 is held to that width.
  rec.reset();
  const std::wstring longLabel(60, L'x');
  chipButton(c, 17, longLabel, 0xE713, true, {0, 0, 140, 30});
  const DrawCall* clipped = rec.findText(longLabel);
  EXPECT_FLOAT_EQ(clipped->rect.right - clipped->rect.left, 100 + 2);
  EXPECT_FLOAT_EQ(rec.findText(L"\uE713")->rect.left, (140 - (100 + 22)) / 2.0f);
}

TEST(HitTesting, TopmostRegionWinsWithHalfOpenEdges) {
  std::vector<HitRegion> regions;
  regions.push_back({22, kCanvasRect, true, -1});
  regions.push_back({8, {10, 10, 50, 30}, true, 0});
  regions.push_back({8, {10, 30, 50, 50}, false, 1});
  EXPECT_EQ(findHitRegion(regions, 10, 10)->itemIndex, 0);  // left and top inclusive
  EXPECT_EQ(findHitRegion(regions, 49.9f, 29.9f)->itemIndex, 0);
  EXPECT_EQ(findHitRegion(regions, 20, 30)->itemIndex, 1);  // bottom exclusive: next row
  EXPECT_FALSE(findHitRegion(regions, 20, 30)->enabled);    // disabled regions are hit too
  EXPECT_EQ(findHitRegion(regions, 50, 20)->actionId, 22);  // right exclusive
  EXPECT_EQ(findHitRegion(regions, kCanvasWidth, 100), nullptr);
  EXPECT_EQ(findHitRegion(regions, -1, 100), nullptr);
  regions.push_back({1, kCanvasRect, true, -1});  // drawn last, lies above all
  EXPECT_EQ(findHitRegion(regions, 20, 20)->actionId, 1);
  EXPECT_EQ(findHitRegion({}, 0, 0), nullptr);
}

TEST(FocusOrder, ReadingOrderAboveTheLastBackgroundEnabledOnly) {
  // A header row drawn from its right edge inwards, a column below it, a disabled button.
  std::vector<HitRegion> regions = {
      {22, kCanvasRect, true, -1},          {5, {30, 16, 80, 46}, true, 0},
      {1, {1060, 16, 1090, 46}, true, -1},  {2, {1024, 16, 1054, 46}, true, -1},
      {4, {898, 20, 976, 42}, true, -1},    {8, {400, 270, 600, 330}, true, 0},
      {8, {400, 336, 600, 396}, true, 1},   {18, {800, 400, 1000, 440}, false, -1},
      {21, {800, 598, 1098, 660}, true, -1}};
  const auto ids = [](const std::vector<const HitRegion*>& order) {
    std::vector<std::pair<int, int>> out;
    for (const HitRegion* r : order) out.emplace_back(r->actionId, r->itemIndex);
    return out;
  };
  using Ids = std::vector<std::pair<int, int>>;
  EXPECT_EQ(ids(focusOrder(regions)),
            (Ids{{5, 0}, {4, -1}, {2, -1}, {1, -1}, {8, 0}, {8, 1}, {21, -1}}));
  // An open list's background: only what lies above it.
  regions.push_back({27, kCanvasRect, true, -1});
  regions.push_back({26, {300, 100, 500, 132}, true, 0});
  regions.push_back({26, {300, 132, 500, 164}, true, 1});
  EXPECT_EQ(ids(focusOrder(regions)), (Ids{{26, 0}, {26, 1}}));
  EXPECT_TRUE(focusOrder({}).empty());
}

TEST(FocusOrder, TheRingGoesRoundTheTopmostRegionOfTheFocusOverEverything) {
  RecordingCanvas rec;
  Canvas c = rec.canvas();
  FrameView view;
  view.main.run.phase = kPhaseReady;
  view.focusId = kActionPlay;
  paintFrameContent(c, view);
  const std::vector<const DrawCall*> strokes = rec.callsOf(DrawKind::StrokeRect);
  ASSERT_EQ(strokes.size(), 2u);  // the ring, then the window's border
  EXPECT_EQ(strokes[0]->rgb, colours::LightGold);
  EXPECT_FLOAT_EQ(strokes[0]->rect.left, kMainButtonRect.left - 3);
  EXPECT_FLOAT_EQ(strokes[0]->rect.bottom, kMainButtonRect.bottom + 3);
  EXPECT_FALSE(strokes[0]->clipped);
  view.focusIndex = 4;  // no such region: no ring
  rec.reset();
  paintFrameContent(c, view);
  EXPECT_EQ(rec.callsOf(DrawKind::StrokeRect).size(), 1u);
}

TEST(GlowPixels, PremultipliedRoundLightPackedAsBgra) {
  const std::vector<std::uint32_t> red = glowPixels(0xFF0000);
  ASSERT_EQ(red.size(), static_cast<size_t>(kGlowSize * kGlowSize));
  const auto at = [&](const std::vector<std::uint32_t>& p, int row, int col) {
    return p[static_cast<size_t>(row) * kGlowSize + col];
  };
  // Centre: d = 0.0055, intensity 0.989 -> alpha and red 252; green and blue 0.
  EXPECT_EQ(at(red, 128, 128), 0xFCFC0000u);
  // Corners and the edge midpoints lie outside the unit circle (or on its rim): empty.
  EXPECT_EQ(at(red, 0, 0), 0u);
  EXPECT_EQ(at(red, 255, 255), 0u);
  EXPECT_EQ(at(red, 0, 128) >> 24, 0u);
  // Symmetric, falling off from the centre, and never a channel above alpha.
  const std::vector<std::uint32_t> gold = glowPixels(colours::Gold);
  for (int row = 0; row < kGlowSize; row += 7) {
    for (int col = 0; col < kGlowSize; col += 5) {
      const std::uint32_t p = at(gold, row, col);
      EXPECT_EQ(p, at(gold, 255 - row, 255 - col));
      EXPECT_EQ(p, at(gold, col, row));
      const std::uint32_t a = p >> 24;
      EXPECT_LE((p >> 16) & 0xFF, a);
      EXPECT_LE((p >> 8) & 0xFF, a);
      EXPECT_LE(p & 0xFF, a);
    }
  }
  EXPECT_GT(at(gold, 128, 128) >> 24, at(gold, 128, 160) >> 24);
  EXPECT_GT(at(gold, 128, 160) >> 24, at(gold, 128, 220) >> 24);
  // Gold's channels scale with intensity: 232, 176, 75 at the centre's 0.989.
  EXPECT_EQ(at(gold, 128, 128), 0xFCE5AE4Au);
}

TEST(Backdrop, PictureOfAnyShapeCoversTheCanvasCentred) {
  const float shapes[][2] = {
      {1600, 976}, {4000, 500}, {300, 3000}, {kCanvasWidth, kCanvasHeight}, {10, 10}};
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape[0]);
    RecordingCanvas rec;
    rec.setImage(ImageId::Background, shape[0], shape[1]);
    Canvas c = rec.canvas();
    paintBackdrop(c);
    const auto images = rec.callsOf(DrawKind::Image);
    ASSERT_EQ(images.size(), 1u);
    const RectF r = images[0]->rect;
    EXPECT_LE(r.left, 0.001f);
    EXPECT_LE(r.top, 0.001f);
    EXPECT_GE(r.right, kCanvasWidth - 0.001f);
    EXPECT_GE(r.bottom, kCanvasHeight - 0.001f);
    EXPECT_NEAR(r.left + r.right, kCanvasWidth, 0.01);
    EXPECT_NEAR(r.top + r.bottom, kCanvasHeight, 0.01);
    // One side fits exactly; the aspect ratio is kept.
    EXPECT_TRUE(std::fabs(r.width() - kCanvasWidth) < 0.01 ||
                std::fabs(r.height() - kCanvasHeight) < 0.01);
    EXPECT_NEAR(r.width() / r.height(), shape[0] / shape[1], 0.001);
    EXPECT_TRUE(rec.callsOf(DrawKind::Glow).empty());
    // The veil and the three shade gradients follow the picture.
    ASSERT_EQ(rec.callsOf(DrawKind::Gradient).size(), 3u);
    EXPECT_FLOAT_EQ(rec.callsOf(DrawKind::Gradient)[0]->end.x, 700.6f);
    EXPECT_FLOAT_EQ(rec.callsOf(DrawKind::Gradient)[2]->stops[1].opacity, 0.85f);
  }
}

TEST(Backdrop, WithoutPictureTwoEmberGlows) {
  RecordingCanvas rec;
  FrameView frame;
  Canvas c = rec.canvas();
  paintFrameContent(c, frame);
  ASSERT_EQ(rec.calls[0].kind, DrawKind::Clear);
  EXPECT_EQ(rec.calls[0].rgb, colours::Backdrop);
  EXPECT_EQ(rec.calls[1].kind, DrawKind::Glow);
  EXPECT_EQ(rec.calls[1].rgb, colours::Ember);
  expectRect(rec.calls[1].rect, -120, -100, 720, 620);
  EXPECT_EQ(rec.calls[2].kind, DrawKind::Glow);
  EXPECT_EQ(rec.calls[2].rgb, colours::DeepEmber);
  expectRect(rec.calls[2].rect, 590, -140, 1230, 380);
  // The window border is the last thing drawn, above every screen.
  const DrawCall& border = rec.calls.back();
  EXPECT_EQ(border.kind, DrawKind::StrokeRect);
  EXPECT_EQ(border.rgb, colours::Peach);
  EXPECT_FLOAT_EQ(border.opacity, 0.1f);
  expectRect(border.rect, 0.5f, 0.5f, kCanvasWidth - 0.5f, kCanvasHeight - 0.5f);
}

TEST(IconShapes, EveryGlyphOfTheScreensIsDrawnInsideItsBox) {
  const wchar_t glyphs[] = {0xE896, 0xE8BB, 0xE921, 0xE8B7, 0xE774, 0xE70D,
                            0xE713, 0xE72C, 0xE8BD, 0xE8AB, 0xE8A7, 0xE7BA};
  const RectF box = {100, 50, 114, 68};  // 14 x 18, centre (107, 59)
  for (wchar_t glyph : glyphs) {
    SCOPED_TRACE(static_cast<int>(glyph));
    RecordingCanvas rec;
    Canvas c = rec.canvas();
    ASSERT_TRUE(drawIconShape(c, glyph, box, 10.0f, colours::Gold, 0.5f));
    ASSERT_FALSE(rec.calls.empty());
    for (const DrawCall& call : rec.calls) {
      EXPECT_EQ(call.rgb, colours::Gold);
      EXPECT_FLOAT_EQ(call.opacity, 0.5f);
      // Every point within the 10-unit em box around the centre.
      EXPECT_GE(std::fmin(call.rect.left, call.rect.right), 107 - 5.01f);
      EXPECT_LE(std::fmax(call.rect.left, call.rect.right), 107 + 5.01f);
      EXPECT_GE(std::fmin(call.rect.top, call.rect.bottom), 59 - 5.01f);
      EXPECT_LE(std::fmax(call.rect.top, call.rect.bottom), 59 + 5.01f);
    }
  }
  RecordingCanvas rec;
  Canvas c = rec.canvas();
  EXPECT_FALSE(drawIconShape(c, L'A', box, 10.0f, colours::Gold, 1.0f));
  EXPECT_TRUE(rec.calls.empty());
}

TEST(TextFormats, TableMatchesTheFormatsTheScreensName) {
  EXPECT_EQ(textFormatStyle(TextFormat::Light44).weight, 300);
  EXPECT_FLOAT_EQ(textFormatStyle(TextFormat::Light44).size, 44);
  EXPECT_TRUE(textFormatStyle(TextFormat::Light44).trimmed);
  EXPECT_EQ(textFormatStyle(TextFormat::Black50).weight, 900);
  EXPECT_FLOAT_EQ(textFormatStyle(TextFormat::Regular13_5).size, 13.5f);
  EXPECT_FALSE(textFormatStyle(TextFormat::Regular13_5).trimmed);
  EXPECT_EQ(textFormatStyle(TextFormat::Bold22Centred).horizontal, HAlign::Centre);
  EXPECT_TRUE(textFormatStyle(TextFormat::Icons10).icons);
  EXPECT_FALSE(textFormatStyle(TextFormat::Icons10).trimmed);
  int trimmed = 0;
  for (int i = 0; i < kTextFormatCount; ++i) trimmed += textFormatStyle(TextFormat(i)).trimmed;
  EXPECT_EQ(trimmed, 8);
}

// Measured by the recording rule: Regular13_5 advances 6.75 per character, so a room of n
// characters is n * 6.75 + 0.5 (the half unit kept spare) wide.
TEST(FitText, ALongLineGivesUpThePathsMiddleThenItsStartAndKeepsTheFileName) {
  const std::wstring inUse =
      L"File in use - close the game and try again: data/levels/sub/level_07.pak";
  const struct {
    std::wstring text;
    int room;  // characters
    std::wstring shown;
  } cases[] = {
      {inUse, 72, inUse},
      {inUse, 70, L"File in use - close the game and try again: data/\u2026/sub/level_07.pak"},
      {inUse, 64, L"File in use - close the game and try again: data/\u2026/level_07.pak"},
      // The words before the path go from the start, never leaving a dash first.
      {inUse, 52, L"\u2026close the game and try again: data/\u2026/level_07.pak"},
      {inUse, 30, L"\u2026again: data/\u2026/level_07.pak"},
      {inUse, 16, L"\u2026/level_07.pak"},
      {inUse, 9, L"\u2026/level_\u2026"},
      {L"Could not write file: C:\\Games\\Quillmark\\patcher.ini", 40,
       L"Could not write file: C:\\\u2026\\patcher.ini"},
      {L"Downloading data/maps/harbour town.pak", 35, L"Downloading data/\u2026/harbour town.pak"},
      // Without a path the start stays.
      {L"Could not connect to the patch server.", 20, L"Could not connect t\u2026"},
  };
  RecordingCanvas rec;
  Canvas c = rec.canvas();
  for (const auto& k : cases) {
    const float width = static_cast<float>(k.room) * 6.75f + 0.5f;
    const std::wstring shown = fitLine(c, k.text, TextFormat::Regular13_5, width);
    EXPECT_EQ(shown, k.shown) << k.room;
    EXPECT_LE(recordedTextSize(shown, TextFormat::Regular13_5).width, width) << k.room;
  }
}

// Bold23 advances 11.5 per character and its lines are 28.75 high: ten characters a line at
// a width of 115.
TEST(FitText, WrappedTextCutAtItsHeightEndsAfterAWholeWord) {
  RecordingCanvas rec;
  Canvas c = rec.canvas();
  const float twoLines = 2 * 28.75f;
  EXPECT_EQ(fitLines(c, L"Harbour opens today", TextFormat::Bold23, 115, twoLines),
            L"Harbour opens today");
  EXPECT_EQ(fitLines(c, L"The harbour opens at dawn today", TextFormat::Bold23, 115, twoLines),
            L"The harbour opens\u2026");
  EXPECT_EQ(fitLines(c, L"Unbelievablylongsingleword", TextFormat::Bold23, 115, twoLines),
            L"Unbelievablylongsin\u2026");
}
