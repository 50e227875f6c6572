#include "collection.h"

#include <plist/plist.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Files larger than this are not property lists we write or expect.
constexpr size_t kMaxFileSize = 64u << 20;
// Upper bound on the number of values a binary list may expand to when
// shared references are copied out.
constexpr uint64_t kMaxExpandedObjects = 1u << 20;

struct PlistDeleter
{
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// ---- Structure checks made before libplist sees the bytes ----------------

// Nesting depth of the XML form: counts open <dict>/<array> elements.
bool xmlDepthWithin(const char* text, size_t length, int maxDepth)
{
    int depth = 0;
    for (size_t i = 0; i < length; ++i)
    {
        if (text[i] != '<')
            continue;
        const char* rest = text + i + 1;
        const size_t left = length - i - 1;
        const auto startsWith = [&](const char* word)
        {
            const size_t n = std::strlen(word);
            return left >= n && std::memcmp(rest, word, n) == 0;
        };
        if (startsWith("!--"))
        {
            const char* end = static_cast<const char*>(memmem(rest, left, "-->", 3));
            if (end == nullptr)
                return true; // unterminated: libplist refuses it
            i = static_cast<size_t>(end - text) + 2;
            continue;
        }
        const bool open = startsWith("dict") || startsWith("array");
        const bool close = startsWith("/dict") || startsWith("/array");
        if (!open && !close)
            continue;
        const char* gt = static_cast<const char*>(std::memchr(rest, '>', left));
        if (gt == nullptr)
            return true;
        if (open && gt[-1] != '/' && ++depth > maxDepth)
            return false;
        if (close)
            --depth;
        i = static_cast<size_t>(gt - text);
    }
    return true;
}

uint64_t readBigEndian(const uint8_t* p, size_t n)
{
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Checks a binary list's object graph: every offset and reference in range,
// no cycles, nesting within maxDepth, and a bounded size once shared
// references are expanded into copies. Answers a reason when refused.
const char* checkBinaryGraph(const uint8_t* data, size_t length, int maxDepth)
{
    if (length < 8 + 32)
        return "truncated binary property list";
    const uint8_t* trailer = data + length - 32;
    const size_t offsetSize = trailer[6];
    const size_t refSize = trailer[7];
    const uint64_t count = readBigEndian(trailer + 8, 8);
    const uint64_t top = readBigEndian(trailer + 16, 8);
    const uint64_t tableOffset = readBigEndian(trailer + 24, 8);
    const uint64_t body = length - 32;
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || count == 0 ||
        top >= count || tableOffset < 8 || tableOffset > body ||
        count > (body - tableOffset) / offsetSize)
        return "binary property list with a damaged trailer";

    const auto offsetOf = [&](uint64_t object)
    { return readBigEndian(data + tableOffset + object * offsetSize, offsetSize); };
    // The element count of the object at `at` and where its contents start.
    const auto countOf = [&](uint64_t at, uint64_t& items, uint64_t& contents) -> bool
    {
        items = data[at] & 0x0F;
        contents = at + 1;
        if (items != 0x0F)
            return true;
        if (contents >= tableOffset || (data[contents] >> 4) != 0x1)
            return false;
        const size_t bytes = size_t{1} << (data[contents] & 0x0F);
        if (bytes > 8 || contents + 1 + bytes > tableOffset)
            return false;
        items = readBigEndian(data + contents + 1, bytes);
        contents += 1 + bytes;
        return true;
    };
    // Dictionary keys must be strings without a zero character (ASCII,
    // UTF-16 or UTF-8); libplist asserts on anything else.
    const auto validKey = [&](uint64_t key) -> bool
    {
        if (key >= count)
            return false;
        const uint64_t at = offsetOf(key);
        if (at < 8 || at >= tableOffset)
            return false;
        const uint8_t kind = data[at] >> 4;
        uint64_t chars = 0;
        uint64_t contents = 0;
        if ((kind != 0x5 && kind != 0x6 && kind != 0x7) || !countOf(at, chars, contents))
            return false;
        const uint64_t width = kind == 0x6 ? 2 : 1;
        if (chars > (tableOffset - contents) / width)
            return false;
        for (uint64_t c = 0; c < chars; ++c)
        {
            const uint8_t* unit = data + contents + c * width;
            if (unit[0] == 0 && (width == 1 || unit[1] == 0))
                return false;
        }
        return true;
    };
    // Children of an object: the references of an array, set or dictionary.
    const auto children = [&](uint64_t object, uint64_t& first, uint64_t& n) -> bool
    {
        const uint64_t at = offsetOf(object);
        n = 0;
        if (at < 8 || at >= tableOffset)
            return false;
        const uint8_t kind = data[at] >> 4;
        if (kind != 0xA && kind != 0xC && kind != 0xD)
            return true;
        uint64_t items = 0;
        uint64_t pos = 0;
        if (!countOf(at, items, pos))
            return false;
        const uint64_t refs = kind == 0xD ? items * 2 : items;
        if (items > tableOffset || refs > (tableOffset - pos) / refSize)
            return false;
        for (uint64_t k = 0; kind == 0xD && k < items; ++k)
        {
            if (!validKey(readBigEndian(data + pos + k * refSize, refSize)))
                return false;
        }
        first = pos;
        n = refs;
        return true;
    };

    // Iterative post-order walk; each object is finished once.
    enum : uint8_t
    {
        kUnseen,
        kOpen,
        kDone
    };
    std::vector<uint8_t> state(count, kUnseen);
    std::vector<int> depth(count, 0);
    std::vector<uint64_t> expanded(count, 0);
    struct Frame
    {
        uint64_t object, first, n, next;
    };
    std::vector<Frame> stack;
    const auto push = [&](uint64_t object) -> const char*
    {
        Frame f{object, 0, 0, 0};
        if (!children(object, f.first, f.n))
            return "binary property list with an object out of range";
        state[object] = kOpen;
        stack.push_back(f);
        return nullptr;
    };
    if (const char* why = push(top))
        return why;
    while (!stack.empty())
    {
        Frame& f = stack.back();
        if (f.next < f.n)
        {
            const uint64_t child = readBigEndian(data + f.first + f.next * refSize, refSize);
            ++f.next;
            if (child >= count)
                return "binary property list with a reference out of range";
            if (state[child] == kOpen)
                return "binary property list with a cycle";
            if (state[child] == kUnseen)
            {
                if (stack.size() >= static_cast<size_t>(maxDepth))
                    return "property list nested too deeply";
                if (const char* why = push(child))
                    return why;
            }
            continue;
        }
        // All children done: fold their depth and expanded size.
        int deepest = 0;
        uint64_t total = 1;
        for (uint64_t k = 0; k < f.n; ++k)
        {
            const uint64_t child = readBigEndian(data + f.first + k * refSize, refSize);
            deepest = std::max(deepest, depth[child]);
            total += expanded[child];
            if (total > kMaxExpandedObjects)
                return "property list too large";
        }
        depth[f.object] = deepest + 1;
        expanded[f.object] = total;
        if (depth[f.object] > maxDepth)
            return "property list nested too deeply";
        state[f.object] = kDone;
        stack.pop_back();
    }
    return nullptr;
}

// ---- libplist nodes to CF objects ----------------------------------------

struct Reader
{
    CFOptionFlags options;
    std::string failure;

    CFTypeRef fail(const std::string& why)
    {
        if (failure.empty())
            failure = why;
        return nullptr;
    }

    CFTypeRef convert(plist_t node, int depth)
    {
        if (depth > kFxPropertyListMaxDepth)
            return fail("property list nested too deeply");
        switch (plist_get_node_type(node))
        {
        case PLIST_DICT:
            return convertDictionary(node, depth);
        case PLIST_ARRAY:
            return convertArray(node, depth);
        case PLIST_STRING:
        {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            CFStringRef s = fxStringCreate(std::string(text != nullptr ? text : "", length));
            return s != nullptr ? s : fail("string that is not valid text");
        }
        case PLIST_BOOLEAN:
        {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return value ? kCFBooleanTrue : kCFBooleanFalse;
        }
        case PLIST_UINT:
            return convertInteger(node);
        case PLIST_REAL:
        {
            double value = 0.0;
            plist_get_real_val(node, &value);
            return CFNumberCreate(nullptr, kCFNumberFloat64Type, &value);
        }
        case PLIST_DATA:
        {
            uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(node, &length);
            const auto* p = reinterpret_cast<const uint8_t*>(bytes);
            if (options == kCFPropertyListMutableContainersAndLeaves)
            {
                CFMutableDataRef data = CFDataCreateMutable(nullptr, 0);
                CFDataAppendBytes(data, p, static_cast<CFIndex>(length));
                return data;
            }
            return CFDataCreate(nullptr, p, static_cast<CFIndex>(length));
        }
        default:
            return fail("value of a kind this system does not keep (date or UID)");
        }
    }

    CFTypeRef convertInteger(plist_t node)
    {
        uint64_t raw = 0;
        plist_get_uint_val(node, &raw);
        // libplist keeps integers as 64-bit patterns. Values above the signed
        // range are either negative numbers or unsigned ones beyond it; its
        // XML writer tells them apart.
        if (raw > static_cast<uint64_t>(INT64_MAX) && isUnsignedBeyondInt64(node))
        {
            const double value = static_cast<double>(raw);
            return CFNumberCreate(nullptr, kCFNumberFloat64Type, &value);
        }
        int64_t value = 0;
        std::memcpy(&value, &raw, sizeof value);
        return CFNumberCreate(nullptr, kCFNumberSInt64Type, &value);
    }

    static bool isUnsignedBeyondInt64(plist_t node)
    {
        PlistPtr copy(plist_copy(node));
        char* xml = nullptr;
        uint32_t length = 0;
        plist_to_xml(copy.get(), &xml, &length);
        if (xml == nullptr)
            return false;
        const bool negative = std::strstr(xml, "<integer>-") != nullptr;
        plist_to_xml_free(xml);
        return !negative;
    }

    CFTypeRef convertArray(plist_t node, int depth)
    {
        const bool isMutable = options != kCFPropertyListImmutable;
        auto* array = new FxCFArray(&kCFTypeArrayCallBacks, isMutable);
        const uint32_t n = plist_array_get_size(node);
        array->items.reserve(n);
        for (uint32_t i = 0; i < n; ++i)
        {
            CFTypeRef value = convert(plist_array_get_item(node, i), depth + 1);
            if (value == nullptr)
            {
                CFRelease(array);
                return nullptr;
            }
            // The array takes over the reference made by convert.
            array->items.push_back(value);
        }
        return array;
    }

    CFTypeRef convertDictionary(plist_t node, int depth)
    {
        const bool isMutable = options != kCFPropertyListImmutable;
        auto* dict = new FxCFDictionary(&kCFTypeDictionaryKeyCallBacks,
                                        &kCFTypeDictionaryValueCallBacks, isMutable);
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        bool ok = iter != nullptr || plist_dict_get_size(node) == 0;
        while (ok && iter != nullptr)
        {
            char* keyText = nullptr;
            plist_t child = nullptr;
            plist_dict_next_item(node, iter, &keyText, &child);
            if (child == nullptr)
            {
                std::free(keyText);
                break;
            }
            CFStringRef key = fxStringCreate(keyText != nullptr ? keyText : "");
            std::free(keyText);
            CFTypeRef value =
                key != nullptr ? convert(child, depth + 1) : fail("key that is not valid text");
            if (value != nullptr)
                dict->set(key, value);
            ok = value != nullptr;
            CFRelease(key);
            CFRelease(value);
        }
        std::free(iter);
        if (!ok)
        {
            CFRelease(dict);
            return nullptr;
        }
        return dict;
    }
};

// ---- CF objects to libplist nodes ----------------------------------------

struct Writer
{
    std::string failure;

    plist_t fail(const std::string& why)
    {
        if (failure.empty())
            failure = why;
        return nullptr;
    }

    plist_t convert(CFTypeRef value, int depth)
    {
        if (depth > kFxPropertyListMaxDepth)
            return fail("property list nested too deeply");
        const CFTypeID type = CFGetTypeID(value);
        if (type == CFStringGetTypeID())
        {
            // libplist takes C strings: a zero inside would cut the text short.
            const std::string& text = *fxStringUTF8(static_cast<CFStringRef>(value));
            if (text.find('\0') != std::string::npos)
                return fail("string with a zero character");
            return plist_new_string(text.c_str());
        }
        if (type == CFBooleanGetTypeID())
            return plist_new_bool(CFBooleanGetValue(static_cast<CFBooleanRef>(value)));
        if (type == CFNumberGetTypeID())
            return convertNumber(static_cast<CFNumberRef>(value));
        if (type == CFDataGetTypeID())
        {
            const auto data = static_cast<CFDataRef>(value);
            return plist_new_data(reinterpret_cast<const char*>(CFDataGetBytePtr(data)),
                                  static_cast<uint64_t>(CFDataGetLength(data)));
        }
        if (type == CFArrayGetTypeID())
            return convertArray(static_cast<CFArrayRef>(value), depth);
        if (type == CFDictionaryGetTypeID())
            return convertDictionary(static_cast<CFDictionaryRef>(value), depth);
        return fail("value that has no property-list form");
    }

    static plist_t convertNumber(CFNumberRef number)
    {
        if (CFNumberIsFloatType(number))
        {
            double value = 0.0;
            CFNumberGetValue(number, kCFNumberFloat64Type, &value);
            return plist_new_real(value);
        }
        int64_t value = 0;
        CFNumberGetValue(number, kCFNumberSInt64Type, &value);
        return plist_new_uint(static_cast<uint64_t>(value));
    }

    plist_t convertArray(CFArrayRef array, int depth)
    {
        PlistPtr node(plist_new_array());
        const CFIndex n = CFArrayGetCount(array);
        for (CFIndex i = 0; i < n; ++i)
        {
            plist_t item = convert(CFArrayGetValueAtIndex(array, i), depth + 1);
            if (item == nullptr)
                return nullptr;
            plist_array_append_item(node.get(), item);
        }
        return node.release();
    }

    plist_t convertDictionary(CFDictionaryRef dict, int depth)
    {
        PlistPtr node(plist_new_dict());
        const CFIndex n = CFDictionaryGetCount(dict);
        std::vector<const void*> keys(static_cast<size_t>(n));
        std::vector<const void*> values(static_cast<size_t>(n));
        CFDictionaryGetKeysAndValues(dict, keys.data(), values.data());
        for (CFIndex i = 0; i < n; ++i)
        {
            const std::string* key = fxStringUTF8(static_cast<CFStringRef>(keys[i]));
            if (key == nullptr)
                return fail("dictionary key that is not a string");
            if (key->find('\0') != std::string::npos)
                return fail("dictionary key with a zero character");
            plist_t item = convert(values[i], depth + 1);
            if (item == nullptr)
                return nullptr;
            plist_dict_set_item(node.get(), key->c_str(), item);
        }
        return node.release();
    }
};

bool readWholeFile(const char* path, std::string& out, std::string& why)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        why = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        close(fd);
        why = std::string(path) + " is not a regular file";
        return false;
    }
    if (static_cast<uint64_t>(info.st_size) > kMaxFileSize)
    {
        close(fd);
        why = std::string(path) + " is too large for a property list";
        return false;
    }
    out.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < out.size())
    {
        const ssize_t n = read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            close(fd);
            why = std::string("cannot read ") + path;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
    return true;
}

bool writeAll(int fd, const uint8_t* bytes, size_t length)
{
    while (length > 0)
    {
        const ssize_t n = write(fd, bytes, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef alloc, CFDataRef data,
                                               CFOptionFlags options, CFPropertyListFormat* format,
                                               CFErrorRef* error)
{
    if (error != nullptr)
        *error = nullptr;
    const CFIndex length = CFDataGetLength(data);
    if (!fxAllocatorAccepted(alloc) || CFGetTypeID(data) != CFDataGetTypeID())
    {
        fxSetError(error, kFxPropertyListReadCorruptError, "no data to read");
        return nullptr;
    }
    if (length == 0 || static_cast<uint64_t>(length) > kMaxFileSize)
    {
        fxSetError(error, kFxPropertyListReadCorruptError,
                   length == 0 ? "empty property list" : "property list too large");
        return nullptr;
    }
    const auto* bytes = reinterpret_cast<const char*>(CFDataGetBytePtr(data));
    const auto size = static_cast<uint32_t>(length);
    const bool binary = plist_is_binary(bytes, size) != 0;
    const char* refusal = nullptr;
    if (binary)
        refusal = checkBinaryGraph(CFDataGetBytePtr(data), size, kFxPropertyListMaxDepth);
    else if (!xmlDepthWithin(bytes, size, kFxPropertyListMaxDepth))
        refusal = "property list nested too deeply";
    if (refusal != nullptr)
    {
        fxSetError(error, kFxPropertyListReadCorruptError, refusal);
        return nullptr;
    }

    plist_t rawRoot = nullptr;
    if (binary)
        plist_from_bin(bytes, size, &rawRoot);
    else
        plist_from_xml(bytes, size, &rawRoot);
    PlistPtr root(rawRoot);
    if (root == nullptr)
    {
        fxSetError(error, kFxPropertyListReadCorruptError,
                   binary ? "malformed binary property list" : "malformed XML property list");
        return nullptr;
    }
    Reader reader{options, {}};
    CFTypeRef result = reader.convert(root.get(), 1);
    if (result == nullptr)
    {
        fxSetError(error, kFxPropertyListReadCorruptError, reader.failure);
        return nullptr;
    }
    if (format != nullptr)
        *format = binary ? kCFPropertyListBinaryFormat_v1_0 : kCFPropertyListXMLFormat_v1_0;
    return result;
}

CFDataRef CFPropertyListCreateData(CFAllocatorRef alloc, CFPropertyListRef propertyList,
                                   CFPropertyListFormat format, CFOptionFlags, CFErrorRef* error)
{
    if (error != nullptr)
        *error = nullptr;
    if (!fxAllocatorAccepted(alloc) ||
        (format != kCFPropertyListXMLFormat_v1_0 && format != kCFPropertyListBinaryFormat_v1_0))
    {
        fxSetError(error, kFxPropertyListWriteInvalidError, "unsupported property list format");
        return nullptr;
    }
    Writer writer;
    PlistPtr root(writer.convert(propertyList, 1));
    if (root == nullptr)
    {
        fxSetError(error, kFxPropertyListWriteInvalidError, writer.failure);
        return nullptr;
    }
    char* bytes = nullptr;
    uint32_t length = 0;
    if (format == kCFPropertyListXMLFormat_v1_0)
        plist_to_xml(root.get(), &bytes, &length);
    else
        plist_to_bin(root.get(), &bytes, &length);
    if (bytes == nullptr)
    {
        fxSetError(error, kFxPropertyListWriteInvalidError, "property list could not be encoded");
        return nullptr;
    }
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const uint8_t*>(bytes), length);
    if (format == kCFPropertyListXMLFormat_v1_0)
        plist_to_xml_free(bytes);
    else
        plist_to_bin_free(bytes);
    return data;
}

Boolean CFPropertyListIsValid(CFPropertyListRef plist, CFPropertyListFormat format)
{
    if (format != kCFPropertyListXMLFormat_v1_0 && format != kCFPropertyListBinaryFormat_v1_0)
        return false;
    Writer writer;
    PlistPtr root(writer.convert(plist, 1));
    return root != nullptr;
}

CFPropertyListRef FxPropertyListReadFile(const char* path, CFErrorRef* error)
{
    if (error != nullptr)
        *error = nullptr;
    std::string contents;
    std::string why;
    if (path == nullptr || !readWholeFile(path, contents, why))
    {
        fxSetError(error, kFxPropertyListReadStreamError, path == nullptr ? "no path" : why);
        return nullptr;
    }
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const uint8_t*>(contents.data()),
                                  static_cast<CFIndex>(contents.size()));
    CFErrorRef readError = nullptr;
    CFPropertyListRef plist =
        CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, nullptr, &readError);
    CFRelease(data);
    if (plist == nullptr)
    {
        const auto* e = fxCast<const FxCFError>(readError, kFxTypeError);
        fxSetError(error, kFxPropertyListReadCorruptError,
                   std::string(path) + ": " + (e != nullptr ? e->description : "unreadable"));
        CFRelease(readError);
    }
    return plist;
}

CFDictionaryRef FxPropertyListReadDictionaryFile(const char* path, CFErrorRef* error)
{
    CFPropertyListRef plist = FxPropertyListReadFile(path, error);
    if (plist == nullptr || CFGetTypeID(plist) == CFDictionaryGetTypeID())
        return static_cast<CFDictionaryRef>(plist);
    CFRelease(plist);
    fxSetError(error, kFxPropertyListNotDictionaryError,
               std::string(path) + ": the property list is not a dictionary");
    return nullptr;
}

Boolean FxPropertyListWriteFile(CFPropertyListRef plist, const char* path,
                                CFPropertyListFormat format, CFErrorRef* error)
{
    if (error != nullptr)
        *error = nullptr;
    if (path == nullptr || *path == '\0')
    {
        fxSetError(error, kFxPropertyListWriteStreamError, "no path");
        return false;
    }
    CFDataRef data = CFPropertyListCreateData(nullptr, plist, format, 0, error);
    if (data == nullptr)
        return false;

    std::string temporary = std::string(path) + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
    {
        CFRelease(data);
        fxSetError(error, kFxPropertyListWriteStreamError,
                   std::string("cannot create a file beside ") + path + ": " +
                       std::strerror(errno));
        return false;
    }
    // Keep the permissions of the file being replaced; a new file gets the
    // usual rw-r--r--.
    struct stat old;
    fchmod(fd, stat(path, &old) == 0 ? (old.st_mode & 07777) : 0644);
    bool ok = writeAll(fd, CFDataGetBytePtr(data), static_cast<size_t>(CFDataGetLength(data)));
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    CFRelease(data);
    if (ok && rename(temporary.c_str(), path) == 0)
        return true;
    const int saved = errno;
    unlink(temporary.c_str());
    fxSetError(error, kFxPropertyListWriteStreamError,
               std::string("cannot write ") + path + ": " + std::strerror(saved));
    return false;
}
