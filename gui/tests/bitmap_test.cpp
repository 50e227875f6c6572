// Bitmaps: lookup by number, decoding, bad files, and drawing.
#include "helpers.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <filesystem>
#include <fstream>

using guitest::changedArea;
using guitest::countDifferent;
using guitest::isColor;
using guitest::pixelAt;

namespace fs = std::filesystem;

namespace
{

void writeBytes(const fs::path& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// A PNG whose left half is opaque `rgb` and whose right half is transparent.
void writeHalfTransparentPng(const fs::path& path, int w, int h, double r, double g, double b)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* c = cairo_create(s);
    cairo_set_source_rgb(c, r, g, b);
    cairo_rectangle(c, 0, 0, w / 2, h);
    cairo_fill(c);
    cairo_destroy(c);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

std::vector<unsigned char> makeJpeg(int w, int h, unsigned char r, unsigned char g, unsigned char b)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(w);
    info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(w) * 3);
    for (int x = 0; x < w; ++x)
    {
        row[3 * x] = r;
        row[3 * x + 1] = g;
        row[3 * x + 2] = b;
    }
    while (info.next_scanline < info.image_height)
    {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<unsigned char> out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    free(buffer);
    return out;
}

// A resource folder of its own for each test.
class BitmapTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("fx-gui-bitmaps-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
        setBitmapResourceFolder(folder.string());
    }
    void TearDown() override
    {
        setBitmapResourceFolder("");
        fs::remove_all(folder);
    }
    fs::path file(const char* name) const { return folder / name; }

    fs::path folder;
};

TEST_F(BitmapTest, LooksUpNumberedFilesInExtensionOrder)
{
    writeHalfTransparentPng(file("bmp10001.png"), 8, 6, 1, 0, 0);
    writeBytes(file("bmp10001.bmp"), guitest::makeBmp(5, 5, [](int, int) { return 0x00ff00u; }));
    writeBytes(file("bmp10002.bmp"), guitest::makeBmp(7, 3, [](int, int) { return 0x0000ffu; }));
    writeBytes(file("bmp00007.jpg"), makeJpeg(9, 4, 0, 0, 255));
    // The first file found is the one taken, even when it cannot be read.
    writeBytes(file("bmp10003.png"), {0x89, 'P', 'N', 'G'});
    writeBytes(file("bmp10003.bmp"), guitest::makeBmp(5, 5, [](int, int) { return 0u; }));
    writeBytes(file("bmp10004.gif"), {'G', 'I', 'F', '8'});

    struct Case
    {
        int32_t number;
        bool loaded;
        int32_t width, height;
        bool opaque;
    };
    const Case cases[] = {
        {10001, true, 8, 6, false},                         // png before bmp
        {10002, true, 7, 3, true},   {7, true, 9, 4, true}, // bmp00007
        {10003, false, 0, 0, false},                        // the png was chosen
        {10004, false, 0, 0, true},                         // no known extension
        {424242, false, 0, 0, true},
    };
    for (const Case& k : cases)
    {
        CBitmap* bitmap = new CBitmap(k.number);
        EXPECT_EQ(bitmap->isLoaded(), k.loaded) << k.number;
        EXPECT_EQ(bitmap->getWidth(), k.width) << k.number;
        EXPECT_EQ(bitmap->getHeight(), k.height) << k.number;
        EXPECT_EQ(bitmap->isOpaqueSource(), k.opaque) << k.number;
        EXPECT_EQ(bitmap->getResourceID(), k.number);
        bitmap->forget();
    }

    setBitmapResourceFolder("");
    CBitmap noBundle(10002);
    EXPECT_FALSE(noBundle.isLoaded()) << "nothing is found without a bundle";
}

TEST_F(BitmapTest, BadFilesGiveAnEmptyBitmapThatDrawsNothing)
{
    auto good = guitest::makeBmp(16, 16, [](int, int) { return 0x112233u; });
    writeHalfTransparentPng(file("whole.png"), 16, 16, 0, 0, 1);
    const auto png = readBytes(file("whole.png"));
    const auto jpeg = makeJpeg(16, 16, 10, 20, 30);

    auto hugeBmp = good;
    hugeBmp[18] = hugeBmp[19] = hugeBmp[20] = 0xff; // width ~16 million
    auto wrongOffset = good;
    wrongOffset[10] = 0xff;
    wrongOffset[11] = 0xff;
    auto hugePng = png;
    hugePng[16] = 0x7f; // IHDR width
    auto corruptPng = png;
    for (size_t i = 40; i < corruptPng.size() - 12; ++i)
        corruptPng[i] ^= 0x5a;
    auto corruptJpeg = jpeg;
    for (size_t i = corruptJpeg.size() / 2; i < corruptJpeg.size(); ++i)
        corruptJpeg[i] = 0xff;

    struct Case
    {
        const char* name;
        std::vector<unsigned char> bytes;
    };
    const Case cases[] = {
        {"empty.png", {}},
        {"truncated.png", std::vector<unsigned char>(png.begin(), png.begin() + png.size() / 2)},
        {"corrupt.png", corruptPng},
        {"huge.png", hugePng},
        {"truncated.bmp", std::vector<unsigned char>(good.begin(), good.begin() + 300)},
        {"huge.bmp", hugeBmp},
        {"offset.bmp", wrongOffset},
        {"header.bmp", std::vector<unsigned char>(good.begin(), good.begin() + 20)},
        {"truncated.jpg", std::vector<unsigned char>(jpeg.begin(), jpeg.begin() + 100)},
        {"corrupt.jpg", corruptJpeg},
        {"notjpeg.jpg", good},
        {"image.pict", good},
    };
    COffscreenContext canvas(nullptr, 32, 32, kWhiteCColor);
    for (const Case& k : cases)
    {
        writeBytes(file(k.name), k.bytes);
        CBitmap bitmap;
        EXPECT_FALSE(bitmap.loadFromPath(file(k.name).c_str())) << k.name;
        EXPECT_FALSE(bitmap.isLoaded()) << k.name;
        EXPECT_EQ(bitmap.getWidth(), 0) << k.name;
        EXPECT_EQ(bitmap.getHeight(), 0) << k.name;
        bitmap.draw(&canvas, CRect(0, 0, 32, 32));
        bitmap.drawTransparent(&canvas, CRect(0, 0, 32, 32));
        EXPECT_EQ(countDifferent(canvas.getSurface(), CRect(0, 0, 32, 32), 255, 255, 255), 0)
            << k.name;
    }
    CBitmap missing;
    EXPECT_FALSE(missing.loadFromPath(file("missing.png").c_str()));
    EXPECT_FALSE(missing.loadFromPath(folder.c_str())) << "a folder is not an image";

    // The good ones load, and a failed load empties a loaded bitmap.
    writeBytes(file("good.bmp"), good);
    writeBytes(file("good.jpg"), jpeg);
    CBitmap reused;
    EXPECT_TRUE(reused.loadFromPath(file("good.bmp").c_str()));
    EXPECT_EQ(reused.getWidth(), 16);
    EXPECT_TRUE(reused.loadFromPath(file("good.jpg").c_str()));
    EXPECT_EQ(reused.getHeight(), 16);
    EXPECT_FALSE(reused.loadFromPath(file("corrupt.jpg").c_str()));
    EXPECT_EQ(reused.getWidth(), 0);
}

TEST_F(BitmapTest, PngKeepsItsAlphaWhateverTheTransparentColour)
{
    writeHalfTransparentPng(file("bmp00100.png"), 20, 10, 1, 0, 0);
    CBitmap bitmap(100);
    ASSERT_TRUE(bitmap.isLoaded());
    bitmap.setTransparentColor(kRedCColor);
    for (bool transparent : {false, true})
    {
        COffscreenContext canvas(nullptr, 20, 10, kWhiteCColor);
        if (transparent)
            bitmap.drawTransparent(&canvas, CRect(0, 0, 20, 10));
        else
            bitmap.draw(&canvas, CRect(0, 0, 20, 10));
        EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 3, 3), 255, 0, 0)) << transparent;
        EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 15, 3), 255, 255, 255)) << transparent;
    }
}

TEST_F(BitmapTest, OpaqueBitmapKeysOutTheTransparentColour)
{
    // White frame, blue inside: only the blue is drawn with drawTransparent.
    writeBytes(file("bmp00200.bmp"),
               guitest::makeBmp(
                   10, 10, [](int x, int y) { return (x < 2 || y < 2) ? 0xffffffu : 0x0000ffu; }));
    CBitmap bitmap(200);
    ASSERT_TRUE(bitmap.isLoaded());
    const auto drawOnRed = [&](bool transparent)
    {
        auto* canvas = new COffscreenContext(nullptr, 10, 10, kRedCColor);
        if (transparent)
            bitmap.drawTransparent(canvas, CRect(0, 0, 10, 10));
        else
            bitmap.draw(canvas, CRect(0, 0, 10, 10));
        return canvas;
    };
    // Plain first, then keyed: each keeps its own look.
    for (bool transparent : {false, true, false})
    {
        COffscreenContext* canvas = drawOnRed(transparent);
        const auto corner = pixelAt(canvas->getSurface(), 0, 0);
        if (transparent)
            EXPECT_TRUE(isColor(corner, 255, 0, 0)) << "white is keyed out";
        else
            EXPECT_TRUE(isColor(corner, 255, 255, 255));
        EXPECT_TRUE(isColor(pixelAt(canvas->getSurface(), 5, 5), 0, 0, 255));
        canvas->forget();
    }
    // A new transparent colour takes effect on the next draw.
    bitmap.setTransparentColor(kBlueCColor);
    COffscreenContext* canvas = drawOnRed(true);
    EXPECT_TRUE(isColor(pixelAt(canvas->getSurface(), 0, 0), 255, 255, 255));
    EXPECT_TRUE(isColor(pixelAt(canvas->getSurface(), 5, 5), 255, 0, 0));
    canvas->forget();
}

TEST_F(BitmapTest, AlphaBlendOffsetsAndClip)
{
    // A 20 x 20 black picture whose top-left quarter is green.
    writeBytes(file("bmp00300.bmp"),
               guitest::makeBmp(20, 20,
                                [](int x, int y)
                                { return (x < 10 && y < 10) ? 0x00ff00u : 0x000000u; }));
    CBitmap bitmap(300);
    ASSERT_TRUE(bitmap.isLoaded());

    COffscreenContext none(nullptr, 40, 40, kWhiteCColor);
    bitmap.drawAlphaBlend(&none, CRect(0, 0, 20, 20), CPoint(), 0);
    EXPECT_EQ(changedArea(none.getSurface(), 255, 255, 255), CRect());

    COffscreenContext half(nullptr, 40, 40, kWhiteCColor);
    bitmap.drawAlphaBlend(&half, CRect(0, 0, 20, 20), CPoint(), 128);
    const auto blended = pixelAt(half.getSurface(), 15, 15); // black at 128/255 on white
    EXPECT_NEAR(blended.r, 127, 2);
    EXPECT_NEAR(blended.g, 127, 2);

    // The offset points partly outside the picture: only what exists is drawn.
    COffscreenContext shifted(nullptr, 40, 40, kWhiteCColor);
    shifted.offset(5, 5);
    bitmap.drawAlphaBlend(&shifted, CRect(0, 0, 20, 20), CPoint(10, 10), 255);
    EXPECT_EQ(changedArea(shifted.getSurface(), 255, 255, 255), CRect(5, 5, 15, 15));
    // With offset (5, 5) into the picture, green ends 5 pixels in.
    COffscreenContext inner(nullptr, 40, 40, kWhiteCColor);
    bitmap.draw(&inner, CRect(10, 10, 30, 30), CPoint(5, 5));
    EXPECT_TRUE(isColor(pixelAt(inner.getSurface(), 14, 14), 0, 255, 0));
    EXPECT_TRUE(isColor(pixelAt(inner.getSurface(), 15, 15), 0, 0, 0));
    EXPECT_EQ(changedArea(inner.getSurface(), 255, 255, 255), CRect(10, 10, 25, 25));

    // A destination outside the clip draws nothing.
    COffscreenContext clipped(nullptr, 40, 40, kWhiteCColor);
    clipped.setClipRect(CRect(0, 0, 10, 10));
    bitmap.draw(&clipped, CRect(20, 20, 40, 40));
    EXPECT_EQ(changedArea(clipped.getSurface(), 255, 255, 255), CRect());
    // Partly inside: cut at the clip.
    bitmap.draw(&clipped, CRect(5, 5, 25, 25));
    EXPECT_EQ(changedArea(clipped.getSurface(), 255, 255, 255), CRect(5, 5, 10, 10));
}

TEST_F(BitmapTest, OffscreenContextDrawsIntoTheBitmap)
{
    writeBytes(file("bmp00400.bmp"), guitest::makeBmp(10, 10, [](int, int) { return 0u; }));
    CBitmap bitmap(400);
    {
        COffscreenContext into(nullptr, &bitmap, true);
        EXPECT_EQ(into.getWidth(), 10);
        into.setFillColor(kRedCColor);
        into.fillRect(CRect(0, 0, 5, 10));
        COffscreenContext copy(nullptr, &bitmap, false);
        copy.setFillColor(kBlueCColor);
        copy.fillRect(CRect(0, 0, 10, 10));
    }
    COffscreenContext canvas(nullptr, 10, 10, kWhiteCColor);
    bitmap.draw(&canvas, CRect(0, 0, 10, 10));
    EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 2, 2), 255, 0, 0));
    EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 7, 2), 0, 0, 0)) << "the copy is private";

    COffscreenContext defaultSize(nullptr, nullptr, false);
    EXPECT_EQ(defaultSize.getWidth(), 20);
    EXPECT_EQ(defaultSize.getHeight(), 20);
}

} // namespace
