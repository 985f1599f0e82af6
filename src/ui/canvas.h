// The drawing interface that every painter uses, and the pieces built on it.
//
//   geometry, palette      RectF, PointF, contains, colours::* (the canvas's size and the
//                          screen's fixed rectangles are in layout.h)
//   text formats           TextFormat and the table of the 14 formats
//   frame output           what a frame publishes for input: hit regions, slider tracks and
//                          scrollable areas
//   Canvas, CanvasOps      a back end's primitives as a table of function pointers, plus the
//                          frame output and the hover and press state of the frame
//   primitives             free functions that forward to the back end
//   widgets                gradientRect, sectionHeading, chipButton, primaryButton,
//                          toggleSwitch, sliderBar
//   publishing             addHitRegion, addSliderTrack, addScrollArea
//   hit testing            findHitRegion
//   glow pixels            the 256 x 256 premultiplied light the back ends stretch
//
// Two back ends fill CanvasOps: Direct2D/DirectWrite on Windows (renderer_win.cpp) and the
// recording canvas (recording_canvas.h), which keeps every call so that painters and hit
// regions can be checked on any platform. All geometry is in canvas units (96 dpi).
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

struct RectF {
  float left = 0, top = 0, right = 0, bottom = 0;
  constexpr float width() const { return right - left; }
  constexpr float height() const { return bottom - top; }
};

// Left and top edges belong to the rectangle, right and bottom edges do not.
constexpr bool contains(RectF r, float x, float y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

struct PointF {
  float x = 0, y = 0;
};

// Colours are 0xRRGGBB; opacity travels beside them.
namespace colours {
inline constexpr std::uint32_t Backdrop = 0x0F0808;
inline constexpr std::uint32_t Shade = 0x0A0404;
inline constexpr std::uint32_t Ember = 0x8A3418;
inline constexpr std::uint32_t DeepEmber = 0x6B2A18;
inline constexpr std::uint32_t LogoGlow = 0xC8742A;
inline constexpr std::uint32_t Gold = 0xE8B04B;
inline constexpr std::uint32_t LightGold = 0xFFD98A;
inline constexpr std::uint32_t ButtonGold = 0xF6C766;
inline constexpr std::uint32_t DarkGold = 0xA8701F;
inline constexpr std::uint32_t Peach = 0xF0A080;
inline constexpr std::uint32_t Text = 0xECE4DC;
inline constexpr std::uint32_t MutedText = 0x7A6A64;
inline constexpr std::uint32_t SecondaryText = 0xB9A8A0;
inline constexpr std::uint32_t CloseRed = 0xE5484D;
inline constexpr std::uint32_t White = 0xFFFFFF;
// The main screen's own colours.
inline constexpr std::uint32_t Panel = 0x140A0A;
inline constexpr std::uint32_t ErrorRed = 0xFF6B6B;
inline constexpr std::uint32_t ReadyGreen = 0x7BD88F;
inline constexpr std::uint32_t BrightText = 0xF4EEDF;
inline constexpr std::uint32_t MessageText = 0xE2D6CC;
inline constexpr std::uint32_t Track = 0x3A1A12;
inline constexpr std::uint32_t ButtonInk = 0x2A1A05;
inline constexpr std::uint32_t ButtonDisabled = 0x2A1410;
// The panels' cards, and the knobs of switches and sliders.
inline constexpr std::uint32_t Card = 0x1A0E0C;
inline constexpr std::uint32_t Knob = 0xF2E6D8;
}  // namespace colours

enum class TextFormat : int {
  Black50,
  Regular13,
  Semibold14,
  Bold15,
  Bold23,
  Regular13_5,
  Semibold13_5,
  Regular11_5,
  Bold11_5,
  Bold22Centred,
  Semibold13Centred,
  Icons13,
  Icons10,
  Light44,
};
inline constexpr int kTextFormatCount = 14;

// Default alignments belong to the format; a call may override them for itself only.
enum class HAlign : int { Default, Leading, Trailing, Centre };
enum class VAlign : int { Default, Top, Centre, Bottom };

struct TextFormatStyle {
  const wchar_t* family;  // "Segoe UI" or "Segoe MDL2 Assets"
  int weight;             // 300 light .. 900 black
  float size;             // canvas units
  HAlign horizontal;      // Leading or Centre
  VAlign vertical;        // Top or Centre
  bool trimmed;           // one line, trimmed with an ellipsis; otherwise wrapped
  bool icons;             // drawn from the icon font
};
const TextFormatStyle& textFormatStyle(TextFormat format);

struct TextSize {
  float width = 0, height = 0;
};

enum class ImageId : int { Background, Logo };

struct GradientStop {
  float position;
  std::uint32_t rgb;
  float opacity;
};

// One entry per clickable thing of the last frame; later entries lie above earlier ones.
struct HitRegion {
  std::int32_t actionId = 0;
  RectF rect;
  bool enabled = true;
  std::int32_t itemIndex = -1;
};

// A slider's track as drawn, with the action id and item index of its hit region: a drag
// turns the pointer's x into a value from 0 (left end) to 1 (right end).
struct SliderTrack {
  std::int32_t actionId = 0;
  std::int32_t itemIndex = -1;
  RectF track;
};

// What the wheel scrolls over a scrollable area.
enum class ScrollKind : int {
  NewsList,
  NewsBody,
  PopUpList,
  SettingsPage,
  SettingsList,
  SettingsTabs,
};

struct ScrollArea {
  ScrollKind kind = ScrollKind::NewsList;
  RectF rect;
  // The largest offset the content allows: the wheel keeps the offset within 0 and this, so
  // scrolling past an end is not stored up.
  float limit = 0;
};

// What one frame publishes for input, each list in drawing order: the input reads it instead
// of knowing where the painters put things.
struct FrameOutput {
  std::vector<HitRegion> hitRegions;
  std::vector<SliderTrack> sliderTracks;
  std::vector<ScrollArea> scrollAreas;
};
void clearFrameOutput(FrameOutput& output);

// A back end's primitives; `self` is the back end's own state.
struct CanvasOps {
  void (*clear)(void* self, std::uint32_t rgb);
  void (*fillRect)(void* self, RectF rect, std::uint32_t rgb, float opacity);
  // Fills when fillOpacity > 0, then strokes 1.0 wide when borderOpacity > 0; radius 0 is square.
  void (*roundRect)(void* self, std::uint32_t fill, float fillOpacity, std::uint32_t border,
                    float borderOpacity, RectF rect, float radius);
  // A rectangle outline of the given width.
  void (*strokeRect)(void* self, RectF rect, float radius, std::uint32_t rgb, float opacity,
                     float width);
  // A linear gradient from start to end (gamma 2.2, clamped) filling a (rounded) rectangle.
  void (*fillGradient)(void* self, RectF rect, float radius, PointF start, PointF end,
                       const GradientStop* stops, int count);
  void (*fillEllipse)(void* self, PointF centre, float rx, float ry, std::uint32_t rgb,
                      float opacity);
  void (*strokeEllipse)(void* self, PointF centre, float rx, float ry, std::uint32_t rgb,
                        float opacity, float width);
  void (*drawLine)(void* self, PointF from, PointF to, std::uint32_t rgb, float opacity,
                   float width);
  // The glow of rgb (glowPixels) stretched into rect with linear interpolation.
  void (*drawGlow)(void* self, std::uint32_t rgb, RectF rect, float opacity);
  void (*drawImage)(void* self, ImageId image, RectF rect, float opacity);
  // The image's size in pixels; false when the image is not there.
  bool (*imageSize)(void* self, ImageId image, float* width, float* height);
  void (*pushClip)(void* self, RectF rect);
  void (*popClip)(void* self);
  // Text clipped to rect; alignments other than Default replace the format's for this call.
  void (*drawText)(void* self, std::wstring_view text, TextFormat format, std::uint32_t rgb,
                   float opacity, RectF rect, HAlign horizontal, VAlign vertical);
  // Width including trailing white space and height of the text laid out in maxWidth x 10000;
  // 0, 0 when it cannot be laid out.
  TextSize (*measureText)(void* self, std::wstring_view text, TextFormat format, float maxWidth);
  // Text in the format's alignment, painted with a linear gradient from start to end (as
  // fillGradient's); nothing when the gradient cannot be made.
  void (*drawGradientText)(void* self, std::wstring_view text, TextFormat format, RectF rect,
                           PointF start, PointF end, const GradientStop* stops, int count);
};

// What a painter draws into: the back end, the frame output it fills, and the input state of
// the previous frame that hover and press feedback reads.
struct Canvas {
  void* self = nullptr;
  const CanvasOps* ops = nullptr;
  FrameOutput* output = nullptr;
  int hoverId = 0;
  int hoverIndex = -1;
  int pressedId = 0;
};

// Primitives, forwarded to the back end.
inline void fillRect(Canvas& c, RectF r, std::uint32_t rgb, float opacity) {
  c.ops->fillRect(c.self, r, rgb, opacity);
}
inline void roundRect(Canvas& c, std::uint32_t fill, float fillOpacity, std::uint32_t border,
                      float borderOpacity, RectF r, float radius) {
  c.ops->roundRect(c.self, fill, fillOpacity, border, borderOpacity, r, radius);
}
inline void strokeRect(Canvas& c, RectF r, float radius, std::uint32_t rgb, float opacity,
                       float width) {
  c.ops->strokeRect(c.self, r, radius, rgb, opacity, width);
}
inline void fillEllipse(Canvas& c, PointF centre, float rx, float ry, std::uint32_t rgb,
                        float opacity) {
  c.ops->fillEllipse(c.self, centre, rx, ry, rgb, opacity);
}
inline void strokeEllipse(Canvas& c, PointF centre, float rx, float ry, std::uint32_t rgb,
                          float opacity, float width) {
  c.ops->strokeEllipse(c.self, centre, rx, ry, rgb, opacity, width);
}
inline void drawLine(Canvas& c, PointF from, PointF to, std::uint32_t rgb, float opacity,
                     float width) {
  c.ops->drawLine(c.self, from, to, rgb, opacity, width);
}
inline void drawGlow(Canvas& c, std::uint32_t rgb, RectF r, float opacity) {
  c.ops->drawGlow(c.self, rgb, r, opacity);
}
inline void drawImage(Canvas& c, ImageId image, RectF r, float opacity) {
  c.ops->drawImage(c.self, image, r, opacity);
}
inline bool imageSize(Canvas& c, ImageId image, float* width, float* height) {
  return c.ops->imageSize(c.self, image, width, height);
}
inline void pushClip(Canvas& c, RectF r) { c.ops->pushClip(c.self, r); }
inline void popClip(Canvas& c) { c.ops->popClip(c.self); }
inline void drawText(Canvas& c, std::wstring_view text, TextFormat format, std::uint32_t rgb,
                     float opacity, RectF r, HAlign horizontal = HAlign::Default,
                     VAlign vertical = VAlign::Default) {
  c.ops->drawText(c.self, text, format, rgb, opacity, r, horizontal, vertical);
}
inline TextSize measureText(Canvas& c, std::wstring_view text, TextFormat format, float maxWidth) {
  return c.ops->measureText(c.self, text, format, maxWidth);
}
inline void drawGradientText(Canvas& c, std::wstring_view text, TextFormat format, RectF r,
                             PointF start, PointF end, const GradientStop* stops, int count) {
  c.ops->drawGradientText(c.self, text, format, r, start, end, stops, count);
}

// A two-stop gradient; the stops sit at 0.0 and 1.0 of the line from start to end.
void gradientRect(Canvas& c, std::uint32_t rgb1, float opacity1, std::uint32_t rgb2, float opacity2,
                  RectF r, float radius, PointF start, PointF end);

// A panel's heading at (x, y): a gold accent bar and the text in Bold15, LightGold, drawn
// into (x + 12, y, right, y + 22).
void sectionHeading(Canvas& c, float x, float y, std::wstring_view text, float right);
inline void sectionHeading(Canvas& c, float x, float y, std::wstring_view text) {
  sectionHeading(c, x, y, text, x + 400.0f);
}

// The secondary button; glyph 0 draws the label alone.
void chipButton(Canvas& c, int actionId, std::wstring_view label, wchar_t glyph, bool enabled,
                RectF r);

// The large gold button. Hover and press come from the canvas's input state.
void primaryButton(Canvas& c, int actionId, std::wstring_view label, TextFormat format,
                   bool enabled, RectF r);

// An on/off switch filling r (46 x 24 where the screens draw it): a pill, Gold when on and
// Peach when off, more opaque while hovered, and a round knob 12 units inside the end that
// stands for the state (right: on).
void toggleSwitch(Canvas& c, RectF r, bool on, bool hovered);
// A slider along track (a bar 4 high): the Track-coloured bar, the Gold part up to fraction
// (0..1) and the knob there, larger while active (hovered or dragged).
void sliderBar(Canvas& c, RectF track, float fraction, bool active);

// Appended to the canvas's frame output (nothing without one).
void addHitRegion(Canvas& c, int actionId, RectF r, bool enabled, int itemIndex);
void addSliderTrack(Canvas& c, int actionId, int itemIndex, RectF track);
void addScrollArea(Canvas& c, ScrollKind kind, RectF area, float limit);

// The topmost region holding (x, y): searched from the last entry backwards, left and top
// inclusive, right and bottom exclusive. Null when none does.
const HitRegion* findHitRegion(const std::vector<HitRegion>& regions, float x, float y);

// A soft round light of rgb: 256 x 256 premultiplied B8G8R8A8 pixels, row by row, each
// packed as alpha << 24 | red << 16 | green << 8 | blue.
inline constexpr int kGlowSize = 256;
std::vector<std::uint32_t> glowPixels(std::uint32_t rgb);
