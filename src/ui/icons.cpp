// Drawn likenesses of the icon font's glyphs, in a unit box (-0.5 .. 0.5, y down) scaled to
// the em size.
#include "ui/icons.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {
struct Pen {
  Canvas& c;
  PointF centre;
  float size;
  std::uint32_t rgb;
  float opacity;
  float width;

  PointF at(float x, float y) const { return {centre.x + x * size, centre.y + y * size}; }
  void line(float x0, float y0, float x1, float y1, float w = 0) const {
    drawLine(c, at(x0, y0), at(x1, y1), rgb, opacity, w > 0 ? w : width);
  }
  void poly(std::initializer_list<PointF> points) const {
    const PointF* prev = nullptr;
    for (const PointF& p : points) {
      if (prev) line(prev->x, prev->y, p.x, p.y);
      prev = &p;
    }
  }
  void circle(float x, float y, float r) const {
    strokeEllipse(c, at(x, y), r * size, r * size, rgb, opacity, width);
  }
  void arc(float r, float fromDeg, float toDeg, int segments) const {
    const float k = 3.14159265f / 180.0f;
    for (int i = 0; i < segments; ++i) {
      const float a0 = (fromDeg + (toDeg - fromDeg) * i / segments) * k;
      const float a1 = (fromDeg + (toDeg - fromDeg) * (i + 1) / segments) * k;
      line(r * std::cos(a0), r * std::sin(a0), r * std::cos(a1), r * std::sin(a1));
    }
  }
};

constexpr wchar_t kKnown[] = {0xE896, 0xE8BB, 0xE921, 0xE8B7, 0xE774, 0xE70D,
                              0xE70E, 0xE76B, 0xE76C, 0xE713, 0xE72C, 0xE8BD,
                              0xE8AB, 0xE8A7, 0xE73E, 0xE7BA, 0xE769, 0xE768};
}  // namespace

bool hasIconShape(wchar_t glyph) {
  return std::find(std::begin(kKnown), std::end(kKnown), glyph) != std::end(kKnown);
}

bool drawIconShape(Canvas& c, wchar_t glyph, RectF rect, float size, std::uint32_t rgb,
                   float opacity) {
  if (!hasIconShape(glyph)) return false;
  const Pen p{c,       {(rect.left + rect.right) / 2.0f, (rect.top + rect.bottom) / 2.0f},
              size,    rgb,
              opacity, std::max(1.0f, size / 10.0f)};
  switch (glyph) {
    case 0xE896:  // download: arrow onto a bar
      p.line(0, -0.5f, 0, 0.25f);
      p.poly({{-0.3f, -0.05f}, {0, 0.25f}, {0.3f, -0.05f}});
      p.line(-0.45f, 0.47f, 0.45f, 0.47f);
      break;
    case 0xE8BB:  // close
      p.line(-0.4f, -0.4f, 0.4f, 0.4f);
      p.line(0.4f, -0.4f, -0.4f, 0.4f);
      break;
    case 0xE921:  // minimise
      p.line(-0.45f, 0.05f, 0.45f, 0.05f);
      break;
    case 0xE8B7:  // folder
      p.poly({{-0.5f, 0.4f},
              {-0.5f, -0.38f},
              {-0.1f, -0.38f},
              {0.02f, -0.24f},
              {0.5f, -0.24f},
              {0.5f, 0.4f},
              {-0.5f, 0.4f}});
      p.line(-0.5f, -0.08f, 0.5f, -0.08f);
      break;
    case 0xE774:  // globe
      p.circle(0, 0, 0.48f);
      strokeEllipse(c, p.at(0, 0), 0.2f * size, 0.48f * size, rgb, opacity, p.width);
      p.line(-0.48f, 0, 0.48f, 0);
      break;
    case 0xE70D:  // chevron down
      p.poly({{-0.4f, -0.2f}, {0, 0.2f}, {0.4f, -0.2f}});
      break;
    case 0xE70E:  // chevron up
      p.poly({{-0.4f, 0.2f}, {0, -0.2f}, {0.4f, 0.2f}});
      break;
    case 0xE76B:  // chevron left
      p.poly({{0.2f, -0.4f}, {-0.2f, 0}, {0.2f, 0.4f}});
      break;
    case 0xE76C:  // chevron right
      p.poly({{-0.2f, -0.4f}, {0.2f, 0}, {-0.2f, 0.4f}});
      break;
    case 0xE713: {  // settings: a toothed wheel
      p.circle(0, 0, 0.3f);
      p.circle(0, 0, 0.1f);
      for (int i = 0; i < 8; ++i) {
        const float a = i * 3.14159265f / 4.0f;
        p.line(0.3f * std::cos(a), 0.3f * std::sin(a), 0.48f * std::cos(a), 0.48f * std::sin(a),
               p.width * 1.8f);
      }
      break;
    }
    case 0xE72C:  // refresh: an open circle with an arrowhead at its end
      p.arc(0.4f, -60.0f, 240.0f, 12);
      p.poly({{0.2f, -0.5f}, {0.2f, -0.346f}, {0.05f, -0.3f}});
      break;
    case 0xE8BD:  // message: a speech bubble
      strokeRect(
          c,
          {p.at(-0.5f, -0.42f).x, p.at(-0.5f, -0.42f).y, p.at(0.5f, 0.22f).x, p.at(0.5f, 0.22f).y},
          0.1f * size, rgb, opacity, p.width);
      p.poly({{-0.25f, 0.22f}, {-0.32f, 0.5f}, {0.05f, 0.22f}});
      break;
    case 0xE8AB:  // switch: two opposite arrows
      p.line(-0.45f, -0.2f, 0.45f, -0.2f);
      p.poly({{0.22f, -0.42f}, {0.45f, -0.2f}, {0.22f, 0.02f}});
      p.line(0.45f, 0.25f, -0.45f, 0.25f);
      p.poly({{-0.22f, 0.03f}, {-0.45f, 0.25f}, {-0.22f, 0.47f}});
      break;
    case 0xE8A7:  // open in a new window: a box with an arrow leaving it
      p.poly({{-0.05f, -0.45f}, {-0.45f, -0.45f}, {-0.45f, 0.45f}, {0.45f, 0.45f}, {0.45f, 0.05f}});
      p.line(-0.05f, 0.05f, 0.45f, -0.45f);
      p.poly({{0.1f, -0.45f}, {0.45f, -0.45f}, {0.45f, -0.1f}});
      break;
    case 0xE73E:  // check mark
      p.poly({{-0.42f, 0.02f}, {-0.12f, 0.32f}, {0.44f, -0.3f}});
      break;
    case 0xE7BA:  // warning: a triangle with an exclamation mark
      p.poly({{0, -0.46f}, {0.5f, 0.42f}, {-0.5f, 0.42f}, {0, -0.46f}});
      p.line(0, -0.14f, 0, 0.12f);
      p.line(0, 0.24f, 0, 0.3f);
      break;
    case 0xE769:  // pause: two bars
      p.line(-0.2f, -0.4f, -0.2f, 0.4f, p.width * 2.0f);
      p.line(0.2f, -0.4f, 0.2f, 0.4f, p.width * 2.0f);
      break;
    case 0xE768:  // play: a triangle pointing right
      p.poly({{-0.3f, -0.42f}, {0.42f, 0}, {-0.3f, 0.42f}, {-0.3f, -0.42f}});
      break;
    default:
      return false;
  }
  return true;
}
