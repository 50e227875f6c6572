// The render-notification list: callbacks a host registers to run before and
// after every render. Registration never blocks the render thread: add and
// remove requests are pushed onto a pending list with a compare-and-swap, and
// the render thread applies them at the start of its next render. Only the
// render thread walks or changes the active list.
#pragma once

#include <AudioUnit/AudioUnit.h>

#include <atomic>

class AURenderNotifications
{
public:
    enum RequestKind
    {
        kAdd = 1,
        kRemove = 2,
        kClear = 3,
    };

    AURenderNotifications() = default;
    ~AURenderNotifications();
    AURenderNotifications(const AURenderNotifications&) = delete;
    AURenderNotifications& operator=(const AURenderNotifications&) = delete;

    // Any thread. Allocates a node only when no freed one is left.
    void Add(AURenderCallback proc, void* refCon) { Request(kAdd, proc, refCon); }
    void Remove(AURenderCallback proc, void* refCon) { Request(kRemove, proc, refCon); }
    void Clear() { Request(kClear, nullptr, nullptr); }

    // Render thread: applies the pending requests in arrival order.
    void Update();
    // Render thread: calls every active notification.
    void Call(AudioUnitRenderActionFlags flags, const AudioTimeStamp& timeStamp, UInt32 bus,
              UInt32 frames, AudioBufferList* data) const;
    // Render thread: number of active notifications.
    UInt32 ActiveCount() const;

private:
    struct Node
    {
        Node* next = nullptr;
        RequestKind kind = kAdd;
        AURenderCallback proc = nullptr;
        void* refCon = nullptr;
    };

    void Request(RequestKind kind, AURenderCallback proc, void* refCon);
    Node* TakeFreeNode();
    // Pushes the chain first..last onto list.
    static void PushChain(std::atomic<Node*>& list, Node* first, Node* last);
    static void FreeChain(Node* node);

    Node* mActive = nullptr; // render thread only
    std::atomic<Node*> mPending{nullptr};
    std::atomic<Node*> mFree{nullptr};
};
