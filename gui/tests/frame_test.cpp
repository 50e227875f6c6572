// The frame: idle redraw policy, modal and focus views, Tab traversal, keys,
// resizing, cursors, editor hooks and screenshots.
#include "helpers.h"

#include "aeffectx.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <filesystem>

using guitest::HeadlessFrame;
using guitest::isColor;
using guitest::pixelAt;
using guitest::RecordingView;

namespace
{

class FocusView : public RecordingView
{
public:
    explicit FocusView(const CRect& size) : RecordingView(size, kRedCColor) { setWantsFocus(true); }
};

struct FakeEditor : CEditorInterface
{
    void doIdleStuff() override { ++idles; }
    uint32_t getTicks() override { return 1234; }
    int32_t getKnobMode() const override { return 2; }
    void beginEdit(int32_t tag) override { log += "begin" + std::to_string(tag) + " "; }
    void endEdit(int32_t tag) override { log += "end" + std::to_string(tag) + " "; }
    bool sizeWindow(int32_t w, int32_t h) override
    {
        asked = CPoint(w, h);
        return hostCanSize;
    }
    int idles = 0;
    std::string log;
    bool hostCanSize = false;
    CPoint asked;
};

TEST(FrameTest, IdleRedrawsDirtyViewsOnlyAfterTheFirstDraw)
{
    HeadlessFrame h;
    auto* view = new RecordingView(CRect(10, 10, 30, 30), kRedCColor);
    h.frame->addView(view);
    ASSERT_TRUE(h.frame->isFirstDrawPending());
    ASSERT_TRUE(view->isDirty());
    // Idle handles no draw request yet: nothing is drawn before the host
    // has drawn the frame once.
    fxwin::Event request;
    ASSERT_TRUE(h.window().takeEvent(fxwin::eventBit(fxwin::EventType::expose), 0, request));
    h.frame->idle();
    EXPECT_EQ(view->draws, 0);
    EXPECT_TRUE(h.frame->isFirstDrawPending());

    h.window().postRedisplay(fxwin::Rect{});
    h.frame->idle();
    EXPECT_FALSE(h.frame->isFirstDrawPending());
    EXPECT_EQ(view->draws, 1);
    EXPECT_TRUE(isColor(pixelAt(h.surface(), 15, 15), 255, 0, 0));

    // Nothing dirty: idle draws nothing.
    h.frame->idle();
    EXPECT_EQ(view->draws, 1);

    view->color = kGreenCColor;
    view->setDirty(true);
    h.frame->idle();
    EXPECT_EQ(view->draws, 2);
    EXPECT_TRUE(isColor(pixelAt(h.surface(), 15, 15), 0, 255, 0));

    // Updates disabled, or the frame closed: dirty views wait.
    view->setDirty(true);
    EXPECT_FALSE(h.frame->updatesDisabled(true));
    h.frame->idle();
    EXPECT_EQ(view->draws, 2);
    h.frame->updatesDisabled(false);
    h.frame->setOpenFlag(false);
    h.frame->idle();
    EXPECT_EQ(view->draws, 2);
    h.frame->setOpenFlag(true);
    h.frame->idle();
    EXPECT_EQ(view->draws, 3);
}

TEST(FrameTest, PartialExposeKeepsTheFrameDirty)
{
    HeadlessFrame h;
    auto* view = new RecordingView(CRect(0, 0, 100, 100), kRedCColor);
    h.frame->addView(view);
    h.showWindow();
    h.frame->setDirty(true);
    h.window().postRedisplay(fxwin::Rect{0, 0, 10, 10});
    h.window().processEvents(0);
    EXPECT_TRUE(h.frame->isDirty());
    h.window().postRedisplay(fxwin::Rect{});
    h.window().processEvents(0);
    EXPECT_FALSE(h.frame->isDirty());
}

TEST(FrameTest, ModalViewTakesTheClicks)
{
    HeadlessFrame h;
    auto* base = new RecordingView(CRect(0, 0, 100, 100), kRedCColor);
    auto* modal = new RecordingView(CRect(20, 20, 40, 40), kBlueCColor);
    auto* other = new RecordingView(CRect(60, 60, 80, 80), kGreenCColor);
    h.frame->addView(base);
    EXPECT_TRUE(h.frame->setModalView(modal));
    EXPECT_FALSE(h.frame->setModalView(other)) << "one modal view at a time";
    EXPECT_EQ(h.frame->getModalView(), modal);
    EXPECT_TRUE(h.frame->isChild(modal));
    EXPECT_EQ(h.frame->getCurrentView(), modal);

    h.click(30, 30);
    h.click(70, 70);
    EXPECT_EQ(modal->clicks, 1);
    EXPECT_EQ(base->clicks, 0) << "clicks outside the modal view go nowhere";

    EXPECT_TRUE(h.frame->setModalView(nullptr));
    EXPECT_FALSE(h.frame->isChild(modal));
    EXPECT_EQ(modal->getNbReference(), 1) << "removed without the extra forget";
    h.click(30, 30);
    EXPECT_EQ(base->clicks, 1);
    EXPECT_TRUE(h.frame->setModalView(other));
    // The modal view stays its creator's.
    EXPECT_TRUE(h.frame->setModalView(nullptr));
    modal->forget();
    other->forget();
}

TEST(FrameTest, TabMovesTheFocus)
{
    HeadlessFrame h;
    auto* first = new FocusView(CRect(0, 0, 10, 10));
    auto* plain = new RecordingView(CRect(10, 0, 20, 10), kRedCColor);
    auto* container = new CViewContainer(CRect(20, 0, 60, 10), h.frame);
    auto* nested = new FocusView(CRect(0, 0, 10, 10));
    auto* last = new FocusView(CRect(60, 0, 70, 10));
    h.frame->addView(first);
    h.frame->addView(plain);
    container->addView(nested);
    h.frame->addView(container);
    h.frame->addView(last);
    h.giveKeyboardFocus();

    struct Step
    {
        uint32_t modifiers;
        CView* expectedFocus;
    };
    const Step steps[] = {
        {0, first},            // no focus: the first view that wants it
        {0, nested},           // into the container
        {0, last},             // out of the container
        {0, nullptr},          // past the last: focus cleared
        {fxwin::kShift, last}, // shift-Tab with no focus: the last
        {fxwin::kShift, nested},
        {fxwin::kShift, first},
    };
    for (const Step& step : steps)
    {
        h.key(XK_Tab, '\t', step.modifiers);
        EXPECT_EQ(h.frame->getFocusView(), step.expectedFocus);
    }
    EXPECT_EQ(last->focusLosses, 2);

    // The focus view gets keys first; with a modal view, Tab stays put.
    first->keys = 0;
    first->consumesKeys = true;
    h.key(XK_a, 'a');
    EXPECT_EQ(first->keys, 1);
    first->consumesKeys = false;
    auto* modal = new RecordingView(CRect(80, 80, 90, 90), kRedCColor);
    h.frame->setModalView(modal);
    h.key(XK_Tab, '\t');
    EXPECT_EQ(h.frame->getFocusView(), first);
    EXPECT_EQ(modal->keys, 1) << "the modal view is asked after the focus view";
    h.frame->setModalView(nullptr);
    modal->forget();

    // A click clears the focus.
    h.click(5, 5);
    EXPECT_EQ(h.frame->getFocusView(), nullptr);
}

TEST(FrameTest, KeysReachTheFrameOnlyWithKeyboardFocus)
{
    HeadlessFrame h;
    auto* view = new FocusView(CRect(0, 0, 10, 10));
    h.frame->addView(view);
    h.frame->setFocusView(view);
    h.key(XK_a, 'a');
    EXPECT_EQ(view->keys, 0);
    h.giveKeyboardFocus();
    h.key(XK_a, 'a');
    EXPECT_EQ(view->keys, 1);
    fxwin::Event focus;
    focus.type = fxwin::EventType::focusOut;
    h.window().inject(focus);
    h.window().processEvents(0);
    EXPECT_FALSE(h.frame->hasKeyboardFocus());
    EXPECT_EQ(h.frame->getFocusView(), nullptr);
}

// The host's keyboard navigation moves the focus into the frame at its first
// or last focusable view, or takes it away.
TEST(FrameTest, HostMovesTheFocusIntoAndOutOfTheFrame)
{
    HeadlessFrame h;
    auto* first = new FocusView(CRect(0, 0, 10, 10));
    auto* plain = new RecordingView(CRect(10, 0, 20, 10), kRedCColor);
    auto* last = new FocusView(CRect(20, 0, 30, 10));
    h.frame->addView(first);
    h.frame->addView(plain);
    h.frame->addView(last);
    const auto focusPart = [&](fxwin::FocusPart part)
    {
        fxwin::Event event;
        event.type = fxwin::EventType::setFocusPart;
        event.focusPart = part;
        h.window().inject(event);
        h.window().processEvents(0);
    };

    struct Step
    {
        fxwin::FocusPart part;
        CView* expectedFocus;
        bool expectedKeyboardFocus;
    };
    const Step steps[] = {
        {fxwin::FocusPart::next, first, true},
        {fxwin::FocusPart::none, nullptr, false},
        {fxwin::FocusPart::previous, last, true},
        {fxwin::FocusPart::next, nullptr, false}, // past the last: the focus leaves
    };
    for (const Step& step : steps)
    {
        focusPart(step.part);
        EXPECT_EQ(h.frame->getFocusView(), step.expectedFocus) << static_cast<int>(step.part);
        EXPECT_EQ(h.frame->hasKeyboardFocus(), step.expectedKeyboardFocus)
            << static_cast<int>(step.part);
    }

    // With focus changes refused the event changes nothing.
    focusPart(fxwin::FocusPart::next);
    ASSERT_EQ(h.frame->getFocusView(), first);
    hiToolboxAllowFocusChange = false;
    focusPart(fxwin::FocusPart::none);
    focusPart(fxwin::FocusPart::next);
    hiToolboxAllowFocusChange = true;
    EXPECT_EQ(h.frame->getFocusView(), first);
    EXPECT_TRUE(h.frame->hasKeyboardFocus());
}

TEST(KeyTranslationTest, KeysymsToVirtualKeys)
{
    struct Case
    {
        uint32_t keysym, character, modifiers;
        int32_t expectedCharacter;
        unsigned char expectedVirt, expectedModifier;
    };
    const Case cases[] = {
        {XK_a, 'a', 0, 'a', 0, 0},
        {XK_a, 'a', fxwin::kShift, 'A', 0, 1},
        {XK_Tab, '\t', 0, 0, 2, 0},
        {XK_ISO_Left_Tab, 0, fxwin::kShift, 0, 2, 1},
        {XK_BackSpace, 8, 0, 0, 1, 0},
        {XK_Return, 13, fxwin::kControl, 0, 4, 4},
        {XK_Escape, 27, fxwin::kAlt, 0, 6, 2},
        {XK_space, ' ', fxwin::kSuper, 0, 7, 8},
        {XK_Delete, 127, 0, 0, 22, 0},
        {XK_KP_0, '0', 0, 0, 24, 0},
        {XK_KP_8, '8', 0, 0, 32, 0},
        {XK_KP_Subtract, '-', 0, 0, 37, 0},
        {XK_F1, 0, 0, 0, 40, 0},
        {XK_F12, 0, 0, 0, 51, 0},
        {XK_Num_Lock, 0, 0, 0, 52, 0},
        {XK_KP_Equal, '=', 0, 0, 57, 0},
        {XK_Page_Down, 0, 0, 0, 16, 0},
        {XK_Help, 0, 0, 0, 23, 0},
    };
    for (const Case& k : cases)
    {
        VstKeyCode key = {};
        EXPECT_TRUE(fxTranslateKey(k.keysym, k.character, k.modifiers, key)) << k.keysym;
        EXPECT_EQ(key.character, k.expectedCharacter) << k.keysym;
        EXPECT_EQ(key.virt, k.expectedVirt) << k.keysym;
        EXPECT_EQ(key.modifier, k.expectedModifier) << k.keysym;
    }
    VstKeyCode key = {};
    EXPECT_FALSE(fxTranslateKey(XK_Shift_L, 0, fxwin::kShift, key)) << "a modifier alone";
    EXPECT_EQ(fxVirtualKeyForKeysym(XK_F13), 0);
    EXPECT_EQ(fxVirtualKeyForKeysym(XK_Insert), 0);
}

TEST(FrameTest, ResizingAskesTheHostFirst)
{
    FakeEditor editor;
    HeadlessFrame h(100, 80, &editor);
    CRect size;
    EXPECT_FALSE(h.frame->setSize(100, 80)) << "unchanged size";
    EXPECT_EQ(editor.asked, CPoint(0, 0));

    editor.hostCanSize = true;
    EXPECT_TRUE(h.frame->setSize(120, 90));
    EXPECT_EQ(editor.asked, CPoint(120, 90));
    h.frame->getViewSize(size);
    EXPECT_EQ(size, CRect(0, 0, 120, 90));
    EXPECT_EQ(h.window().width(), 120);

    editor.hostCanSize = false;
    CRect next(0, 0, 50, 40);
    h.frame->setViewSize(next);
    h.frame->getViewSize(size);
    EXPECT_EQ(size, CRect(0, 0, 50, 40));
    EXPECT_EQ(h.window().height(), 40);
    EXPECT_TRUE(h.frame->getSize(size));
    EXPECT_EQ(size.width(), 50);

    h.frame->setOpenFlag(false);
    EXPECT_FALSE(h.frame->setSize(70, 70));
    EXPECT_FALSE(h.frame->getSize(size));
}

TEST(FrameTest, EditorHooksAndCursors)
{
    FakeEditor editor;
    HeadlessFrame h(100, 80, &editor);
    auto* view = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    h.frame->addView(view);
    EXPECT_EQ(view->getEditor(), &editor);
    EXPECT_EQ(h.frame->getTicks(), 1234u);
    EXPECT_EQ(h.frame->getKnobMode(), 2);
    h.frame->beginEdit(3);
    h.frame->endEdit(3);
    EXPECT_EQ(editor.log, "begin3 end3 ");
    h.frame->doIdleStuff();
    EXPECT_EQ(editor.idles, 1);

    struct Case
    {
        CCursorType type;
        fxwin::Cursor expected;
    };
    const Case cases[] = {
        {kCursorDefault, fxwin::Cursor::arrow},
        {kCursorWait, fxwin::Cursor::watch},
        {kCursorHSize, fxwin::Cursor::resizeLeftRight},
        {kCursorVSize, fxwin::Cursor::resizeUpDown},
        {kCursorNWSESize, fxwin::Cursor::cross},
        {kCursorCopy, fxwin::Cursor::copyArrow},
        {kCursorNotAllowed, fxwin::Cursor::notAllowed},
        {kCursorHand, fxwin::Cursor::openHand},
        {static_cast<CCursorType>(12), fxwin::Cursor::arrow},
    };
    for (const Case& k : cases)
    {
        h.frame->setCursor(k.type);
        EXPECT_EQ(h.window().cursor(), k.expected) << k.type;
    }

    // Older systems lack some shapes and get a stand-in.
    struct VersionCase
    {
        int32_t version;
        CCursorType type;
        fxwin::Cursor expected;
    };
    const VersionCase versions[] = {
        {0x1030, kCursorHSize, fxwin::Cursor::resizeLeftRight},
        {0x1029, kCursorHSize, fxwin::Cursor::cross},
        {0x1029, kCursorVSize, fxwin::Cursor::cross},
        {0x1020, kCursorNotAllowed, fxwin::Cursor::notAllowed},
        {0x1019, kCursorNotAllowed, fxwin::Cursor::arrow},
        {0x1019, kCursorHand, fxwin::Cursor::openHand},
    };
    const int32_t platformVersion = pSystemVersion;
    EXPECT_GE(platformVersion, 0x1030) << "the window layer has every shape";
    for (const VersionCase& k : versions)
    {
        pSystemVersion = k.version;
        h.frame->setCursor(kCursorWait); // a different shape first
        h.frame->setCursor(k.type);
        EXPECT_EQ(h.window().cursor(), k.expected) << std::hex << k.version << " " << k.type;
    }
    pSystemVersion = platformVersion;

    HeadlessFrame lone;
    EXPECT_EQ(lone.frame->getTicks(), 0u);
    EXPECT_EQ(lone.frame->getKnobMode(), 0);
}

TEST(FrameTest, InvalidateMarksOverlappingChildren)
{
    HeadlessFrame h;
    auto* a = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    auto* b = new RecordingView(CRect(50, 50, 60, 60), kRedCColor);
    h.frame->addView(a);
    h.frame->addView(b);
    a->setDirty(false);
    b->setDirty(false);
    h.frame->invalidate(CRect(10, 10, 20, 20)); // touches a's corner
    EXPECT_TRUE(a->isDirty());
    EXPECT_FALSE(b->isDirty());
}

TEST(FrameTest, ScreenshotToPng)
{
    HeadlessFrame h(40, 30);
    auto* bitmapless = new RecordingView(CRect(10, 10, 20, 20), kMagentaCColor);
    h.frame->addView(bitmapless);
    const auto path = std::filesystem::temp_directory_path() /
                      ("fx-gui-shot-" + std::to_string(::getpid()) + ".png");
    ASSERT_TRUE(h.frame->writePng(path.c_str()));
    cairo_surface_t* shot = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(shot), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(shot), 40);
    EXPECT_TRUE(isColor(pixelAt(shot, 15, 15), 255, 0, 255));
    EXPECT_TRUE(isColor(pixelAt(shot, 5, 5), 0, 0, 0));
    cairo_surface_destroy(shot);
    std::filesystem::remove(path);
    EXPECT_TRUE(h.frame->isFirstDrawPending()) << "a screenshot is not the host's draw";
    EXPECT_FALSE(h.frame->writePng("/nonexistent-dir/shot.png"));
}

} // namespace

namespace
{

TEST(FrameTest, ContextOnAHostSurfaceIsTheFramesCurrentContext)
{
    HeadlessFrame h(40, 30);
    auto* view = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    h.frame->addView(view);
    cairo_surface_t* hostSurface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 30);
    cairo_t* host = cairo_create(hostSurface);
    cairo_set_source_rgb(host, 0, 1, 0);
    {
        auto* context = new CDrawContext(h.frame, host, nullptr);
        EXPECT_EQ(h.frame->getCurrentContext(), context);
        CDrawContext* handedOut = h.frame->createDrawContext();
        EXPECT_EQ(handedOut, context);
        EXPECT_EQ(context->getNbReference(), 2);
        handedOut->forget();
        h.frame->draw(context);
        context->forget();
    }
    EXPECT_EQ(h.frame->getCurrentContext(), nullptr);
    EXPECT_TRUE(isColor(pixelAt(hostSurface, 5, 5), 255, 0, 0)) << "drawn on the host's surface";
    // The host's own state came back unchanged.
    cairo_paint(host);
    EXPECT_TRUE(isColor(pixelAt(hostSurface, 5, 5), 0, 255, 0));
    cairo_destroy(host);
    cairo_surface_destroy(hostSurface);
}

} // namespace

namespace
{

TEST(FrameTest, PlatformDragEventsReachTheViews)
{
    HeadlessFrame h;
    auto* a = new RecordingView(CRect(0, 0, 50, 100), kRedCColor);
    auto* b = new RecordingView(CRect(50, 0, 100, 100), kBlueCColor);
    h.frame->addView(a);
    h.frame->addView(b);
    const auto drag = [&](fxwin::EventType type, int x)
    {
        fxwin::Event event;
        event.type = type;
        event.x = x;
        event.y = 10;
        event.dataType = "text/plain";
        event.data = "gain 3";
        h.window().inject(event);
        h.window().processEvents(0);
    };
    drag(fxwin::EventType::dragEnter, 10);
    EXPECT_EQ(h.frame->getCursor(), kCursorNotAllowed);
    drag(fxwin::EventType::dragMove, 20);
    drag(fxwin::EventType::dragMove, 70);
    drag(fxwin::EventType::drop, 71);
    EXPECT_EQ(a->log, "enter move leave ");
    EXPECT_EQ(b->log, "enter drop leave ");
    EXPECT_EQ(h.frame->getCursor(), kCursorDefault);

    // With drops switched off nothing is routed.
    h.frame->setDropActive(false);
    drag(fxwin::EventType::dragEnter, 10);
    drag(fxwin::EventType::dragLeave, 10);
    EXPECT_EQ(a->log, "enter move leave ");
}

} // namespace
