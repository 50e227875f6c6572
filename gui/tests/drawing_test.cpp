// Pixel checks of the drawing operations, on offscreen contexts.
#include "helpers.h"

#include "fxwindow/window.h"

#include <gtest/gtest.h>

#include <memory>

using guitest::changedArea;
using guitest::countDifferent;
using guitest::isColor;
using guitest::pixelAt;

namespace
{

// A white 100 x 80 offscreen context.
struct Canvas
{
    Canvas() : context(nullptr, 100, 80, kWhiteCColor) {}
    cairo_surface_t* surface() { return context.getSurface(); }
    COffscreenContext context;
};

TEST(DrawContextTest, DefaultsOfAFreshContext)
{
    Canvas canvas;
    // The offscreen context used the background for its fill and outline.
    CDrawContext plain(nullptr, nullptr, nullptr);
    EXPECT_EQ(plain.getFrameColor(), kWhiteCColor);
    EXPECT_EQ(plain.getFillColor(), kBlackCColor);
    EXPECT_EQ(plain.getFontColor(), kWhiteCColor);
    EXPECT_EQ(plain.getLineWidth(), 1);
    EXPECT_EQ(plain.getLineStyle(), kLineSolid);
    EXPECT_EQ(plain.getDrawMode(), kDrawCopy);
    EXPECT_EQ(plain.getFont(), kFontSystem);
    EXPECT_EQ(plain.getFontSize(), 12);
    CRect clip;
    EXPECT_EQ(plain.getClipRect(clip), CRect(0, 0, 1000, 1000));
    // Without a surface every call is accepted and nothing happens.
    plain.fillRect(CRect(0, 0, 10, 10));
    plain.drawString("text", CRect(0, 0, 50, 20));
    EXPECT_EQ(plain.getStringWidth("text"), 0);
    EXPECT_EQ(countDifferent(canvas.surface(), CRect(0, 0, 100, 80), 255, 255, 255), 0);
}

TEST(DrawContextTest, FillRectHonoursOffsetAndClip)
{
    Canvas canvas;
    CDrawContext& c = canvas.context;
    c.setFillColor(kRedCColor);
    c.offset(10, 5);
    c.setClipRect(CRect(0, 0, 15, 100)); // stored with the offset: x 10..25
    c.fillRect(CRect(0, 0, 30, 20));
    EXPECT_EQ(changedArea(canvas.surface(), 255, 255, 255), CRect(10, 5, 25, 25));
    EXPECT_TRUE(isColor(pixelAt(canvas.surface(), 10, 5), 255, 0, 0));
    CRect clip;
    EXPECT_EQ(c.getClipRect(clip), CRect(0, 0, 15, 100));
}

TEST(DrawContextTest, RectOutlineLiesOnTheRectanglesEdgePixels)
{
    Canvas canvas;
    CDrawContext& c = canvas.context;
    c.setFrameColor(kBlackCColor);
    c.drawRect(CRect(10, 10, 30, 20));
    cairo_surface_t* s = canvas.surface();
    EXPECT_EQ(changedArea(s, 255, 255, 255), CRect(10, 10, 30, 20));
    for (const CPoint p : {CPoint(10, 10), CPoint(29, 10), CPoint(10, 19), CPoint(29, 19),
                           CPoint(20, 10), CPoint(20, 19), CPoint(10, 15), CPoint(29, 15)})
        EXPECT_TRUE(isColor(pixelAt(s, p.x, p.y), 0, 0, 0)) << p.x << "," << p.y;
    EXPECT_TRUE(isColor(pixelAt(s, 20, 15), 255, 255, 255)) << "the inside stays";

    c.setFillColor(kBlueCColor);
    c.drawRect(CRect(40, 10, 60, 30), kDrawFilledAndStroked);
    EXPECT_TRUE(isColor(pixelAt(s, 50, 20), 0, 0, 255));
    EXPECT_TRUE(isColor(pixelAt(s, 40, 10), 0, 0, 0));
    EXPECT_TRUE(isColor(pixelAt(s, 59, 29), 0, 0, 0));
    EXPECT_TRUE(isColor(pixelAt(s, 60, 20), 255, 255, 255));
}

TEST(DrawContextTest, LinesPenAndPoints)
{
    Canvas canvas;
    CDrawContext& c = canvas.context;
    cairo_surface_t* s = canvas.surface();
    c.setFrameColor(kBlackCColor);
    c.offset(5, 0);
    c.moveTo(CPoint(0, 41));
    c.lineTo(CPoint(20, 41));
    EXPECT_EQ(c.getPenPosition(), CPoint(25, 41));
    // One row, 20 pixels, starting at the offset.
    EXPECT_EQ(changedArea(s, 255, 255, 255).width(), 20);
    EXPECT_EQ(changedArea(s, 255, 255, 255).height(), 1);
    EXPECT_EQ(changedArea(s, 255, 255, 255).left, 5);

    Canvas second;
    second.context.setLineWidth(3);
    second.context.drawPoint(CPoint(50, 50), kRedCColor);
    // One pixel; like every one-pixel line it covers the pixel right of and
    // above its coordinate, which is what puts outlines on a rectangle's edge.
    EXPECT_EQ(changedArea(second.surface(), 255, 255, 255), CRect(50, 49, 51, 50));
    EXPECT_EQ(second.context.getLineWidth(), 3) << "drawPoint restores the line width";
    EXPECT_EQ(second.context.getFrameColor(), kWhiteCColor) << "and the frame colour";
    EXPECT_EQ(second.context.getPenPosition(), CPoint(51, 50));

    Canvas dashed;
    dashed.context.setFrameColor(kBlackCColor);
    dashed.context.setLineStyle(kLineOnOff);
    dashed.context.moveTo(CPoint(0, 40));
    dashed.context.lineTo(CPoint(40, 40));
    const int drawn = countDifferent(dashed.surface(), CRect(0, 0, 100, 80), 255, 255, 255);
    EXPECT_EQ(drawn, 20) << "on and off lengths equal the line width";
}

TEST(DrawContextTest, LinesAndPolygons)
{
    Canvas canvas;
    CDrawContext& c = canvas.context;
    cairo_surface_t* s = canvas.surface();
    c.setFrameColor(kBlackCColor);
    const CPoint segments[] = {CPoint(10, 11), CPoint(30, 11), CPoint(10, 31), CPoint(30, 31)};
    c.drawLines(segments, 2);
    EXPECT_EQ(countDifferent(s, CRect(0, 0, 100, 80), 255, 255, 255), 40)
        << "two separate segments, nothing between them";

    Canvas filled;
    filled.context.setFillColor(kGreenCColor);
    const CPoint triangle[] = {CPoint(10, 10), CPoint(60, 10), CPoint(10, 60)};
    filled.context.fillPolygon(triangle, 3);
    EXPECT_TRUE(isColor(pixelAt(filled.surface(), 15, 15), 0, 255, 0));
    EXPECT_TRUE(isColor(pixelAt(filled.surface(), 55, 55), 255, 255, 255));
}

TEST(DrawContextTest, AlphaOfColoursAndAntialiasing)
{
    Canvas canvas;
    CDrawContext& c = canvas.context;
    c.setFillColor(CColor{0, 0, 0, 128});
    c.fillRect(CRect(0, 0, 10, 10));
    const auto p = pixelAt(canvas.surface(), 5, 5);
    EXPECT_NEAR(p.r, 127, 2);

    // Without antialiasing a diagonal leaves only fully covered pixels.
    Canvas hard, soft;
    for (Canvas* canvas2 : {&hard, &soft})
    {
        canvas2->context.setFrameColor(kBlackCColor);
        if (canvas2 == &soft)
            canvas2->context.setDrawMode(kDrawAntialias);
        canvas2->context.moveTo(CPoint(0, 0));
        canvas2->context.lineTo(CPoint(60, 25));
    }
    const auto partial = [](cairo_surface_t* s)
    {
        int n = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 100; ++x)
            {
                const auto q = pixelAt(s, x, y);
                n += q.r > 0 && q.r < 255;
            }
        return n;
    };
    EXPECT_EQ(partial(hard.surface()), 0);
    EXPECT_GT(partial(soft.surface()), 0);
}

TEST(DrawContextTest, EllipsesAndArcs)
{
    Canvas canvas;
    CDrawContext& c = canvas.context;
    c.setFillColor(kBlueCColor);
    c.fillEllipse(CRect(10, 10, 50, 30));
    cairo_surface_t* s = canvas.surface();
    EXPECT_TRUE(isColor(pixelAt(s, 30, 20), 0, 0, 255));
    EXPECT_TRUE(isColor(pixelAt(s, 11, 11), 255, 255, 255)) << "corner outside the ellipse";
    const CRect box = changedArea(s, 255, 255, 255);
    EXPECT_GE(box.left, 10);
    EXPECT_LE(box.right, 50);

    // A quarter from 0 to 90 degrees lies in the upper right, closed by its
    // chord (x - y = 20 here).
    Canvas quarter;
    quarter.context.setFillColor(kRedCColor);
    quarter.context.drawArc(CRect(20, 20, 60, 60), 0.f, 90.f, kDrawFilled);
    EXPECT_TRUE(isColor(pixelAt(quarter.surface(), 52, 28), 255, 0, 0));
    EXPECT_TRUE(isColor(pixelAt(quarter.surface(), 46, 34), 255, 255, 255)) << "inside the chord";
    EXPECT_TRUE(isColor(pixelAt(quarter.surface(), 30, 50), 255, 255, 255));
    EXPECT_TRUE(isColor(pixelAt(quarter.surface(), 30, 30), 255, 255, 255));

    // fillArc runs counter-clockwise from the direction of point1 to point2:
    // from above to the left is the upper-left quarter, cut at x + y = 60.
    Canvas twoPoints;
    twoPoints.context.setFillColor(kRedCColor);
    twoPoints.context.fillArc(CRect(20, 20, 60, 60), CPoint(40, 0), CPoint(0, 40));
    EXPECT_TRUE(isColor(pixelAt(twoPoints.surface(), 26, 26), 255, 0, 0));
    EXPECT_TRUE(isColor(pixelAt(twoPoints.surface(), 50, 30), 255, 255, 255));

    // Equal points take the whole ellipse.
    Canvas whole;
    whole.context.setFrameColor(kBlackCColor);
    whole.context.drawArc(CRect(20, 20, 60, 60), CPoint(70, 40), CPoint(70, 40));
    const CRect outline = changedArea(whole.surface(), 255, 255, 255);
    EXPECT_LE(outline.left, 21);
    EXPECT_GE(outline.right, 59);
    EXPECT_LE(outline.top, 21);
    EXPECT_GE(outline.bottom, 59);
}

TEST(DrawContextTest, FontSelection)
{
    CDrawContext c(nullptr, nullptr, nullptr);
    struct Case
    {
        int id, size, face;
        CFont expectedId;
        int expectedSize;
        const char* expectedFace;
    };
    const Case cases[] = {
        {9, 0, 0, kFontSystem, 12, "Helvetica"},
        {kFontSymbol, 0, 0, kFontSymbol, 12, "Symbol"},
        {kFontNormal, 0, kFaceBold | kFaceUnderline, kFontNormal, 12, "Helvetica Bold Underline"},
        {kFontSystem, 0, kFaceBold | kFaceItalic, kFontSystem, 12, "Helvetica Bold Italic"},
        {kFontVeryBig, 0, 0, kFontVeryBig, 18, "Helvetica"},
        {kFontSmaller, 20, kFaceItalic, kFontSmaller, 20, "Helvetica Italic"},
    };
    for (const Case& k : cases)
    {
        c.setFont(static_cast<CFont>(k.id), k.size, k.face);
        EXPECT_EQ(c.getFont(), k.expectedId);
        EXPECT_EQ(c.getFontSize(), k.expectedSize);
        EXPECT_EQ(c.getFontFaceName(), k.expectedFace);
    }
}

TEST(DrawContextTest, StringPlacementByAlignment)
{
    // Black text on white; the ink must sit where the alignment puts the
    // pen, and the baseline where the layout rule puts it.
    const CRect rect(10, 10, 90, 30);
    const char* text = "IIII";
    Canvas probe;
    probe.context.setFont(kFontNormal, 12);
    const CCoord width = probe.context.getStringWidth(text);
    ASSERT_GT(width, 0);
    struct Case
    {
        CHoriTxtAlign align;
        CCoord penX;
    };
    for (const Case k : {Case{kAlignLeft, rect.left + 1}, Case{kAlignRight, rect.right - width},
                         Case{kAlignCenter, rect.left + rect.width() / 2 - width / 2}})
    {
        Canvas canvas;
        canvas.context.setFont(kFontNormal, 12);
        canvas.context.setFontColor(kBlackCColor);
        canvas.context.drawString(text, rect, 0, k.align);
        const CRect ink = changedArea(canvas.surface(), 255, 255, 255);
        ASSERT_FALSE(ink.isEmpty());
        // Glyph bearings are small; the ink lies within the advance.
        EXPECT_GE(ink.left, k.penX) << k.align;
        EXPECT_LE(ink.left, k.penX + 3) << k.align;
        EXPECT_LE(ink.right, k.penX + width) << k.align;
        EXPECT_GE(ink.right, k.penX + width - 3) << k.align;
        // Baseline: bottom + size/2 - height/2 - 1 = 30 + 6 - 10 - 1 = 25.
        EXPECT_EQ(ink.bottom, 25) << k.align;
    }
    Canvas none;
    none.context.drawString(nullptr, rect);
    EXPECT_EQ(countDifferent(none.surface(), CRect(0, 0, 100, 80), 255, 255, 255), 0);
}

TEST(OffscreenContextTest, EmptyContextDrawsAndCopiesNothing)
{
    COffscreenContext empty(nullptr, 0, 0, kRedCColor);
    EXPECT_EQ(empty.getSurface(), nullptr);
    EXPECT_EQ(empty.getCGImage(), nullptr);
    empty.fillRect(CRect(0, 0, 10, 10));
    Canvas target;
    empty.copyFrom(&target.context, CRect(0, 0, 50, 50));
    EXPECT_EQ(countDifferent(target.surface(), CRect(0, 0, 100, 80), 255, 255, 255), 0);
}

TEST(OffscreenContextTest, CopyFromPlacesSourceOffsetAndKeepsToDestRectAndClip)
{
    COffscreenContext source(nullptr, 40, 40, kBlueCColor);
    source.setFillColor(kRedCColor);
    source.fillRect(CRect(10, 10, 20, 20)); // a red square in blue

    Canvas target;
    target.context.offset(5, 5);
    target.context.setClipRect(CRect(0, 0, 30, 100));
    // Buffer pixel (10, 10) goes to (20, 20) + offset = (25, 25).
    source.copyFrom(&target.context, CRect(20, 20, 60, 60), CPoint(10, 10));
    cairo_surface_t* s = target.surface();
    EXPECT_TRUE(isColor(pixelAt(s, 25, 25), 255, 0, 0));
    EXPECT_TRUE(isColor(pixelAt(s, 34, 34), 255, 0, 0));
    EXPECT_TRUE(isColor(pixelAt(s, 34, 40), 0, 0, 255));
    // Clip: x 5..35 on the surface; dest rect 25..65.
    EXPECT_EQ(changedArea(s, 255, 255, 255), CRect(25, 25, 35, 55));

    cairo_surface_t* snapshot = source.getCGImage();
    ASSERT_NE(snapshot, nullptr);
    EXPECT_TRUE(isColor(pixelAt(snapshot, 15, 15), 255, 0, 0));
    cairo_surface_destroy(snapshot);
}

TEST(DrawContextTest, GetPointAndFloodFill)
{
    Canvas canvas;
    CDrawContext& c = canvas.context;
    c.setFrameColor(kBlackCColor);
    c.drawRect(CRect(10, 10, 30, 30));
    c.setFillColor(kGreenCColor);
    c.floodFill(CPoint(20, 20));
    EXPECT_EQ(c.getPoint(CPoint(20, 20)), kGreenCColor);
    EXPECT_EQ(c.getPoint(CPoint(5, 5)), kWhiteCColor) << "the outline stops the fill";
    EXPECT_EQ(c.getPoint(CPoint(10, 10)), kBlackCColor);
    EXPECT_EQ(c.getPoint(CPoint(500, 5)), kBlackCColor) << "outside the pixels";
}

TEST(DrawContextTest, MouseButtonsFromTheWindow)
{
    auto window = fxwin::Window::createHeadless(50, 50);
    struct Case
    {
        uint32_t state;
        int32_t expected;
    };
    const Case cases[] = {
        {fxwin::kButton1, kButtonLeft},
        {fxwin::kButton3, kButtonRight},
        {fxwin::kButton2 | fxwin::kShift, kButtonMiddle | kModShift},
        {fxwin::kButton1 | fxwin::kControl, kButtonRight},
        {fxwin::kButton1 | fxwin::kControl | fxwin::kAlt, kButtonRight | kModAlt},
        {fxwin::kSuper | fxwin::kAlt, kModCommand | kModAlt},
        {fxwin::kControl, kModControl},
    };
    for (const Case& k : cases)
    {
        fxwin::Event move;
        move.type = fxwin::EventType::motion;
        move.x = 7;
        move.y = 9;
        move.state = k.state;
        window->inject(move);
        window->processEvents(0);
        CDrawContext context(nullptr, nullptr, window.get());
        EXPECT_EQ(context.getMouseButtons(), k.expected) << k.state;
        context.setWindowOffset(CPoint(2, 3));
        CPoint where;
        context.getMouseLocation(where);
        EXPECT_EQ(where, CPoint(5, 6));
    }
}

TEST(DrawContextTest, WaitDoubleClickAndDrag)
{
    auto window = fxwin::Window::createHeadless(50, 50);
    CDrawContext context(nullptr, nullptr, window.get());
    EXPECT_FALSE(context.waitDoubleClick()) << "nothing queued";
    EXPECT_FALSE(context.waitDrag()) << "no button down";

    fxwin::Event press;
    press.type = fxwin::EventType::buttonPress;
    press.button = 1;
    window->inject(press);
    EXPECT_TRUE(context.waitDoubleClick());

    // The button is now down: a drag follows.
    fxwin::Event drag;
    drag.type = fxwin::EventType::motion;
    drag.state = fxwin::kButton1;
    window->inject(drag);
    EXPECT_TRUE(context.waitDrag());
    fxwin::Event release;
    release.type = fxwin::EventType::buttonRelease;
    release.button = 1;
    release.state = fxwin::kButton1;
    window->inject(release);
    EXPECT_FALSE(context.waitDrag());
}

} // namespace
