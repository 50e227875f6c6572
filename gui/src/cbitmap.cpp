// Bitmaps: loading by number from the bundle's resources, keying out the
// transparent colour, and drawing (plain, keyed, or with extra opacity).
#include "fxgui/cbitmap.h"

#include "fxgui/cdrawcontext.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace
{

std::string& resourceFolder()
{
    static std::string folder;
    return folder;
}

// Image files larger than this are not read.
constexpr std::streamoff kMaxFileBytes = 64 * 1024 * 1024;

bool isRegularFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool readFile(const std::string& path, std::vector<unsigned char>& bytes)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > kMaxFileBytes)
        return false;
    bytes.resize(static_cast<size_t>(size));
    in.seekg(0);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes.data()), size));
}

#if FX_GUI_LEGACY
constexpr const char* kExtensions[] = {"bmp", "png", "jpg", "pict"};
#else
constexpr const char* kExtensions[] = {"png", "bmp", "jpg", "pict"};
#endif

} // namespace

void setBitmapResourceFolder(const std::string& folder)
{
    resourceFolder() = folder;
}

const std::string& getBitmapResourceFolder()
{
    return resourceFolder();
}

//-----------------------------------------------------------------------------
CBitmap::CBitmap(int32_t resourceNumber)
{
    loadFromResource(resourceNumber);
    setTransparentColor(kTransparentCColor);
}

CBitmap::CBitmap(CFrame&, int32_t w, int32_t h)
{
    if (w <= 0 || h <= 0)
        return;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(surface);
        return;
    }
    pixels = surface;
    width = w;
    height = h;
}

CBitmap::CBitmap() {}

CBitmap::~CBitmap()
{
    dispose();
}

void CBitmap::dispose()
{
    if (cgImage)
        cairo_surface_destroy(cgImage);
    if (pixels)
        cairo_surface_destroy(pixels);
    if (mask)
        cairo_surface_destroy(mask);
    if (keyedImage)
        cairo_surface_destroy(keyedImage);
    cgImage = pixels = mask = keyedImage = nullptr;
    width = height = 0;
}

bool CBitmap::loadFromResource(int32_t resourceNumber)
{
    dispose();
    resourceID = resourceNumber;
    bool found = false;
    const std::string& folder = resourceFolder();
    if (!folder.empty())
    {
        char name[32];
        std::snprintf(name, sizeof name, "bmp%05d", resourceNumber);
        for (const char* extension : kExtensions)
        {
            const std::string path = folder + "/" + name + "." + extension;
            if (!isRegularFile(path))
                continue;
            found = true;
            if (loadFromPath(path.c_str()))
                return true;
            break; // the first file found is the one taken
        }
    }
#if FX_GUI_LEGACY
    if (!found && resourceNumber != 0)
        std::fprintf(stderr, "Bitmap Nr.:%d not found.\n", resourceNumber);
#endif
    (void)found;
    // There is no resource chain to fall back on here.
    return false;
}

bool CBitmap::loadFromPath(const void* platformPath)
{
    dispose();
    if (!platformPath)
        return false;
    const std::string path(static_cast<const char*>(platformPath));
    if (!isRegularFile(path))
        return false;
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    const std::string extension = path.substr(dot + 1);
    if (extension != "bmp" && extension != "png" && extension != "jpg" && extension != "pict")
        return false;
    // A PNG keeps its own alpha; the older build keeps none.
    opaqueSource = FX_GUI_LEGACY || extension != "png";
    std::vector<unsigned char> bytes;
    if (!readFile(path, bytes))
        return false;
    cairo_surface_t* image =
        fxDecodeImage(bytes.data(), bytes.size(), extension.c_str(), !opaqueSource);
    if (!image)
        return false;
    width = cairo_image_surface_get_width(image);
    height = cairo_image_surface_get_height(image);
    if (opaqueSource)
        pixels = image;
    else
        cgImage = image; // a PNG becomes the drawable image directly
    return true;
}

//-----------------------------------------------------------------------------
void CBitmap::setTransparentColor(const CColor color)
{
    transparentCColor = color;
    if (opaqueSource && keyedImage)
    {
        cairo_surface_destroy(keyedImage);
        keyedImage = nullptr;
    }
}

cairo_surface_t* CBitmap::createKeyedImage() const
{
    if (!pixels)
        return nullptr;
    cairo_surface_flush(pixels);
    const int w = cairo_image_surface_get_width(pixels);
    const int h = cairo_image_surface_get_height(pixels);
    cairo_surface_t* keyed = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(keyed) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(keyed);
        return nullptr;
    }
    const unsigned char* in = cairo_image_surface_get_data(pixels);
    unsigned char* out = cairo_image_surface_get_data(keyed);
    const int inStride = cairo_image_surface_get_stride(pixels);
    const int outStride = cairo_image_surface_get_stride(keyed);
    const uint32_t key = (uint32_t(transparentCColor.red) << 16) |
                         (uint32_t(transparentCColor.green) << 8) | transparentCColor.blue;
    for (int y = 0; y < h; ++y)
    {
        const auto* source = reinterpret_cast<const uint32_t*>(in + y * inStride);
        auto* target = reinterpret_cast<uint32_t*>(out + y * outStride);
        for (int x = 0; x < w; ++x)
        {
            // Pixels of the transparent colour lose their alpha; premultiplied
            // pixels with no alpha are all zero.
            target[x] = (source[x] & 0x00ffffffu) == key ? 0u : source[x];
        }
    }
    cairo_surface_mark_dirty(keyed);
    return keyed;
}

cairo_surface_t* CBitmap::createCGImage(bool keyTransparent)
{
    if (!opaqueSource || !keyTransparent)
    {
        if (cgImage)
            return cairo_surface_reference(cgImage);
        if (!pixels)
            return nullptr;
        cgImage = cairo_surface_reference(pixels); // the image shares the buffer
        return cairo_surface_reference(cgImage);
    }
    // The keyed form is cached beside the plain one, so that a bitmap drawn
    // both ways keeps both looks.
    if (!keyedImage)
        keyedImage = createKeyedImage();
    return keyedImage ? cairo_surface_reference(keyedImage) : nullptr;
}

void CBitmap::drawSurface(CDrawContext* context, cairo_surface_t* image, const CRect& rect,
                          const CPoint& offset, uint8_t alpha, cairo_surface_t* maskSurface)
{
    if (!context || !image)
        return;
    cairo_t* c = context->beginCGContext(false);
    if (!c)
        return;
    // Image pixel `offset` lands on the rectangle's top-left corner; only the
    // rectangle, within the clip, changes.
    CRect destination = rect;
    destination.offset(context->offset.x, context->offset.y);
    cairo_rectangle(c, destination.left, destination.top, destination.width(),
                    destination.height());
    cairo_clip(c);
    const double x = destination.left - offset.x;
    const double y = destination.top - offset.y;
    cairo_set_source_surface(c, image, x, y);
    cairo_pattern_set_filter(cairo_get_source(c), CAIRO_FILTER_NEAREST);
    if (maskSurface)
    {
        cairo_mask_surface(c, maskSurface, x, y);
    }
    else if (alpha == 255)
    {
        cairo_paint(c);
    }
    else
    {
        cairo_paint_with_alpha(c, alpha / 255.0);
    }
    context->releaseCGContext(c);
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset)
{
    drawAlphaBlend(context, rect, offset, 255);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset)
{
#if FX_GUI_LEGACY
    // The older build keys on every call, or copies through the mask.
    if (mask && pixels)
    {
        drawSurface(context, pixels, rect, offset, 255, mask);
        return;
    }
    cairo_surface_t* keyed = createKeyedImage();
    drawSurface(context, keyed, rect, offset, 255);
    if (keyed)
        cairo_surface_destroy(keyed);
#else
    if (!opaqueSource)
    {
        drawAlphaBlend(context, rect, offset, 255);
        return;
    }
    cairo_surface_t* image = createCGImage(true);
    drawSurface(context, image, rect, offset, 255);
    if (image)
        cairo_surface_destroy(image);
#endif
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset,
                             uint8_t alpha)
{
    if (!isLoaded())
        return;
    cairo_surface_t* image = createCGImage(false);
    drawSurface(context, image, rect, offset, alpha);
    if (image)
        cairo_surface_destroy(image);
}

void CBitmap::setTransparencyMask(CDrawContext* context, const CPoint& offset)
{
#if FX_GUI_LEGACY
    // A one-bit mask of the bitmap's size from the context's pixels at
    // `offset`: pixels of the transparent colour are left out.
    cairo_surface_t* source = context ? context->getBitmap() : nullptr;
    if (!source || width <= 0 || height <= 0)
        return;
    if (mask)
        cairo_surface_destroy(mask);
    mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(mask);
        mask = nullptr;
        return;
    }
    unsigned char* out = cairo_image_surface_get_data(mask);
    const int outStride = cairo_image_surface_get_stride(mask);
    const int sw = cairo_image_surface_get_width(source);
    const int sh = cairo_image_surface_get_height(source);
    const int inStride = cairo_image_surface_get_stride(source);
    const unsigned char* in = cairo_image_surface_get_data(source);
    const uint32_t key = (uint32_t(transparentCColor.red) << 16) |
                         (uint32_t(transparentCColor.green) << 8) | transparentCColor.blue;
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            const int sx = x + offset.x + context->offset.x;
            const int sy = y + offset.y + context->offset.y;
            unsigned char value = 0;
            if (sx >= 0 && sy >= 0 && sx < sw && sy < sh)
            {
                uint32_t pixel = 0;
                std::memcpy(&pixel, in + sy * inStride + 4 * sx, 4);
                value = (pixel & 0x00ffffffu) == key ? 0 : 255;
            }
            out[y * outStride + x] = value;
        }
    }
    cairo_surface_mark_dirty(mask);
#else
    (void)context;
    (void)offset;
#endif
}
