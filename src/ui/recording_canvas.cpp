// The recording back end: every primitive appends a DrawCall.
#include "ui/recording_canvas.h"

#include <algorithm>

namespace {
RecordingCanvas& rec(void* self) { return *static_cast<RecordingCanvas*>(self); }

DrawCall& append(void* self, DrawKind kind) {
  RecordingCanvas& r = rec(self);
  DrawCall& call = r.calls.emplace_back();
  call.kind = kind;
  if (!r.clips.empty()) {
    call.clipped = true;
    call.clip = r.clips.back();
  }
  return call;
}

void doClear(void* self, std::uint32_t rgb) {
  DrawCall& c = append(self, DrawKind::Clear);
  c.rgb = rgb;
  c.opacity = 1.0f;
}

void doFillRect(void* self, RectF rect, std::uint32_t rgb, float opacity) {
  DrawCall& c = append(self, DrawKind::FillRect);
  c.rect = rect;
  c.rgb = rgb;
  c.opacity = opacity;
}

void doRoundRect(void* self, std::uint32_t fill, float fillOpacity, std::uint32_t border,
                 float borderOpacity, RectF rect, float radius) {
  DrawCall& c = append(self, DrawKind::RoundRect);
  c.rect = rect;
  c.rgb = fill;
  c.opacity = fillOpacity;
  c.border = border;
  c.borderOpacity = borderOpacity;
  c.radius = radius;
  c.width = 1.0f;
}

void doStrokeRect(void* self, RectF rect, float radius, std::uint32_t rgb, float opacity,
                  float width) {
  DrawCall& c = append(self, DrawKind::StrokeRect);
  c.rect = rect;
  c.radius = radius;
  c.rgb = rgb;
  c.opacity = opacity;
  c.width = width;
}

void doFillGradient(void* self, RectF rect, float radius, PointF start, PointF end,
                    const GradientStop* stops, int count) {
  DrawCall& c = append(self, DrawKind::Gradient);
  c.rect = rect;
  c.radius = radius;
  c.start = start;
  c.end = end;
  c.stops.assign(stops, stops + std::max(count, 0));
}

void doFillEllipse(void* self, PointF centre, float rx, float ry, std::uint32_t rgb,
                   float opacity) {
  DrawCall& c = append(self, DrawKind::FillEllipse);
  c.rect = {centre.x - rx, centre.y - ry, centre.x + rx, centre.y + ry};
  c.rgb = rgb;
  c.opacity = opacity;
}

void doStrokeEllipse(void* self, PointF centre, float rx, float ry, std::uint32_t rgb,
                     float opacity, float width) {
  DrawCall& c = append(self, DrawKind::StrokeEllipse);
  c.rect = {centre.x - rx, centre.y - ry, centre.x + rx, centre.y + ry};
  c.rgb = rgb;
  c.opacity = opacity;
  c.width = width;
}

void doDrawLine(void* self, PointF from, PointF to, std::uint32_t rgb, float opacity, float width) {
  DrawCall& c = append(self, DrawKind::Line);
  c.rect = {from.x, from.y, to.x, to.y};
  c.rgb = rgb;
  c.opacity = opacity;
  c.width = width;
}

void doDrawGlow(void* self, std::uint32_t rgb, RectF rect, float opacity) {
  DrawCall& c = append(self, DrawKind::Glow);
  c.rect = rect;
  c.rgb = rgb;
  c.opacity = opacity;
}

void doDrawImage(void* self, ImageId image, RectF rect, float opacity) {
  const int i = static_cast<int>(image);
  if (!rec(self).hasImage[i]) return;  // as the real back end: an absent image draws nothing
  DrawCall& c = append(self, DrawKind::Image);
  c.image = image;
  c.rect = rect;
  c.opacity = opacity;
}

bool doImageSize(void* self, ImageId image, float* width, float* height) {
  const RecordingCanvas& r = rec(self);
  const int i = static_cast<int>(image);
  if (!r.hasImage[i]) return false;
  *width = r.imageWidth[i];
  *height = r.imageHeight[i];
  return true;
}

void doPushClip(void* self, RectF rect) {
  DrawCall& c = append(self, DrawKind::PushClip);
  c.rect = rect;
  rec(self).clips.push_back(rect);
}

void doPopClip(void* self) {
  RecordingCanvas& r = rec(self);
  if (!r.clips.empty()) r.clips.pop_back();
  append(self, DrawKind::PopClip);
}

void doDrawText(void* self, std::wstring_view text, TextFormat format, std::uint32_t rgb,
                float opacity, RectF rect, HAlign horizontal, VAlign vertical) {
  const TextFormatStyle& style = textFormatStyle(format);
  DrawCall& c = append(self, DrawKind::Text);
  c.text.assign(text);
  c.format = format;
  c.rgb = rgb;
  c.opacity = opacity;
  c.rect = rect;
  c.horizontal = horizontal == HAlign::Default ? style.horizontal : horizontal;
  c.vertical = vertical == VAlign::Default ? style.vertical : vertical;
}

TextSize doMeasureText(void* self, std::wstring_view text, TextFormat format, float maxWidth) {
  if (rec(self).measure) return rec(self).measure(text, format, maxWidth);
  return recordedTextSize(text, format, maxWidth);
}

// A text call whose colour is the gradient's stops (rgb and opacity left at 0).
void doDrawGradientText(void* self, std::wstring_view text, TextFormat format, RectF rect,
                        PointF start, PointF end, const GradientStop* stops, int count) {
  doDrawText(self, text, format, 0, 0.0f, rect, HAlign::Default, VAlign::Default);
  DrawCall& c = rec(self).calls.back();
  c.start = start;
  c.end = end;
  c.stops.assign(stops, stops + std::max(count, 0));
}

constexpr CanvasOps kRecordingOps = {
    doClear,         doFillRect, doRoundRect,   doStrokeRect,       doFillGradient, doFillEllipse,
    doStrokeEllipse, doDrawLine, doDrawGlow,    doDrawImage,        doImageSize,    doPushClip,
    doPopClip,       doDrawText, doMeasureText, doDrawGradientText,
};
}  // namespace

TextSize recordedTextSize(std::wstring_view text, TextFormat format, float maxWidth) {
  const TextFormatStyle& style = textFormatStyle(format);
  float width = static_cast<float>(text.size()) * style.size * kRecordedAdvance;
  // Wrapping formats break at the layout width; trimmed ones stay on one line.
  float lines = 1.0f;
  if (!style.trimmed && maxWidth > 0 && width > maxWidth) {
    lines = static_cast<float>(static_cast<int>((width + maxWidth - 1.0f) / maxWidth));
    width = maxWidth;
  }
  return {width, style.size * kRecordedLineHeight * lines};
}

RecordingCanvas::RecordingCanvas() = default;

Canvas RecordingCanvas::canvas(int hoverId, int hoverIndex, int pressedId) {
  Canvas c;
  c.self = this;
  c.ops = &kRecordingOps;
  c.output = &output;
  c.hoverId = hoverId;
  c.hoverIndex = hoverIndex;
  c.pressedId = pressedId;
  return c;
}

void RecordingCanvas::setImage(ImageId image, float width, float height) {
  const int i = static_cast<int>(image);
  hasImage[i] = true;
  imageWidth[i] = width;
  imageHeight[i] = height;
}

void RecordingCanvas::reset() {
  calls.clear();
  clearFrameOutput(output);
  clips.clear();
}

std::vector<const DrawCall*> RecordingCanvas::texts() const { return callsOf(DrawKind::Text); }

const DrawCall* RecordingCanvas::findText(std::wstring_view text) const {
  for (const DrawCall& c : calls) {
    if (c.kind == DrawKind::Text && c.text == text) return &c;
  }
  return nullptr;
}

std::vector<const DrawCall*> RecordingCanvas::callsOf(DrawKind kind) const {
  std::vector<const DrawCall*> out;
  for (const DrawCall& c : calls) {
    if (c.kind == kind) out.push_back(&c);
  }
  return out;
}
