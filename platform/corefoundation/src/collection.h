// Array and dictionary objects, shared with the property-list code.
#pragma once

#include "object.h"

#include <vector>

struct FxCFArray final : FxCFObject
{
    FxCFArray(const CFArrayCallBacks* callBacks, bool isMutable);
    ~FxCFArray() override;
    bool equals(const FxCFObject& other) const override;
    CFHashCode hash() const override { return items.size(); }

    const void* retainValue(const void* value) const;
    void releaseValue(const void* value) const;

    std::vector<const void*> items;
    const CFArrayCallBacks callBacks;
    const bool mutableArray;
};

struct FxCFDictionary final : FxCFObject
{
    FxCFDictionary(const CFDictionaryKeyCallBacks* keyCallBacks,
                   const CFDictionaryValueCallBacks* valueCallBacks, bool isMutable);
    ~FxCFDictionary() override;
    bool equals(const FxCFObject& other) const override;
    CFHashCode hash() const override { return entries.size(); }

    struct Entry
    {
        const void* key;
        const void* value;
        CFHashCode keyHash;
    };
    // The entry of key, or null.
    const Entry* find(const void* key) const;
    Entry* find(const void* key)
    {
        return const_cast<Entry*>(static_cast<const FxCFDictionary*>(this)->find(key));
    }
    void set(const void* key, const void* value);
    void remove(const void* key);
    void clear();
    bool valuesEqual(const void* a, const void* b) const;

    // Insertion order; lookups compare the hash first.
    std::vector<Entry> entries;
    const CFDictionaryKeyCallBacks keyCallBacks;
    const CFDictionaryValueCallBacks valueCallBacks;
    const bool mutableDictionary;
};

// The callbacks of containers that hold CoreFoundation objects: retained on
// the way in, released on the way out, compared with CFEqual.
inline const void* retainCFType(CFAllocatorRef, const void* value)
{
    return CFRetain(value);
}

inline void releaseCFType(CFAllocatorRef, const void* value)
{
    CFRelease(value);
}

inline Boolean equalCFType(const void* a, const void* b)
{
    return CFEqual(a, b);
}
