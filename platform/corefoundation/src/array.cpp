#include "collection.h"

namespace
{

CFArrayCallBacks callBacksOrNone(const CFArrayCallBacks* callBacks)
{
    if (callBacks != nullptr)
        return *callBacks;
    return CFArrayCallBacks{0, nullptr, nullptr, nullptr, nullptr};
}

FxCFArray* arrayOf(CFTypeRef ref)
{
    return fxCast<FxCFArray>(ref, kFxTypeArray);
}

FxCFArray* mutableArrayOf(CFMutableArrayRef ref)
{
    FxCFArray* array = arrayOf(ref);
    return array != nullptr && array->mutableArray ? array : nullptr;
}

bool validIndex(const FxCFArray& array, CFIndex index)
{
    return index >= 0 && static_cast<size_t>(index) < array.items.size();
}

} // namespace

extern "C" const CFArrayCallBacks kCFTypeArrayCallBacks = {0, retainCFType, releaseCFType, nullptr,
                                                           equalCFType};

FxCFArray::FxCFArray(const CFArrayCallBacks* cb, bool isMutable)
    : FxCFObject(kFxTypeArray), callBacks(callBacksOrNone(cb)), mutableArray(isMutable)
{
}

FxCFArray::~FxCFArray()
{
    for (const void* value : items)
        releaseValue(value);
}

const void* FxCFArray::retainValue(const void* value) const
{
    return callBacks.retain != nullptr ? callBacks.retain(nullptr, value) : value;
}

void FxCFArray::releaseValue(const void* value) const
{
    if (callBacks.release != nullptr)
        callBacks.release(nullptr, value);
}

bool FxCFArray::equals(const FxCFObject& other) const
{
    const auto& a = static_cast<const FxCFArray&>(other);
    if (items.size() != a.items.size())
        return false;
    for (size_t i = 0; i < items.size(); ++i)
    {
        const bool same = callBacks.equal != nullptr ? callBacks.equal(items[i], a.items[i])
                                                     : items[i] == a.items[i];
        if (!same)
            return false;
    }
    return true;
}

CFTypeID CFArrayGetTypeID(void)
{
    return kFxTypeArray;
}

CFArrayRef CFArrayCreate(CFAllocatorRef alloc, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks)
{
    if (!fxAllocatorAccepted(alloc) || numValues < 0 || (values == nullptr && numValues > 0))
        return nullptr;
    auto* array = new FxCFArray(callBacks, false);
    array->items.reserve(static_cast<size_t>(numValues));
    for (CFIndex i = 0; i < numValues; ++i)
        array->items.push_back(array->retainValue(values[i]));
    return array;
}

CFArrayRef CFArrayCreateCopy(CFAllocatorRef alloc, CFArrayRef ref)
{
    const FxCFArray* source = arrayOf(ref);
    if (!fxAllocatorAccepted(alloc) || source == nullptr)
        return nullptr;
    auto* array = new FxCFArray(&source->callBacks, false);
    for (const void* value : source->items)
        array->items.push_back(array->retainValue(value));
    return array;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef alloc, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks)
{
    if (!fxAllocatorAccepted(alloc) || capacity < 0)
        return nullptr;
    return new FxCFArray(callBacks, true);
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef alloc, CFIndex capacity, CFArrayRef ref)
{
    const FxCFArray* source = arrayOf(ref);
    if (!fxAllocatorAccepted(alloc) || capacity < 0 || source == nullptr)
        return nullptr;
    auto* array = new FxCFArray(&source->callBacks, true);
    for (const void* value : source->items)
        array->items.push_back(array->retainValue(value));
    return array;
}

CFIndex CFArrayGetCount(CFArrayRef ref)
{
    const FxCFArray* array = arrayOf(ref);
    return array != nullptr ? static_cast<CFIndex>(array->items.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef ref, CFIndex index)
{
    const FxCFArray* array = arrayOf(ref);
    if (array == nullptr || !validIndex(*array, index))
        return nullptr;
    return array->items[static_cast<size_t>(index)];
}

void CFArrayAppendValue(CFMutableArrayRef ref, const void* value)
{
    FxCFArray* array = mutableArrayOf(ref);
    if (array != nullptr)
        array->items.push_back(array->retainValue(value));
}

void CFArrayInsertValueAtIndex(CFMutableArrayRef ref, CFIndex index, const void* value)
{
    FxCFArray* array = mutableArrayOf(ref);
    if (array == nullptr || index < 0 || static_cast<size_t>(index) > array->items.size())
        return;
    array->items.insert(array->items.begin() + index, array->retainValue(value));
}

void CFArraySetValueAtIndex(CFMutableArrayRef ref, CFIndex index, const void* value)
{
    FxCFArray* array = mutableArrayOf(ref);
    if (array == nullptr)
        return;
    if (static_cast<size_t>(index) == array->items.size())
    {
        array->items.push_back(array->retainValue(value));
        return;
    }
    if (!validIndex(*array, index))
        return;
    // Retain the new value first: it may be the one being replaced.
    const void* retained = array->retainValue(value);
    array->releaseValue(array->items[static_cast<size_t>(index)]);
    array->items[static_cast<size_t>(index)] = retained;
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef ref, CFIndex index)
{
    FxCFArray* array = mutableArrayOf(ref);
    if (array == nullptr || !validIndex(*array, index))
        return;
    const void* value = array->items[static_cast<size_t>(index)];
    array->items.erase(array->items.begin() + index);
    array->releaseValue(value);
}

void CFArrayRemoveAllValues(CFMutableArrayRef ref)
{
    FxCFArray* array = mutableArrayOf(ref);
    if (array == nullptr)
        return;
    std::vector<const void*> old;
    old.swap(array->items);
    for (const void* value : old)
        array->releaseValue(value);
}
