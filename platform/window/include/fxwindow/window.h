// The window and event layer under the GUI toolkit.
//
// Two backends share this interface: X11 (a child of a host's window, given
// as a window id, or a top-level window) and headless (an offscreen image
// surface driven by injected events, for tests and screenshots). Drawing goes
// to the cairo surface a window hands out; events come back through one
// handler, already translated into the layer's own event record.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace fxwin
{

enum class Status
{
    success,
    noDisplay,    // no X server could be reached
    badParent,    // the parent window id does not name a window
    createFailed, // the server or cairo refused to create the window or surface
    unsupported,  // the backend has no such operation
};

const char* statusText(Status status);

// Modifier and button bits of Event::state and PointerState::state.
enum : uint32_t
{
    kShift = 1u << 0,
    kControl = 1u << 1,
    kAlt = 1u << 2,
    kSuper = 1u << 3,
    kButton1 = 1u << 8,  // primary
    kButton2 = 1u << 9,  // middle
    kButton3 = 1u << 10, // secondary
};

enum class EventType
{
    none,
    expose,      // rect needs drawing
    buttonPress, // button 1 primary, 2 middle, 3 secondary
    buttonRelease,
    motion,
    scroll, // dx, dy in wheel steps; dy > 0 is away from the user
    keyPress,
    keyRelease,
    enter,
    leave,
    focusIn,
    focusOut,
    configure, // rect holds the new size
    close,     // the window manager asks a top-level window to close
    dragEnter, // something is dragged into the window: dataType, data
    dragMove,
    dragLeave,
    drop, // dataType, data
    // The embedder moves the keyboard focus into the window or out of it
    // (XEmbed focus messages): focusPart says where.
    setFocusPart,
};

// Where the keyboard focus goes with EventType::setFocusPart.
enum class FocusPart
{
    none,     // the window loses the keyboard focus
    next,     // focus enters at the first focusable part (Tab)
    previous, // focus enters at the last focusable part (shift-Tab)
};

struct Rect
{
    int x = 0, y = 0, width = 0, height = 0;
};

struct Event
{
    EventType type = EventType::none;
    int x = 0, y = 0;                      // pointer position in window coordinates
    uint32_t state = 0;                    // modifiers and buttons held before the event
    int button = 0;                        // buttonPress / buttonRelease
    double dx = 0, dy = 0;                 // scroll
    uint32_t keysym = 0;                   // X keysym (keypad keys with their digit meaning)
    uint32_t keycode = 0;                  // hardware key code, 0 for injected keys
    uint32_t character = 0;                // Latin-1 character of the key, 0 when none
    Rect rect;                             // expose, configure
    uint32_t time = 0;                     // milliseconds, server time or injection order
    std::string dataType;                  // drag events: "text/uri-list", "text/plain" ...
    std::string data;                      // drag events: the dragged data in that type
    FocusPart focusPart = FocusPart::none; // setFocusPart
};

struct PointerState
{
    int x = 0, y = 0; // window coordinates
    uint32_t state = 0;
};

enum class Cursor
{
    arrow,
    watch,
    resizeLeftRight,
    resizeUpDown,
    cross,
    copyArrow,
    notAllowed,
    openHand,
};

using EventHandler = std::function<void(const Event&)>;

// One window of either backend. Not thread-safe: everything runs on the
// thread that created it.
class Window
{
public:
    virtual ~Window() = default;

    // X11 child of the window `parent` (a host's window id), or a top-level
    // window when `parent` is 0. `status` (optional) tells why it failed.
    static std::unique_ptr<Window> createX11(uintptr_t parent, int width, int height,
                                             const std::string& title, Status* status = nullptr);
    // An offscreen window backed by an ARGB32 image surface.
    static std::unique_ptr<Window> createHeadless(int width, int height);

    virtual bool isHeadless() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // The surface that draws onto the window; valid until the next resize.
    virtual cairo_surface_t* surface() = 0;
    // The native window id (X11) or 0.
    virtual uintptr_t nativeHandle() const = 0;

    virtual void setEventHandler(EventHandler handler) = 0;
    // Dispatches pending events to the handler, waiting at most
    // `timeoutSeconds` for the first one (0: do not wait). Returns the number
    // of events dispatched.
    virtual int processEvents(double timeoutSeconds) = 0;
    // Removes the next pending event whose type is one of `types` (a bit set
    // of 1 << EventType) from the queue without dispatching it, waiting at
    // most `timeoutSeconds` (negative: without limit). With `heldButtons`
    // non-zero a motion event counts only while one of those buttons is
    // held (a drag). False on timeout; a headless window does not wait.
    virtual bool takeEvent(uint32_t types, double timeoutSeconds, Event& event,
                           uint32_t heldButtons = 0) = 0;

    // Asks for an expose event covering `rect` (empty: the whole window).
    virtual void postRedisplay(const Rect& rect) = 0;
    virtual Status setSize(int width, int height) = 0;
    virtual Status setPosition(int x, int y) = 0;
    // Resizes the window this one is embedded in (X11 child windows only).
    virtual Status setParentSize(int width, int height) = 0;
    virtual Rect frameInParent() const = 0;
    // The window's place on the screen (root window coordinates).
    virtual Rect frameOnScreen() const = 0;
    virtual void setCursor(Cursor cursor) = 0;
    virtual Cursor cursor() const = 0;
    virtual PointerState pointer() = 0;
    virtual bool isMapped() const = 0;
    // Takes the keyboard focus (a click on the window does this).
    virtual void takeKeyboardFocus() = 0;
    // Pushes finished drawing to the screen.
    virtual void flush() = 0;

    // Headless only: queues an event as if the user had caused it; the
    // pointer state follows the queued events as they are dispatched.
    virtual Status inject(const Event& event) = 0;
    // Writes the window's pixels to a PNG file.
    virtual Status writePng(const std::string& path) = 0;
};

constexpr uint32_t eventBit(EventType type)
{
    return 1u << static_cast<uint32_t>(type);
}

} // namespace fxwin
