// Small fixtures shared by the toolkit's tests.
#pragma once

#include "fxgui/fxgui.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace guitest
{

// Fonts are cached for the life of the process; hand the caches back at the
// end so that the leak checker sees only what the toolkit itself keeps.
class FontCacheCleanup : public ::testing::Environment
{
public:
    void TearDown() override
    {
        cairo_debug_reset_static_data();
        FcFini();
    }
};
inline ::testing::Environment* const kFontCacheCleanup =
    ::testing::AddGlobalTestEnvironment(new FontCacheCleanup);

struct Pixel
{
    int r, g, b, a;
};

// The unpremultiplied colour of one pixel of an image surface.
inline Pixel pixelAt(cairo_surface_t* surface, int x, int y)
{
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    uint32_t value = 0;
    std::memcpy(&value, data + y * stride + 4 * x, 4);
    int a = static_cast<int>(value >> 24);
    if (cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24)
        a = 255;
    const auto un = [a](uint32_t v)
    { return a == 0 ? 0 : static_cast<int>((v * 255 + a / 2) / a); };
    return Pixel{un((value >> 16) & 0xff), un((value >> 8) & 0xff), un(value & 0xff), a};
}

inline bool isColor(const Pixel& p, int r, int g, int b, int tolerance = 0)
{
    const auto near = [tolerance](int x, int y)
    { return x - y <= tolerance && y - x <= tolerance; };
    return near(p.r, r) && near(p.g, g) && near(p.b, b) && p.a == 255;
}

// Counts pixels in `rect` that differ from the colour (r, g, b).
inline int countDifferent(cairo_surface_t* surface, const CRect& rect, int r, int g, int b)
{
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (!isColor(pixelAt(surface, x, y), r, g, b))
                ++count;
    return count;
}

// The bounding box of the pixels that differ from (r, g, b); empty if none.
inline CRect changedArea(cairo_surface_t* surface, int r, int g, int b)
{
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    CRect box(w, h, -1, -1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (!isColor(pixelAt(surface, x, y), r, g, b))
            {
                box.left = std::min<CCoord>(box.left, x);
                box.top = std::min<CCoord>(box.top, y);
                box.right = std::max<CCoord>(box.right, x + 1);
                box.bottom = std::max<CCoord>(box.bottom, y + 1);
            }
    if (box.right < 0)
        return CRect();
    return box;
}

// A view that paints itself in one colour and records what reaches it.
class RecordingView : public CView
{
public:
    RecordingView(const CRect& size, CColor color, bool* destroyed = nullptr)
        : CView(size), color(color), destroyed(destroyed)
    {
    }
    ~RecordingView() override
    {
        if (destroyed)
            *destroyed = true;
    }
    void draw(CDrawContext* context) override
    {
        ++draws;
        context->setFillColor(color);
        context->fillRect(size);
        setDirty(false);
    }
#if FX_GUI_LEGACY
    void mouse(CDrawContext* context, CPoint& where) override
    {
        ++clicks;
        lastWhere = where;
        lastButtons = context ? context->getMouseButtons() : 0;
    }
#else
    void mouse(CDrawContext*, CPoint& where, int32_t buttons) override
    {
        ++clicks;
        lastWhere = where;
        lastButtons = buttons;
    }
#endif
    int32_t onKeyDown(VstKeyCode& key) override
    {
        ++keys;
        return consumesKeys ? 1 : -1;
        (void)key;
    }
    bool onWheel(CDrawContext* context, const CPoint& where, const CMouseWheelAxis axis,
                 float distance) override
    {
        ++wheels;
        lastWhere = where;
        lastAxis = axis;
        lastDistance = distance;
        lastOffset = context ? context->offset : CPoint(-999, -999);
        return true;
    }
    void looseFocus(CDrawContext*) override
    {
        ++focusLosses;
    }
#if FX_GUI_LEGACY
    bool onDrop(void** items, int32_t count, int32_t type, CPoint& where) override
    {
        log += "drop " + std::to_string(type);
        for (int32_t i = 0; i < count; ++i)
            log += std::string(" ") + static_cast<const char*>(items[i]);
        lastWhere = where;
        return true;
    }
#else
    void onDragEnter(CDrawContext*, CDragContainer*, const CPoint&) override
    {
        log += "enter ";
    }
    void onDragLeave(CDrawContext*, CDragContainer*, const CPoint&) override
    {
        log += "leave ";
    }
    void onDragMove(CDrawContext*, CDragContainer*, const CPoint&) override
    {
        log += "move ";
    }
    bool onDrop(CDrawContext*, CDragContainer*, const CPoint& where) override
    {
        log += "drop ";
        lastWhere = where;
        return true;
    }
#endif

    CColor color;
    bool* destroyed;
    int draws = 0, clicks = 0, keys = 0, wheels = 0, focusLosses = 0;
    bool consumesKeys = false;
    CPoint lastWhere{-1, -1};
    int32_t lastButtons = 0;
    CMouseWheelAxis lastAxis = kMouseWheelVertical;
    float lastDistance = 0;
    CPoint lastOffset;
    std::string log;
};

// A 24-bit BMP file of w x h pixels, each from `pixel(x, y)` as 0xRRGGBB.
template <typename F> std::vector<unsigned char> makeBmp(int w, int h, F pixel)
{
    const int rowBytes = (w * 3 + 3) & ~3;
    const int dataSize = rowBytes * h;
    std::vector<unsigned char> out(54 + static_cast<size_t>(dataSize), 0);
    const auto put32 = [&](size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    out[26] = 1;
    out[28] = 24;
    put32(34, static_cast<uint32_t>(dataSize));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const uint32_t rgb = pixel(x, y);
            unsigned char* p = out.data() + 54 + (h - 1 - y) * rowBytes + x * 3;
            p[0] = static_cast<unsigned char>(rgb);
            p[1] = static_cast<unsigned char>(rgb >> 8);
            p[2] = static_cast<unsigned char>(rgb >> 16);
        }
    return out;
}

} // namespace guitest

#include "fxwindow/window.h"

#include <memory>

namespace guitest
{

// A frame on an offscreen window, with helpers that inject user input.
struct HeadlessFrame
{
    explicit HeadlessFrame(CCoord width = 100, CCoord height = 100,
                           CEditorInterface* editor = nullptr)
        : frame(new CFrame(CRect(0, 0, width, height), fxwin::Window::createHeadless(width, height),
                           editor))
    {
    }
    ~HeadlessFrame() { frame->forget(); }
    HeadlessFrame(const HeadlessFrame&) = delete;
    HeadlessFrame& operator=(const HeadlessFrame&) = delete;

    fxwin::Window& window() { return *frame->getPlatformWindow(); }
    cairo_surface_t* surface() { return window().surface(); }

    void click(int x, int y, int button = 1, uint32_t modifiers = 0)
    {
        fxwin::Event event;
        event.type = fxwin::EventType::buttonPress;
        event.x = x;
        event.y = y;
        event.button = button;
        event.state = modifiers;
        window().inject(event);
        event.type = fxwin::EventType::buttonRelease;
        window().inject(event);
        window().processEvents(0);
    }
    void scroll(int x, int y, double dx, double dy, uint32_t modifiers = 0)
    {
        fxwin::Event event;
        event.type = fxwin::EventType::scroll;
        event.x = x;
        event.y = y;
        event.dx = dx;
        event.dy = dy;
        event.state = modifiers;
        window().inject(event);
        window().processEvents(0);
    }
    void key(uint32_t keysym, uint32_t character = 0, uint32_t modifiers = 0)
    {
        fxwin::Event event;
        event.type = fxwin::EventType::keyPress;
        event.keysym = keysym;
        event.character = character;
        event.state = modifiers;
        window().inject(event);
        window().processEvents(0);
    }
    void giveKeyboardFocus()
    {
        fxwin::Event event;
        event.type = fxwin::EventType::focusIn;
        window().inject(event);
        window().processEvents(0);
    }
    // Handles the draw request the window sends when it appears.
    void showWindow() { frame->idle(); }

    CFrame* frame;
};

} // namespace guitest
