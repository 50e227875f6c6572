// Headless backend: an ARGB32 image surface and a queue of injected events.
#include "fxwindow/window.h"

#include <deque>

namespace fxwin
{
namespace
{

uint32_t buttonBit(int button)
{
    switch (button)
    {
    case 1:
        return kButton1;
    case 2:
        return kButton2;
    case 3:
        return kButton3;
    default:
        return 0;
    }
}

class HeadlessWindow final : public Window
{
public:
    HeadlessWindow(int width, int height) { resizeSurface(width, height); }
    ~HeadlessWindow() override
    {
        if (surface_)
            cairo_surface_destroy(surface_);
    }

    bool isHeadless() const override { return true; }
    int width() const override { return width_; }
    int height() const override { return height_; }
    cairo_surface_t* surface() override { return surface_; }
    uintptr_t nativeHandle() const override { return 0; }
    void setEventHandler(EventHandler handler) override { handler_ = std::move(handler); }

    int processEvents(double) override
    {
        // Events injected by a handler run in the next pass, not this one.
        size_t count = queue_.size();
        int dispatched = 0;
        while (count-- > 0 && !queue_.empty())
        {
            const Event event = queue_.front();
            queue_.pop_front();
            track(event);
            if (handler_)
                handler_(event);
            ++dispatched;
        }
        return dispatched;
    }

    bool takeEvent(uint32_t types, double, Event& event, uint32_t heldButtons) override
    {
        // Nothing else can add events while we wait, so the queue decides.
        for (auto it = queue_.begin(); it != queue_.end(); ++it)
        {
            if ((types & eventBit(it->type)) == 0)
                continue;
            if (it->type == EventType::motion && heldButtons != 0 && (it->state & heldButtons) == 0)
                continue;
            event = *it;
            queue_.erase(it);
            track(event);
            return true;
        }
        return false;
    }

    void postRedisplay(const Rect& rect) override
    {
        Event event;
        event.type = EventType::expose;
        event.rect = rect.width > 0 && rect.height > 0 ? rect : Rect{0, 0, width_, height_};
        queue_.push_back(event);
    }

    Status setSize(int width, int height) override
    {
        if (width <= 0 || height <= 0)
            return Status::createFailed;
        resizeSurface(width, height);
        return Status::success;
    }

    Status setPosition(int x, int y) override
    {
        x_ = x;
        y_ = y;
        return Status::success;
    }
    Status setParentSize(int, int) override { return Status::unsupported; }
    Rect frameInParent() const override { return Rect{x_, y_, width_, height_}; }
    Rect frameOnScreen() const override { return Rect{x_, y_, width_, height_}; }
    void setCursor(Cursor cursor) override { cursor_ = cursor; }
    Cursor cursor() const override { return cursor_; }
    PointerState pointer() override { return pointer_; }
    bool isMapped() const override { return true; }
    void takeKeyboardFocus() override {}
    void flush() override { cairo_surface_flush(surface_); }

    Status inject(const Event& event) override
    {
        Event queued = event;
        queued.time = ++clock_;
        queue_.push_back(queued);
        return Status::success;
    }

    Status writePng(const std::string& path) override
    {
        cairo_surface_flush(surface_);
        return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS
                   ? Status::success
                   : Status::createFailed;
    }

private:
    void resizeSurface(int width, int height)
    {
        width_ = width > 0 ? width : 0;
        height_ = height > 0 ? height : 0;
        cairo_surface_t* next = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_);
        if (surface_)
        {
            // Keep what was drawn, as a real window keeps its contents.
            cairo_t* cr = cairo_create(next);
            cairo_set_source_surface(cr, surface_, 0, 0);
            cairo_paint(cr);
            cairo_destroy(cr);
            cairo_surface_destroy(surface_);
        }
        surface_ = next;
    }

    // The pointer follows the events as they are consumed.
    void track(const Event& event)
    {
        switch (event.type)
        {
        case EventType::buttonPress:
            pointer_.x = event.x;
            pointer_.y = event.y;
            pointer_.state = (event.state & ~(kButton1 | kButton2 | kButton3)) |
                             (pointer_.state & (kButton1 | kButton2 | kButton3)) |
                             buttonBit(event.button);
            break;
        case EventType::buttonRelease:
            pointer_.x = event.x;
            pointer_.y = event.y;
            pointer_.state = (event.state & ~(kButton1 | kButton2 | kButton3)) |
                             (pointer_.state & (kButton1 | kButton2 | kButton3));
            pointer_.state &= ~buttonBit(event.button);
            break;
        case EventType::motion:
        case EventType::scroll:
        case EventType::enter:
        case EventType::leave:
            pointer_.x = event.x;
            pointer_.y = event.y;
            pointer_.state = event.state;
            break;
        case EventType::keyPress:
        case EventType::keyRelease:
            pointer_.state = (pointer_.state & (kButton1 | kButton2 | kButton3)) |
                             (event.state & (kShift | kControl | kAlt | kSuper));
            break;
        default:
            break;
        }
    }

    cairo_surface_t* surface_ = nullptr;
    int width_ = 0, height_ = 0, x_ = 0, y_ = 0;
    EventHandler handler_;
    std::deque<Event> queue_;
    PointerState pointer_;
    Cursor cursor_ = Cursor::arrow;
    uint32_t clock_ = 0;
};

} // namespace

std::unique_ptr<Window> Window::createHeadless(int width, int height)
{
    return std::make_unique<HeadlessWindow>(width, height);
}

const char* statusText(Status status)
{
    switch (status)
    {
    case Status::success:
        return "success";
    case Status::noDisplay:
        return "cannot open the X display";
    case Status::badParent:
        return "the parent window does not exist";
    case Status::createFailed:
        return "the window or its surface could not be created";
    case Status::unsupported:
        return "not supported by this backend";
    }
    return "unknown status";
}

} // namespace fxwin
