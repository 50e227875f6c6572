// The view container: children, drawing, dirty-driven update and routing.
#include "fxgui/cbitmap.h"
#include "fxgui/cdrawcontext.h"
#include "fxgui/cframe.h"
#include "fxgui/cview.h"

#include <cstring>

namespace
{

// Moves a context's origins by a container's position for one call.
class ContextShift
{
public:
    ContextShift(CDrawContext* context, const CPoint& by) : context(context)
    {
        if (!context)
            return;
        savedWindowOffset = context->getWindowOffset();
        savedOffset = context->offset;
        context->setWindowOffset(CPoint(savedWindowOffset.x + by.x, savedWindowOffset.y + by.y));
        context->offset.offset(by.x, by.y);
    }
    ~ContextShift()
    {
        if (!context)
            return;
        context->setWindowOffset(savedWindowOffset);
        context->offset = savedOffset;
    }
    ContextShift(const ContextShift&) = delete;
    ContextShift& operator=(const ContextShift&) = delete;

private:
    CDrawContext* context;
    CPoint savedWindowOffset;
    CPoint savedOffset;
};

bool containsInclusive(const CRect& r, const CPoint& p)
{
    return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
}

} // namespace

CViewContainer::CViewContainer(const CRect& size, CFrame* frame, CBitmap* background) : CView(size)
{
    pParentFrame = frame;
    if (background)
        setBackground(background);
    backgroundColor = kBlackCColor;
}

CViewContainer::~CViewContainer()
{
    removeAll(true);
    if (pOffscreenContext)
        pOffscreenContext->forget();
    pOffscreenContext = nullptr;
}

//-----------------------------------------------------------------------------
// Children

void CViewContainer::addView(CView* view)
{
    if (!view)
        return;
    CCView* node = new CCView(view, pLastView);
    if (pLastView)
        pLastView->pNext = node;
    else
        pFirstView = node;
    pLastView = node;
    view->setParentFrame(pParentFrame);
    view->setParentView(this);
    view->attached(this);
    view->setDirty(true);
}

void CViewContainer::addView(CView* view, CRect& mouseableArea, bool mouseEnabled)
{
    if (!view)
        return;
    view->setMouseEnabled(mouseEnabled);
    view->setMouseableArea(mouseableArea);
    addView(view);
}

CViewContainer::CCView* CViewContainer::findNode(CView* view) const
{
    for (CCView* node = pFirstView; node; node = node->pNext)
    {
        if (node->pView == view)
            return node;
    }
    return nullptr;
}

void CViewContainer::unlink(CCView* node)
{
    if (node->pPrevious)
        node->pPrevious->pNext = node->pNext;
    else
        pFirstView = node->pNext;
    if (node->pNext)
        node->pNext->pPrevious = node->pPrevious;
    else
        pLastView = node->pPrevious;
}

void CViewContainer::removeView(CView* view, const bool withForget)
{
    CCView* node = findNode(view);
    if (!node)
        return;
#if FX_GUI_LEGACY
    if (pParentFrame && pParentFrame->getEditView() == view)
        pParentFrame->setEditView(nullptr);
#else
    if (pParentFrame && pParentFrame->getFocusView() == view)
        pParentFrame->setFocusView(nullptr);
#endif
    if (currentDragView == view)
        currentDragView = nullptr;
    unlink(node);
    view->removed(this);
    if (withForget)
        view->forget();
    delete node; // the container's own reference
}

void CViewContainer::removeAll(const bool withForget)
{
    while (pFirstView)
        removeView(pFirstView->pView, withForget);
}

bool CViewContainer::isChild(CView* view) const
{
    return findNode(view) != nullptr;
}

int32_t CViewContainer::getNbViews() const
{
    int32_t count = 0;
    for (CCView* node = pFirstView; node; node = node->pNext)
        ++count;
    return count;
}

CView* CViewContainer::getView(int32_t index) const
{
    if (index < 0)
        return nullptr;
    for (CCView* node = pFirstView; node; node = node->pNext, --index)
    {
        if (index == 0)
            return node->pView;
    }
    return nullptr;
}

//-----------------------------------------------------------------------------
// Attributes of the container

void CViewContainer::setBackgroundColor(const CColor color)
{
    backgroundColor = color;
    setDirty(true);
}

void CViewContainer::useOffscreen(bool b)
{
    bDrawInOffscreen = b;
    if (!b && pOffscreenContext)
    {
        pOffscreenContext->forget();
        pOffscreenContext = nullptr;
    }
}

void CViewContainer::setViewSize(CRect& rect)
{
    CView::setViewSize(rect);
    if (pOffscreenContext && bDrawInOffscreen)
    {
        pOffscreenContext->forget();
        pOffscreenContext =
            new COffscreenContext(pParentFrame, size.width(), size.height(), kBlackCColor);
    }
}

bool CViewContainer::attached(CView*)
{
    if (bDrawInOffscreen && !pOffscreenContext)
        pOffscreenContext =
            new COffscreenContext(pParentFrame, size.width(), size.height(), kBlackCColor);
    return true;
}

bool CViewContainer::removed(CView*)
{
    if (pOffscreenContext)
    {
        pOffscreenContext->forget();
        pOffscreenContext = nullptr;
    }
    return true;
}

int32_t CViewContainer::notify(CView*, const char* message)
{
    return message == kMsgCheckIfViewContainer ? 1 : 0;
}

bool CViewContainer::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CViewContainer") == 0)
        return true;
    return CView::isTypeOf(className);
}

//-----------------------------------------------------------------------------
// Drawing

void CViewContainer::drawBackgroundRect(CDrawContext* context, CRect& rect)
{
    if (!pBackground)
    {
        if (bTransparencyEnabled)
            return;
        context->setFillColor(backgroundColor);
        context->fillRect(rect);
        return;
    }
    CRect savedClip;
    context->getClipRect(savedClip);
    CRect clip = rect;
    clip.bound(savedClip);
    context->setClipRect(clip);
    const CRect whole(0, 0, pBackground->getWidth(), pBackground->getHeight());
    if (bTransparencyEnabled)
        pBackground->drawTransparent(context, whole, backgroundOffset);
    else
        pBackground->draw(context, whole, backgroundOffset);
    context->setClipRect(savedClip);
}

// The full draw (no update rectangle) and the partial one share their frame.
void CViewContainer::drawInto(CDrawContext* context, const CRect* updateRect)
{
    if (!context)
        return;
    if (bDrawInOffscreen && !pOffscreenContext)
        pOffscreenContext =
            new COffscreenContext(pParentFrame, size.width(), size.height(), kBlackCColor);
    const bool offscreen = bDrawInOffscreen && pOffscreenContext;
    CDrawContext* target = offscreen ? pOffscreenContext : context;
    ContextShift shift(offscreen ? nullptr : context, size.topLeft());

    const CRect local(0, 0, size.width(), size.height());
    CRect savedClip;
    target->getClipRect(savedClip);
    if (offscreen && static_cast<CView*>(this) != static_cast<CView*>(pParentFrame))
        savedClip(0, 0, savedClip.width(), savedClip.height());

    CRect area = local;
    if (updateRect)
    {
        area = *updateRect;
        area.bound(size);
        area.offset(-size.left, -size.top);
    }
    CRect clip = area;
    clip.bound(savedClip);
    target->setClipRect(clip);

    if (updateRect)
    {
        drawBackgroundRect(target, area);
    }
    else if (pBackground)
    {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(target, local, backgroundOffset);
        else
            pBackground->draw(target, local, backgroundOffset);
    }
    else if (!bTransparencyEnabled)
    {
        target->setFillColor(backgroundColor);
        target->fillRect(local);
    }

    const bool scrollContainer = isTypeOf("CScrollContainer");
    for (CCView* node = pFirstView; node; node = node->pNext)
    {
        CView* child = node->pView;
        CRect childSize;
        child->getViewSize(childSize);
        CRect childClip = childSize;
        childClip.bound(clip);
        if (!updateRect)
        {
            target->setClipRect(childClip);
            child->draw(target);
            continue;
        }
        if (!child->checkUpdate(area) || childClip.isEmpty())
            continue;
        const bool wasDirty = child->isDirty();
        target->setClipRect(childClip);
        child->drawRect(target, area);
        // A child drawn only in part is drawn completely next time.
        if (wasDirty && childClip != childSize && !scrollContainer)
            child->setDirty(true);
    }

    target->setClipRect(savedClip);
    if (offscreen)
    {
        CRect destination = area;
        destination.offset(size.left, size.top);
        pOffscreenContext->copyFrom(context, destination, area.topLeft());
    }
    setDirty(false);
}

void CViewContainer::draw(CDrawContext* context)
{
    drawInto(context, nullptr);
}

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect)
{
    drawInto(context, &updateRect);
}

CPoint CViewContainer::parentFramePosition() const
{
    CPoint position(0, 0);
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        pParentView->localToFrame(position);
    return position;
}

void CViewContainer::redrawRect(CDrawContext* context, const CRect& rect)
{
    CRect inParent = rect;
    inParent.offset(size.left, size.top);
    if (bTransparencyEnabled)
    {
        if (pParentView)
            pParentView->redrawRect(context, inParent);
        else if (pParentFrame && static_cast<CView*>(pParentFrame) != this)
            pParentFrame->drawRect(context, inParent);
        return;
    }
    ContextShift shift(context, parentFramePosition());
    drawRect(context, inParent);
}

bool CViewContainer::isDirty() const
{
    if (bDirty)
        return true;
    const CRect local(0, 0, size.width(), size.height());
    for (CCView* node = pFirstView; node; node = node->pNext)
    {
        if (!node->pView->isDirty())
            continue;
        CRect childSize;
        node->pView->getViewSize(childSize);
        childSize.bound(local);
        if (!childSize.isEmpty())
            return true;
    }
    return false;
}

void CViewContainer::update(CDrawContext* context)
{
    const CRect local(0, 0, size.width(), size.height());
    if (mode == kRedrawWhole || (mode == kRedrawDirtyChildren && bDirty))
    {
        if (isDirty())
            redrawRect(context, local);
        setDirty(false);
        return;
    }
    if (mode != kRedrawDirtyChildren)
        return;
    for (CCView* node = pFirstView; node; node = node->pNext)
    {
        CView* child = node->pView;
        if (!child->isDirty())
            continue;
        CRect childSize;
        child->getViewSize(childSize);
        if (!childSize.rectOverlap(local))
            continue;
        if (child->notify(this, kMsgCheckIfViewContainer) == 1)
        {
            child->update(context);
            continue;
        }
        childSize.bound(local);
        child->redrawRect(context, childSize);
    }
    setDirty(false);
}

//-----------------------------------------------------------------------------
// Hit tests and routing

bool CViewContainer::hitTest(const CPoint& where, const int32_t buttons)
{
    return CView::hitTest(where, buttons);
}

bool CViewContainer::hitTestSubViews(const CPoint& where, const int32_t buttons)
{
    CPoint local(where.x - size.left, where.y - size.top);
    for (CCView* node = pLastView; node; node = node->pPrevious)
    {
        if (node->pView->getMouseEnabled() && node->pView->hitTest(local, buttons))
            return true;
    }
    return false;
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep) const
{
    const CPoint local(where.x - size.left, where.y - size.top);
    for (CCView* node = pLastView; node; node = node->pPrevious)
    {
        CRect area;
        node->pView->getMouseableArea(area);
        if (!containsInclusive(area, local))
            continue;
        if (deep && node->pView->isTypeOf("CViewContainer"))
        {
            CView* inner = static_cast<CViewContainer*>(node->pView)->getViewAt(local, true);
            return inner ? inner : node->pView;
        }
        return node->pView;
    }
    return nullptr;
}

CView* CViewContainer::getCurrentView() const
{
    if (!pParentFrame)
        return nullptr;
    CPoint where;
    pParentFrame->getCurrentLocation(where);
    frameToLocal(where);
    // getViewAt works in the parent's coordinates.
    where.offset(size.left, size.top);
    return getViewAt(where, false);
}

CPoint& CViewContainer::frameToLocal(CPoint& point) const
{
    point.offset(-size.left, -size.top);
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->frameToLocal(point);
    return point;
}

CPoint& CViewContainer::localToFrame(CPoint& point) const
{
    point.offset(size.left, size.top);
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->localToFrame(point);
    return point;
}

#if FX_GUI_LEGACY
void CViewContainer::mouse(CDrawContext* context, CPoint& where)
{
    CPoint local(where.x - size.left, where.y - size.top);
    for (CCView* node = pLastView; node; node = node->pPrevious)
    {
        CView* child = node->pView;
        if (child->getMouseEnabled() && child->hitTest(local))
        {
            child->mouse(context, local);
            return;
        }
    }
}

bool CViewContainer::onDrop(void** items, int32_t count, int32_t type, CPoint& where)
{
    if (!pParentFrame)
        return false;
    CView* view = getViewAt(where, false);
    if (!view)
        return false;
    CPoint local(where.x - size.left, where.y - size.top);
    return view->onDrop(items, count, type, local);
}
#else
void CViewContainer::mouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    CPoint local(where.x - size.left, where.y - size.top);
    for (CCView* node = pLastView; node; node = node->pPrevious)
    {
        CView* child = node->pView;
        if (child->getMouseEnabled() && child->hitTest(local, buttons))
        {
            child->mouse(context, local, buttons);
            return;
        }
    }
}
#endif

int32_t CViewContainer::onKeyDown(VstKeyCode& keyCode)
{
    for (CCView* node = pLastView; node; node = node->pPrevious)
    {
        const int32_t result = node->pView->onKeyDown(keyCode);
        if (result != -1)
            return result;
    }
    return -1;
}

int32_t CViewContainer::onKeyUp(VstKeyCode& keyCode)
{
    for (CCView* node = pLastView; node; node = node->pPrevious)
    {
        const int32_t result = node->pView->onKeyUp(keyCode);
        if (result != -1)
            return result;
    }
    return -1;
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    return onWheel(context, where, kMouseWheelVertical, distance);
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, const CMouseWheelAxis axis,
                             float distance)
{
    CView* view = getViewAt(where, false);
    if (!view)
        return false;
    const CPoint local(where.x - size.left, where.y - size.top);
    ContextShift shift(context, size.topLeft());
    return view->onWheel(context, local, axis, distance);
}

void CViewContainer::looseFocus(CDrawContext* context)
{
    for (CCView* node = pFirstView; node; node = node->pNext)
        node->pView->looseFocus(context);
}

void CViewContainer::takeFocus(CDrawContext* context)
{
    for (CCView* node = pFirstView; node; node = node->pNext)
        node->pView->takeFocus(context);
}

#if !FX_GUI_LEGACY
bool CViewContainer::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    bool passedOld = oldFocus == nullptr;
    for (CCView* node = reverse ? pLastView : pFirstView; node;
         node = reverse ? node->pPrevious : node->pNext)
    {
        CView* child = node->pView;
        if (!passedOld)
        {
            passedOld = child == oldFocus;
            continue;
        }
        if (child->wantsFocus())
        {
            if (pParentFrame)
                pParentFrame->setFocusView(child);
            return true;
        }
        if (child->isTypeOf("CViewContainer") &&
            static_cast<CViewContainer*>(child)->advanceNextFocusView(nullptr, reverse))
            return true;
    }
    return false;
}

//-----------------------------------------------------------------------------
// Drag and drop

void CViewContainer::onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!pParentFrame)
        return;
    const CPoint local(where.x - size.left, where.y - size.top);
    ContextShift shift(context, size.topLeft());
    if (currentDragView)
        currentDragView->onDragLeave(context, drag, local);
    currentDragView = getViewAt(where, false);
    if (currentDragView)
        currentDragView->onDragEnter(context, drag, local);
}

void CViewContainer::onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!pParentFrame)
        return;
    const CPoint local(where.x - size.left, where.y - size.top);
    ContextShift shift(context, size.topLeft());
    if (currentDragView)
        currentDragView->onDragLeave(context, drag, local);
    currentDragView = nullptr;
}

void CViewContainer::onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!pParentFrame)
        return;
    const CPoint local(where.x - size.left, where.y - size.top);
    ContextShift shift(context, size.topLeft());
    CView* view = getViewAt(where, false);
    if (view != currentDragView)
    {
        if (currentDragView)
            currentDragView->onDragLeave(context, drag, local);
        currentDragView = view;
        if (view)
            view->onDragEnter(context, drag, local);
        return;
    }
    if (currentDragView)
        currentDragView->onDragMove(context, drag, local);
}

bool CViewContainer::onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!pParentFrame)
        return false;
    const CPoint local(where.x - size.left, where.y - size.top);
    ContextShift shift(context, size.topLeft());
    CView* view = getViewAt(where, false);
    if (view != currentDragView)
    {
        if (currentDragView)
            currentDragView->onDragLeave(context, drag, local);
        currentDragView = view;
    }
    bool result = false;
    if (currentDragView)
    {
        result = currentDragView->onDrop(context, drag, local);
        currentDragView->onDragLeave(context, drag, local);
    }
    currentDragView = nullptr;
    return result;
}
#endif
