#include "collection.h"

namespace
{

CFHashCode hashCFType(const void* value)
{
    return CFHash(value);
}

CFDictionaryKeyCallBacks keyCallBacksOrNone(const CFDictionaryKeyCallBacks* cb)
{
    if (cb != nullptr)
        return *cb;
    return CFDictionaryKeyCallBacks{0, nullptr, nullptr, nullptr, nullptr, nullptr};
}

CFDictionaryValueCallBacks valueCallBacksOrNone(const CFDictionaryValueCallBacks* cb)
{
    if (cb != nullptr)
        return *cb;
    return CFDictionaryValueCallBacks{0, nullptr, nullptr, nullptr, nullptr};
}

FxCFDictionary* dictionaryOf(CFTypeRef ref)
{
    return fxCast<FxCFDictionary>(ref, kFxTypeDictionary);
}

FxCFDictionary* mutableDictionaryOf(CFMutableDictionaryRef ref)
{
    FxCFDictionary* dict = dictionaryOf(ref);
    return dict != nullptr && dict->mutableDictionary ? dict : nullptr;
}

FxCFDictionary* copyOf(const FxCFDictionary& source, bool isMutable)
{
    auto* dict = new FxCFDictionary(&source.keyCallBacks, &source.valueCallBacks, isMutable);
    dict->entries.reserve(source.entries.size());
    for (const auto& entry : source.entries)
        dict->set(entry.key, entry.value);
    return dict;
}

} // namespace

extern "C" const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {
    0, retainCFType, releaseCFType, nullptr, equalCFType, hashCFType};
extern "C" const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {
    0, retainCFType, releaseCFType, nullptr, equalCFType};

FxCFDictionary::FxCFDictionary(const CFDictionaryKeyCallBacks* kcb,
                               const CFDictionaryValueCallBacks* vcb, bool isMutable)
    : FxCFObject(kFxTypeDictionary), keyCallBacks(keyCallBacksOrNone(kcb)),
      valueCallBacks(valueCallBacksOrNone(vcb)), mutableDictionary(isMutable)
{
}

FxCFDictionary::~FxCFDictionary()
{
    clear();
}

const FxCFDictionary::Entry* FxCFDictionary::find(const void* key) const
{
    const CFHashCode h =
        keyCallBacks.hash != nullptr ? keyCallBacks.hash(key) : reinterpret_cast<CFHashCode>(key);
    for (const auto& entry : entries)
    {
        if (entry.key == key)
            return &entry;
        if (entry.keyHash == h && keyCallBacks.equal != nullptr &&
            keyCallBacks.equal(entry.key, key))
            return &entry;
    }
    return nullptr;
}

void FxCFDictionary::set(const void* key, const void* value)
{
    // Retain the new value before releasing the old one: they may be the same.
    const void* newValue =
        valueCallBacks.retain != nullptr ? valueCallBacks.retain(nullptr, value) : value;
    if (Entry* entry = find(key))
    {
        const void* oldValue = entry->value;
        entry->value = newValue;
        if (valueCallBacks.release != nullptr)
            valueCallBacks.release(nullptr, oldValue);
        return;
    }
    const void* newKey = keyCallBacks.retain != nullptr ? keyCallBacks.retain(nullptr, key) : key;
    const CFHashCode h =
        keyCallBacks.hash != nullptr ? keyCallBacks.hash(key) : reinterpret_cast<CFHashCode>(key);
    entries.push_back(Entry{newKey, newValue, h});
}

void FxCFDictionary::remove(const void* key)
{
    Entry* entry = find(key);
    if (entry == nullptr)
        return;
    const Entry removed = *entry;
    entries.erase(entries.begin() + (entry - entries.data()));
    // Release after erasing: the key passed in may be the stored one.
    if (valueCallBacks.release != nullptr)
        valueCallBacks.release(nullptr, removed.value);
    if (keyCallBacks.release != nullptr)
        keyCallBacks.release(nullptr, removed.key);
}

void FxCFDictionary::clear()
{
    std::vector<Entry> old;
    old.swap(entries);
    for (const auto& entry : old)
    {
        if (valueCallBacks.release != nullptr)
            valueCallBacks.release(nullptr, entry.value);
        if (keyCallBacks.release != nullptr)
            keyCallBacks.release(nullptr, entry.key);
    }
}

bool FxCFDictionary::valuesEqual(const void* a, const void* b) const
{
    return valueCallBacks.equal != nullptr ? valueCallBacks.equal(a, b) : a == b;
}

bool FxCFDictionary::equals(const FxCFObject& other) const
{
    const auto& d = static_cast<const FxCFDictionary&>(other);
    if (entries.size() != d.entries.size())
        return false;
    for (const auto& entry : entries)
    {
        const Entry* match = d.find(entry.key);
        if (match == nullptr || !valuesEqual(entry.value, match->value))
            return false;
    }
    return true;
}

CFTypeID CFDictionaryGetTypeID(void)
{
    return kFxTypeDictionary;
}

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef alloc, const void** keys, const void** values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks)
{
    if (!fxAllocatorAccepted(alloc) || numValues < 0 ||
        ((keys == nullptr || values == nullptr) && numValues > 0))
        return nullptr;
    auto* dict = new FxCFDictionary(keyCallBacks, valueCallBacks, false);
    dict->entries.reserve(static_cast<size_t>(numValues));
    for (CFIndex i = 0; i < numValues; ++i)
        dict->set(keys[i], values[i]);
    return dict;
}

CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef alloc, CFDictionaryRef ref)
{
    const FxCFDictionary* source = dictionaryOf(ref);
    if (!fxAllocatorAccepted(alloc) || source == nullptr)
        return nullptr;
    return copyOf(*source, false);
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef alloc, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
    if (!fxAllocatorAccepted(alloc) || capacity < 0)
        return nullptr;
    return new FxCFDictionary(keyCallBacks, valueCallBacks, true);
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef alloc, CFIndex capacity,
                                                     CFDictionaryRef ref)
{
    const FxCFDictionary* source = dictionaryOf(ref);
    if (!fxAllocatorAccepted(alloc) || capacity < 0 || source == nullptr)
        return nullptr;
    return copyOf(*source, true);
}

CFIndex CFDictionaryGetCount(CFDictionaryRef ref)
{
    const FxCFDictionary* dict = dictionaryOf(ref);
    return dict != nullptr ? static_cast<CFIndex>(dict->entries.size()) : 0;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef ref, const void* key)
{
    const FxCFDictionary* dict = dictionaryOf(ref);
    return dict != nullptr && dict->find(key) != nullptr;
}

const void* CFDictionaryGetValue(CFDictionaryRef ref, const void* key)
{
    const FxCFDictionary* dict = dictionaryOf(ref);
    if (dict == nullptr)
        return nullptr;
    const FxCFDictionary::Entry* entry = dict->find(key);
    return entry != nullptr ? entry->value : nullptr;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef ref, const void* key, const void** value)
{
    const FxCFDictionary* dict = dictionaryOf(ref);
    const FxCFDictionary::Entry* entry = dict != nullptr ? dict->find(key) : nullptr;
    if (entry == nullptr)
        return false;
    if (value != nullptr)
        *value = entry->value;
    return true;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef ref, const void** keys, const void** values)
{
    const FxCFDictionary* dict = dictionaryOf(ref);
    if (dict == nullptr)
        return;
    for (size_t i = 0; i < dict->entries.size(); ++i)
    {
        if (keys != nullptr)
            keys[i] = dict->entries[i].key;
        if (values != nullptr)
            values[i] = dict->entries[i].value;
    }
}

void CFDictionaryApplyFunction(CFDictionaryRef ref, CFDictionaryApplierFunction applier,
                               void* context)
{
    const FxCFDictionary* dict = dictionaryOf(ref);
    if (dict == nullptr || applier == nullptr)
        return;
    for (const auto& entry : dict->entries)
        applier(entry.key, entry.value, context);
}

void CFDictionarySetValue(CFMutableDictionaryRef ref, const void* key, const void* value)
{
    if (FxCFDictionary* dict = mutableDictionaryOf(ref))
        dict->set(key, value);
}

void CFDictionaryAddValue(CFMutableDictionaryRef ref, const void* key, const void* value)
{
    FxCFDictionary* dict = mutableDictionaryOf(ref);
    if (dict != nullptr && dict->find(key) == nullptr)
        dict->set(key, value);
}

void CFDictionaryReplaceValue(CFMutableDictionaryRef ref, const void* key, const void* value)
{
    FxCFDictionary* dict = mutableDictionaryOf(ref);
    if (dict != nullptr && dict->find(key) != nullptr)
        dict->set(key, value);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef ref, const void* key)
{
    if (FxCFDictionary* dict = mutableDictionaryOf(ref))
        dict->remove(key);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef ref)
{
    if (FxCFDictionary* dict = mutableDictionaryOf(ref))
        dict->clear();
}
