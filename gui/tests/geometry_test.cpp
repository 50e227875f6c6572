// Geometry, colour conversions, angles and reference counting.
#include "fxgui/fxgui.h"

#include <gtest/gtest.h>

namespace
{

TEST(CRectTest, BoundKeepsTopLeftOfAnEmptyIntersection)
{
    struct Case
    {
        CRect a, b, expected;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, {5, 5, 20, 20}, {5, 5, 10, 10}},     // overlap
        {{0, 0, 10, 10}, {20, 0, 30, 10}, {20, 0, 20, 10}},   // disjoint side by side
        {{0, 0, 10, 10}, {0, 30, 10, 40}, {0, 30, 10, 30}},   // disjoint one above the other
        {{0, 0, 10, 10}, {20, 30, 25, 35}, {20, 30, 20, 30}}, // disjoint diagonally
        {{0, 0, 10, 10}, {10, 0, 20, 10}, {10, 0, 10, 10}},   // sharing an edge
    };
    for (const Case& c : cases)
    {
        CRect r = c.a;
        r.bound(c.b);
        EXPECT_EQ(r, c.expected) << c.a.left << "," << c.b.left;
        EXPECT_GE(r.width(), 0);
        EXPECT_GE(r.height(), 0);
    }
}

TEST(CRectTest, EdgesOfInsideOverlapAndEmpty)
{
    const CRect r(10, 20, 30, 40);
    EXPECT_TRUE(r.pointInside(CPoint(10, 20)));
    EXPECT_TRUE(r.pointInside(CPoint(29, 39)));
    EXPECT_FALSE(r.pointInside(CPoint(30, 25)));       // right edge
    EXPECT_FALSE(r.pointInside(CPoint(15, 40)));       // bottom edge
    EXPECT_TRUE(r.rectOverlap(CRect(30, 20, 50, 40))); // touching on the right
    EXPECT_TRUE(r.rectOverlap(CRect(10, 0, 30, 20)));  // touching on top
    EXPECT_FALSE(r.rectOverlap(CRect(31, 20, 50, 40)));
    EXPECT_TRUE(CRect(5, 5, 5, 10).isEmpty());
    EXPECT_TRUE(CRect(5, 5, 4, 10).isEmpty());
    EXPECT_FALSE(CRect(5, 5, 6, 6).isEmpty());

    CRect moved = r;
    moved.offset(5, -5).inset(2, 3);
    EXPECT_EQ(moved, CRect(17, 18, 33, 32));
    moved.moveTo(0, 0);
    EXPECT_EQ(moved, CRect(0, 0, 16, 14));
}

TEST(ConversionTest, PlatformRectAndColour)
{
    Rect rr;
    CRect2Rect(CRect(30, 40, 10, 20), rr);
    EXPECT_EQ(rr.left, 10);
    EXPECT_EQ(rr.right, 30);
    EXPECT_EQ(rr.top, 20);
    EXPECT_EQ(rr.bottom, 40);

    CRect back;
    const Rect reversed = {40, 30, 20, 10}; // top, left, bottom, right
    Rect2CRect(reversed, back);
    EXPECT_EQ(back, CRect(30, 40, 10, 20)) << "copied back without normalising";

    RGBColor rgb;
    CColor2RGBColor(CColor{255, 1, 0, 255}, rgb);
    EXPECT_EQ(rgb.red, 65535);
    EXPECT_EQ(rgb.green, 257);
    EXPECT_EQ(rgb.blue, 0);
    CColor cc{};
    RGBColor2CColor(RGBColor{65535, 513, 256}, cc);
    EXPECT_EQ(cc.red, 255);
    EXPECT_EQ(cc.green, 1);
    EXPECT_EQ(cc.blue, 0);
}

TEST(ConvertPoint2AngleTest, QuadrantsAndAxes)
{
    const CPoint c(100, 100);
    EXPECT_EQ(CDrawContext::convertPoint2Angle(c, CPoint(100, 50)), 5760);   // straight above
    EXPECT_EQ(CDrawContext::convertPoint2Angle(c, CPoint(100, 150)), 17280); // straight below
    EXPECT_EQ(CDrawContext::convertPoint2Angle(c, CPoint(50, 100)), 11520);  // left
    EXPECT_EQ(CDrawContext::convertPoint2Angle(c, CPoint(150, 100)), 0);     // right
    // 45 degrees: atan(1) * 3666.9298 = 2879.99..., truncated.
    EXPECT_EQ(CDrawContext::convertPoint2Angle(c, CPoint(150, 50)), 2879);
    const int32_t lowerLeft = CDrawContext::convertPoint2Angle(c, CPoint(50, 150));
    EXPECT_GT(lowerLeft, 11520);
    EXPECT_LT(lowerLeft, 17280);
    const int32_t lowerRight = CDrawContext::convertPoint2Angle(c, CPoint(150, 150));
    EXPECT_GT(lowerRight, 17280);
    EXPECT_LT(lowerRight, 23040);
}

TEST(CReferenceCounterTest, ForgetDestroysAtZero)
{
    struct Counted : CReferenceCounter
    {
        explicit Counted(bool& gone) : gone(gone) {}
        ~Counted() override { gone = true; }
        bool& gone;
    };
    bool gone = false;
    auto* object = new Counted(gone);
    object->remember();
    EXPECT_EQ(object->getNbReference(), 2);
    EXPECT_EQ(object->forget(), 1);
    EXPECT_FALSE(gone);
    EXPECT_EQ(object->forget(), 0);
    EXPECT_TRUE(gone);
}

} // namespace
