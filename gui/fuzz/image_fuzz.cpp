// libFuzzer target for the image readers. The first byte picks the reader
// and whether alpha is kept; the rest is the file.
#include "fxgui/cbitmap.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const char* const kTypes[] = {"png", "bmp", "jpg"};
    const char* type = kTypes[data[0] % 3];
    const bool keepAlpha = (data[0] & 0x80) != 0;
    cairo_surface_t* image = fxDecodeImage(data + 1, size - 1, type, keepAlpha);
    if (!image)
        return 0;
    // Whatever is accepted is a complete, readable picture.
    const int width = cairo_image_surface_get_width(image);
    const int height = cairo_image_surface_get_height(image);
    if (width <= 0 || height <= 0 || cairo_image_surface_get_format(image) != CAIRO_FORMAT_ARGB32)
        std::abort();
    cairo_surface_flush(image);
    const unsigned char* pixels = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    volatile unsigned sum = 0;
    for (int y = 0; y < height; ++y)
        sum = sum + pixels[y * stride + (width - 1) * 4];
    cairo_surface_destroy(image);
    return 0;
}
