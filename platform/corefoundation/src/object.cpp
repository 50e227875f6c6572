#include "object.h"

const CFAllocatorRef kCFAllocatorDefault = nullptr;

namespace
{

FxCFObject* objectOf(CFTypeRef ref)
{
    return static_cast<FxCFObject*>(const_cast<void*>(ref));
}

// The count a constant object reports; large enough that no caller treats
// it as the last reference.
constexpr CFIndex kConstantRetainCount = 0x7FFFFFFF;

} // namespace

CFTypeRef CFRetain(CFTypeRef ref)
{
    FxCFObject* object = objectOf(ref);
    if (object != nullptr && !object->isConstant)
        object->retainCount.fetch_add(1, std::memory_order_relaxed);
    return ref;
}

void CFRelease(CFTypeRef ref)
{
    FxCFObject* object = objectOf(ref);
    if (object == nullptr || object->isConstant)
        return;
    // acq_rel: every write made through other references happens before the
    // delete on whichever thread drops the last one.
    if (object->retainCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete object;
}

CFIndex CFGetRetainCount(CFTypeRef ref)
{
    const FxCFObject* object = objectOf(ref);
    if (object == nullptr)
        return 0;
    if (object->isConstant)
        return kConstantRetainCount;
    return object->retainCount.load(std::memory_order_relaxed);
}

CFTypeID CFGetTypeID(CFTypeRef ref)
{
    const FxCFObject* object = objectOf(ref);
    return object != nullptr ? object->typeID : 0;
}

Boolean CFEqual(CFTypeRef a, CFTypeRef b)
{
    if (a == b)
        return true;
    const FxCFObject* first = objectOf(a);
    const FxCFObject* second = objectOf(b);
    if (first == nullptr || second == nullptr)
        return false;
    // Numbers compare with numbers only; every other kind with its own kind.
    if (first->typeID != second->typeID)
        return false;
    return first->equals(*second);
}

CFHashCode CFHash(CFTypeRef ref)
{
    const FxCFObject* object = objectOf(ref);
    return object != nullptr ? object->hash() : 0;
}

CFHashCode fxHashBytes(const void* bytes, size_t length)
{
    // FNV-1a, 64 bit.
    const auto* p = static_cast<const unsigned char*>(bytes);
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < length; ++i)
    {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return static_cast<CFHashCode>(h);
}

CFTypeID CFErrorGetTypeID(void)
{
    return kFxTypeError;
}

CFIndex CFErrorGetCode(CFErrorRef error)
{
    const auto* e = fxCast<FxCFError>(error, kFxTypeError);
    return e != nullptr ? e->code : 0;
}

CFStringRef CFErrorCopyDescription(CFErrorRef error)
{
    const auto* e = fxCast<FxCFError>(error, kFxTypeError);
    if (e == nullptr)
        return nullptr;
    return fxStringCreate(e->description);
}

void fxSetError(CFErrorRef* error, CFIndex code, const std::string& description)
{
    if (error == nullptr)
        return;
    *error =
        reinterpret_cast<CFErrorRef>(static_cast<FxCFObject*>(new FxCFError(code, description)));
}
