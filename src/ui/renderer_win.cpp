// The Direct2D/DirectWrite/WIC back end.
//
//   globals              factories, formats, image sources, device resources, hit regions
//   set-up               font families with fallback, the 14 text formats, image loading
//   device resources     render target, brush, bitmaps, glow cache; device loss
//   primitives           the CanvasOps table over the current render target
//   frames               paintFrame into the window, paintFrameToPixels into a WIC bitmap
//   PNG output           writePng
#include <windows.h>

#include "ui/renderer.h"
// After windows.h:
#include <d2d1.h>
#include <dwrite.h>
#include <wincodec.h>

#include <utility>

#include "base/paths.h"
#include "ui/icons.h"

namespace renderer {
namespace {

template <typename T>
void release(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}

struct Globals {
  ID2D1Factory* d2d = nullptr;
  IDWriteFactory* dwrite = nullptr;
  IWICImagingFactory* wic = nullptr;
  IDWriteTextFormat* formats[kTextFormatCount] = {};
  IWICFormatConverter* sources[2] = {};  // background, logo
  std::wstring textFamily = L"Segoe UI";
  DWRITE_FONT_STRETCH textStretch = DWRITE_FONT_STRETCH_NORMAL;
  bool iconFont = false;
  // Wine's gradient brushes take the stops' colours as already premultiplied: a stop at
  // opacity 0 would brighten what lies below, and every veil would end in a visible seam.
  bool premultiplyStops = false;

  ID2D1RenderTarget* target = nullptr;
  ID2D1HwndRenderTarget* windowTarget = nullptr;  // the same object when drawing to the window
  ID2D1SolidColorBrush* brush = nullptr;
  ID2D1Bitmap* bitmaps[2] = {};
  std::vector<std::pair<std::uint32_t, ID2D1Bitmap*>> glowCache;
  int clipDepth = 0;

  FrameOutput output;
};
Globals g;

D2D1_COLOR_F colourOf(std::uint32_t rgb, float opacity) {
  return D2D1::ColorF(((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f,
                      (rgb & 0xFF) / 255.0f, opacity);
}

D2D1_RECT_F rectOf(RectF r) { return D2D1::RectF(r.left, r.top, r.right, r.bottom); }

ID2D1SolidColorBrush* brushOf(std::uint32_t rgb, float opacity) {
  if (g.brush) g.brush->SetColor(colourOf(rgb, opacity));
  return g.brush;
}

// ---------------------------------------------------------------- set-up

bool familyExists(IDWriteFontCollection* fonts, const wchar_t* family) {
  UINT32 index = 0;
  BOOL exists = FALSE;
  return fonts && SUCCEEDED(fonts->FindFamilyName(family, &index, &exists)) && exists;
}

// DirectWrite draws nothing for a family that is not installed, so the formats use the first
// of these that is. Windows has the first; the others come close to its widths, DejaVu Sans
// only in its semi-condensed faces (its normal ones are an eighth wider and would trim "100%").
struct FamilyChoice {
  const wchar_t* family;
  DWRITE_FONT_STRETCH stretch;
};
constexpr FamilyChoice kTextFamilies[] = {
    {L"Segoe UI", DWRITE_FONT_STRETCH_NORMAL},
    {L"Tahoma", DWRITE_FONT_STRETCH_NORMAL},
    {L"Liberation Sans", DWRITE_FONT_STRETCH_NORMAL},
    {L"Arial", DWRITE_FONT_STRETCH_NORMAL},
    {L"DejaVu Sans", DWRITE_FONT_STRETCH_SEMI_CONDENSED},
};

void chooseFamilies() {
  IDWriteFontCollection* fonts = nullptr;
  g.dwrite->GetSystemFontCollection(&fonts, FALSE);
  for (const FamilyChoice& choice : kTextFamilies) {
    if (familyExists(fonts, choice.family)) {
      g.textFamily = choice.family;
      g.textStretch = choice.stretch;
      break;
    }
  }
  g.iconFont = familyExists(fonts, L"Segoe MDL2 Assets");
  release(fonts);
}

void createTextFormats() {
  for (int i = 0; i < kTextFormatCount; ++i) {
    const TextFormatStyle& style = textFormatStyle(static_cast<TextFormat>(i));
    // Without the icon font, glyphs that have no drawn likeness fall back to the text family.
    const bool iconFamily = style.icons && g.iconFont;
    const wchar_t* family = iconFamily ? style.family : g.textFamily.c_str();
    IDWriteTextFormat* format = nullptr;
    if (FAILED(g.dwrite->CreateTextFormat(
            family, nullptr, static_cast<DWRITE_FONT_WEIGHT>(style.weight),
            DWRITE_FONT_STYLE_NORMAL, iconFamily ? DWRITE_FONT_STRETCH_NORMAL : g.textStretch,
            style.size, L"", &format))) {
      continue;
    }
    format->SetTextAlignment(style.horizontal == HAlign::Centre ? DWRITE_TEXT_ALIGNMENT_CENTER
                                                                : DWRITE_TEXT_ALIGNMENT_LEADING);
    format->SetParagraphAlignment(style.vertical == VAlign::Centre
                                      ? DWRITE_PARAGRAPH_ALIGNMENT_CENTER
                                      : DWRITE_PARAGRAPH_ALIGNMENT_NEAR);
    g.formats[i] = format;
  }
  // One ellipsis sign, made from the first trimmed format, shared by all trimmed formats.
  IDWriteInlineObject* ellipsis = nullptr;
  for (int i = 0; i < kTextFormatCount; ++i) {
    if (!textFormatStyle(static_cast<TextFormat>(i)).trimmed || !g.formats[i]) continue;
    if (!ellipsis) g.dwrite->CreateEllipsisTrimmingSign(g.formats[i], &ellipsis);
    const DWRITE_TRIMMING trimming = {DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
    g.formats[i]->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
    g.formats[i]->SetTrimming(&trimming, ellipsis);
  }
  release(ellipsis);
}

// A picture from the program's RCDATA resources as a premultiplied BGRA source; null when
// the resource is missing or does not decode.
IWICFormatConverter* loadImage(const wchar_t* name) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  const DWORD size = SizeofResource(module, found);
  void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return nullptr;

  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  bool ok =
      SUCCEEDED(g.wic->CreateStream(&stream)) &&
      SUCCEEDED(stream->InitializeFromMemory(static_cast<BYTE*>(data), size)) &&
      SUCCEEDED(g.wic->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnLoad,
                                               &decoder)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame)) &&
      SUCCEEDED(g.wic->CreateFormatConverter(&converter)) &&
      SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                      nullptr, 0.0, WICBitmapPaletteTypeMedianCut));
  if (!ok) release(converter);
  release(frame);
  release(decoder);
  release(stream);
  return converter;
}

// ---------------------------------------------------------------- device resources

// Brush and bitmaps for a fresh render target (already in g.target).
void makeTargetResources() {
  g.target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
  g.target->CreateSolidColorBrush(D2D1::ColorF(1.0f, 1.0f, 1.0f, 1.0f), &g.brush);
  for (int i = 0; i < 2; ++i) {
    if (g.sources[i]) g.target->CreateBitmapFromWicBitmap(g.sources[i], nullptr, &g.bitmaps[i]);
  }
}

bool makeWindowTarget(HWND window, float dpi) {
  if (g.target) return true;
  if (!g.d2d) return false;
  RECT client = {};
  GetClientRect(window, &client);
  const D2D1_RENDER_TARGET_PROPERTIES props =
      D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(), dpi, dpi);
  const D2D1_HWND_RENDER_TARGET_PROPERTIES windowProps = D2D1::HwndRenderTargetProperties(
      window, D2D1::SizeU(static_cast<UINT32>(client.right - client.left),
                          static_cast<UINT32>(client.bottom - client.top)));
  if (FAILED(g.d2d->CreateHwndRenderTarget(props, windowProps, &g.windowTarget))) return false;
  g.target = g.windowTarget;
  g.target->AddRef();
  makeTargetResources();
  return true;
}

ID2D1Bitmap* glowBitmap(std::uint32_t rgb) {
  for (const auto& entry : g.glowCache) {
    if (entry.first == rgb) return entry.second;
  }
  const std::vector<std::uint32_t> pixels = glowPixels(rgb);
  ID2D1Bitmap* bitmap = nullptr;
  const D2D1_BITMAP_PROPERTIES props = D2D1::BitmapProperties(
      D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 96.0f, 96.0f);
  if (!g.target || FAILED(g.target->CreateBitmap(D2D1::SizeU(kGlowSize, kGlowSize), pixels.data(),
                                                 kGlowSize * 4, props, &bitmap))) {
    return nullptr;
  }
  g.glowCache.emplace_back(rgb, bitmap);
  return bitmap;
}

// ---------------------------------------------------------------- primitives

void opClear(void*, std::uint32_t rgb) { g.target->Clear(colourOf(rgb, 1.0f)); }

void opFillRect(void*, RectF r, std::uint32_t rgb, float opacity) {
  if (ID2D1Brush* b = brushOf(rgb, opacity)) g.target->FillRectangle(rectOf(r), b);
}

void opRoundRect(void*, std::uint32_t fill, float fillOpacity, std::uint32_t border,
                 float borderOpacity, RectF r, float radius) {
  const D2D1_ROUNDED_RECT rounded = D2D1::RoundedRect(rectOf(r), radius, radius);
  if (fillOpacity > 0) {
    if (ID2D1Brush* b = brushOf(fill, fillOpacity)) g.target->FillRoundedRectangle(rounded, b);
  }
  if (borderOpacity > 0) {
    if (ID2D1Brush* b = brushOf(border, borderOpacity)) {
      g.target->DrawRoundedRectangle(rounded, b, 1.0f);
    }
  }
}

void opStrokeRect(void*, RectF r, float radius, std::uint32_t rgb, float opacity, float width) {
  ID2D1Brush* b = brushOf(rgb, opacity);
  if (!b) return;
  if (radius > 0) {
    g.target->DrawRoundedRectangle(D2D1::RoundedRect(rectOf(r), radius, radius), b, width);
  } else {
    g.target->DrawRectangle(rectOf(r), b, width);
  }
}

// A linear gradient brush of up to eight stops; the caller releases it. Null on failure.
ID2D1LinearGradientBrush* makeGradient(PointF start, PointF end, const GradientStop* stops,
                                       int count) {
  if (count < 1 || count > 8) return nullptr;
  D2D1_GRADIENT_STOP d2dStops[8];
  for (int i = 0; i < count; ++i) {
    d2dStops[i] = {stops[i].position, colourOf(stops[i].rgb, stops[i].opacity)};
    if (g.premultiplyStops) {
      d2dStops[i].color.r *= stops[i].opacity;
      d2dStops[i].color.g *= stops[i].opacity;
      d2dStops[i].color.b *= stops[i].opacity;
    }
  }
  ID2D1GradientStopCollection* collection = nullptr;
  ID2D1LinearGradientBrush* gradient = nullptr;
  if (SUCCEEDED(g.target->CreateGradientStopCollection(d2dStops, static_cast<UINT32>(count),
                                                       D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP,
                                                       &collection))) {
    g.target->CreateLinearGradientBrush(
        D2D1::LinearGradientBrushProperties(D2D1::Point2F(start.x, start.y),
                                            D2D1::Point2F(end.x, end.y)),
        collection, &gradient);
  }
  release(collection);
  return gradient;
}

void opFillGradient(void*, RectF r, float radius, PointF start, PointF end,
                    const GradientStop* stops, int count) {
  ID2D1LinearGradientBrush* gradient = makeGradient(start, end, stops, count);
  if (!gradient) return;
  if (radius > 0) {
    g.target->FillRoundedRectangle(D2D1::RoundedRect(rectOf(r), radius, radius), gradient);
  } else {
    g.target->FillRectangle(rectOf(r), gradient);
  }
  release(gradient);
}

void opDrawGradientText(void*, std::wstring_view text, TextFormat format, RectF r, PointF start,
                        PointF end, const GradientStop* stops, int count) {
  IDWriteTextFormat* f = g.formats[static_cast<int>(format)];
  ID2D1LinearGradientBrush* gradient = makeGradient(start, end, stops, count);
  if (f && gradient) {
    g.target->PushAxisAlignedClip(rectOf(r), D2D1_ANTIALIAS_MODE_ALIASED);
    g.target->DrawText(text.data(), static_cast<UINT32>(text.size()), f, rectOf(r), gradient,
                       D2D1_DRAW_TEXT_OPTIONS_CLIP, DWRITE_MEASURING_MODE_NATURAL);
    g.target->PopAxisAlignedClip();
  }
  release(gradient);
}

void opFillEllipse(void*, PointF centre, float rx, float ry, std::uint32_t rgb, float opacity) {
  if (ID2D1Brush* b = brushOf(rgb, opacity)) {
    g.target->FillEllipse(D2D1::Ellipse(D2D1::Point2F(centre.x, centre.y), rx, ry), b);
  }
}

void opStrokeEllipse(void*, PointF centre, float rx, float ry, std::uint32_t rgb, float opacity,
                     float width) {
  if (ID2D1Brush* b = brushOf(rgb, opacity)) {
    g.target->DrawEllipse(D2D1::Ellipse(D2D1::Point2F(centre.x, centre.y), rx, ry), b, width);
  }
}

void opDrawLine(void*, PointF from, PointF to, std::uint32_t rgb, float opacity, float width) {
  if (ID2D1Brush* b = brushOf(rgb, opacity)) {
    g.target->DrawLine(D2D1::Point2F(from.x, from.y), D2D1::Point2F(to.x, to.y), b, width);
  }
}

void opDrawGlow(void*, std::uint32_t rgb, RectF r, float opacity) {
  if (ID2D1Bitmap* bitmap = glowBitmap(rgb)) {
    g.target->DrawBitmap(bitmap, rectOf(r), opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                         nullptr);
  }
}

void opDrawImage(void*, ImageId image, RectF r, float opacity) {
  if (ID2D1Bitmap* bitmap = g.bitmaps[static_cast<int>(image)]) {
    g.target->DrawBitmap(bitmap, rectOf(r), opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                         nullptr);
  }
}

bool opImageSize(void*, ImageId image, float* width, float* height) {
  ID2D1Bitmap* bitmap = g.bitmaps[static_cast<int>(image)];
  if (!bitmap) return false;
  const D2D1_SIZE_U size = bitmap->GetPixelSize();
  *width = static_cast<float>(size.width);
  *height = static_cast<float>(size.height);
  return true;
}

void opPushClip(void*, RectF r) {
  g.target->PushAxisAlignedClip(rectOf(r), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
  ++g.clipDepth;
}

void opPopClip(void*) {
  if (g.clipDepth == 0) return;
  g.target->PopAxisAlignedClip();
  --g.clipDepth;
}

void opDrawText(void* self, std::wstring_view text, TextFormat format, std::uint32_t rgb,
                float opacity, RectF r, HAlign horizontal, VAlign vertical);

TextSize opMeasureText(void*, std::wstring_view text, TextFormat format, float maxWidth) {
  IDWriteTextFormat* f = g.formats[static_cast<int>(format)];
  IDWriteTextLayout* layout = nullptr;
  TextSize size;
  if (f && g.dwrite &&
      SUCCEEDED(g.dwrite->CreateTextLayout(text.data(), static_cast<UINT32>(text.size()), f,
                                           maxWidth, 10000.0f, &layout))) {
    DWRITE_TEXT_METRICS metrics = {};
    if (SUCCEEDED(layout->GetMetrics(&metrics))) {
      size = {metrics.widthIncludingTrailingWhitespace, metrics.height};
    }
  }
  release(layout);
  return size;
}

constexpr CanvasOps kDirect2DOps = {
    opClear,         opFillRect, opRoundRect,   opStrokeRect,       opFillGradient, opFillEllipse,
    opStrokeEllipse, opDrawLine, opDrawGlow,    opDrawImage,        opImageSize,    opPushClip,
    opPopClip,       opDrawText, opMeasureText, opDrawGradientText,
};

Canvas direct2DCanvas(int hoverId, int hoverIndex, int pressedId) {
  Canvas c;
  c.ops = &kDirect2DOps;
  c.output = &g.output;
  c.hoverId = hoverId;
  c.hoverIndex = hoverIndex;
  c.pressedId = pressedId;
  return c;
}

void opDrawText(void*, std::wstring_view text, TextFormat format, std::uint32_t rgb, float opacity,
                RectF r, HAlign horizontal, VAlign vertical) {
  const TextFormatStyle& style = textFormatStyle(format);
  if (style.icons && !g.iconFont && text.size() == 1) {
    Canvas c = direct2DCanvas(0, -1, 0);
    if (drawIconShape(c, text[0], r, style.size, rgb, opacity)) return;
  }
  IDWriteTextFormat* f = g.formats[static_cast<int>(format)];
  ID2D1Brush* b = brushOf(rgb, opacity);
  if (!f || !b) return;
  // An alignment for this call alone: set on the shared format and put back afterwards.
  const DWRITE_TEXT_ALIGNMENT oldH = f->GetTextAlignment();
  const DWRITE_PARAGRAPH_ALIGNMENT oldV = f->GetParagraphAlignment();
  if (horizontal != HAlign::Default) {
    f->SetTextAlignment(horizontal == HAlign::Centre     ? DWRITE_TEXT_ALIGNMENT_CENTER
                        : horizontal == HAlign::Trailing ? DWRITE_TEXT_ALIGNMENT_TRAILING
                                                         : DWRITE_TEXT_ALIGNMENT_LEADING);
  }
  if (vertical != VAlign::Default) {
    f->SetParagraphAlignment(vertical == VAlign::Centre   ? DWRITE_PARAGRAPH_ALIGNMENT_CENTER
                             : vertical == VAlign::Bottom ? DWRITE_PARAGRAPH_ALIGNMENT_FAR
                                                          : DWRITE_PARAGRAPH_ALIGNMENT_NEAR);
  }
  // Wine's DrawText ignores the clip option and lets a wrapped line run out of its
  // rectangle (a long status message would cover the progress bar), so the rectangle is
  // also set as a clip; on Windows the two clips are the same.
  g.target->PushAxisAlignedClip(rectOf(r), D2D1_ANTIALIAS_MODE_ALIASED);
  g.target->DrawText(text.data(), static_cast<UINT32>(text.size()), f, rectOf(r), b,
                     D2D1_DRAW_TEXT_OPTIONS_CLIP, DWRITE_MEASURING_MODE_NATURAL);
  g.target->PopAxisAlignedClip();
  if (horizontal != HAlign::Default) f->SetTextAlignment(oldH);
  if (vertical != VAlign::Default) f->SetParagraphAlignment(oldV);
}

// Draws one frame into g.target; returns EndDraw's result.
HRESULT drawFrame(const FrameView& view) {
  Canvas c = direct2DCanvas(view.hoverId, view.hoverIndex, view.pressedId);
  g.target->BeginDraw();
  g.target->SetTransform(D2D1::Matrix3x2F::Identity());
  g.clipDepth = 0;
  paintFrameContent(c, view);
  while (g.clipDepth > 0) opPopClip(nullptr);
  return g.target->EndDraw();
}

}  // namespace

// ---------------------------------------------------------------- interface

void initialise() {
  if (g.d2d) return;
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  g.premultiplyStops = ntdll && GetProcAddress(ntdll, "wine_get_version");
  D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, &g.d2d);
  DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                      reinterpret_cast<IUnknown**>(&g.dwrite));
  CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&g.wic));
  if (g.dwrite) {
    chooseFamilies();
    createTextFormats();
  }
  if (g.wic) {
    g.sources[0] = loadImage(L"BACKGROUND");
    g.sources[1] = loadImage(L"LOGO");
  }
}

void releaseDeviceResources() {
  for (auto& entry : g.glowCache) release(entry.second);
  g.glowCache.clear();
  release(g.bitmaps[0]);
  release(g.bitmaps[1]);
  release(g.brush);
  release(g.windowTarget);
  release(g.target);
}

void shutdown() {
  releaseDeviceResources();
  release(g.sources[0]);
  release(g.sources[1]);
  for (auto& format : g.formats) release(format);
  release(g.wic);
  release(g.dwrite);
  release(g.d2d);
}

void resize(unsigned width, unsigned height) {
  if (g.windowTarget) g.windowTarget->Resize(D2D1::SizeU(width, height));
}

void setDpi(float dpi) {
  if (g.target) g.target->SetDpi(dpi, dpi);
}

void paintFrame(void* window, float dpi, const FrameView& view) {
  // Without a render target the frame is abandoned; the next paint tries again.
  if (!makeWindowTarget(static_cast<HWND>(window), dpi)) return;
  if (drawFrame(view) == static_cast<HRESULT>(0x8899000C) /* D2DERR_RECREATE_TARGET */) {
    releaseDeviceResources();
  }
}

const FrameOutput& frameOutput() { return g.output; }

bool paintFrameToPixels(const FrameView& view, unsigned width, unsigned height, float dpi,
                        std::vector<std::uint32_t>& pixels) {
  if (!g.d2d || !g.wic || width == 0 || height == 0 || width > 16384 || height > 16384) {
    return false;
  }
  releaseDeviceResources();
  IWICBitmap* bitmap = nullptr;
  if (FAILED(g.wic->CreateBitmap(width, height, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad,
                                 &bitmap))) {
    return false;
  }
  const D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties(
      D2D1_RENDER_TARGET_TYPE_DEFAULT,
      D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), dpi, dpi);
  bool ok = false;
  if (SUCCEEDED(g.d2d->CreateWicBitmapRenderTarget(bitmap, props, &g.target))) {
    makeTargetResources();
    if (SUCCEEDED(drawFrame(view))) {
      pixels.assign(static_cast<size_t>(width) * height, 0);
      const WICRect all = {0, 0, static_cast<INT>(width), static_cast<INT>(height)};
      ok = SUCCEEDED(bitmap->CopyPixels(&all, width * 4, static_cast<UINT>(pixels.size() * 4),
                                        reinterpret_cast<BYTE*>(pixels.data())));
    }
  }
  releaseDeviceResources();
  release(bitmap);
  return ok;
}

bool writePng(const std::wstring& path, unsigned width, unsigned height,
              const std::vector<std::uint32_t>& pixels) {
  if (!g.wic || pixels.size() != static_cast<size_t>(width) * height || width == 0) return false;
  const std::wstring temporary = path + kTemporarySuffix;
  IWICStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  IPropertyBag2* options = nullptr;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  bool ok = SUCCEEDED(g.wic->CreateStream(&stream)) &&
            SUCCEEDED(stream->InitializeFromFilename(temporary.c_str(), GENERIC_WRITE)) &&
            SUCCEEDED(g.wic->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
            SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
            SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) &&
            SUCCEEDED(frame->Initialize(options)) && SUCCEEDED(frame->SetSize(width, height)) &&
            SUCCEEDED(frame->SetPixelFormat(&format)) &&
            IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) &&
            SUCCEEDED(frame->WritePixels(
                height, width * 4, static_cast<UINT>(pixels.size() * 4),
                reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(pixels.data())))) &&
            SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  release(options);
  release(frame);
  release(encoder);
  release(stream);  // closes the file
  if (ok) {
    ok = MoveFileExW(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

TextSize measureText(std::wstring_view text, TextFormat format, float maxWidth) {
  return opMeasureText(nullptr, text, format, maxWidth);
}

std::wstring textFamily() { return g.textFamily; }
bool hasIconFont() { return g.iconFont; }
bool hasImage(ImageId image) { return g.sources[static_cast<int>(image)] != nullptr; }

}  // namespace renderer
