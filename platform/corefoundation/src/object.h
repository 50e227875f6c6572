// The object model behind every CF reference: one C++ base with an atomic
// reference count and a type identity, plus the per-type equality and hash.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <string>

enum FxTypeID : CFTypeID
{
    kFxTypeString = 1,
    kFxTypeNumber,
    kFxTypeBoolean,
    kFxTypeData,
    kFxTypeArray,
    kFxTypeDictionary,
    kFxTypeURL,
    kFxTypeBundle,
    kFxTypeError,
};

struct FxCFObject
{
    constexpr explicit FxCFObject(CFTypeID type, bool constant = false)
        : typeID(type), isConstant(constant)
    {
    }
    FxCFObject(const FxCFObject&) = delete;
    FxCFObject& operator=(const FxCFObject&) = delete;
    virtual ~FxCFObject() = default;

    virtual bool equals(const FxCFObject& other) const { return this == &other; }
    virtual CFHashCode hash() const { return reinterpret_cast<CFHashCode>(this); }

    std::atomic<CFIndex> retainCount{1};
    const CFTypeID typeID;
    // Constant objects ignore retain and release and are never freed.
    const bool isConstant;
};

// The object behind a reference when it is of the wanted type, else null.
template <typename T> inline T* fxCast(CFTypeRef ref, CFTypeID type)
{
    auto* object = static_cast<FxCFObject*>(const_cast<void*>(ref));
    if (object == nullptr || object->typeID != type)
        return nullptr;
    return static_cast<T*>(object);
}

struct FxCFString final : FxCFObject
{
    explicit FxCFString(std::string text, bool constant = false);
    bool equals(const FxCFObject& other) const override;
    CFHashCode hash() const override;

    const std::string utf8; // always valid UTF-8
    const CFIndex utf16Length;
    const bool isASCII;
};

struct FxCFError final : FxCFObject
{
    FxCFError(CFIndex errorCode, std::string text)
        : FxCFObject(kFxTypeError), code(errorCode), description(std::move(text))
    {
    }
    const CFIndex code;
    const std::string description;
};

// Internal helpers shared between the type families.
CFStringRef fxStringCreate(std::string utf8);
const std::string* fxStringUTF8(CFStringRef string);
// Stores a new error into *error when error is not null.
void fxSetError(CFErrorRef* error, CFIndex code, const std::string& description);
CFHashCode fxHashBytes(const void* bytes, size_t length);
inline bool fxAllocatorAccepted(CFAllocatorRef alloc)
{
    return alloc == nullptr;
}
