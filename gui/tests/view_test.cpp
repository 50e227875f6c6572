// Views and containers: drawing order, hit tests, dirty-driven update,
// routing of clicks, wheel and drags, attributes.
#include "helpers.h"

#include <gtest/gtest.h>

using guitest::HeadlessFrame;
using guitest::isColor;
using guitest::pixelAt;
using guitest::RecordingView;

namespace
{

TEST(ViewContainerTest, LaterChildIsOnTopAndTakesTheClick)
{
    HeadlessFrame h;
    auto* under = new RecordingView(CRect(10, 10, 60, 60), kRedCColor);
    auto* over = new RecordingView(CRect(40, 40, 90, 90), kBlueCColor);
    h.frame->addView(under);
    h.frame->addView(over);
    h.showWindow();
    EXPECT_FALSE(h.frame->isFirstDrawPending());
    EXPECT_TRUE(isColor(pixelAt(h.surface(), 50, 50), 0, 0, 255));
    EXPECT_TRUE(isColor(pixelAt(h.surface(), 20, 20), 255, 0, 0));
    EXPECT_TRUE(isColor(pixelAt(h.surface(), 95, 5), 0, 0, 0)) << "frame background";

    struct Case
    {
        CPoint at;
        bool overEnabled;
        int underClicks, overClicks;
    };
    const Case cases[] = {
        {{50, 50}, true, 0, 1},                         // the overlap goes to the later child
        {{20, 20}, true, 1, 0},  {{95, 5}, true, 0, 0}, // nobody there
        {{60, 60}, true, 0, 1},                         // edges of the mouseable area count
        {{50, 50}, false, 1, 0},                        // a disabled child is skipped even on top
        {{85, 85}, false, 0, 0},
    };
    for (const Case& k : cases)
    {
        under->clicks = over->clicks = 0;
        over->setMouseEnabled(k.overEnabled);
        h.click(k.at.x, k.at.y);
        EXPECT_EQ(under->clicks, k.underClicks) << k.at.x << "," << k.at.y;
        EXPECT_EQ(over->clicks, k.overClicks) << k.at.x << "," << k.at.y;
    }
    h.click(30, 30, 3, fxwin::kShift);
    EXPECT_EQ(under->lastButtons, kButtonRight | kModShift);
    EXPECT_EQ(under->lastWhere, CPoint(30, 30));
}

TEST(ViewContainerTest, NestedContainersWorkInLocalCoordinates)
{
    HeadlessFrame h;
    auto* container = new CViewContainer(CRect(20, 20, 80, 80), h.frame);
    auto* child = new RecordingView(CRect(10, 10, 30, 30), kGreenCColor);
    container->setBackgroundColor(kWhiteCColor);
    container->addView(child);
    h.frame->addView(container);
    h.showWindow();
    // The child sits at (30, 30) in the frame.
    EXPECT_TRUE(isColor(pixelAt(h.surface(), 30, 30), 0, 255, 0));
    EXPECT_TRUE(isColor(pixelAt(h.surface(), 29, 29), 255, 255, 255));
    EXPECT_TRUE(isColor(pixelAt(h.surface(), 50, 50), 0, 255, 0) == false);
    EXPECT_TRUE(isColor(pixelAt(h.surface(), 49, 49), 0, 255, 0));

    h.click(35, 36);
    EXPECT_EQ(child->clicks, 1);
    EXPECT_EQ(child->lastWhere, CPoint(15, 16));

    CPoint p(35, 36);
    child->frameToLocal(p);
    EXPECT_EQ(p, CPoint(15, 16));
    child->localToFrame(p);
    EXPECT_EQ(p, CPoint(35, 36));

    EXPECT_EQ(h.frame->getViewAt(CPoint(35, 36), false), container);
    EXPECT_EQ(h.frame->getViewAt(CPoint(35, 36), true), child);
    EXPECT_EQ(h.frame->getViewAt(CPoint(25, 25), true), container);
    EXPECT_EQ(h.frame->getViewAt(CPoint(5, 5), true), nullptr);

    EXPECT_EQ(container->notify(nullptr, kMsgCheckIfViewContainer), 1);
    const std::string copy = kMsgCheckIfViewContainer;
    EXPECT_EQ(container->notify(nullptr, copy.c_str()), 0) << "compared by address";
    EXPECT_EQ(child->notify(nullptr, kMsgCheckIfViewContainer), 0);
    EXPECT_TRUE(h.frame->isTypeOf("CView"));
    EXPECT_TRUE(h.frame->isTypeOf("CViewContainer"));
    EXPECT_FALSE(container->isTypeOf("CFrame"));

    // The wheel reaches the child in its coordinates, with the context
    // moved to the container's origin for the call.
    h.scroll(35, 36, 0, -1);
    EXPECT_EQ(child->wheels, 1);
    EXPECT_EQ(child->lastWhere, CPoint(15, 16));
    EXPECT_EQ(child->lastOffset, CPoint(20, 20));
    EXPECT_EQ(child->lastAxis, kMouseWheelVertical);
    EXPECT_EQ(child->lastDistance, -1.f);
    h.scroll(35, 36, 1, 0);
    EXPECT_EQ(child->lastAxis, kMouseWheelHorizontal);
    h.scroll(35, 36, 0, 2, fxwin::kSuper);
    EXPECT_EQ(child->lastAxis, kMouseWheelHorizontal) << "command turns the wheel sideways";
    EXPECT_EQ(child->lastDistance, 2.f);
}

TEST(ViewContainerTest, RemoveViewWithAndWithoutForget)
{
    HeadlessFrame h;
    bool goneA = false, goneB = false;
    auto* a = new RecordingView(CRect(0, 0, 10, 10), kRedCColor, &goneA);
    auto* b = new RecordingView(CRect(0, 0, 10, 10), kRedCColor, &goneB);
    h.frame->addView(a);
    h.frame->addView(b);
    EXPECT_EQ(a->getNbReference(), 2);
    EXPECT_EQ(h.frame->getNbViews(), 2);
    EXPECT_EQ(h.frame->getView(1), b);
    EXPECT_EQ(h.frame->getView(2), nullptr);
    EXPECT_EQ(h.frame->getView(-1), nullptr);
    h.frame->removeView(a, true);
    EXPECT_TRUE(goneA);
    h.frame->removeView(b, false);
    EXPECT_FALSE(goneB);
    EXPECT_EQ(b->getNbReference(), 1);
    EXPECT_FALSE(h.frame->isChild(b));
    EXPECT_EQ(b->getParentView(), h.frame) << "parents stay as they were";
    b->forget();
    EXPECT_TRUE(goneB);
}

TEST(ViewContainerTest, DestroyingTheFrameDestroysChildrenNobodyElseHolds)
{
    // The creator's reference goes with the container's; a view somebody
    // else remembered survives.
    bool goneKept = false, goneOwned = false;
    auto* kept = new RecordingView(CRect(0, 0, 10, 10), kRedCColor, &goneKept);
    kept->remember();
    {
        HeadlessFrame h;
        auto* owned = new RecordingView(CRect(0, 0, 10, 10), kRedCColor, &goneOwned);
        auto* container = new CViewContainer(CRect(0, 0, 50, 50), h.frame);
        container->addView(owned);
        container->addView(kept);
        h.frame->addView(container);
        h.frame->setFocusView(owned);
    }
    EXPECT_TRUE(goneOwned);
    EXPECT_FALSE(goneKept);
    EXPECT_EQ(kept->getNbReference(), 1);
    kept->forget();
}

TEST(ViewContainerTest, PartlyExposedDirtyChildStaysDirtyUntilIdle)
{
    HeadlessFrame h;
    auto* child = new RecordingView(CRect(10, 10, 50, 50), kRedCColor);
    h.frame->addView(child);
    h.showWindow();
    child->setDirty(true);
    h.frame->drawRect(nullptr, CRect(0, 0, 30, 30));
    EXPECT_TRUE(child->isDirty()) << "only a part was drawn";
    const int draws = child->draws;
    h.frame->idle();
    EXPECT_FALSE(child->isDirty());
    EXPECT_EQ(child->draws, draws + 1);

    // A fully covered dirty child is clean after the partial draw.
    child->setDirty(true);
    h.frame->drawRect(nullptr, CRect(0, 0, 60, 60));
    EXPECT_FALSE(child->isDirty());
}

TEST(ViewContainerTest, UpdateModes)
{
    HeadlessFrame h;
    auto* container = new CViewContainer(CRect(0, 0, 90, 30), h.frame);
    RecordingView* children[3];
    for (int i = 0; i < 3; ++i)
    {
        children[i] = new RecordingView(CRect(i * 30, 0, i * 30 + 30, 30), kRedCColor);
        container->addView(children[i]);
    }
    h.frame->addView(container);
    h.showWindow();

    struct Case
    {
        int32_t mode;
        bool containerDirty;
        int expectedDraws[3];
    };
    const Case cases[] = {
        {kRedrawDirtyChildren, false, {0, 1, 0}},
        {kRedrawDirtyChildren, true, {1, 1, 1}},
        {kRedrawWhole, false, {1, 1, 1}},
        {7, false, {0, 0, 0}}, // an unknown mode does nothing
    };
    for (const Case& k : cases)
    {
        container->setMode(k.mode);
        for (RecordingView* child : children)
            child->draws = 0;
        children[1]->setDirty(true);
        if (k.containerDirty)
            container->setDirty(true);
        CDrawContext* context = h.frame->createDrawContext();
        container->update(context);
        context->forget();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(children[i]->draws, k.expectedDraws[i])
                << "mode " << k.mode << " child " << i;
        children[1]->setDirty(false);
        container->setDirty(false);
    }
}

TEST(ViewContainerTest, DirtyChildOutsideTheContainerDoesNotCount)
{
    HeadlessFrame h;
    auto* container = new CViewContainer(CRect(0, 0, 40, 40), h.frame);
    auto* outside = new RecordingView(CRect(50, 50, 60, 60), kRedCColor);
    container->addView(outside);
    container->setDirty(false);
    EXPECT_TRUE(outside->isDirty());
    EXPECT_FALSE(container->isDirty());
    CRect moved(30, 30, 60, 60);
    outside->setViewSize(moved);
    EXPECT_TRUE(container->isDirty()) << "now partly inside";
    container->forget(); // never added: its own reference is the last
}

TEST(ViewContainerTest, OffscreenDrawingGivesTheSamePixels)
{
    cairo_surface_t* results[2] = {};
    for (int offscreen = 0; offscreen < 2; ++offscreen)
    {
        HeadlessFrame h;
        auto* container = new CViewContainer(CRect(10, 10, 70, 70), h.frame);
        container->setBackgroundColor(kYellowCColor);
        container->useOffscreen(offscreen == 1);
        auto* child = new RecordingView(CRect(5, 5, 25, 25), kBlueCColor);
        container->addView(child);
        h.frame->addView(container);
        h.showWindow();
        EXPECT_EQ(container->getOffscreen() != nullptr, offscreen == 1);
        // Also the partial path.
        child->setDirty(true);
        h.frame->idle();
        results[offscreen] = cairo_surface_reference(h.surface());
        h.frame->removeAll(true);
    }
    for (const CPoint p : {CPoint(12, 12), CPoint(20, 20), CPoint(34, 34), CPoint(35, 35),
                           CPoint(69, 69), CPoint(70, 70), CPoint(5, 5)})
    {
        const auto a = pixelAt(results[0], p.x, p.y), b = pixelAt(results[1], p.x, p.y);
        EXPECT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b) << p.x << "," << p.y;
    }
    EXPECT_TRUE(isColor(pixelAt(results[1], 20, 20), 0, 0, 255));
    EXPECT_TRUE(isColor(pixelAt(results[1], 12, 12), 255, 255, 0));
    for (cairo_surface_t* s : results)
        cairo_surface_destroy(s);
}

TEST(ViewTest, Attributes)
{
    CView view(CRect(0, 0, 10, 10));
    const CViewAttributeID key = 0x61626364; // 'abcd'
    const int32_t four = 4;
    int32_t size = 0;
    char buffer[8] = {};
    EXPECT_FALSE(view.getAttributeSize(kCViewAttributeReferencePointer, size));
    EXPECT_FALSE(view.getAttribute(kCViewAttributeReferencePointer, 8, buffer, size));
    EXPECT_TRUE(view.setAttribute(key, four, "xyz"));
    EXPECT_TRUE(view.getAttributeSize(key, size));
    EXPECT_EQ(size, 4);
    EXPECT_FALSE(view.getAttribute(key, 3, buffer, size)) << "buffer too small";
    EXPECT_TRUE(view.getAttribute(key, 8, buffer, size));
    EXPECT_STREQ(buffer, "xyz");
    EXPECT_TRUE(view.setAttribute(key, 2, "ab")) << "a smaller value overwrites";
    EXPECT_TRUE(view.getAttribute(key, 8, buffer, size));
    EXPECT_EQ(std::string(buffer, 3), "abz");
    EXPECT_FALSE(view.setAttribute(key, 5, "12345")) << "a larger value is refused";
    EXPECT_TRUE(view.removeAttribute(key));
    EXPECT_FALSE(view.getAttributeSize(key, size));
}

TEST(ViewContainerTest, DragRouting)
{
    HeadlessFrame h;
    auto* a = new RecordingView(CRect(0, 0, 40, 40), kRedCColor);
    auto* b = new RecordingView(CRect(50, 0, 90, 40), kBlueCColor);
    h.frame->addView(a);
    h.frame->addView(b);
    const char text[] = "hello";
    auto* drag = new CDragContainer("text/plain", text, 5);
    CDrawContext* context = h.frame->createDrawContext();
    h.frame->onDragEnter(context, drag, CPoint(10, 10));
    h.frame->onDragMove(context, drag, CPoint(12, 10));
    h.frame->onDragMove(context, drag, CPoint(60, 10));
    EXPECT_TRUE(h.frame->onDrop(context, drag, CPoint(61, 11)));
    EXPECT_EQ(a->log, "enter move leave ");
    EXPECT_EQ(b->log, "enter drop leave ");
    EXPECT_EQ(b->lastWhere, CPoint(61, 11));
    EXPECT_FALSE(h.frame->onDrop(context, drag, CPoint(45, 45))) << "nobody there";

    // A container without a frame routes nothing.
    CViewContainer loose(CRect(0, 0, 50, 50), nullptr);
    auto* c = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    loose.addView(c);
    loose.onDragEnter(context, drag, CPoint(5, 5));
    EXPECT_EQ(c->log, "");
    context->forget();
    drag->forget();
}

TEST(DragContainerTest, ItemsAndTypes)
{
    const char uris[] = "# comment\r\nfile:///tmp/a%20b.wav\r\nfile://localhost/x.txt\r\n"
                        "http://example.org/\r\n";
    CDragContainer files("text/uri-list", uris, sizeof uris - 1);
    EXPECT_EQ(files.getCount(), 3);
    EXPECT_EQ(files.getType(0), kDragFilePath);
    EXPECT_EQ(files.getType(2), kDragText);
    EXPECT_EQ(files.getType(3), kDragOther);
    int32_t size = 0, type = 0;
    const char* item = static_cast<const char*>(files.first(size, type));
    ASSERT_NE(item, nullptr);
    EXPECT_STREQ(item, "/tmp/a b.wav");
    EXPECT_EQ(size, 12);
    EXPECT_EQ(type, kDragFilePath);
    item = static_cast<const char*>(files.next(size, type));
    EXPECT_STREQ(item, "/x.txt");
    item = static_cast<const char*>(files.next(size, type));
    EXPECT_STREQ(item, "http://example.org/");
    EXPECT_EQ(type, kDragText);
    EXPECT_EQ(files.next(size, type), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(type, kDragOther);

    CDragContainer text("text/plain;charset=utf-8", "dial", 4);
    item = static_cast<const char*>(text.first(size, type));
    EXPECT_STREQ(item, "dial");
    EXPECT_EQ(size, 4);
    EXPECT_EQ(type, kDragText);
    const unsigned char raw[] = {1, 2, 3};
    CDragContainer other("application/octet-stream", raw, 3);
    EXPECT_EQ(other.getType(0), kDragOther);
}

} // namespace
