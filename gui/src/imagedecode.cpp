// Image decoding from memory: PNG through cairo, BMP read here, JPEG through
// libjpeg. Every reader checks sizes before it allocates and answers null for
// anything it cannot read completely.
#include "fxgui/cbitmap.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace
{

// Larger pictures are refused: no editor needs them, and a corrupt header
// must not make us allocate gigabytes.
constexpr uint32_t kMaxSide = 16384;
constexpr uint64_t kMaxPixels = 32ull * 1024 * 1024;

bool sizeAcceptable(uint64_t w, uint64_t h)
{
    return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels;
}

uint32_t readBig32(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint32_t readLittle32(const unsigned char* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t readLittle16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

cairo_surface_t* newImage(int w, int h)
{
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(image);
        return nullptr;
    }
    return image;
}

// Opaque pixels: whatever alpha the source had, composited over black.
cairo_surface_t* flatten(cairo_surface_t* source)
{
    const int w = cairo_image_surface_get_width(source);
    const int h = cairo_image_surface_get_height(source);
    cairo_surface_t* image = newImage(w, h);
    if (!image)
        return nullptr;
    cairo_t* c = cairo_create(image);
    cairo_set_source_rgb(c, 0, 0, 0);
    cairo_paint(c);
    cairo_set_source_surface(c, source, 0, 0);
    cairo_paint(c);
    cairo_destroy(c);
    cairo_surface_flush(image);
    return image;
}

//-----------------------------------------------------------------------------
struct MemoryReader
{
    const unsigned char* data;
    size_t size;
    size_t position;
};

cairo_status_t readFromMemory(void* closure, unsigned char* out, unsigned int length)
{
    auto* reader = static_cast<MemoryReader*>(closure);
    if (reader->size - reader->position < length)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_surface_t* decodePng(const unsigned char* data, size_t size, bool keepAlpha)
{
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    // Signature, then the IHDR chunk: length, type, width, height.
    if (size < 33 || std::memcmp(data, signature, 8) != 0 || std::memcmp(data + 12, "IHDR", 4) != 0)
        return nullptr;
    if (!sizeAcceptable(readBig32(data + 16), readBig32(data + 20)))
        return nullptr;
    MemoryReader reader{data, size, 0};
    cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(readFromMemory, &reader);
    if (cairo_surface_status(decoded) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(decoded);
        return nullptr;
    }
    if (keepAlpha && cairo_image_surface_get_format(decoded) == CAIRO_FORMAT_ARGB32)
        return decoded;
    // Pictures without alpha come back as RGB24; hand out one format.
    cairo_surface_t* image = flatten(decoded);
    cairo_surface_destroy(decoded);
    return image;
}

//-----------------------------------------------------------------------------
int maskShift(uint32_t mask)
{
    int shift = 0;
    while (mask && !(mask & 1))
    {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

uint8_t maskValue(uint32_t pixel, uint32_t mask)
{
    if (!mask)
        return 0;
    const int shift = maskShift(mask);
    const uint32_t max = mask >> shift;
    return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / max);
}

cairo_surface_t* decodeBmp(const unsigned char* data, size_t size)
{
    if (size < 26 || data[0] != 'B' || data[1] != 'M')
        return nullptr;
    const uint32_t pixelOffset = readLittle32(data + 10);
    const uint32_t headerSize = readLittle32(data + 14);
    if (headerSize < 12 || 14ull + headerSize > size)
        return nullptr;
    int64_t w = 0, h = 0;
    uint32_t bits = 0, compression = 0, colours = 0;
    uint32_t masks[3] = {0, 0, 0};
    size_t paletteEntry = 4;
    if (headerSize == 12)
    {
        // The old core header: 16-bit sizes, three-byte palette entries.
        w = readLittle16(data + 18);
        h = static_cast<int16_t>(readLittle16(data + 20));
        bits = readLittle16(data + 24);
        paletteEntry = 3;
    }
    else
    {
        if (headerSize < 40)
            return nullptr;
        w = static_cast<int32_t>(readLittle32(data + 18));
        h = static_cast<int32_t>(readLittle32(data + 22));
        bits = readLittle16(data + 28);
        compression = readLittle32(data + 30);
        colours = readLittle32(data + 46);
        if (compression == 3 && (headerSize >= 52 || 14ull + headerSize + 12 <= size))
        {
            for (int i = 0; i < 3; ++i)
                masks[i] = readLittle32(data + 54 + 4 * i);
        }
    }
    const bool topDown = h < 0;
    if (topDown)
        h = -h;
    if (!sizeAcceptable(static_cast<uint64_t>(w < 0 ? 0 : w), static_cast<uint64_t>(h)))
        return nullptr;
    if (compression != 0 && !(compression == 3 && (bits == 16 || bits == 32)))
        return nullptr; // run-length and embedded formats are not read
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return nullptr;
    if (compression == 0 && bits == 16)
    {
        masks[0] = 0x7c00;
        masks[1] = 0x03e0;
        masks[2] = 0x001f;
    }
    if (compression == 0 && bits == 32)
    {
        masks[0] = 0x00ff0000;
        masks[1] = 0x0000ff00;
        masks[2] = 0x000000ff;
    }

    std::vector<uint32_t> palette;
    if (bits <= 8)
    {
        const uint32_t count = colours == 0 || colours > (1u << bits) ? (1u << bits) : colours;
        const size_t paletteStart = 14 + headerSize;
        if (paletteStart + count * paletteEntry > size)
            return nullptr;
        for (uint32_t i = 0; i < count; ++i)
        {
            const unsigned char* e = data + paletteStart + i * paletteEntry;
            palette.push_back(0xff000000u | (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0]);
        }
    }

    const uint64_t rowBytes = ((static_cast<uint64_t>(w) * bits + 31) / 32) * 4;
    if (pixelOffset > size || rowBytes * static_cast<uint64_t>(h) > size - pixelOffset)
        return nullptr;

    cairo_surface_t* image = newImage(static_cast<int>(w), static_cast<int>(h));
    if (!image)
        return nullptr;
    unsigned char* out = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int64_t y = 0; y < h; ++y)
    {
        const unsigned char* row = data + pixelOffset + rowBytes * static_cast<uint64_t>(y);
        const int64_t outY = topDown ? y : h - 1 - y;
        auto* target = reinterpret_cast<uint32_t*>(out + outY * stride);
        for (int64_t x = 0; x < w; ++x)
        {
            uint32_t pixel = 0xff000000u;
            if (bits <= 8)
            {
                const uint64_t bit = static_cast<uint64_t>(x) * bits;
                const unsigned value = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                pixel = value < palette.size() ? palette[value] : 0xff000000u;
            }
            else if (bits == 24)
            {
                const unsigned char* p = row + x * 3;
                pixel = 0xff000000u | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
            }
            else
            {
                const uint32_t raw =
                    bits == 16 ? readLittle16(row + x * 2) : readLittle32(row + x * 4);
                pixel = 0xff000000u | (uint32_t(maskValue(raw, masks[0])) << 16) |
                        (uint32_t(maskValue(raw, masks[1])) << 8) | maskValue(raw, masks[2]);
            }
            target[x] = pixel; // opaque pixels whatever the file says
        }
    }
    cairo_surface_mark_dirty(image);
    return image;
}

//-----------------------------------------------------------------------------
struct JpegError
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void jpegSilence(j_common_ptr, int) {}

void jpegNoMessage(j_common_ptr) {}

// Everything that must survive a longjmp lives outside the function that
// calls setjmp.
struct JpegState
{
    jpeg_decompress_struct info;
    JpegError error;
    cairo_surface_t* image = nullptr;
    std::vector<unsigned char> row;
};

bool decodeJpegInto(JpegState& state, const unsigned char* data, size_t size)
{
    jpeg_decompress_struct& info = state.info;
    info.err = jpeg_std_error(&state.error.manager);
    state.error.manager.error_exit = jpegFail;
    state.error.manager.emit_message = jpegSilence;
    state.error.manager.output_message = jpegNoMessage;
    if (setjmp(state.error.jump))
        return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (!sizeAcceptable(info.image_width, info.image_height))
        return false;
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        return false;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3)
        return false;
    state.image =
        newImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    if (!state.image)
        return false;
    state.row.resize(static_cast<size_t>(info.output_width) * 3);
    unsigned char* out = cairo_image_surface_get_data(state.image);
    const int stride = cairo_image_surface_get_stride(state.image);
    while (info.output_scanline < info.output_height)
    {
        const unsigned y = info.output_scanline;
        JSAMPROW rows[1] = {state.row.data()};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            return false;
        auto* target = reinterpret_cast<uint32_t*>(out + static_cast<size_t>(y) * stride);
        for (unsigned x = 0; x < info.output_width; ++x)
        {
            const unsigned char* p = state.row.data() + x * 3;
            target[x] = 0xff000000u | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        }
    }
    jpeg_finish_decompress(&info);
    cairo_surface_mark_dirty(state.image);
    return true;
}

cairo_surface_t* decodeJpeg(const unsigned char* data, size_t size)
{
    if (size < 4 || data[0] != 0xff || data[1] != 0xd8)
        return nullptr;
    auto state = std::make_unique<JpegState>();
    std::memset(&state->info, 0, sizeof state->info);
    const bool ok = decodeJpegInto(*state, data, size);
    jpeg_destroy_decompress(&state->info);
    if (ok)
        return state->image;
    if (state->image)
        cairo_surface_destroy(state->image);
    return nullptr;
}

} // namespace

cairo_surface_t* fxDecodeImage(const unsigned char* data, size_t size, const char* type,
                               bool keepAlpha)
{
    if (!data || !type)
        return nullptr;
    if (std::strcmp(type, "png") == 0)
        return decodePng(data, size, keepAlpha);
    if (std::strcmp(type, "bmp") == 0)
        return decodeBmp(data, size);
    if (std::strcmp(type, "jpg") == 0)
        return decodeJpeg(data, size);
    return nullptr;
}
