// The window layer on its own: the headless queue, and X11 windows in a real
// server (top-level, embedded, refused parent).
#include "fxwindow/window.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#undef Status // Xlib's macro would hide the layer's Status

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

namespace
{

using fxwin::Event;
using fxwin::EventType;

Event make(EventType type, int x = 0, int y = 0, uint32_t state = 0, int button = 0)
{
    Event event;
    event.type = type;
    event.x = x;
    event.y = y;
    event.state = state;
    event.button = button;
    return event;
}

TEST(HeadlessWindowTest, InjectedEventsArriveInOrderAndMoveThePointer)
{
    auto window = fxwin::Window::createHeadless(64, 48);
    ASSERT_TRUE(window->isHeadless());
    EXPECT_EQ(cairo_image_surface_get_width(window->surface()), 64);
    std::vector<EventType> seen;
    window->setEventHandler(
        [&](const Event& event)
        {
            seen.push_back(event.type);
            // An event injected while handling runs in the next pass.
            if (event.type == EventType::buttonPress)
                window->inject(make(EventType::motion, 9, 9, fxwin::kButton1));
        });
    window->inject(make(EventType::motion, 3, 4));
    window->inject(make(EventType::buttonPress, 5, 6, fxwin::kShift, 1));
    EXPECT_EQ(window->processEvents(0), 2);
    EXPECT_EQ(seen, (std::vector<EventType>{EventType::motion, EventType::buttonPress}));
    const fxwin::PointerState pointer = window->pointer();
    EXPECT_EQ(pointer.x, 5);
    EXPECT_EQ(pointer.state, fxwin::kShift | fxwin::kButton1);
    EXPECT_EQ(window->processEvents(0), 1);
    EXPECT_EQ(window->pointer().x, 9);

    // takeEvent removes only what it is asked for, and skips plain moves
    // when a drag is wanted.
    window->inject(make(EventType::motion, 1, 1, 0));
    window->inject(make(EventType::keyPress));
    window->inject(make(EventType::motion, 2, 2, fxwin::kButton1));
    Event taken;
    ASSERT_TRUE(window->takeEvent(fxwin::eventBit(EventType::motion), 0, taken, fxwin::kButton1));
    EXPECT_EQ(taken.x, 2);
    EXPECT_FALSE(window->takeEvent(fxwin::eventBit(EventType::scroll), 0, taken));
    seen.clear();
    EXPECT_EQ(window->processEvents(0), 2);
    EXPECT_EQ(seen, (std::vector<EventType>{EventType::motion, EventType::keyPress}));

    // Resizing keeps what was drawn.
    cairo_t* cr = cairo_create(window->surface());
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    EXPECT_EQ(window->setSize(80, 20), fxwin::Status::success);
    EXPECT_EQ(window->setSize(0, 20), fxwin::Status::createFailed);
    EXPECT_EQ(window->width(), 80);
    cairo_surface_flush(window->surface());
    const auto* pixel =
        reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(window->surface()));
    EXPECT_EQ(pixel[0], 0xffff0000u);
    EXPECT_EQ(window->setParentSize(10, 10), fxwin::Status::unsupported);
}

class X11WindowTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { keepAlive = XOpenDisplay(nullptr); }
    static void TearDownTestSuite()
    {
        if (keepAlive)
            XCloseDisplay(keepAlive);
        keepAlive = nullptr;
    }
    void SetUp() override { ASSERT_NE(keepAlive, nullptr) << "needs an X server (DISPLAY)"; }

    // Pumps until `done` or two seconds.
    static bool pumpUntil(fxwin::Window& window, const std::function<bool()>& done)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done() && std::chrono::steady_clock::now() < until)
            window.processEvents(0.02);
        return done();
    }

    static inline Display* keepAlive = nullptr;
};

TEST_F(X11WindowTest, TopLevelWindowDrawsResizesAndWritesPng)
{
    fxwin::Status status = fxwin::Status::createFailed;
    auto window = fxwin::Window::createX11(0, 120, 90, "fx window test", &status);
    ASSERT_EQ(status, fxwin::Status::success);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isHeadless());
    EXPECT_NE(window->nativeHandle(), 0u);
    int exposes = 0;
    window->setEventHandler([&](const Event& event)
                            { exposes += event.type == EventType::expose; });
    ASSERT_TRUE(pumpUntil(*window, [&] { return exposes > 0; })) << "mapping brings an expose";
    EXPECT_TRUE(window->isMapped());

    cairo_t* cr = cairo_create(window->surface());
    cairo_set_source_rgb(cr, 0, 0, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
    window->flush();
    const auto path = std::filesystem::temp_directory_path() /
                      ("fx-window-" + std::to_string(::getpid()) + ".png");
    ASSERT_EQ(window->writePng(path.string()), fxwin::Status::success);
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 120);
    const auto* pixel = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(png));
    EXPECT_EQ(pixel[0] & 0xffffffu, 0x0000ffu);
    cairo_surface_destroy(png);
    std::filesystem::remove(path);

    EXPECT_EQ(window->setSize(150, 60), fxwin::Status::success);
    EXPECT_EQ(window->frameInParent().width, 150);
    exposes = 0;
    window->postRedisplay(fxwin::Rect{});
    EXPECT_TRUE(pumpUntil(*window, [&] { return exposes > 0; }));
    window->setCursor(fxwin::Cursor::watch);
    EXPECT_EQ(window->cursor(), fxwin::Cursor::watch);
    EXPECT_EQ(window->inject(make(EventType::motion)), fxwin::Status::unsupported);
}

TEST_F(X11WindowTest, ChildOfAHostWindowAndARefusedParent)
{
    auto host = fxwin::Window::createX11(0, 200, 100, "host");
    ASSERT_NE(host, nullptr);
    fxwin::Status status = fxwin::Status::createFailed;
    auto child = fxwin::Window::createX11(host->nativeHandle(), 50, 40, "", &status);
    ASSERT_EQ(status, fxwin::Status::success);
    EXPECT_EQ(child->setPosition(10, 20), fxwin::Status::success);
    const fxwin::Rect frame = child->frameInParent();
    EXPECT_EQ(frame.x, 10);
    EXPECT_EQ(frame.y, 20);
    const fxwin::Rect hostOnScreen = host->frameOnScreen();
    const fxwin::Rect childOnScreen = child->frameOnScreen();
    EXPECT_EQ(childOnScreen.x, hostOnScreen.x + 10);
    EXPECT_EQ(childOnScreen.y, hostOnScreen.y + 20);
    EXPECT_EQ(child->setParentSize(300, 150), fxwin::Status::success);
    EXPECT_EQ(host->frameInParent().width, 300);

    auto orphan = fxwin::Window::createX11(0x3ffffff0, 50, 40, "", &status);
    EXPECT_EQ(orphan, nullptr);
    EXPECT_EQ(status, fxwin::Status::badParent);
    EXPECT_STREQ(fxwin::statusText(status), "the parent window does not exist");
}

} // namespace
