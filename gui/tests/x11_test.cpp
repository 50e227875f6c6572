// The frame embedded in a real X server's window: a synthetic click reaches
// the view under it at frame coordinates, and idle redraws a dirty view.
#include "helpers.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <gtest/gtest.h>

#include <X11/Xatom.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using guitest::RecordingView;

namespace
{

class X11Test : public ::testing::Test
{
protected:
    // One connection for the whole suite: an X server without other clients
    // resets itself when the last one leaves, and would refuse connections
    // for a moment in between tests.
    static void SetUpTestSuite() { sharedDisplay = XOpenDisplay(nullptr); }
    static void TearDownTestSuite()
    {
        if (sharedDisplay)
            XCloseDisplay(sharedDisplay);
        sharedDisplay = nullptr;
    }

    void SetUp() override
    {
        display = sharedDisplay;
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
        XSync(display, False);
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

    static inline Display* sharedDisplay = nullptr;
    Display* display = nullptr;
    Window parent = 0;
    // Away from the corner where other tests on the same server put their windows.
    const int parentX = 900, parentY = 700;
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
    CCoord screenX = 0, screenY = 0;
    EXPECT_TRUE(frame->getPosition(screenX, screenY));
    EXPECT_EQ(CPoint(screenX, screenY), CPoint(parentX + 30, parentY + 20)) << "on the screen";
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

// An embedder that speaks XEmbed moves the keyboard focus with messages:
// focus in at the first or last part enters the frame's Tab order there.
TEST_F(X11Test, EmbedderMovesTheFocusWithXEmbedMessages)
{
    CFrame* frame = new CFrame(CRect(0, 0, 60, 20), reinterpret_cast<void*>(parent), nullptr);
    ASSERT_NE(frame->getPlatformWindow(), nullptr);
    auto* first = new RecordingView(CRect(0, 0, 20, 20), kRedCColor);
    auto* last = new RecordingView(CRect(20, 0, 40, 20), kRedCColor);
    first->setWantsFocus(true);
    last->setWantsFocus(true);
    frame->addView(first);
    frame->addView(last);
    const Window child = static_cast<Window>(frame->getPlatformWindow()->nativeHandle());

    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* info = nullptr;
    const Atom infoAtom = XInternAtom(display, "_XEMBED_INFO", False);
    ASSERT_EQ(XGetWindowProperty(display, child, infoAtom, 0, 2, False, infoAtom, &type, &format,
                                 &count, &after, &info),
              Success);
    EXPECT_EQ(count, 2u) << "the window announces itself as an XEmbed client";
    if (info)
        XFree(info);

    const auto send = [&](long opcode, long detail)
    {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = child;
        event.xclient.message_type = XInternAtom(display, "_XEMBED", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = CurrentTime;
        event.xclient.data.l[1] = opcode;
        event.xclient.data.l[2] = detail;
        XSendEvent(display, child, False, NoEventMask, &event);
        XSync(display, False);
    };
    const long kFocusIn = 4, kFocusOut = 5, kFocusFirst = 1, kFocusLast = 2;
    send(kFocusIn, kFocusLast);
    EXPECT_TRUE(idleUntil(frame, [&] { return frame->getFocusView() == last; }));
    EXPECT_TRUE(frame->hasKeyboardFocus());
    send(kFocusOut, 0);
    EXPECT_TRUE(idleUntil(frame, [&] { return frame->getFocusView() == nullptr; }));
    EXPECT_FALSE(frame->hasKeyboardFocus());
    send(kFocusIn, kFocusFirst);
    EXPECT_TRUE(idleUntil(frame, [&] { return frame->getFocusView() == first; }));
    frame->forget();
}

// Records what a drop delivers.
class DropTarget : public RecordingView
{
public:
    using RecordingView::RecordingView;
    bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where) override
    {
        RecordingView::onDrop(context, drag, where);
        int32_t size = 0, type = 0;
        for (void* item = drag->first(size, type); item; item = drag->next(size, type))
        {
            items.emplace_back(static_cast<const char*>(item), static_cast<size_t>(size));
            types.push_back(type);
        }
        return true;
    }
    std::vector<std::string> items;
    std::vector<int32_t> types;
};

// The test plays the drag source of another application, speaking XDND.
TEST_F(X11Test, FilesDroppedFromAnotherClientArriveAsPaths)
{
    CFrame* frame = new CFrame(CRect(0, 0, 200, 150), reinterpret_cast<void*>(parent), nullptr);
    ASSERT_NE(frame->getPlatformWindow(), nullptr);
    const Window target = static_cast<Window>(frame->getPlatformWindow()->nativeHandle());
    auto* view = new DropTarget(CRect(100, 0, 200, 150), kRedCColor);
    frame->addView(view);
    ASSERT_TRUE(idleUntil(frame, [&] { return !frame->isFirstDrawPending(); }));

    const auto atom = [&](const char* name) { return XInternAtom(display, name, False); };
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* aware = nullptr;
    XGetWindowProperty(display, target, atom("XdndAware"), 0, 1, False, XA_ATOM, &type, &format,
                       &count, &left, &aware);
    ASSERT_NE(aware, nullptr) << "the frame's window announces that it takes drops";
    EXPECT_EQ(*reinterpret_cast<Atom*>(aware), 5u);
    XFree(aware);

    // The source runs on its own connection and thread, as another
    // application would: the target waits for the data while it asks.
    std::mutex mutex;
    std::vector<std::string> answers;
    std::atomic<bool> stop{false};
    std::atomic<Window> source{0};
    const std::string uris = "file:///tmp/some%20take.wav\r\nfile:///tmp/b.aif\r\n";
    std::thread sourceThread(
        [&]
        {
            Display* own = XOpenDisplay(nullptr);
            const Window window =
                XCreateSimpleWindow(own, DefaultRootWindow(own), 0, 0, 1, 1, 0, 0, 0);
            XSetSelectionOwner(own, XInternAtom(own, "XdndSelection", False), window, CurrentTime);
            XSync(own, False);
            source = window;
            while (!stop)
            {
                while (XPending(own) > 0)
                {
                    XEvent event;
                    XNextEvent(own, &event);
                    if (event.type == SelectionRequest)
                    {
                        const XSelectionRequestEvent& request = event.xselectionrequest;
                        XChangeProperty(own, request.requestor, request.property, request.target, 8,
                                        PropModeReplace,
                                        reinterpret_cast<const unsigned char*>(uris.data()),
                                        static_cast<int>(uris.size()));
                        XEvent notify = {};
                        notify.xselection.type = SelectionNotify;
                        notify.xselection.requestor = request.requestor;
                        notify.xselection.selection = request.selection;
                        notify.xselection.target = request.target;
                        notify.xselection.property = request.property;
                        notify.xselection.time = request.time;
                        XSendEvent(own, request.requestor, False, NoEventMask, &notify);
                        XFlush(own);
                    }
                    else if (event.type == ClientMessage)
                    {
                        char* name = XGetAtomName(own, event.xclient.message_type);
                        std::lock_guard<std::mutex> lock(mutex);
                        answers.push_back(std::string(name) + ":" +
                                          std::to_string(event.xclient.data.l[1] & 1));
                        XFree(name);
                    }
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            XDestroyWindow(own, window);
            XCloseDisplay(own);
        });
    while (!source)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    const auto send = [&](const char* kind, long l1, long l2, long l3, long l4)
    {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = target;
        event.xclient.message_type = atom(kind);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(source.load());
        event.xclient.data.l[1] = l1;
        event.xclient.data.l[2] = l2;
        event.xclient.data.l[3] = l3;
        event.xclient.data.l[4] = l4;
        XSendEvent(display, target, False, NoEventMask, &event);
        XFlush(display);
    };
    const auto answered = [&](size_t n)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return answers.size() >= n;
    };
    const auto pumpUntil = [&](size_t n)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < until && !answered(n))
            frame->runEventLoop(0.01);
        return answered(n);
    };

    send("XdndEnter", 5L << 24, static_cast<long>(atom("text/uri-list")), 0, 0);
    const long position = ((parentX + 150L) << 16) | (parentY + 40L);
    send("XdndPosition", 0, position, CurrentTime, static_cast<long>(atom("XdndActionCopy")));
    EXPECT_TRUE(pumpUntil(1));
    EXPECT_EQ(answers.empty() ? "" : answers.front(), "XdndStatus:1") << "the drop is accepted";
    EXPECT_EQ(view->log, "enter ");

    send("XdndDrop", 0, CurrentTime, 0, 0);
    EXPECT_TRUE(pumpUntil(2));
    stop = true;
    sourceThread.join();
    EXPECT_EQ(answers.back(), "XdndFinished:1");
    EXPECT_EQ(view->log, "enter drop leave ");
    EXPECT_EQ(view->lastWhere, CPoint(150, 40));
    EXPECT_EQ(view->items, (std::vector<std::string>{"/tmp/some take.wav", "/tmp/b.aif"}));
    EXPECT_EQ(view->types, (std::vector<int32_t>{kDragFilePath, kDragFilePath}));
    EXPECT_EQ(frame->getCursor(), kCursorDefault);
    frame->forget();
}

} // namespace
