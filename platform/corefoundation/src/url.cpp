#include "url.h"

#include <cstring>
#include <unistd.h>

namespace
{

// Collapses repeated slashes and drops a trailing one; the second result
// tells whether there was a trailing slash.
std::string normalise(const std::string& raw, bool& trailingSlash)
{
    std::string out;
    out.reserve(raw.size());
    for (const char c : raw)
    {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out += c;
    }
    trailingSlash = out.size() > 1 && out.back() == '/';
    if (trailingSlash)
        out.pop_back();
    if (out == "/")
        trailingSlash = true;
    return out;
}

std::string workingDirectory()
{
    std::string buffer(4096, '\0');
    if (getcwd(buffer.data(), buffer.size()) == nullptr)
        return "/";
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

const FxCFURL* urlOf(CFURLRef ref)
{
    return fxCast<const FxCFURL>(ref, kFxTypeURL);
}

size_t lastSlash(const std::string& path)
{
    return path.rfind('/');
}

// The folder holding the last component of a normalised path.
std::string parentOf(const std::string& path)
{
    if (path == "/")
        return path;
    const size_t slash = lastSlash(path);
    const bool relativeName = slash == std::string::npos;
    const std::string last = relativeName ? path : path.substr(slash + 1);
    std::string parent;
    if (last == "..")
    {
        // Removing ".." means going one level further up.
        parent = path;
        parent.append("/..");
    }
    else if (last == ".")
    {
        parent = relativeName ? std::string() : path.substr(0, slash);
        parent.append(relativeName ? ".." : "/..");
    }
    else if (relativeName)
    {
        parent = ".";
    }
    else
    {
        parent = slash == 0 ? "/" : path.substr(0, slash);
    }
    return parent;
}

} // namespace

bool FxCFURL::equals(const FxCFObject& other) const
{
    const auto& u = static_cast<const FxCFURL&>(other);
    return path == u.path && directory == u.directory && base == u.base;
}

std::string FxCFURL::absolutePath() const
{
    if (base.empty())
        return path;
    if (path == ".")
        return base;
    return base == "/" ? "/" + path : base + "/" + path;
}

FxCFURL* fxURLCreate(const std::string& raw, bool isDirectory)
{
    if (raw.empty())
        return nullptr;
    bool trailingSlash = false;
    std::string path = normalise(raw, trailingSlash);
    const bool relative = path[0] != '/';
    return new FxCFURL(std::move(path), isDirectory || trailingSlash,
                       relative ? workingDirectory() : std::string());
}

CFTypeID CFURLGetTypeID(void)
{
    return kFxTypeURL;
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef alloc, const uint8_t* buffer,
                                                 CFIndex bufLen, Boolean isDirectory)
{
    if (!fxAllocatorAccepted(alloc) || buffer == nullptr || bufLen <= 0)
        return nullptr;
    std::string path(reinterpret_cast<const char*>(buffer), static_cast<size_t>(bufLen));
    // A path ends at its first zero byte.
    path.resize(std::strlen(path.c_str()));
    return fxURLCreate(path, isDirectory);
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef alloc, CFStringRef filePath,
                                       CFURLPathStyle pathStyle, Boolean isDirectory)
{
    const std::string* text = fxStringUTF8(filePath);
    if (!fxAllocatorAccepted(alloc) || text == nullptr || pathStyle != kCFURLPOSIXPathStyle)
        return nullptr;
    return fxURLCreate(text->substr(0, std::strlen(text->c_str())), isDirectory);
}

CFURLRef CFURLCreateCopyDeletingLastPathComponent(CFAllocatorRef alloc, CFURLRef ref)
{
    const FxCFURL* url = urlOf(ref);
    if (!fxAllocatorAccepted(alloc) || url == nullptr)
        return nullptr;
    return new FxCFURL(parentOf(url->path), true, url->base);
}

CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef alloc, CFURLRef ref,
                                               CFStringRef pathComponent, Boolean isDirectory)
{
    const FxCFURL* url = urlOf(ref);
    const std::string* component = fxStringUTF8(pathComponent);
    if (!fxAllocatorAccepted(alloc) || url == nullptr || component == nullptr)
        return nullptr;
    bool trailingSlash = false;
    std::string tail = normalise(*component, trailingSlash);
    while (!tail.empty() && tail.front() == '/')
        tail.erase(0, 1);
    if (tail.empty())
        return new FxCFURL(url->path, url->directory || isDirectory, url->base);
    std::string path = url->path == "/" ? "/" + tail : url->path + "/" + tail;
    return new FxCFURL(std::move(path), isDirectory || trailingSlash, url->base);
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef ref, Boolean resolveAgainstBase, uint8_t* buffer,
                                         CFIndex maxBufLen)
{
    const FxCFURL* url = urlOf(ref);
    if (url == nullptr || buffer == nullptr || maxBufLen <= 0)
        return false;
    const std::string path = resolveAgainstBase ? url->absolutePath() : url->path;
    if (path.size() + 1 > static_cast<size_t>(maxBufLen))
        return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef ref, CFURLPathStyle pathStyle)
{
    const FxCFURL* url = urlOf(ref);
    if (url == nullptr || pathStyle != kCFURLPOSIXPathStyle)
        return nullptr;
    return fxStringCreate(url->path);
}

CFStringRef CFURLCopyLastPathComponent(CFURLRef ref)
{
    const FxCFURL* url = urlOf(ref);
    if (url == nullptr)
        return nullptr;
    if (url->path == "/")
        return fxStringCreate("/");
    const size_t slash = lastSlash(url->path);
    return fxStringCreate(slash == std::string::npos ? url->path : url->path.substr(slash + 1));
}

Boolean CFURLHasDirectoryPath(CFURLRef ref)
{
    const FxCFURL* url = urlOf(ref);
    return url != nullptr && url->directory;
}
