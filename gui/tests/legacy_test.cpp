// The older toolkit build carried by the Audio Unit bundles: what differs.
#include "helpers.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using guitest::changedArea;
using guitest::HeadlessFrame;
using guitest::isColor;
using guitest::pixelAt;
using guitest::RecordingView;

namespace fs = std::filesystem;

namespace
{

static_assert(FX_GUI_LEGACY == 1, "this test is built against the older toolkit");

// What the older build does not offer, as an editor written for it sees it.
template <typename T> constexpr bool kHasStyledRect = requires(T c)
{
    c.drawRect(CRect(), kDrawFilled);
};
template <typename T> constexpr bool kHasPolygon = requires(T c, const CPoint* p)
{
    c.drawPolygon(p, 2, kDrawFilled);
};
template <typename T> constexpr bool kHasLines = requires(T c, const CPoint* p)
{
    c.drawLines(p, 1);
};
template <typename T> constexpr bool kHasAngleArc = requires(T c)
{
    c.drawArc(CRect(), 0.f, 90.f, kDrawStroked);
};
template <typename T> constexpr bool kHasSnapshot = requires(T c)
{
    c.getCGImage();
};
template <typename T> constexpr bool kHasBackendAccess = requires(T c)
{
    c.beginCGContext(true);
};
template <typename T> constexpr bool kHasButtonsArgument = requires(T v, CPoint p)
{
    v.mouse(nullptr, p, 1);
};
template <typename T> constexpr bool kHasAttributes = requires(T v, int32_t n)
{
    v.getAttributeSize(1u, n);
};
template <typename T> constexpr bool kHasDragEnter = requires(T v)
{
    v.onDragEnter(nullptr, nullptr, CPoint());
};
template <typename T> constexpr bool kHasFocusTraversal = requires(T f)
{
    f.advanceNextFocusView(nullptr, false);
};
template <typename T> constexpr bool kHasFocusView = requires(T f)
{
    f.getFocusView();
};

static_assert(!kHasStyledRect<CDrawContext&> && !kHasPolygon<CDrawContext&> &&
              !kHasLines<CDrawContext&> && !kHasAngleArc<CDrawContext&> &&
              !kHasSnapshot<COffscreenContext&> && !kHasBackendAccess<CDrawContext&>);
static_assert(!kHasButtonsArgument<CView&> && !kHasAttributes<CView&> &&
              !kHasDragEnter<CViewContainer&>);
static_assert(!kHasFocusTraversal<CFrame&> && !kHasFocusView<CFrame&>);
// The same probes see the current build's operations where they exist.
static_assert(
    requires(CDrawContext & c) { c.drawRect(CRect()); } &&
    requires(CView & v, CPoint p) { v.mouse(nullptr, p); } &&
    requires(CFrame & f) { f.getEditView(); });

class LegacyBitmapTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("fx-gui-legacy-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
        setBitmapResourceFolder(folder.string());
    }
    void TearDown() override
    {
        setBitmapResourceFolder("");
        fs::remove_all(folder);
    }
    void writeBmp(const char* name, int w, int h, uint32_t rgb)
    {
        const auto bytes = guitest::makeBmp(w, h, [rgb](int, int) { return rgb; });
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    void writeHalfTransparentPng(const char* name, int w, int h)
    {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_t* c = cairo_create(s);
        cairo_set_source_rgb(c, 1, 0, 0);
        cairo_rectangle(c, 0, 0, w / 2, h);
        cairo_fill(c);
        cairo_destroy(c);
        cairo_surface_write_to_png(s, (folder / name).c_str());
        cairo_surface_destroy(s);
    }
    fs::path folder;
};

TEST_F(LegacyBitmapTest, BmpComesFirstAndMissingNumbersAreReported)
{
    writeHalfTransparentPng("bmp00128.png", 10, 10);
    writeBmp("bmp00128.bmp", 4, 4, 0x00ff00);
    CBitmap first(128);
    EXPECT_EQ(first.getWidth(), 4) << "bmp before png";

    struct Case
    {
        int32_t number;
        const char* message;
    };
    const Case cases[] = {
        {12345, "Bitmap Nr.:12345 not found.\n"},
        {0, ""},
        {-3, "Bitmap Nr.:-3 not found.\n"},
        {128, ""},
    };
    for (const Case& k : cases)
    {
        ::testing::internal::CaptureStderr();
        CBitmap bitmap(k.number);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), k.message) << k.number;
    }
}

TEST_F(LegacyBitmapTest, NoImageKeepsItsAlphaAndKeyingHappensOnEveryDraw)
{
    writeHalfTransparentPng("bmp00130.png", 10, 10);
    CBitmap png(130);
    ASSERT_TRUE(png.isLoaded());
    EXPECT_TRUE(png.isOpaqueSource());
    COffscreenContext canvas(nullptr, 10, 10, kWhiteCColor);
    png.draw(&canvas, CRect(0, 0, 10, 10));
    EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 2, 2), 255, 0, 0));
    EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 8, 2), 0, 0, 0)) << "alpha flattened";

    // Keyed on the current transparent colour at every call.
    png.drawTransparent(&canvas, CRect(0, 0, 10, 10)); // keyed on white: nothing white
    png.setTransparentColor(CColor{0, 0, 0, 0});
    COffscreenContext keyed(nullptr, 10, 10, kWhiteCColor);
    png.drawTransparent(&keyed, CRect(0, 0, 10, 10));
    EXPECT_TRUE(isColor(pixelAt(keyed.getSurface(), 8, 2), 255, 255, 255));
    EXPECT_TRUE(isColor(pixelAt(keyed.getSurface(), 2, 2), 255, 0, 0));

    // A mask taken from a context's pixels: pixels of the transparent colour
    // (black here) in the context are left out when drawing through it.
    COffscreenContext source(nullptr, 10, 10, kBlackCColor);
    source.setFillColor(kWhiteCColor);
    source.fillRect(CRect(0, 0, 10, 5)); // top half not black
    png.setTransparencyMask(&source);
    COffscreenContext masked(nullptr, 10, 10, kBlueCColor);
    png.drawTransparent(&masked, CRect(0, 0, 10, 10));
    EXPECT_TRUE(isColor(pixelAt(masked.getSurface(), 2, 2), 255, 0, 0));
    EXPECT_TRUE(isColor(pixelAt(masked.getSurface(), 2, 8), 0, 0, 255));
}

TEST(LegacyDrawingTest, ColoursAreOpaqueWhateverTheirFourthByte)
{
    EXPECT_EQ(kRedCColor.alpha, 0);
    EXPECT_EQ(kWhiteCColor.alpha, 0);
    COffscreenContext canvas(nullptr, 20, 20, kWhiteCColor);
    EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 5, 5), 255, 255, 255));
    canvas.setFillColor(kRedCColor);
    canvas.fillRect(CRect(0, 0, 10, 10));
    EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 5, 5), 255, 0, 0));

    // fillArcAA alone reads the byte, as transparency.
    canvas.setFillColor(CColor{0, 0, 255, 0});
    canvas.fillArcAA(15.f, 15.f, 4.f, 0.f, 1.f);
    EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 15, 15), 0, 0, 255));
    canvas.setFillColor(CColor{0, 0, 0, 255});
    canvas.fillArcAA(15.f, 15.f, 4.f, 0.f, 1.f);
    EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 15, 15), 0, 0, 255)) << "fully transparent";

    canvas.fillPort(kGreenCColor);
    EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 19, 19), 0, 255, 0));
    EXPECT_EQ(canvas.getPoint(CPoint(3, 3)), kGreenCColor);

    // Xor with a white pen inverts.
    canvas.setDrawMode(kDrawXor);
    canvas.setFillColor(kWhiteCColor);
    canvas.fillRect(CRect(0, 0, 5, 5));
    EXPECT_TRUE(isColor(pixelAt(canvas.getSurface(), 2, 2), 255, 0, 255));
}

TEST(LegacyDrawingTest, TextLayout)
{
    const CRect rect(10, 10, 90, 30);
    const char* text = "IIII";
    for (CHoriTxtAlign align : {kAlignLeft, kAlignCenter})
    {
        COffscreenContext canvas(nullptr, 100, 40, kWhiteCColor);
        canvas.setFont(kFontNormal, 12);
        canvas.setFontColor(kBlackCColor);
        const CCoord width = canvas.getStringWidth(text);
        canvas.drawString(text, rect, 0, align);
        const CRect ink = changedArea(canvas.getSurface(), 255, 255, 255);
        const CCoord penX = align == kAlignLeft ? rect.left : (rect.left + rect.right - width) / 2;
        EXPECT_GE(ink.left, penX) << align;
        EXPECT_LE(ink.left, penX + 3) << align;
        // Baseline: bottom - size/4 + 1, raised by (height - size)/2 = 24.
        EXPECT_EQ(ink.bottom, 24) << align;
    }
    // Clipped to the rectangle.
    COffscreenContext canvas(nullptr, 100, 40, kWhiteCColor);
    canvas.setFontColor(kBlackCColor);
    canvas.drawString("WWWWWWWWWWWW", CRect(10, 10, 30, 30), 0, kAlignLeft);
    const CRect ink = changedArea(canvas.getSurface(), 255, 255, 255);
    EXPECT_LE(ink.right, 30);
    EXPECT_GE(ink.left, 10);
}

TEST(LegacyFrameTest, KeysGoToEveryViewAndTabMovesNothing)
{
    HeadlessFrame h;
    auto* a = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    auto* b = new RecordingView(CRect(10, 0, 20, 10), kRedCColor);
    a->setWantsFocus(true);
    b->setWantsFocus(true);
    h.frame->addView(a);
    h.frame->addView(b);
    h.giveKeyboardFocus();
    h.key(XK_Tab, '\t');
    EXPECT_EQ(h.frame->getEditView(), nullptr);
    EXPECT_EQ(a->keys, 1);
    EXPECT_EQ(b->keys, 1);
    b->consumesKeys = true;
    h.key(XK_a, 'a');
    EXPECT_EQ(b->keys, 2);
    EXPECT_EQ(a->keys, 1) << "the later view consumed it";
}

// Views read buttons and modifiers from the context; the edit view gets keys
// first and loses its place on a click; a drop arrives as item texts only.
TEST(LegacyFrameTest, ClicksEditViewAndDrops)
{
    HeadlessFrame h;
    auto* a = new RecordingView(CRect(0, 0, 50, 50), kRedCColor);
    auto* b = new RecordingView(CRect(50, 0, 100, 50), kRedCColor);
    h.frame->addView(a);
    h.frame->addView(b);

    struct Click
    {
        int button;
        uint32_t modifiers;
        int32_t expected;
    };
    const Click clicks[] = {
        {1, 0, kButtonLeft},
        {3, fxwin::kShift, kButtonRight | kModShift},
        {1, fxwin::kControl, kButtonRight}, // a control-click is the secondary click
    };
    for (const Click& k : clicks)
    {
        h.click(60, 10, k.button, k.modifiers);
        EXPECT_EQ(b->lastButtons, k.expected) << k.button << " " << k.modifiers;
        EXPECT_EQ(b->lastWhere, CPoint(60, 10)) << "in the frame's coordinates";
    }
    EXPECT_EQ(a->clicks, 0);

    h.giveKeyboardFocus();
    h.frame->setEditView(a);
    a->consumesKeys = true;
    h.key(XK_a, 'a');
    EXPECT_EQ(a->keys, 1);
    EXPECT_EQ(b->keys, 0) << "the edit view took it";
    h.click(60, 10);
    EXPECT_EQ(h.frame->getEditView(), nullptr);
    EXPECT_EQ(a->focusLosses, 1);

    fxwin::Event drag;
    drag.type = fxwin::EventType::dragEnter;
    drag.x = 70;
    drag.y = 20;
    drag.dataType = "text/uri-list";
    drag.data = "file:///tmp/a%20b.wav\r\nfile:///tmp/c.wav\r\n";
    h.window().inject(drag);
    drag.type = fxwin::EventType::drop;
    h.window().inject(drag);
    h.window().processEvents(0);
    EXPECT_EQ(b->log, "drop 0 /tmp/a b.wav /tmp/c.wav");
    EXPECT_EQ(b->lastWhere, CPoint(70, 20));
    EXPECT_EQ(a->log, "");
}

} // namespace
