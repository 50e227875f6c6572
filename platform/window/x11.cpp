// X11 backend: a window of its own (child of a host's window, or top-level)
// on its own display connection, drawn through a cairo Xlib surface.
#include "fxwindow/window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <poll.h>

// Xlib's Status macro would hide the layer's own Status.
#undef Status

#include <chrono>
#include <vector>

namespace fxwin
{
namespace
{

// Trapping of asynchronous X errors while one request is checked.
int gTrappedError = 0;
int trapHandler(Display*, XErrorEvent* error)
{
    gTrappedError = error->error_code;
    return 0;
}

uint32_t translateState(unsigned int xstate)
{
    uint32_t state = 0;
    if (xstate & ShiftMask)
        state |= kShift;
    if (xstate & ControlMask)
        state |= kControl;
    if (xstate & Mod1Mask)
        state |= kAlt;
    if (xstate & Mod4Mask)
        state |= kSuper;
    if (xstate & Button1Mask)
        state |= kButton1;
    if (xstate & Button2Mask)
        state |= kButton2;
    if (xstate & Button3Mask)
        state |= kButton3;
    return state;
}

unsigned int cursorShape(Cursor cursor)
{
    switch (cursor)
    {
    case Cursor::watch:
        return XC_watch;
    case Cursor::resizeLeftRight:
        return XC_sb_h_double_arrow;
    case Cursor::resizeUpDown:
        return XC_sb_v_double_arrow;
    case Cursor::cross:
        return XC_crosshair;
    case Cursor::copyArrow:
        return XC_plus;
    case Cursor::notAllowed:
        return XC_X_cursor;
    case Cursor::openHand:
        return XC_hand2;
    case Cursor::arrow:
        break;
    }
    return XC_left_ptr;
}

// The one function that turns an X event into the layer's event.
Event translate(Display* display, XEvent& xevent)
{
    Event event;
    switch (xevent.type)
    {
    case Expose:
        event.type = EventType::expose;
        event.rect =
            Rect{xevent.xexpose.x, xevent.xexpose.y, xevent.xexpose.width, xevent.xexpose.height};
        break;
    case ButtonPress:
    case ButtonRelease:
    {
        const XButtonEvent& b = xevent.xbutton;
        event.x = b.x;
        event.y = b.y;
        event.state = translateState(b.state);
        event.time = static_cast<uint32_t>(b.time);
        if (b.button >= 4 && b.button <= 7)
        {
            // Wheel steps arrive as press/release pairs; the press carries them.
            if (xevent.type == ButtonRelease)
                break;
            event.type = EventType::scroll;
            event.dy = b.button == 4 ? 1.0 : b.button == 5 ? -1.0 : 0.0;
            event.dx = b.button == 6 ? -1.0 : b.button == 7 ? 1.0 : 0.0;
            break;
        }
        event.type = xevent.type == ButtonPress ? EventType::buttonPress : EventType::buttonRelease;
        event.button = static_cast<int>(b.button);
        break;
    }
    case MotionNotify:
        event.type = EventType::motion;
        event.x = xevent.xmotion.x;
        event.y = xevent.xmotion.y;
        event.state = translateState(xevent.xmotion.state);
        event.time = static_cast<uint32_t>(xevent.xmotion.time);
        break;
    case KeyPress:
    case KeyRelease:
    {
        XKeyEvent& k = xevent.xkey;
        event.type = xevent.type == KeyPress ? EventType::keyPress : EventType::keyRelease;
        event.x = k.x;
        event.y = k.y;
        event.state = translateState(k.state);
        event.keycode = k.keycode;
        event.time = static_cast<uint32_t>(k.time);
        KeySym keysym = XLookupKeysym(&k, 0);
        // Keypad keys count by their digit meaning, whatever Num Lock says.
        const KeySym numeric = XLookupKeysym(&k, 1);
        if (IsKeypadKey(numeric))
            keysym = numeric;
        event.keysym = static_cast<uint32_t>(keysym);
        char text[8] = {};
        KeySym ignored = 0;
        XKeyEvent plain = k;
        plain.state &= ~(ControlMask | Mod1Mask | Mod4Mask);
        if (XLookupString(&plain, text, sizeof text, &ignored, nullptr) == 1)
            event.character = static_cast<unsigned char>(text[0]);
        (void)display;
        break;
    }
    case EnterNotify:
    case LeaveNotify:
        event.type = xevent.type == EnterNotify ? EventType::enter : EventType::leave;
        event.x = xevent.xcrossing.x;
        event.y = xevent.xcrossing.y;
        event.state = translateState(xevent.xcrossing.state);
        break;
    case FocusIn:
        event.type = EventType::focusIn;
        break;
    case FocusOut:
        event.type = EventType::focusOut;
        break;
    case ConfigureNotify:
        event.type = EventType::configure;
        event.rect = Rect{xevent.xconfigure.x, xevent.xconfigure.y, xevent.xconfigure.width,
                          xevent.xconfigure.height};
        break;
    default:
        break;
    }
    return event;
}

class X11Window final : public Window
{
public:
    ~X11Window() override
    {
        if (surface_)
            cairo_surface_destroy(surface_);
        if (display_)
        {
            if (cursorHandle_)
                XFreeCursor(display_, cursorHandle_);
            if (window_)
                XDestroyWindow(display_, window_);
            XCloseDisplay(display_);
        }
    }

    Status create(uintptr_t parent, int width, int height, const std::string& title)
    {
        display_ = XOpenDisplay(nullptr);
        if (!display_)
            return Status::noDisplay;
        width_ = width > 0 ? width : 1;
        height_ = height > 0 ? height : 1;
        const int screen = DefaultScreen(display_);
        ::Window parentWindow =
            parent ? static_cast<::Window>(parent) : RootWindow(display_, screen);
        if (parent)
        {
            XSync(display_, False);
            gTrappedError = 0;
            XErrorHandler previous = XSetErrorHandler(trapHandler);
            XWindowAttributes attributes;
            const Status ok = XGetWindowAttributes(display_, parentWindow, &attributes) != 0
                                  ? Status::success
                                  : Status::badParent;
            XSync(display_, False);
            XSetErrorHandler(previous);
            if (ok != Status::success || gTrappedError != 0)
                return Status::badParent;
        }
        parent_ = static_cast<::Window>(parent);
        visual_ = DefaultVisual(display_, screen);
        XSetWindowAttributes attributes = {};
        attributes.background_pixel = BlackPixel(display_, screen);
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                                PointerMotionMask | KeyPressMask | KeyReleaseMask |
                                EnterWindowMask | LeaveWindowMask | FocusChangeMask |
                                StructureNotifyMask;
        window_ = XCreateWindow(display_, parentWindow, 0, 0, static_cast<unsigned>(width_),
                                static_cast<unsigned>(height_), 0, CopyFromParent, InputOutput,
                                CopyFromParent, CWBackPixel | CWEventMask, &attributes);
        if (!window_)
            return Status::createFailed;
        if (!parent)
        {
            XStoreName(display_, window_, title.c_str());
            deleteAtom_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
            XSetWMProtocols(display_, window_, &deleteAtom_, 1);
        }
        initDragAndDrop();
        initEmbedding();
        surface_ = cairo_xlib_surface_create(display_, window_, visual_, width_, height_);
        if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS)
            return Status::createFailed;
        XMapWindow(display_, window_);
        XSync(display_, False);
        return Status::success;
    }

    bool isHeadless() const override { return false; }
    int width() const override { return width_; }
    int height() const override { return height_; }
    cairo_surface_t* surface() override { return surface_; }
    uintptr_t nativeHandle() const override { return static_cast<uintptr_t>(window_); }
    void setEventHandler(EventHandler handler) override { handler_ = std::move(handler); }

    int processEvents(double timeoutSeconds) override
    {
        if (timeoutSeconds > 0 && XPending(display_) == 0)
            waitReadable(timeoutSeconds);
        int dispatched = 0;
        while (XPending(display_) > 0)
        {
            XEvent xevent;
            XNextEvent(display_, &xevent);
            if (xevent.xany.window != window_)
                continue;
            if (xevent.type == ClientMessage && handleDragAndDrop(xevent.xclient))
            {
                ++dispatched;
                continue;
            }
            if (xevent.type == ClientMessage && xevent.xclient.message_type == xembedAtom_)
            {
                Event focus;
                if (translateEmbedding(xevent.xclient, focus))
                {
                    deliver(focus);
                    ++dispatched;
                }
                continue;
            }
            if (xevent.type == ClientMessage &&
                static_cast<Atom>(xevent.xclient.data.l[0]) == deleteAtom_)
            {
                Event close;
                close.type = EventType::close;
                deliver(close);
                ++dispatched;
                continue;
            }
            Event event = translate(display_, xevent);
            if (event.type == EventType::none)
                continue;
            if (event.type == EventType::configure)
            {
                noteSize(event.rect.width, event.rect.height);
            }
            deliver(event);
            ++dispatched;
        }
        return dispatched;
    }

    bool takeEvent(uint32_t types, double timeoutSeconds, Event& event,
                   uint32_t heldButtons) override
    {
        const auto start = std::chrono::steady_clock::now();
        for (;;)
        {
            XEvent xevent;
            Match match{this, types, heldButtons};
            if (XCheckIfEvent(display_, &xevent, matches, reinterpret_cast<XPointer>(&match)))
            {
                event = translate(display_, xevent);
                return true;
            }
            double left = 0.05;
            if (timeoutSeconds >= 0)
            {
                const double spent =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                if (spent >= timeoutSeconds)
                    return false;
                left = timeoutSeconds - spent;
            }
            waitReadable(left < 0.05 ? left : 0.05);
        }
    }

    void postRedisplay(const Rect& rect) override
    {
        XEvent xevent = {};
        xevent.xexpose.type = Expose;
        xevent.xexpose.display = display_;
        xevent.xexpose.window = window_;
        const bool whole = rect.width <= 0 || rect.height <= 0;
        xevent.xexpose.x = whole ? 0 : rect.x;
        xevent.xexpose.y = whole ? 0 : rect.y;
        xevent.xexpose.width = whole ? width_ : rect.width;
        xevent.xexpose.height = whole ? height_ : rect.height;
        XSendEvent(display_, window_, False, ExposureMask, &xevent);
        XFlush(display_);
    }

    Status setSize(int width, int height) override
    {
        if (width <= 0 || height <= 0)
            return Status::createFailed;
        XResizeWindow(display_, window_, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
        noteSize(width, height);
        XSync(display_, False);
        return Status::success;
    }

    Status setPosition(int x, int y) override
    {
        XMoveWindow(display_, window_, x, y);
        XSync(display_, False);
        return Status::success;
    }

    Status setParentSize(int width, int height) override
    {
        if (!parent_ || width <= 0 || height <= 0)
            return Status::unsupported;
        XResizeWindow(display_, parent_, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
        XSync(display_, False);
        return Status::success;
    }

    Rect frameInParent() const override
    {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, window_, &attributes))
            return Rect{0, 0, width_, height_};
        return Rect{attributes.x, attributes.y, attributes.width, attributes.height};
    }

    Rect frameOnScreen() const override
    {
        int x = 0, y = 0;
        ::Window child = 0;
        if (!XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &x, &y,
                                   &child))
            return Rect{0, 0, width_, height_};
        return Rect{x, y, width_, height_};
    }

    void setCursor(Cursor cursor) override
    {
        if (cursor == cursor_ && cursorHandle_)
            return;
        ::Cursor next = XCreateFontCursor(display_, cursorShape(cursor));
        XDefineCursor(display_, window_, next);
        if (cursorHandle_)
            XFreeCursor(display_, cursorHandle_);
        cursorHandle_ = next;
        cursor_ = cursor;
        XFlush(display_);
    }
    Cursor cursor() const override { return cursor_; }

    PointerState pointer() override
    {
        ::Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int mask = 0;
        PointerState state;
        if (XQueryPointer(display_, window_, &root, &child, &rootX, &rootY, &x, &y, &mask))
        {
            state.x = x;
            state.y = y;
            state.state = translateState(mask);
        }
        return state;
    }

    // Viewable: mapped, and every ancestor mapped too.
    bool isMapped() const override
    {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, window_, &attributes))
            return false;
        return attributes.map_state == IsViewable;
    }

    void flush() override
    {
        cairo_surface_flush(surface_);
        XFlush(display_);
    }

    void takeKeyboardFocus() override
    {
        if (!isMapped())
            return;
        // The window may vanish in between; a refused request is harmless.
        XSync(display_, False);
        XErrorHandler previous = XSetErrorHandler(trapHandler);
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
        XSetErrorHandler(previous);
    }

    Status inject(const Event&) override { return Status::unsupported; }

    Status writePng(const std::string& path) override
    {
        cairo_surface_flush(surface_);
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_, height_);
        cairo_t* cr = cairo_create(image);
        cairo_set_source_surface(cr, surface_, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        const cairo_status_t status = cairo_surface_write_to_png(image, path.c_str());
        cairo_surface_destroy(image);
        return status == CAIRO_STATUS_SUCCESS ? Status::success : Status::createFailed;
    }

private:
    struct Match
    {
        X11Window* self;
        uint32_t types;
        uint32_t heldButtons;
    };

    static Bool matches(Display* display, XEvent* xevent, XPointer arg)
    {
        const Match* match = reinterpret_cast<const Match*>(arg);
        if (xevent->xany.window != match->self->window_)
            return False;
        XEvent copy = *xevent;
        const Event event = translate(display, copy);
        if (event.type == EventType::none || (match->types & eventBit(event.type)) == 0)
            return False;
        if (event.type == EventType::motion && match->heldButtons != 0 &&
            (event.state & match->heldButtons) == 0)
            return False;
        return True;
    }

    void deliver(const Event& event)
    {
        if (handler_)
            handler_(event);
    }

    void noteSize(int width, int height)
    {
        if (width == width_ && height == height_)
            return;
        width_ = width;
        height_ = height;
        cairo_xlib_surface_set_size(surface_, width_, height_);
    }

    void waitReadable(double seconds)
    {
        XFlush(display_);
        pollfd descriptor = {ConnectionNumber(display_), POLLIN, 0};
        poll(&descriptor, 1, static_cast<int>(seconds * 1000.0 + 0.5));
    }

    //-------------------------------------------------------------------------
    // Drag and drop (the XDND protocol, receiving side)

    void initDragAndDrop()
    {
        dnd_.aware = XInternAtom(display_, "XdndAware", False);
        dnd_.enter = XInternAtom(display_, "XdndEnter", False);
        dnd_.position = XInternAtom(display_, "XdndPosition", False);
        dnd_.status = XInternAtom(display_, "XdndStatus", False);
        dnd_.leave = XInternAtom(display_, "XdndLeave", False);
        dnd_.drop = XInternAtom(display_, "XdndDrop", False);
        dnd_.finished = XInternAtom(display_, "XdndFinished", False);
        dnd_.selection = XInternAtom(display_, "XdndSelection", False);
        dnd_.typeList = XInternAtom(display_, "XdndTypeList", False);
        dnd_.actionCopy = XInternAtom(display_, "XdndActionCopy", False);
        dnd_.property = XInternAtom(display_, "FX_WINDOW_DROP", False);
        const char* preferred[] = {"text/uri-list", "text/plain;charset=utf-8", "UTF8_STRING",
                                   "text/plain"};
        for (int i = 0; i < 4; ++i)
            dnd_.preferred[i] = XInternAtom(display_, preferred[i], False);
        const Atom version = 5;
        XChangeProperty(display_, window_, dnd_.aware, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&version), 1);
    }

    // The best type the source offers, None when it offers nothing we read.
    // XEmbed: a host that embeds the window moves the keyboard focus into it
    // and out of it with messages rather than by focus events alone.
    enum : long
    {
        kXEmbedFocusIn = 4,
        kXEmbedFocusOut = 5,
        kXEmbedFocusCurrent = 0,
        kXEmbedFocusFirst = 1,
        kXEmbedFocusLast = 2,
        kXEmbedMapped = 1,
    };

    void initEmbedding()
    {
        xembedAtom_ = XInternAtom(display_, "_XEMBED", False);
        if (!parent_)
            return;
        // Protocol version 0; the window maps itself.
        const long info[2] = {0, kXEmbedMapped};
        const Atom infoAtom = XInternAtom(display_, "_XEMBED_INFO", False);
        XChangeProperty(display_, window_, infoAtom, infoAtom, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(info), 2);
    }

    bool translateEmbedding(const XClientMessageEvent& message, Event& event) const
    {
        if (message.format != 32)
            return false;
        const long opcode = message.data.l[1];
        if (opcode == kXEmbedFocusOut)
        {
            event.type = EventType::setFocusPart;
            event.focusPart = FocusPart::none;
            return true;
        }
        if (opcode != kXEmbedFocusIn)
            return false;
        const long detail = message.data.l[2];
        if (detail == kXEmbedFocusCurrent)
        {
            event.type = EventType::focusIn;
            return true;
        }
        if (detail != kXEmbedFocusFirst && detail != kXEmbedFocusLast)
            return false;
        event.type = EventType::setFocusPart;
        event.focusPart = detail == kXEmbedFocusFirst ? FocusPart::next : FocusPart::previous;
        return true;
    }

    Atom chooseDragType(const XClientMessageEvent& message)
    {
        std::vector<Atom> offered;
        if (message.data.l[1] & 1)
        {
            Atom type = 0;
            int format = 0;
            unsigned long count = 0, left = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display_, dragSource_, dnd_.typeList, 0, 1024, False, XA_ATOM,
                                   &type, &format, &count, &left, &data) == Success &&
                data && format == 32)
            {
                const auto* atoms = reinterpret_cast<const Atom*>(data);
                offered.assign(atoms, atoms + count);
            }
            if (data)
                XFree(data);
        }
        for (int i = 2; i < 5; ++i)
        {
            if (message.data.l[i])
                offered.push_back(static_cast<Atom>(message.data.l[i]));
        }
        for (const Atom wanted : dnd_.preferred)
        {
            for (const Atom type : offered)
            {
                if (type == wanted)
                    return type;
            }
        }
        return offered.empty() ? 0 : offered.front();
    }

    // Asks the source for the data and waits a moment for it.
    void fetchDragData(Time time)
    {
        dragFetched_ = true;
        dragData_.clear();
        if (!dragType_)
            return;
        XConvertSelection(display_, dnd_.selection, dragType_, dnd_.property, window_, time);
        XFlush(display_);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        XEvent reply;
        while (!XCheckTypedWindowEvent(display_, window_, SelectionNotify, &reply))
        {
            if (std::chrono::steady_clock::now() > until)
                return;
            waitReadable(0.01);
        }
        if (reply.xselection.property == 0)
            return;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, left = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, window_, dnd_.property, 0, 1 << 20, True, AnyPropertyType,
                               &type, &format, &count, &left, &data) == Success &&
            data && format == 8)
            dragData_.assign(reinterpret_cast<const char*>(data), count);
        if (data)
            XFree(data);
    }

    void replyToSource(Atom messageType, long l1, long l2, long l4)
    {
        XEvent reply = {};
        reply.xclient.type = ClientMessage;
        reply.xclient.display = display_;
        reply.xclient.window = dragSource_;
        reply.xclient.message_type = messageType;
        reply.xclient.format = 32;
        reply.xclient.data.l[0] = static_cast<long>(window_);
        reply.xclient.data.l[1] = l1;
        reply.xclient.data.l[2] = l2;
        reply.xclient.data.l[4] = l4;
        XSendEvent(display_, dragSource_, False, NoEventMask, &reply);
        XFlush(display_);
    }

    Event dragEvent(EventType type)
    {
        Event event;
        event.type = type;
        event.x = dragX_;
        event.y = dragY_;
        if (dragType_)
        {
            char* name = XGetAtomName(display_, dragType_);
            event.dataType = name ? name : "";
            if (name)
                XFree(name);
        }
        event.data = dragData_;
        return event;
    }

    // True when the message belonged to a drag.
    bool handleDragAndDrop(const XClientMessageEvent& message)
    {
        const Atom kind = message.message_type;
        const auto source = static_cast<::Window>(message.data.l[0]);
        if (kind == dnd_.enter)
        {
            dragSource_ = source;
            dragType_ = chooseDragType(message);
            dragInside_ = false;
            dragFetched_ = false;
            return true;
        }
        if (kind != dnd_.position && kind != dnd_.leave && kind != dnd_.drop)
            return false;
        if (source != dragSource_)
            return true;
        if (kind == dnd_.position)
        {
            const int rootX = static_cast<int>((message.data.l[2] >> 16) & 0xffff);
            const int rootY = static_cast<int>(message.data.l[2] & 0xffff);
            ::Window ignored = 0;
            XTranslateCoordinates(display_, DefaultRootWindow(display_), window_, rootX, rootY,
                                  &dragX_, &dragY_, &ignored);
            if (!dragFetched_)
                fetchDragData(static_cast<Time>(message.data.l[3]));
            const bool entering = !dragInside_;
            dragInside_ = true;
            replyToSource(dnd_.status, dragType_ ? 1 | 2 : 2, 0,
                          dragType_ ? static_cast<long>(dnd_.actionCopy) : 0);
            deliver(dragEvent(entering ? EventType::dragEnter : EventType::dragMove));
            return true;
        }
        if (kind == dnd_.leave)
        {
            if (dragInside_)
                deliver(dragEvent(EventType::dragLeave));
            dragSource_ = 0;
            dragInside_ = false;
            return true;
        }
        // Drop.
        if (!dragFetched_)
            fetchDragData(static_cast<Time>(message.data.l[2]));
        const bool accepted = dragType_ != 0;
        deliver(dragEvent(EventType::drop));
        replyToSource(dnd_.finished, accepted ? 1 : 0,
                      accepted ? static_cast<long>(dnd_.actionCopy) : 0, 0);
        dragSource_ = 0;
        dragInside_ = false;
        return true;
    }

    struct DragAtoms
    {
        Atom aware, enter, position, status, leave, drop, finished, selection, typeList, actionCopy,
            property;
        Atom preferred[4];
    };
    DragAtoms dnd_ = {};
    ::Window dragSource_ = 0;
    Atom dragType_ = 0;
    bool dragInside_ = false;
    bool dragFetched_ = false;
    int dragX_ = 0, dragY_ = 0;
    std::string dragData_;

    Display* display_ = nullptr;
    ::Window window_ = 0;
    ::Window parent_ = 0; // the host's window, when embedded
    Visual* visual_ = nullptr;
    cairo_surface_t* surface_ = nullptr;
    Atom deleteAtom_ = 0;
    Atom xembedAtom_ = 0;
    ::Cursor cursorHandle_ = 0;
    Cursor cursor_ = Cursor::arrow;
    int width_ = 0, height_ = 0;
    EventHandler handler_;
};

} // namespace

std::unique_ptr<Window> Window::createX11(uintptr_t parent, int width, int height,
                                          const std::string& title, Status* status)
{
    auto window = std::make_unique<X11Window>();
    const Status result = window->create(parent, width, height, title);
    if (status)
        *status = result;
    if (result != Status::success)
        return nullptr;
    return window;
}

} // namespace fxwin
