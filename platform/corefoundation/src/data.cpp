#include "object.h"

#include <cstring>
#include <vector>

struct FxCFData final : FxCFObject
{
    FxCFData(const uint8_t* bytes, size_t length, bool isMutable)
        : FxCFObject(kFxTypeData), mutableData(isMutable)
    {
        if (length > 0)
            storage.assign(bytes, bytes + length);
    }
    bool equals(const FxCFObject& other) const override
    {
        return storage == static_cast<const FxCFData&>(other).storage;
    }
    CFHashCode hash() const override { return fxHashBytes(storage.data(), storage.size()); }

    std::vector<uint8_t> storage;
    const bool mutableData;
};

namespace
{

FxCFData* dataOf(CFTypeRef ref)
{
    return fxCast<FxCFData>(ref, kFxTypeData);
}

FxCFData* mutableDataOf(CFMutableDataRef ref)
{
    FxCFData* data = dataOf(ref);
    return data != nullptr && data->mutableData ? data : nullptr;
}

} // namespace

CFTypeID CFDataGetTypeID(void)
{
    return kFxTypeData;
}

CFDataRef CFDataCreate(CFAllocatorRef alloc, const uint8_t* bytes, CFIndex length)
{
    if (!fxAllocatorAccepted(alloc) || length < 0 || (bytes == nullptr && length > 0))
        return nullptr;
    return new FxCFData(bytes, static_cast<size_t>(length), false);
}

CFDataRef CFDataCreateCopy(CFAllocatorRef alloc, CFDataRef ref)
{
    const FxCFData* data = dataOf(ref);
    if (!fxAllocatorAccepted(alloc) || data == nullptr)
        return nullptr;
    return new FxCFData(data->storage.data(), data->storage.size(), false);
}

CFMutableDataRef CFDataCreateMutable(CFAllocatorRef alloc, CFIndex capacity)
{
    if (!fxAllocatorAccepted(alloc) || capacity < 0)
        return nullptr;
    return new FxCFData(nullptr, 0, true);
}

CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef alloc, CFIndex capacity, CFDataRef ref)
{
    const FxCFData* data = dataOf(ref);
    if (!fxAllocatorAccepted(alloc) || capacity < 0 || data == nullptr)
        return nullptr;
    return new FxCFData(data->storage.data(), data->storage.size(), true);
}

CFIndex CFDataGetLength(CFDataRef ref)
{
    const FxCFData* data = dataOf(ref);
    return data != nullptr ? static_cast<CFIndex>(data->storage.size()) : 0;
}

const uint8_t* CFDataGetBytePtr(CFDataRef ref)
{
    const FxCFData* data = dataOf(ref);
    return data != nullptr ? data->storage.data() : nullptr;
}

uint8_t* CFDataGetMutableBytePtr(CFMutableDataRef ref)
{
    FxCFData* data = mutableDataOf(ref);
    return data != nullptr ? data->storage.data() : nullptr;
}

void CFDataGetBytes(CFDataRef ref, CFRange range, uint8_t* buffer)
{
    const FxCFData* data = dataOf(ref);
    if (data == nullptr || buffer == nullptr || range.location < 0 || range.length <= 0)
        return;
    const size_t size = data->storage.size();
    const auto location = static_cast<size_t>(range.location);
    const auto length = static_cast<size_t>(range.length);
    if (location > size || length > size - location)
        return;
    std::memcpy(buffer, data->storage.data() + location, length);
}

void CFDataAppendBytes(CFMutableDataRef ref, const uint8_t* bytes, CFIndex length)
{
    FxCFData* data = mutableDataOf(ref);
    if (data == nullptr || bytes == nullptr || length <= 0)
        return;
    data->storage.insert(data->storage.end(), bytes, bytes + length);
}

void CFDataSetLength(CFMutableDataRef ref, CFIndex length)
{
    FxCFData* data = mutableDataOf(ref);
    if (data == nullptr || length < 0)
        return;
    data->storage.resize(static_cast<size_t>(length), 0);
}
