// The frame: binding to the window, platform events, idle redraw, modal and
// focus views, resizing and cursors.
#include "fxgui/cframe.h"

#include "aeffectx.h"
#include "fxgui/cdrawcontext.h"
#include "fxwindow/window.h"

#include <cairo.h>

#include <cstdio>
#include <cstring>
#include <vector>

bool hiToolboxAllowFocusChange = true;
int32_t pSystemVersion = 0;

namespace
{

// The window layer has every cursor shape the frame asks for, so it counts
// as a system from which all of them exist.
constexpr int32_t kPlatformSystemVersion = 0x1040;

#if !FX_GUI_LEGACY
constexpr unsigned char kVirtualKeyTab = 2;
constexpr unsigned char kKeyModifierShift = 1;
#endif

int32_t modifierBits(uint32_t state)
{
    int32_t bits = 0;
    if (state & fxwin::kShift)
        bits |= kModShift;
    if (state & fxwin::kSuper)
        bits |= kModCommand;
    if (state & fxwin::kAlt)
        bits |= kModAlt;
    if (state & fxwin::kControl)
        bits |= kModControl;
    return bits;
}

fxwin::Cursor platformCursor(CCursorType type)
{
    switch (type)
    {
    case kCursorWait:
        return fxwin::Cursor::watch;
    case kCursorHSize:
        return pSystemVersion >= 0x1030 ? fxwin::Cursor::resizeLeftRight : fxwin::Cursor::cross;
    case kCursorVSize:
        return pSystemVersion >= 0x1030 ? fxwin::Cursor::resizeUpDown : fxwin::Cursor::cross;
    case kCursorSizeAll:
    case kCursorNESWSize:
    case kCursorNWSESize:
        return fxwin::Cursor::cross;
    case kCursorCopy:
        return fxwin::Cursor::copyArrow;
    case kCursorNotAllowed:
        return pSystemVersion >= 0x1020 ? fxwin::Cursor::notAllowed : fxwin::Cursor::arrow;
    case kCursorHand:
        return fxwin::Cursor::openHand;
    default:
        return fxwin::Cursor::arrow;
    }
}

} // namespace

//-----------------------------------------------------------------------------
CFrame::CFrame(const CRect& inSize, void* systemWindow, CEditorInterface* editor)
    : CViewContainer(inSize, this, nullptr), pEditor(editor), pSystemWindow(systemWindow)
{
    pParentFrame = this;
    fxwin::Status status = fxwin::Status::noDisplay;
    if (systemWindow)
        window = fxwin::Window::createX11(reinterpret_cast<uintptr_t>(systemWindow), inSize.width(),
                                          inSize.height(), "", &status);
    if (!window)
        std::fprintf(stderr, "Could not create Control : %d\n", static_cast<int>(status));
    initFrame();
}

CFrame::CFrame(const CRect& inSize, std::unique_ptr<fxwin::Window> platformWindow,
               CEditorInterface* editor)
    : CViewContainer(inSize, this, nullptr), pEditor(editor), window(std::move(platformWindow))
{
    pParentFrame = this;
    if (window)
        pSystemWindow = reinterpret_cast<void*>(window->nativeHandle());
    initFrame();
}

void CFrame::initFrame()
{
    pSystemVersion = kPlatformSystemVersion;
    size.moveTo(0, 0);
    mouseableArea = size;
    if (!window)
        return;
    window->setEventHandler([this](const fxwin::Event& event) { handleEvent(event); });
    // An offscreen window gets the draw request a real server sends on mapping.
    if (window->isHeadless())
        window->postRedisplay(fxwin::Rect{});
    setDropActive(true);
}

CFrame::~CFrame()
{
    if (pModalView)
        removeView(pModalView, false);
    pModalView = nullptr;
    setCursor(kCursorDefault);
    setDropActive(false);
    // The current context belongs to whoever built it on the host's surface:
    // the frame only records it, so releasing it here would free it twice.
    pFrameContext = nullptr;
    if (pDragContainer)
        pDragContainer->forget();
    pDragContainer = nullptr;
    // Children go while this is still a frame: their removal asks for the
    // focus view.
    removeAll(true);
    pFocusView = nullptr;
    if (window)
        window->setEventHandler(nullptr);
    window.reset();
}

bool CFrame::open(CPoint*)
{
    // Frames are bound to a window when they are made; there is no window
    // to ask the host for.
    return false;
}

bool CFrame::close()
{
    return false;
}

bool CFrame::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CFrame") == 0)
        return true;
    return CViewContainer::isTypeOf(className);
}

//-----------------------------------------------------------------------------
// Idle and drawing

CDrawContext* CFrame::createDrawContext()
{
    if (pFrameContext)
    {
        pFrameContext->remember();
        return pFrameContext;
    }
    return new CDrawContext(this, nullptr, window.get());
}

void CFrame::idle()
{
    if (!bOpenFlag)
        return;
    if (window)
        window->processEvents(0);
    if (!bOpenFlag || bFirstDraw || !isDirty())
        return;
    // A collapsed or hidden host window is not drawn into.
    if (window && !window->isMapped())
        return;
    CDrawContext* context = createDrawContext();
    update(context);
    context->forget();
}

void CFrame::doIdleStuff()
{
    if (pEditor)
        pEditor->doIdleStuff();
    if (pFrameContext)
        pFrameContext->synchronizeCGContext();
}

void CFrame::runEventLoop(double seconds)
{
    if (window)
        window->processEvents(seconds);
}

uint32_t CFrame::getTicks() const
{
    return pEditor ? pEditor->getTicks() : 0;
}

int32_t CFrame::getKnobMode() const
{
    return pEditor ? pEditor->getKnobMode() : 0;
}

void CFrame::beginEdit(int32_t tag)
{
    if (pEditor)
        pEditor->beginEdit(tag);
}

void CFrame::endEdit(int32_t tag)
{
    if (pEditor)
        pEditor->endEdit(tag);
}

void CFrame::update(CDrawContext* context)
{
    if (!bOpenFlag || bUpdatesDisabled || !context)
        return;
    if (bDirty)
    {
        draw(context);
        setDirty(false);
        return;
    }
    CRect savedClip;
    context->getClipRect(savedClip);
    if (pModalView && pModalView->isDirty())
        pModalView->update(context);
    for (CCView* node = pFirstView; node; node = node->pNext)
    {
        CRect clip;
        node->pView->getViewSize(clip);
        clip.bound(savedClip);
        context->setClipRect(clip);
        node->pView->update(context);
    }
    context->setClipRect(savedClip);
}

void CFrame::draw(CDrawContext* context)
{
    bFirstDraw = false;
    CViewContainer::draw(context);
}

void CFrame::draw(CView* view)
{
    CDrawContext* context = createDrawContext();
    if (view && isChild(view))
    {
        CRect savedClip, clip;
        context->getClipRect(savedClip);
        view->getViewSize(clip);
        clip.bound(savedClip);
        context->setClipRect(clip);
        view->draw(context);
        context->setClipRect(savedClip);
    }
    else
    {
        draw(context);
    }
    context->forget();
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect)
{
    bFirstDraw = false;
    CDrawContext* own = nullptr;
    if (!context)
        context = own = createDrawContext();
    CRect savedClip;
    context->getClipRect(savedClip);
    CRect clip = updateRect;
    clip.bound(savedClip);
    context->setClipRect(clip);
    if (updateRect.width() > 0 && updateRect.height() > 0)
        CViewContainer::drawRect(context, updateRect);
    context->setClipRect(savedClip);
    if (own)
        own->forget();
}

void CFrame::invalidate(const CRect& rect)
{
    for (CCView* node = pFirstView; node; node = node->pNext)
    {
        CRect childSize;
        node->pView->getViewSize(childSize);
        if (childSize.rectOverlap(rect))
            node->pView->setDirty(true);
    }
}

bool CFrame::updatesDisabled(bool state)
{
    const bool before = bUpdatesDisabled;
    bUpdatesDisabled = state;
    return before;
}

bool CFrame::writePng(const char* path)
{
    if (!path)
        return false;
    COffscreenContext offscreen(this, size.width(), size.height(), kBlackCColor);
    if (!offscreen.getSurface())
        return false;
    CViewContainer::draw(&offscreen);
    cairo_surface_t* surface = offscreen.getBitmap();
    return surface && cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
}

//-----------------------------------------------------------------------------
// Mouse, keys, wheel and focus

#if FX_GUI_LEGACY
void CFrame::mouse(CDrawContext* context, CPoint& where)
{
    if (pFocusView)
        changeFocusView(nullptr);
    if (pModalView)
    {
        if (pModalView->hitTest(where))
            pModalView->mouse(context, where);
        return;
    }
    CViewContainer::mouse(context, where);
}
#else
void CFrame::mouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    if (pFocusView)
        setFocusView(nullptr);
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
    if (pModalView)
    {
        if (pModalView->hitTest(where, buttons))
            pModalView->mouse(context, where, buttons);
        return;
    }
    CViewContainer::mouse(context, where, buttons);
}
#endif

int32_t CFrame::onKeyDown(VstKeyCode& keyCode)
{
    int32_t result = -1;
    if (pFocusView)
        result = pFocusView->onKeyDown(keyCode);
#if FX_GUI_LEGACY
    // The older frame offers keys to every view and knows no Tab traversal.
    if (result == -1)
        result = CViewContainer::onKeyDown(keyCode);
    return result;
#else
    if (result != -1)
        return result;
    if (pModalView)
    {
        result = pModalView->onKeyDown(keyCode);
        if (result != -1)
            return result;
    }
    if (keyCode.virt == kVirtualKeyTab)
        return advanceNextFocusView(pFocusView, (keyCode.modifier & kKeyModifierShift) != 0) ? 1
                                                                                             : -1;
    return -1;
#endif
}

int32_t CFrame::onKeyUp(VstKeyCode& keyCode)
{
    int32_t result = -1;
    if (pFocusView)
        result = pFocusView->onKeyUp(keyCode);
#if FX_GUI_LEGACY
    if (result == -1)
        result = CViewContainer::onKeyUp(keyCode);
#else
    if (result == -1 && pModalView)
        result = pModalView->onKeyUp(keyCode);
#endif
    return result;
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    return onWheel(context, where, kMouseWheelVertical, distance);
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, const CMouseWheelAxis axis,
                     float distance)
{
    CView* view = pModalView ? pModalView : getViewAt(where, false);
    if (!view)
        return false;
    CDrawContext* own = nullptr;
    if (!context)
        context = own = createDrawContext();
    const bool result = view->onWheel(context, where, axis, distance);
    if (own)
        own->forget();
    return result;
}

bool CFrame::setModalView(CView* view)
{
    if (view && pModalView)
        return false;
    if (pModalView)
        removeView(pModalView, false);
    pModalView = view;
    if (view)
        addView(view);
    return true;
}

void CFrame::changeFocusView(CView* view)
{
    CView* previous = pFocusView;
    pFocusView = view;
    if (view && view->wantsFocus())
        view->setDirty();
    if (previous)
    {
        previous->looseFocus(nullptr);
        if (previous->wantsFocus())
            previous->setDirty();
    }
}

#if !FX_GUI_LEGACY
bool CFrame::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    if (pModalView)
        return false;
    if (!oldFocus)
        oldFocus = pFocusView;
    if (!oldFocus)
        return CViewContainer::advanceNextFocusView(nullptr, reverse);
    if (isChild(oldFocus))
    {
        if (CViewContainer::advanceNextFocusView(oldFocus, reverse))
            return true;
        setFocusView(nullptr);
        return false;
    }
    // A nested view: each enclosing container, innermost first, moves past
    // the branch that holds it.
    CView* branch = oldFocus;
    CView* parent = oldFocus->getParentView();
    while (parent && parent != this)
    {
        if (parent->isTypeOf("CViewContainer") &&
            static_cast<CViewContainer*>(parent)->advanceNextFocusView(branch, reverse))
            return true;
        branch = parent;
        parent = parent->getParentView();
    }
    if (parent == this)
    {
        if (CViewContainer::advanceNextFocusView(branch, reverse))
            return true;
        setFocusView(nullptr);
        return false;
    }
    return CViewContainer::advanceNextFocusView(oldFocus, reverse);
}
#endif

CView* CFrame::getCurrentView() const
{
    if (pModalView)
        return pModalView;
    return CViewContainer::getCurrentView();
}

bool CFrame::getCurrentLocation(CPoint& where)
{
    CDrawContext* context = createDrawContext();
    context->getMouseLocation(where);
    context->forget();
    return true;
}

//-----------------------------------------------------------------------------
// Window size, position, cursor, drops

bool CFrame::setSize(CCoord width, CCoord height)
{
    if (!bOpenFlag || width <= 0 || height <= 0)
        return false;
    if (width == size.width() && height == size.height())
        return false;
    if (pEditor && pEditor->sizeWindow(width, height))
    {
        size.right = size.left + width;
        size.bottom = size.top + height;
        if (window)
            window->setSize(width, height);
        return true;
    }
    // The host cannot size its window: do it here.
    if (window)
    {
        window->setParentSize(width, height);
        window->setSize(width, height);
    }
    CRect newSize(0, 0, width, height);
    CViewContainer::setViewSize(newSize);
    return true;
}

void CFrame::setViewSize(CRect& rect)
{
    setSize(rect.width(), rect.height());
}

bool CFrame::getSize(CRect* rect) const
{
    return rect ? getSize(*rect) : false;
}

bool CFrame::getSize(CRect& rect) const
{
    if (!bOpenFlag)
        return false;
    if (!window)
    {
        rect = size;
        return true;
    }
    const fxwin::Rect frame = window->frameInParent();
    rect(frame.x, frame.y, frame.x + frame.width, frame.y + frame.height);
    return true;
}

bool CFrame::getPosition(CCoord& x, CCoord& y) const
{
    // The frame's own window sits where the host placed the control, so its
    // place on the screen is the window's content position plus that offset.
    const fxwin::Rect frame = window ? window->frameOnScreen() : fxwin::Rect{};
    x = frame.x - scrollOrigin.x;
    y = frame.y - scrollOrigin.y;
    return true;
}

bool CFrame::setPosition(CCoord x, CCoord y)
{
    if (!window)
        return false;
    return window->setPosition(x, y) == fxwin::Status::success;
}

void CFrame::setCursor(CCursorType type)
{
    cursorType = type;
    if (window)
        window->setCursor(platformCursor(type));
}

bool CFrame::setDropActive(bool val)
{
    bDropActive = val;
    return true;
}

//-----------------------------------------------------------------------------
// Platform events

bool CFrame::handleEvent(const fxwin::Event& event)
{
    switch (event.type)
    {
    case fxwin::EventType::expose:
    {
        CDrawContext* context = createDrawContext();
        const bool wasDirty = bDirty;
        const CRect region(event.rect.x, event.rect.y, event.rect.x + event.rect.width,
                           event.rect.y + event.rect.height);
        const CRect whole(0, 0, size.width(), size.height());
        if (region.isEmpty() || (region.left <= 0 && region.top <= 0 &&
                                 region.right >= whole.right && region.bottom >= whole.bottom))
        {
            draw(context);
        }
        else
        {
            drawRect(context, region);
            if (wasDirty)
                setDirty(true);
        }
        context->forget();
        return true;
    }
    case fxwin::EventType::buttonPress:
    {
        // A click during another click's tracking loop is not a new click.
        if (bInMouse)
            return true;
        int32_t buttons = modifierBits(event.state);
        if (event.button == 1)
            buttons |= kButtonLeft;
        else if (event.button == 3)
            buttons |= kButtonRight;
        else if (event.button == 2)
            buttons |= kButtonMiddle;
        else
            return false;
        bHasKeyboardFocus = true;
        if (window)
            window->takeKeyboardFocus();
        bInMouse = true;
        CDrawContext* context = createDrawContext();
        CPoint where(event.x, event.y);
#if FX_GUI_LEGACY
        // The older views read buttons and modifiers from the context.
        (void)buttons;
        mouse(context, where);
#else
        mouse(context, where, buttons);
#endif
        context->forget();
        bInMouse = false;
        return true;
    }
    case fxwin::EventType::scroll:
    {
        const bool horizontal = event.dx != 0.0 || (event.state & fxwin::kSuper);
        const float delta = static_cast<float>(event.dx != 0.0 ? event.dx : event.dy);
        CDrawContext* context = createDrawContext();
        const bool handled =
            onWheel(context, CPoint(event.x, event.y),
                    horizontal ? kMouseWheelHorizontal : kMouseWheelVertical, delta);
        context->forget();
        return handled;
    }
    case fxwin::EventType::keyPress:
    {
        if (!bHasKeyboardFocus)
            return false;
        VstKeyCode key = {};
        if (!fxTranslateKey(event.keysym, event.character, event.state, key))
            return false;
        return onKeyDown(key) != -1;
    }
    case fxwin::EventType::keyRelease:
    {
        if (!bHasKeyboardFocus)
            return false;
        VstKeyCode key = {};
        if (!fxTranslateKey(event.keysym, event.character, event.state, key))
            return false;
        return onKeyUp(key) != -1;
    }
    case fxwin::EventType::focusIn:
        bHasKeyboardFocus = true;
        return true;
    case fxwin::EventType::focusOut:
        if (pFocusView)
            changeFocusView(nullptr);
        bHasKeyboardFocus = false;
        return true;
    case fxwin::EventType::setFocusPart:
        return setFocusPart(event.focusPart);
    case fxwin::EventType::dragEnter:
    case fxwin::EventType::dragMove:
    case fxwin::EventType::dragLeave:
    case fxwin::EventType::drop:
        return handleDrag(event);
    case fxwin::EventType::close:
        bOpenFlag = false;
        return true;
    default:
        return false;
    }
}

// The host's keyboard navigation moves the focus into the frame (at its first
// or last focusable view) or out of it.
bool CFrame::setFocusPart(fxwin::FocusPart part)
{
    if (!hiToolboxAllowFocusChange)
        return false;
    if (part == fxwin::FocusPart::none)
    {
        if (pFocusView)
            changeFocusView(nullptr);
        bHasKeyboardFocus = false;
        return true;
    }
#if FX_GUI_LEGACY
    // The older frame has no focus traversal to enter by.
    bHasKeyboardFocus = true;
#else
    bHasKeyboardFocus = advanceNextFocusView(pFocusView, part == fxwin::FocusPart::previous);
#endif
    return true;
}

// The dragged items live in one container from enter to leave or drop.
bool CFrame::handleDrag(const fxwin::Event& event)
{
    if (!bDropActive)
        return false;
#if FX_GUI_LEGACY
    // The older views see only the drop, as a list of item texts.
    if (event.type != fxwin::EventType::drop)
        return false;
    CDragContainer drop(event.dataType.c_str(), event.data.data(), event.data.size());
    std::vector<std::vector<char>> texts;
    int32_t type = kDragOther;
    int32_t itemSize = 0, itemType = kDragOther;
    for (void* item = drop.first(itemSize, itemType); item; item = drop.next(itemSize, itemType))
    {
        if (texts.empty())
            type = itemType;
        const char* text = static_cast<const char*>(item);
        texts.emplace_back(text, text + std::strlen(text) + 1);
    }
    if (texts.empty())
        return false;
    std::vector<void*> items;
    for (std::vector<char>& text : texts)
        items.push_back(text.data());
    CPoint where(event.x, event.y);
    onDrop(items.data(), static_cast<int32_t>(items.size()), type, where);
    return true;
#else
    const bool entering = event.type == fxwin::EventType::dragEnter ||
                          (event.type == fxwin::EventType::drop && !pDragContainer);
    if (entering)
    {
        if (pDragContainer)
            pDragContainer->forget();
        pDragContainer =
            new CDragContainer(event.dataType.c_str(), event.data.data(), event.data.size());
        setCursor(kCursorNotAllowed);
    }
    if (!pDragContainer)
        return false;
    CDrawContext* context = createDrawContext();
    const CPoint where(event.x, event.y);
    bool finished = false;
    switch (event.type)
    {
    case fxwin::EventType::dragEnter:
        onDragEnter(context, pDragContainer, where);
        break;
    case fxwin::EventType::dragMove:
        onDragMove(context, pDragContainer, where);
        break;
    case fxwin::EventType::dragLeave:
        onDragLeave(context, pDragContainer, where);
        finished = true;
        break;
    default:
        onDrop(context, pDragContainer, where);
        finished = true;
        break;
    }
    context->forget();
    if (finished)
    {
        setCursor(kCursorDefault);
        pDragContainer->forget();
        pDragContainer = nullptr;
    }
    return true;
#endif
}
