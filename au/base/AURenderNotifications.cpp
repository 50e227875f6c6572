#include "AURenderNotifications.h"

AURenderNotifications::~AURenderNotifications()
{
    FreeChain(mActive);
    FreeChain(mPending.exchange(nullptr));
    FreeChain(mFree.exchange(nullptr));
}

void AURenderNotifications::FreeChain(Node* node)
{
    while (node != nullptr)
    {
        Node* next = node->next;
        delete node;
        node = next;
    }
}

void AURenderNotifications::PushChain(std::atomic<Node*>& list, Node* first, Node* last)
{
    Node* head = list.load(std::memory_order_relaxed);
    do
        last->next = head;
    while (!list.compare_exchange_weak(head, first, std::memory_order_release,
                                       std::memory_order_relaxed));
}

// Detaching the whole free list gives this thread sole ownership of it, so a
// node is never read while another thread may take it (no ABA).
AURenderNotifications::Node* AURenderNotifications::TakeFreeNode()
{
    Node* chain = mFree.exchange(nullptr, std::memory_order_acquire);
    if (chain == nullptr)
        return new Node;
    Node* rest = chain->next;
    if (rest != nullptr)
    {
        Node* last = rest;
        while (last->next != nullptr)
            last = last->next;
        PushChain(mFree, rest, last);
    }
    chain->next = nullptr;
    return chain;
}

void AURenderNotifications::Request(RequestKind kind, AURenderCallback proc, void* refCon)
{
    Node* node = TakeFreeNode();
    node->kind = kind;
    node->proc = proc;
    node->refCon = refCon;
    PushChain(mPending, node, node);
}

void AURenderNotifications::Update()
{
    Node* pending = mPending.exchange(nullptr, std::memory_order_acquire);
    if (pending == nullptr)
        return;

    // The pending list is newest first; reverse it into arrival order.
    Node* ordered = nullptr;
    while (pending != nullptr)
    {
        Node* next = pending->next;
        pending->next = ordered;
        ordered = pending;
        pending = next;
    }

    Node* freedFirst = nullptr;
    Node* freedLast = nullptr;
    const auto release = [&](Node* node)
    {
        node->next = freedFirst;
        freedFirst = node;
        if (freedLast == nullptr)
            freedLast = node;
    };

    while (ordered != nullptr)
    {
        Node* request = ordered;
        ordered = ordered->next;
        request->next = nullptr;
        switch (request->kind)
        {
        case kAdd:
        {
            Node** link = &mActive;
            bool present = false;
            for (; *link != nullptr; link = &(*link)->next)
                present = present ||
                          ((*link)->proc == request->proc && (*link)->refCon == request->refCon);
            if (present)
                release(request);
            else
                *link = request; // the request node joins the active list
            break;
        }
        case kRemove:
            for (Node** link = &mActive; *link != nullptr; link = &(*link)->next)
            {
                Node* active = *link;
                if (active->proc == request->proc && active->refCon == request->refCon)
                {
                    *link = active->next;
                    release(active);
                    break;
                }
            }
            release(request);
            break;
        case kClear:
            while (mActive != nullptr)
            {
                Node* active = mActive;
                mActive = active->next;
                release(active);
            }
            release(request);
            break;
        }
    }
    if (freedFirst != nullptr)
        PushChain(mFree, freedFirst, freedLast);
}

void AURenderNotifications::Call(AudioUnitRenderActionFlags flags, const AudioTimeStamp& timeStamp,
                                 UInt32 bus, UInt32 frames, AudioBufferList* data) const
{
    for (const Node* node = mActive; node != nullptr; node = node->next)
    {
        AudioUnitRenderActionFlags localFlags = flags;
        node->proc(node->refCon, &localFlags, &timeStamp, bus, frames, data);
    }
}

UInt32 AURenderNotifications::ActiveCount() const
{
    UInt32 count = 0;
    for (const Node* node = mActive; node != nullptr; node = node->next)
        ++count;
    return count;
}
