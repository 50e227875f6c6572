// The frame: root of an editor's view tree and its link to the window.
#pragma once

#include "fxgui/cview.h"

#include <cstdint>
#include <memory>

namespace fxwin
{
class Window;
struct Event;
enum class FocusPart;
} // namespace fxwin

// What the frame needs of the editor that owns it. The editor base classes
// implement it; the defaults suit a frame without an editor.
class CEditorInterface
{
public:
    virtual ~CEditorInterface() = default;
    // Lets the host run while a control tracks the mouse.
    virtual void doIdleStuff() {}
    // Milliseconds.
    virtual uint32_t getTicks() { return 0; }
    // 0 circular, 1 relative circular, 2 linear.
    virtual int32_t getKnobMode() const { return 0; }
    virtual void beginEdit(int32_t) {}
    virtual void endEdit(int32_t) {}
    // Asks the host to size its window; true when the host can and did.
    virtual bool sizeWindow(int32_t, int32_t) { return false; }
};

// Whether the host's keyboard navigation may move the focus into or out of a
// frame; true unless a host needs it otherwise.
extern bool hiToolboxAllowFocusChange;
// The system version as a BCD number (0x1030 for 10.3), read when a frame is
// made; it chooses between cursor shapes.
extern int32_t pSystemVersion;

//-----------------------------------------------------------------------------
class CFrame : public CViewContainer
{
public:
    // Embeds the frame in the host's window: `systemWindow` is an X11 window
    // id; the frame creates its own child window of `size` inside it.
    CFrame(const CRect& size, void* systemWindow, CEditorInterface* editor);
    // Binds the frame to a window of the window layer (headless, or a
    // top-level window a host opened); the frame owns it.
    CFrame(const CRect& size, std::unique_ptr<fxwin::Window> window, CEditorInterface* editor);
    ~CFrame() override;

    virtual bool open(CPoint* point = nullptr);
    virtual bool close();
    virtual bool isOpen() const { return bOpenFlag; }
    virtual void idle();
    virtual void doIdleStuff();
    virtual uint32_t getTicks() const;
    virtual int32_t getKnobMode() const;
    virtual bool setPosition(CCoord x, CCoord y);
    virtual bool getPosition(CCoord& x, CCoord& y) const;
    virtual bool setSize(CCoord width, CCoord height);
    virtual bool getSize(CRect* rect) const;
    virtual bool getSize(CRect& rect) const;
    virtual bool setModalView(CView* view);
    virtual CView* getModalView() const { return pModalView; }
    virtual void beginEdit(int32_t tag);
    virtual void endEdit(int32_t tag);
    virtual bool getCurrentLocation(CPoint& where);
    virtual void setCursor(CCursorType type);
#if FX_GUI_LEGACY
    // The view being edited (a text field, say): keys go to it first.
    virtual void setEditView(CView* view)
    {
        changeFocusView(view);
    }
    virtual CView* getEditView() const
    {
        return pFocusView;
    }
#else
    virtual void setFocusView(CView* view)
    {
        changeFocusView(view);
    }
    virtual CView* getFocusView() const
    {
        return pFocusView;
    }
#endif
    virtual bool setDropActive(bool val);
    virtual bool isDropActive() const
    {
        return bDropActive;
    }
    virtual void setOpenFlag(bool val)
    {
        bOpenFlag = val;
    }
    virtual bool getOpenFlag() const
    {
        return bOpenFlag;
    }
    virtual void invalidate(const CRect& rect);
    virtual bool updatesDisabled() const
    {
        return bUpdatesDisabled;
    }
    virtual bool updatesDisabled(bool state);
    virtual void draw(CView* view);

    // CViewContainer
    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
#if FX_GUI_LEGACY
    void mouse(CDrawContext* context, CPoint& where) override;
#else
    void mouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
#endif
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    int32_t onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, const CMouseWheelAxis axis,
                 float distance) override;
    void setViewSize(CRect& rect) override;
    CEditorInterface* getEditor() const override
    {
        return pEditor;
    }
    bool isTypeOf(const char* className) const override;
    void update(CDrawContext* context) override;
    CView* getCurrentView() const override;
#if !FX_GUI_LEGACY
    bool advanceNextFocusView(CView* oldFocus, bool reverse = false) override;
#endif

    // A context for drawing into the frame's window: the current context
    // (remembered once more) while one exists, else a new one.
    CDrawContext* createDrawContext();
    void setCurrentContext(CDrawContext* context)
    {
        pFrameContext = context;
    }
    CDrawContext* getCurrentContext() const
    {
        return pFrameContext;
    }

    // Runs the window's event loop for at most `seconds`, handling what
    // arrives (the short slice of the editor's idle step).
    void runEventLoop(double seconds);
    // Handles one platform event; the window layer calls it.
    bool handleEvent(const fxwin::Event& event);
    fxwin::Window* getPlatformWindow() const
    {
        return window.get();
    }
    void* getSystemWindow() const
    {
        return pSystemWindow;
    }
    bool hasKeyboardFocus() const
    {
        return bHasKeyboardFocus;
    }
    bool isFirstDrawPending() const
    {
        return bFirstDraw;
    }
    CCursorType getCursor() const
    {
        return cursorType;
    }
    // Renders the whole frame offscreen and writes it to a PNG file.
    bool writePng(const char* path);

protected:
    void initFrame();
    bool handleDrag(const fxwin::Event& event);
    bool setFocusPart(fxwin::FocusPart part);
    // The focus view (the edit view of the older build).
    void changeFocusView(CView* view);

    CEditorInterface* pEditor = nullptr;
    void* pSystemWindow = nullptr;
    std::unique_ptr<fxwin::Window> window;
    CView* pModalView = nullptr;
    CView* pFocusView = nullptr;
    CDrawContext* pFrameContext = nullptr;
    bool bFirstDraw = true;
    bool bOpenFlag = true;
    bool bDropActive = false;
    bool bUpdatesDisabled = false;
    bool bHasKeyboardFocus = false;
    bool bInMouse = false;
    CPoint scrollOrigin;
    CCursorType cursorType = kCursorDefault;
    CDragContainer* pDragContainer = nullptr;
};

//-----------------------------------------------------------------------------
// Translates an X keysym and the layer's modifier bits into a VstKeyCode;
// false when there is nothing to report.
bool fxTranslateKey(uint32_t keysym, uint32_t character, uint32_t modifiers, VstKeyCode& key);
// The virtual key of `keysym` from the key table, 0 when not in it.
unsigned char fxVirtualKeyForKeysym(uint32_t keysym);

//-----------------------------------------------------------------------------
// The items being dragged onto a frame.
enum
{
    kDragFilePath = 0,
    kDragText = 1,
    kDragOther = -1,
};

class CDragContainer : public CReferenceCounter
{
public:
    // Builds the container from a drop's data: `mimeType` "text/uri-list"
    // gives one file path item per file:// line; any text type gives one
    // text item; anything else one item of type kDragOther.
    CDragContainer(const char* mimeType, const void* data, size_t size);
    ~CDragContainer() override;

    int32_t getType(int32_t index) const;
    void* first(int32_t& size, int32_t& type);
    void* next(int32_t& size, int32_t& type);
    int32_t getCount() const { return nbItems; }

protected:
    struct Item
    {
        int32_t type;
        std::vector<char> data;
    };
    std::vector<Item> items;
    int32_t nbItems = 0;
    int32_t iterator = 0;
    char* lastBuffer = nullptr;
};
