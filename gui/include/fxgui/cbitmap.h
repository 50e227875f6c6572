// Bitmaps loaded by number from the plug-in bundle's resources.
#pragma once

#include "fxgui/ctypes.h"

#include <cairo.h>

#include <cstddef>
#include <string>

// The folder bitmaps are looked up in: the bundle's Contents/Resources. The
// bundle start-up code sets it from the bundle it found; empty means no
// bundle is known.
void setBitmapResourceFolder(const std::string& folder);
const std::string& getBitmapResourceFolder();

// Image decoding from memory, for the loader and its fuzz target. `type` is
// "png", "bmp" or "jpg". Returns an ARGB32 image surface (premultiplied)
// or null for anything that is missing, truncated, corrupt or too large.
// `keepAlpha` false flattens the result to opaque pixels.
cairo_surface_t* fxDecodeImage(const unsigned char* data, size_t size, const char* type,
                               bool keepAlpha);

//-----------------------------------------------------------------------------
class CBitmap : public CReferenceCounter
{
public:
    explicit CBitmap(int32_t resourceNumber);
    CBitmap(CFrame& frame, int32_t width, int32_t height);
    CBitmap();
    ~CBitmap() override;

    CBitmap* remember() override
    {
        CReferenceCounter::remember();
        return this;
    }

    virtual void draw(CDrawContext* context, const CRect& rect,
                      const CPoint& offset = CPoint(0, 0));
    virtual void drawTransparent(CDrawContext* context, const CRect& rect,
                                 const CPoint& offset = CPoint(0, 0));
    virtual void drawAlphaBlend(CDrawContext* context, const CRect& rect,
                                const CPoint& offset = CPoint(0, 0), uint8_t alpha = 128);
    // The drawable image with one reference for the caller, or null.
    virtual cairo_surface_t* createCGImage(bool keyTransparent = false);
    virtual void dispose();
    virtual bool loadFromResource(int32_t resourceNumber);
    virtual bool loadFromPath(const void* platformPath); // a NUL-terminated file path

    void setTransparentColor(const CColor color);
    CColor getTransparentColor() const { return transparentCColor; }
    void setTransparencyMask(CDrawContext* context, const CPoint& offset = CPoint(0, 0));

    bool isLoaded() const { return pixels != nullptr || cgImage != nullptr; }
    cairo_surface_t* getHandle() const { return pixels; }
    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    int32_t getResourceID() const { return resourceID; }
    bool isOpaqueSource() const { return opaqueSource; }

protected:
    // The pixels with the transparent colour keyed out, a new surface.
    cairo_surface_t* createKeyedImage() const;
    void drawSurface(CDrawContext* context, cairo_surface_t* image, const CRect& rect,
                     const CPoint& offset, uint8_t alpha, cairo_surface_t* mask = nullptr);

    int32_t resourceID = 0;
    int32_t width = 0;
    int32_t height = 0;
    CColor transparentCColor = kTransparentCColor;
    bool opaqueSource = true;
    cairo_surface_t* pixels = nullptr;     // decoded pixels
    cairo_surface_t* mask = nullptr;       // one-bit mask, 8 bits a pixel (older build only)
    cairo_surface_t* cgImage = nullptr;    // cached drawable image
    cairo_surface_t* keyedImage = nullptr; // cached form with the transparent colour keyed out
};
