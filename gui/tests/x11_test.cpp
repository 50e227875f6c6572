// The frame embedded in a real X server's window: a synthetic click reaches
// the view under it at frame coordinates, and idle redraws a dirty view.
#include "helpers.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

using guitest::RecordingView;

namespace
{

class X11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "these tests need an X server (DISPLAY)";
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        ASSERT_TRUE(XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor));
        XSetWindowAttributes attributes = {};
        attributes.override_redirect = True;
        attributes.background_pixel = WhitePixel(display, DefaultScreen(display));
        parent = XCreateWindow(display, DefaultRootWindow(display), parentX, parentY, 300, 200, 0,
                               CopyFromParent, InputOutput, CopyFromParent,
                               CWOverrideRedirect | CWBackPixel, &attributes);
        XMapRaised(display, parent);
        XSync(display, False);
    }
    void TearDown() override
    {
        if (!display)
            return;
        XDestroyWindow(display, parent);
        XCloseDisplay(display);
    }

    // Idles the frame until `done` holds or five seconds pass.
    bool idleUntil(CFrame* frame, const std::function<bool()>& done)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < until)
        {
            frame->runEventLoop(0.02);
            frame->idle();
            if (done())
                return true;
        }
        return false;
    }

    unsigned long pixelOf(Window window, int x, int y)
    {
        XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return ~0ul;
        const unsigned long pixel = XGetPixel(image, 0, 0) & 0xffffff;
        XDestroyImage(image);
        return pixel;
    }

    Display* display = nullptr;
    Window parent = 0;
    const int parentX = 40, parentY = 30;
};

TEST_F(X11Test, EmbeddedFrameGetsClicksAndRedrawsOnIdle)
{
    CFrame* frame = new CFrame(CRect(0, 0, 200, 150), reinterpret_cast<void*>(parent), nullptr);
    ASSERT_NE(frame->getPlatformWindow(), nullptr);
    const Window child = static_cast<Window>(frame->getPlatformWindow()->nativeHandle());
    Window root = 0, parentOfChild = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, child, &root, &parentOfChild, &children, &count);
    XFree(children);
    EXPECT_EQ(parentOfChild, parent) << "the frame's window lives inside the host's";

    EXPECT_TRUE(frame->setPosition(30, 20));
    auto* view = new RecordingView(CRect(50, 40, 100, 90), kRedCColor);
    frame->addView(view);
    ASSERT_TRUE(idleUntil(frame, [&] { return !frame->isFirstDrawPending(); }))
        << "the server's expose event draws the frame";
    XSync(display, False);
    EXPECT_EQ(pixelOf(child, 60, 50), 0xff0000ul);
    EXPECT_EQ(pixelOf(child, 10, 10), 0x000000ul) << "frame background";

    // Click at frame (60, 50): screen = parent origin + frame position + point.
    XTestFakeMotionEvent(display, DefaultScreen(display), parentX + 30 + 60, parentY + 20 + 50, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XFlush(display);
    ASSERT_TRUE(idleUntil(frame, [&] { return view->clicks > 0; }));
    EXPECT_EQ(view->clicks, 1);
    EXPECT_EQ(view->lastWhere, CPoint(60, 50));
    EXPECT_EQ(view->lastButtons, kButtonLeft);

    CPoint where;
    frame->getCurrentLocation(where);
    EXPECT_EQ(where, CPoint(60, 50)) << "the pointer read back in frame coordinates";

    view->color = kBlueCColor;
    view->setDirty(true);
    const int draws = view->draws;
    frame->idle();
    EXPECT_EQ(view->draws, draws + 1);
    XSync(display, False);
    EXPECT_EQ(pixelOf(child, 60, 50), 0x0000fful);

    // A hidden host window is not drawn into; the view waits until it shows.
    XUnmapWindow(display, parent);
    XSync(display, False);
    view->setDirty(true);
    frame->idle();
    EXPECT_EQ(view->draws, draws + 1);
    XMapRaised(display, parent);
    XSync(display, False);
    EXPECT_TRUE(idleUntil(frame, [&] { return view->draws > draws + 1; }));

    // The host cannot size windows here, so the frame sizes the host's window.
    EXPECT_TRUE(frame->setSize(250, 180));
    XWindowAttributes attributes;
    XGetWindowAttributes(display, parent, &attributes);
    EXPECT_EQ(attributes.width, 250);
    XGetWindowAttributes(display, child, &attributes);
    EXPECT_EQ(attributes.height, 180);

    frame->forget();
}

TEST_F(X11Test, ParentThatIsNoWindowLeavesTheFrameUnbound)
{
    ::testing::internal::CaptureStderr();
    CFrame* frame = new CFrame(CRect(0, 0, 50, 50), reinterpret_cast<void*>(0x3ffffff0), nullptr);
    const std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(message.rfind("Could not create Control : ", 0), 0u) << message;
    EXPECT_EQ(frame->getPlatformWindow(), nullptr);
    auto* view = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    frame->addView(view);
    frame->idle();
    frame->draw(static_cast<CView*>(nullptr));
    CPoint where(5, 5);
    frame->mouse(nullptr, where, kButtonLeft);
    EXPECT_EQ(view->clicks, 1) << "the toolkit still works, it only gets no events";
    frame->forget();
}

} // namespace
