// Views and containers: the tree an editor's surface is built of.
#pragma once

#include "fxgui/ctypes.h"

#include <vector>

struct VstKeyCode;
class CEditorInterface;

using CViewAttributeID = uint32_t;
// Predefined attribute key 'cvrp', for storing a pointer.
constexpr CViewAttributeID kCViewAttributeReferencePointer = 0x63767270;

extern const char* kMsgCheckIfViewContainer;

//-----------------------------------------------------------------------------
class CView : public CReferenceCounter
{
public:
    explicit CView(const CRect& size);
    ~CView() override;

    CView* remember() override
    {
        CReferenceCounter::remember();
        return this;
    }

    virtual void draw(CDrawContext* context);
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    virtual bool checkUpdate(const CRect& updateRect) const;
#if FX_GUI_LEGACY
    // Buttons and modifiers are read from the context.
    virtual void mouse(CDrawContext* context, CPoint& where);
#else
    // `buttons` -1: read the state from the context.
    virtual void mouse(CDrawContext* context, CPoint& where, int32_t buttons = -1);
#endif
    virtual void setBackground(CBitmap* background);
    virtual CBitmap* getBackground() const
    {
        return pBackground;
    }
    virtual int32_t onKeyDown(VstKeyCode& keyCode);
    virtual int32_t onKeyUp(VstKeyCode& keyCode);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, const CMouseWheelAxis axis,
                         float distance);
#if FX_GUI_LEGACY
    // The dropped items' texts (file paths or text), all of one `type`
    // (kDragFilePath or kDragText); there is no enter, move or leave.
    virtual bool onDrop(void** items, int32_t count, int32_t type, CPoint& where);
#else
    virtual bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where);
#endif
    virtual void looseFocus(CDrawContext* context = nullptr);
    virtual void takeFocus(CDrawContext* context = nullptr);
    virtual bool isDirty() const
    {
        return bDirty;
    }
    virtual void setDirty(const bool val = true)
    {
        bDirty = val;
    }
    virtual void setMouseEnabled(const bool enabled = true)
    {
        bMouseEnabled = enabled;
    }
    virtual bool getMouseEnabled() const
    {
        return bMouseEnabled;
    }
    virtual void setMouseableArea(const CRect& rect)
    {
        mouseableArea = rect;
    }
    virtual CRect& getMouseableArea(CRect& rect) const
    {
        rect = mouseableArea;
        return rect;
    }
    virtual bool hitTest(const CPoint& where, const int32_t buttons = -1);
    virtual void setTransparency(bool val)
    {
        bTransparencyEnabled = val;
    }
    virtual bool getTransparency() const
    {
        return bTransparencyEnabled;
    }
    virtual void setViewSize(CRect& rect);
    virtual CRect& getViewSize(CRect& rect) const
    {
        rect = size;
        return rect;
    }
    virtual bool removed(CView* parent);
    virtual bool attached(CView* parent);
    virtual CPoint& getMouseLocation(CDrawContext* context, CPoint& point);
    virtual CPoint& frameToLocal(CPoint& point) const;
    virtual CPoint& localToFrame(CPoint& point) const;
    virtual CEditorInterface* getEditor() const;
    virtual int32_t notify(CView* sender, const char* message);
    virtual void redrawRect(CDrawContext* context, const CRect& rect);
    virtual bool wantsFocus() const
    {
        return bWantsFocus;
    }
    virtual void setWantsFocus(bool state)
    {
        bWantsFocus = state;
    }
    virtual bool isTypeOf(const char* className) const;
    virtual void update(CDrawContext* context);

    void redraw();
#if !FX_GUI_LEGACY
    // Keyed data a view carries for whoever needs it; the older build has
    // no attribute list.
    bool setAttribute(const CViewAttributeID id, const int32_t inSize, const void* inData);
    bool getAttributeSize(const CViewAttributeID id, int32_t& outSize) const;
    bool getAttribute(const CViewAttributeID id, const int32_t inSize, void* outData,
                      int32_t& outSize) const;
    bool removeAttribute(const CViewAttributeID id);
#endif

    CFrame* getFrame() const
    {
        return pParentFrame;
    }
    CView* getParentView() const
    {
        return pParentView;
    }
    void setParentFrame(CFrame* frame)
    {
        pParentFrame = frame;
    }
    void setParentView(CView* view)
    {
        pParentView = view;
    }
    const CRect& getSize() const
    {
        return size;
    }

protected:
    CRect size;
    CRect mouseableArea;
    CFrame* pParentFrame = nullptr;
    CView* pParentView = nullptr;
    bool bDirty = false;
    bool bMouseEnabled = true;
    bool bTransparencyEnabled = false;
    bool bWantsFocus = false;
    CBitmap* pBackground = nullptr;

#if !FX_GUI_LEGACY
private:
    struct Attribute
    {
        CViewAttributeID id;
        int32_t size;
        std::vector<unsigned char> data;
    };
    std::vector<Attribute> attributes;
#endif
};

//-----------------------------------------------------------------------------
enum
{
    kRedrawWhole = 0,
    kRedrawDirtyChildren = 1,
};

class CViewContainer : public CView
{
public:
    CViewContainer(const CRect& size, CFrame* frame, CBitmap* background = nullptr);
    ~CViewContainer() override;

    virtual void addView(CView* view);
    virtual void addView(CView* view, CRect& mouseableArea, bool mouseEnabled = true);
    virtual void removeView(CView* view, const bool withForget = true);
    virtual void removeAll(const bool withForget = true);
    virtual bool isChild(CView* view) const;
    virtual int32_t getNbViews() const;
    virtual CView* getView(int32_t index) const;
    virtual void setBackgroundColor(const CColor color);
    virtual CColor getBackgroundColor() const { return backgroundColor; }
    virtual void setBackgroundOffset(const CPoint& offset) { backgroundOffset = offset; }
    virtual const CPoint& getBackgroundOffset() const { return backgroundOffset; }
    virtual void drawBackgroundRect(CDrawContext* context, CRect& rect);
    virtual void setMode(int32_t val) { mode = val; }
    virtual int32_t getMode() const { return mode; }
    virtual void useOffscreen(bool b);
    virtual CView* getCurrentView() const;
    virtual CView* getViewAt(const CPoint& where, bool deep = false) const;
#if !FX_GUI_LEGACY
    virtual bool advanceNextFocusView(CView* oldFocus, bool reverse = false);
#endif

    // CView
    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
#if FX_GUI_LEGACY
    void mouse(CDrawContext* context, CPoint& where) override;
    bool onDrop(void** items, int32_t count, int32_t type, CPoint& where) override;
#else
    void mouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
#endif
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    int32_t onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, const CMouseWheelAxis axis,
                 float distance) override;
#if !FX_GUI_LEGACY
    bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
#endif
    void looseFocus(CDrawContext* context = nullptr) override;
    void takeFocus(CDrawContext* context = nullptr) override;
    bool isDirty() const override;
    bool hitTest(const CPoint& where, const int32_t buttons = -1) override;
    void setViewSize(CRect& rect) override;
    bool removed(CView* parent) override;
    bool attached(CView* parent) override;
    CPoint& frameToLocal(CPoint& point) const override;
    CPoint& localToFrame(CPoint& point) const override;
    int32_t notify(CView* sender, const char* message) override;
    void redrawRect(CDrawContext* context, const CRect& rect) override;
    bool isTypeOf(const char* className) const override;
    void update(CDrawContext* context) override;

    bool hitTestSubViews(const CPoint& where, const int32_t buttons = -1);
    COffscreenContext* getOffscreen() const
    {
        return pOffscreenContext;
    }

protected:
    struct CCView
    {
        CCView(CView* view, CCView* previous) : pView(view), pNext(nullptr), pPrevious(previous)
        {
            view->remember();
        }
        ~CCView() { pView->forget(); }
        CView* pView;
        CCView* pNext;
        CCView* pPrevious;
    };

    CCView* findNode(CView* view) const;
    void unlink(CCView* node);
    void drawInto(CDrawContext* context, const CRect* updateRect);
    // The frame-relative position of this container's parent.
    CPoint parentFramePosition() const;

    CCView* pFirstView = nullptr;
    CCView* pLastView = nullptr;
    int32_t mode = kRedrawDirtyChildren;
    COffscreenContext* pOffscreenContext = nullptr;
    bool bDrawInOffscreen = false;
    CColor backgroundColor = kBlackCColor;
    CPoint backgroundOffset;
    CView* currentDragView = nullptr;
};
