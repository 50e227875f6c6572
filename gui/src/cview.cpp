// The view base class.
#include "fxgui/cview.h"

#include "fxgui/cbitmap.h"
#include "fxgui/cdrawcontext.h"
#include "fxgui/cframe.h"

#include <cstring>

const char* kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";

CView::CView(const CRect& size) : size(size), mouseableArea(size) {}

CView::~CView()
{
    if (pBackground)
        pBackground->forget();
}

void CView::draw(CDrawContext* context)
{
    if (pBackground)
    {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, size);
        else
            pBackground->draw(context, size);
    }
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect&)
{
    draw(context);
}

bool CView::checkUpdate(const CRect& updateRect) const
{
    return size.rectOverlap(updateRect);
}

#if FX_GUI_LEGACY
void CView::mouse(CDrawContext*, CPoint&) {}
#else
void CView::mouse(CDrawContext*, CPoint&, int32_t) {}
#endif

void CView::setBackground(CBitmap* background)
{
    if (background)
        background->remember();
    if (pBackground)
        pBackground->forget();
    pBackground = background;
    setDirty(true);
}

int32_t CView::onKeyDown(VstKeyCode&)
{
    return -1;
}

int32_t CView::onKeyUp(VstKeyCode&)
{
    return -1;
}

bool CView::onWheel(CDrawContext*, const CPoint&, float)
{
    return false;
}

bool CView::onWheel(CDrawContext* context, const CPoint& where, const CMouseWheelAxis,
                    float distance)
{
    return onWheel(context, where, distance);
}

#if FX_GUI_LEGACY
bool CView::onDrop(void**, int32_t, int32_t, CPoint&)
{
    return false;
}
#else
bool CView::onDrop(CDrawContext*, CDragContainer*, const CPoint&)
{
    return false;
}

void CView::onDragEnter(CDrawContext*, CDragContainer*, const CPoint&) {}

void CView::onDragLeave(CDrawContext*, CDragContainer*, const CPoint&) {}

void CView::onDragMove(CDrawContext*, CDragContainer*, const CPoint&) {}
#endif

void CView::looseFocus(CDrawContext*) {}

void CView::takeFocus(CDrawContext*) {}

// Right and bottom edges included.
bool CView::hitTest(const CPoint& where, const int32_t)
{
    return where.x >= mouseableArea.left && where.x <= mouseableArea.right &&
           where.y >= mouseableArea.top && where.y <= mouseableArea.bottom;
}

void CView::setViewSize(CRect& rect)
{
    size = rect;
    setDirty();
}

bool CView::removed(CView*)
{
    return true;
}

bool CView::attached(CView*)
{
    return true;
}

CPoint& CView::getMouseLocation(CDrawContext* context, CPoint& point)
{
    if (!context)
        return point;
    if (pParentView && pParentView->notify(this, kMsgCheckIfViewContainer) == 1)
    {
        // Walk up: each container moves the origins by its own position for
        // the duration of the inner call.
        CRect parentSize;
        pParentView->getViewSize(parentSize);
        const CPoint savedWindowOffset = context->getWindowOffset();
        const CPoint savedOffset = context->offset;
        CViewContainer* parent = static_cast<CViewContainer*>(pParentView);
        if (parent != static_cast<CViewContainer*>(pParentFrame))
        {
            context->setWindowOffset(CPoint(savedWindowOffset.x + parentSize.left,
                                            savedWindowOffset.y + parentSize.top));
            context->offset.offset(parentSize.left, parentSize.top);
        }
        pParentView->getMouseLocation(context, point);
        context->setWindowOffset(savedWindowOffset);
        context->offset = savedOffset;
        return point;
    }
    context->getMouseLocation(point);
    return point;
}

CPoint& CView::frameToLocal(CPoint& point) const
{
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->frameToLocal(point);
    return point;
}

CPoint& CView::localToFrame(CPoint& point) const
{
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->localToFrame(point);
    return point;
}

CEditorInterface* CView::getEditor() const
{
    return pParentFrame ? pParentFrame->getEditor() : nullptr;
}

int32_t CView::notify(CView*, const char*)
{
    return 0;
}

void CView::redrawRect(CDrawContext* context, const CRect& rect)
{
    if (pParentView)
        pParentView->redrawRect(context, rect);
    else if (pParentFrame)
        pParentFrame->drawRect(context, rect);
}

bool CView::isTypeOf(const char* className) const
{
    return className && std::strcmp(className, "CView") == 0;
}

void CView::update(CDrawContext* context)
{
    if (!isDirty())
        return;
    if (context)
        redrawRect(context, size);
    else if (pParentFrame)
        pParentFrame->draw(this);
    setDirty(false);
}

void CView::redraw()
{
    if (pParentFrame)
        pParentFrame->draw(this);
}

#if !FX_GUI_LEGACY
//-----------------------------------------------------------------------------
// Attributes

bool CView::setAttribute(const CViewAttributeID id, const int32_t inSize, const void* inData)
{
    if (inSize < 0 || (inSize > 0 && !inData))
        return false;
    const auto* bytes = static_cast<const unsigned char*>(inData);
    for (Attribute& attribute : attributes)
    {
        if (attribute.id != id)
            continue;
        if (inSize > attribute.size)
            return false;
        if (inSize > 0)
            std::memcpy(attribute.data.data(), bytes, static_cast<size_t>(inSize));
        return true;
    }
    attributes.push_back(Attribute{id, inSize, std::vector<unsigned char>(bytes, bytes + inSize)});
    return true;
}

bool CView::getAttributeSize(const CViewAttributeID id, int32_t& outSize) const
{
    for (const Attribute& attribute : attributes)
    {
        if (attribute.id == id)
        {
            outSize = attribute.size;
            return true;
        }
    }
    return false;
}

bool CView::getAttribute(const CViewAttributeID id, const int32_t inSize, void* outData,
                         int32_t& outSize) const
{
    for (const Attribute& attribute : attributes)
    {
        if (attribute.id != id)
            continue;
        if (inSize < attribute.size || (attribute.size > 0 && !outData))
            return false;
        if (attribute.size > 0)
            std::memcpy(outData, attribute.data.data(), static_cast<size_t>(attribute.size));
        outSize = attribute.size;
        return true;
    }
    return false;
}

bool CView::removeAttribute(const CViewAttributeID id)
{
    for (auto it = attributes.begin(); it != attributes.end(); ++it)
    {
        if (it->id == id)
        {
            attributes.erase(it);
            return true;
        }
    }
    return false;
}
#endif
