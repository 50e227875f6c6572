#include "object.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace
{

// Unicode for the Mac Roman bytes 0x80..0xFF (0xDB is the euro sign, 0xF0
// the Apple logo in the private use area).
constexpr uint16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, // 0x80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, // 0x88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, // 0x90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, // 0x98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, // 0xA0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, // 0xA8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, // 0xB0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, // 0xB8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, // 0xC0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, // 0xC8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, // 0xD0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, // 0xD8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, // 0xE0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, // 0xE8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, // 0xF0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7, // 0xF8
};

void appendUTF8(std::string& out, uint32_t cp)
{
    if (cp < 0x80)
    {
        out += static_cast<char>(cp);
    }
    else if (cp < 0x800)
    {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else if (cp < 0x10000)
    {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one code point at text[i], advancing i. Answers false on any
// malformed sequence (overlong forms, surrogates, beyond U+10FFFF).
bool decodeUTF8(const std::string& text, size_t& i, uint32_t& cp)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t extra = 0;
    uint32_t minimum = 0;
    if (lead < 0x80)
    {
        cp = lead;
        ++i;
        return true;
    }
    if ((lead & 0xE0) == 0xC0)
    {
        extra = 1;
        cp = lead & 0x1F;
        minimum = 0x80;
    }
    else if ((lead & 0xF0) == 0xE0)
    {
        extra = 2;
        cp = lead & 0x0F;
        minimum = 0x800;
    }
    else if ((lead & 0xF8) == 0xF0)
    {
        extra = 3;
        cp = lead & 0x07;
        minimum = 0x10000;
    }
    else
    {
        return false;
    }
    if (text.size() - i <= extra)
        return false;
    for (size_t k = 1; k <= extra; ++k)
    {
        if ((byte(i + k) & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    i += extra + 1;
    return true;
}

bool validUTF8(const std::string& text)
{
    uint32_t cp = 0;
    for (size_t i = 0; i < text.size();)
    {
        if (!decodeUTF8(text, i, cp))
            return false;
    }
    return true;
}

CFIndex utf16LengthOf(const std::string& text)
{
    CFIndex length = 0;
    uint32_t cp = 0;
    for (size_t i = 0; i < text.size();)
    {
        if (!decodeUTF8(text, i, cp))
            break;
        length += cp >= 0x10000 ? 2 : 1;
    }
    return length;
}

bool isASCIIText(const std::string& text)
{
    for (const char c : text)
    {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

int macRomanByteFor(uint32_t cp)
{
    if (cp < 0x80)
        return static_cast<int>(cp);
    for (int b = 0; b < 128; ++b)
    {
        if (kMacRomanHigh[b] == cp)
            return 0x80 + b;
    }
    return -1;
}

// Text in the encoding, or false when a character has no form in it.
bool encode(const std::string& utf8, CFStringEncoding encoding, std::string& out)
{
    switch (encoding)
    {
    case kCFStringEncodingUTF8:
        out = utf8;
        return true;
    case kCFStringEncodingASCII:
        if (!isASCIIText(utf8))
            return false;
        out = utf8;
        return true;
    case kCFStringEncodingMacRoman:
    {
        out.clear();
        uint32_t cp = 0;
        for (size_t i = 0; i < utf8.size();)
        {
            if (!decodeUTF8(utf8, i, cp))
                return false;
            const int b = macRomanByteFor(cp);
            if (b < 0)
                return false;
            out += static_cast<char>(b);
        }
        return true;
    }
    default:
        return false;
    }
}

// UTF-8 of bytes in the encoding, or false when they are not valid in it.
bool decode(const uint8_t* bytes, size_t length, CFStringEncoding encoding, std::string& out)
{
    out.clear();
    switch (encoding)
    {
    case kCFStringEncodingUTF8:
        out.assign(reinterpret_cast<const char*>(bytes), length);
        return validUTF8(out);
    case kCFStringEncodingASCII:
        out.assign(reinterpret_cast<const char*>(bytes), length);
        return isASCIIText(out);
    case kCFStringEncodingMacRoman:
        for (size_t i = 0; i < length; ++i)
        {
            const uint8_t b = bytes[i];
            appendUTF8(out, b < 0x80 ? b : kMacRomanHigh[b - 0x80]);
        }
        return true;
    default:
        return false;
    }
}

const FxCFString* stringOf(CFStringRef ref)
{
    return fxCast<const FxCFString>(ref, kFxTypeString);
}

} // namespace

FxCFString::FxCFString(std::string text, bool constant)
    : FxCFObject(kFxTypeString, constant), utf8(std::move(text)), utf16Length(utf16LengthOf(utf8)),
      isASCII(isASCIIText(utf8))
{
}

bool FxCFString::equals(const FxCFObject& other) const
{
    return utf8 == static_cast<const FxCFString&>(other).utf8;
}

CFHashCode FxCFString::hash() const
{
    return fxHashBytes(utf8.data(), utf8.size());
}

CFStringRef fxStringCreate(std::string utf8)
{
    if (!validUTF8(utf8))
        return nullptr;
    return new FxCFString(std::move(utf8));
}

const std::string* fxStringUTF8(CFStringRef ref)
{
    const FxCFString* string = stringOf(ref);
    return string != nullptr ? &string->utf8 : nullptr;
}

CFTypeID CFStringGetTypeID(void)
{
    return kFxTypeString;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cString,
                                      CFStringEncoding encoding)
{
    if (cString == nullptr)
        return nullptr;
    return CFStringCreateWithBytes(alloc, reinterpret_cast<const uint8_t*>(cString),
                                   static_cast<CFIndex>(std::strlen(cString)), encoding, false);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const uint8_t* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation)
{
    if (!fxAllocatorAccepted(alloc) || numBytes < 0 || (bytes == nullptr && numBytes > 0))
        return nullptr;
    size_t length = static_cast<size_t>(numBytes);
    // An external UTF-8 representation may start with a byte-order mark.
    if (isExternalRepresentation && encoding == kCFStringEncodingUTF8 && length >= 3 &&
        bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
    {
        bytes += 3;
        length -= 3;
    }
    std::string utf8;
    if (!decode(bytes, length, encoding, utf8))
        return nullptr;
    return new FxCFString(std::move(utf8));
}

CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef string)
{
    if (!fxAllocatorAccepted(alloc) || stringOf(string) == nullptr)
        return nullptr;
    // Strings are immutable: a copy is the same object.
    return static_cast<CFStringRef>(CFRetain(string));
}

Boolean CFStringGetCString(CFStringRef ref, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding)
{
    if (buffer == nullptr || bufferSize <= 0)
        return false;
    buffer[0] = '\0';
    const FxCFString* string = stringOf(ref);
    if (string == nullptr)
        return false;
    std::string encoded;
    if (!encode(string->utf8, encoding, encoded))
        return false;
    if (encoded.size() + 1 > static_cast<size_t>(bufferSize))
        return false;
    std::memcpy(buffer, encoded.c_str(), encoded.size() + 1);
    return true;
}

const char* CFStringGetCStringPtr(CFStringRef ref, CFStringEncoding encoding)
{
    const FxCFString* string = stringOf(ref);
    if (string == nullptr)
        return nullptr;
    if (encoding == kCFStringEncodingUTF8)
        return string->utf8.c_str();
    // ASCII text reads the same in the two single-byte encodings.
    const bool singleByte =
        encoding == kCFStringEncodingASCII || encoding == kCFStringEncodingMacRoman;
    return singleByte && string->isASCII ? string->utf8.c_str() : nullptr;
}

CFIndex CFStringGetLength(CFStringRef ref)
{
    const FxCFString* string = stringOf(ref);
    return string != nullptr ? string->utf16Length : 0;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding)
{
    if (length < 0)
        return 0;
    // A UTF-16 unit needs at most three UTF-8 bytes (a surrogate pair, two
    // units, needs four).
    return encoding == kCFStringEncodingUTF8 ? length * 3 : length;
}

CFComparisonResult CFStringCompare(CFStringRef a, CFStringRef b, CFStringCompareFlags options)
{
    const FxCFString* first = stringOf(a);
    const FxCFString* second = stringOf(b);
    const std::string empty;
    const std::string& x = first != nullptr ? first->utf8 : empty;
    const std::string& y = second != nullptr ? second->utf8 : empty;
    const bool fold = (options & kCFCompareCaseInsensitive) != 0;
    const size_t n = std::min(x.size(), y.size());
    // Byte order of UTF-8 is code point order.
    for (size_t i = 0; i < n; ++i)
    {
        unsigned char cx = static_cast<unsigned char>(x[i]);
        unsigned char cy = static_cast<unsigned char>(y[i]);
        if (fold)
        {
            if (cx >= 'A' && cx <= 'Z')
                cx = static_cast<unsigned char>(cx + ('a' - 'A'));
            if (cy >= 'A' && cy <= 'Z')
                cy = static_cast<unsigned char>(cy + ('a' - 'A'));
        }
        if (cx != cy)
            return cx < cy ? kCFCompareLessThan : kCFCompareGreaterThan;
    }
    if (x.size() == y.size())
        return kCFCompareEqualTo;
    return x.size() < y.size() ? kCFCompareLessThan : kCFCompareGreaterThan;
}

CFStringRef FxCFStringMakeConstant(const char* utf8)
{
    if (utf8 == nullptr)
        return nullptr;
    // Held through a pointer that is never destroyed, so the strings outlive
    // every static destructor that may still use them.
    static auto* table = new std::unordered_map<std::string, const FxCFString*>();
    static std::mutex lock;
    const std::lock_guard<std::mutex> guard(lock);
    const auto found = table->find(utf8);
    if (found != table->end())
        return found->second;
    std::string text(utf8);
    // Source literals are UTF-8; a malformed one is kept as Mac Roman bytes
    // rather than lost.
    if (!validUTF8(text))
        decode(reinterpret_cast<const uint8_t*>(utf8), text.size(), kCFStringEncodingMacRoman,
               text);
    const auto* string = new FxCFString(std::move(text), true);
    table->emplace(utf8, string);
    return string;
}
