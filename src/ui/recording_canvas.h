// The recording back end: keeps every draw call, with its texts, colours and rectangles, so
// that painters and their hit regions can be checked natively. Text is measured by a fixed
// rule (kRecordedAdvance of the format's size per character, kRecordedLineHeight per line)
// so that tests can predict every measured position.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/canvas.h"

inline constexpr float kRecordedAdvance = 0.5f;
inline constexpr float kRecordedLineHeight = 1.25f;

// The size the recording back end measures for text (the same rule as its measureText).
TextSize recordedTextSize(std::wstring_view text, TextFormat format, float maxWidth = 10000.0f);

enum class DrawKind : int {
  Clear,
  FillRect,
  RoundRect,
  StrokeRect,
  Gradient,
  FillEllipse,
  StrokeEllipse,
  Line,
  Glow,
  Image,
  PushClip,
  PopClip,
  Text,
};

struct DrawCall {
  DrawKind kind = DrawKind::Clear;
  // The rectangle drawn into; for ellipses their bounds; for lines (x0, y0, x1, y1).
  RectF rect;
  std::uint32_t rgb = 0;  // fill, stroke, glow or text colour
  float opacity = 0;
  std::uint32_t border = 0;  // roundRect only
  float borderOpacity = 0;
  float radius = 0;
  float width = 0;    // stroke width
  PointF start, end;  // gradients
  std::vector<GradientStop> stops;
  std::wstring text;
  TextFormat format = TextFormat::Regular13;
  HAlign horizontal = HAlign::Default;  // the alignment in effect (override or the format's)
  VAlign vertical = VAlign::Default;
  ImageId image = ImageId::Background;
  // Whether a clip was active, and the innermost one.
  bool clipped = false;
  RectF clip;
};

struct RecordingCanvas {
  RecordingCanvas();

  // A canvas drawing into this recording with the given input state.
  Canvas canvas(int hoverId = 0, int hoverIndex = -1, int pressedId = 0);
  // Pretends an image of that pixel size is loaded (none is, at first).
  void setImage(ImageId image, float width, float height);
  // Forgets the calls and regions recorded so far.
  void reset();

  // The text calls, in drawing order.
  std::vector<const DrawCall*> texts() const;
  // The first text call whose text equals text; null when none.
  const DrawCall* findText(std::wstring_view text) const;
  // The calls of one kind, in drawing order.
  std::vector<const DrawCall*> callsOf(DrawKind kind) const;

  // Measures text in place of the fixed rule when set (a test that checks layouts against a
  // real font's metrics).
  TextSize (*measure)(std::wstring_view text, TextFormat format, float maxWidth) = nullptr;

  std::vector<DrawCall> calls;
  FrameOutput output;
  std::vector<RectF> clips;  // the clip stack while drawing
  bool hasImage[2] = {false, false};
  float imageWidth[2] = {0, 0};
  float imageHeight[2] = {0, 0};
};
