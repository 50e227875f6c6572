// Writes a small seed corpus for the image fuzz target: one PNG, two BMPs
// (24-bit and 8-bit palette) and one JPEG, each behind its selector byte.
#include <cairo.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h> // after <cstdio>: it needs FILE and size_t
#include <string>
#include <vector>

namespace
{

bool writeSeed(const std::string& path, unsigned char selector,
               const std::vector<unsigned char>& bytes)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    std::fputc(selector, out);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    return std::fclose(out) == 0;
}

cairo_status_t collect(void* closure, const unsigned char* data, unsigned int length)
{
    auto* bytes = static_cast<std::vector<unsigned char>*>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

std::vector<unsigned char> png()
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 6, 5);
    cairo_t* c = cairo_create(s);
    cairo_set_source_rgba(c, 1, 0.5, 0, 0.5);
    cairo_paint(c);
    cairo_destroy(c);
    std::vector<unsigned char> bytes;
    cairo_surface_write_to_png_stream(s, collect, &bytes);
    cairo_surface_destroy(s);
    return bytes;
}

void put32(std::vector<unsigned char>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

std::vector<unsigned char> bmp(int bits)
{
    const int w = 5, h = 3;
    const int paletteSize = bits == 8 ? 4 * 256 : 0;
    const int rowBytes = ((w * bits + 31) / 32) * 4;
    const int offset = 54 + paletteSize;
    std::vector<unsigned char> out(static_cast<size_t>(offset + rowBytes * h), 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, static_cast<uint32_t>(out.size()));
    put32(out, 10, static_cast<uint32_t>(offset));
    put32(out, 14, 40);
    put32(out, 18, w);
    put32(out, 22, h);
    out[26] = 1;
    out[28] = static_cast<unsigned char>(bits);
    for (int i = 0; i < paletteSize / 4; ++i)
        out[54 + 4 * i] = out[55 + 4 * i] = out[56 + 4 * i] = static_cast<unsigned char>(i);
    for (size_t i = static_cast<size_t>(offset); i < out.size(); ++i)
        out[i] = static_cast<unsigned char>(i * 37);
    return out;
}

std::vector<unsigned char> jpeg()
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = 8;
    info.image_height = 8;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    unsigned char row[8 * 3];
    for (int i = 0; i < 24; ++i)
        row[i] = static_cast<unsigned char>(i * 10);
    while (info.next_scanline < info.image_height)
    {
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<unsigned char> bytes(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok =
        writeSeed(dir + "/seed-png", 0x80, png()) && writeSeed(dir + "/seed-bmp24", 1, bmp(24)) &&
        writeSeed(dir + "/seed-bmp8", 1, bmp(8)) && writeSeed(dir + "/seed-jpg", 2, jpeg());
    return ok ? 0 : 1;
}
