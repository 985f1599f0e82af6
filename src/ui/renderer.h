// The Direct2D/DirectWrite/WIC renderer of the launcher window (Windows only; the functions are
// defined in renderer_win.cpp). Process-wide and used from the UI thread alone.
//
// Life: initialise (factories, the 14 text formats, the two pictures from the program's
// resources) before the window is shown; paintFrame on every WM_PAINT, which makes the render
// target and its brush and bitmaps when there is none and drops them when the device is lost;
// releaseDeviceResources and then shutdown at exit, before COM is uninitialised.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/canvas.h"
#include "ui/frame.h"

namespace renderer {

// Creates the three factories, the text formats and the image sources; a step that fails
// leaves its resource empty and the frame draws without it. COM must be initialised.
void initialise();
// Releases the glow cache, both bitmaps, the brush and the render target.
void releaseDeviceResources();
// Releases everything initialise made (call after releaseDeviceResources, before
// CoUninitialize).
void shutdown();
// Forwarded to the render target when it exists: client size in pixels, window dpi.
void resize(unsigned width, unsigned height);
void setDpi(float dpi);

// One frame into the window (an HWND); dpi is used when the render target must be made.
void paintFrame(void* window, float dpi, const FrameView& view);
// What the last frame published for input (hit regions, slider tracks, scrollable areas).
const FrameOutput& frameOutput();

// A frame drawn into memory instead of the window: width x height pixels at dpi, as
// premultiplied B8G8R8A8 values (row by row, alpha << 24 | red << 16 | green << 8 | blue).
// The window's device resources are released first and made again by its next paint.
bool paintFrameToPixels(const FrameView& view, unsigned width, unsigned height, float dpi,
                        std::vector<std::uint32_t>& pixels);
// Saves such pixels as a PNG file, replacing path whole.
bool writePng(const std::wstring& path, unsigned width, unsigned height,
              const std::vector<std::uint32_t>& pixels);

// Text measured as the frames measure it (DirectWrite's layout in canvas units, which does
// not depend on the dpi); 0, 0 before initialise or without the format.
TextSize measureText(std::wstring_view text, TextFormat format, float maxWidth);

// The family the text formats use ("Segoe UI", or the fallback found on this system) and
// whether the icon font is installed (without it icons are drawn as shapes).
std::wstring textFamily();
bool hasIconFont();
// Whether each picture was found in the resources and decoded.
bool hasImage(ImageId image);

}  // namespace renderer
