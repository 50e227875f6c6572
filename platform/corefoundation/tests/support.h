// Helpers shared by the CoreFoundation tests.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <filesystem>
#include <memory>
#include <string>

struct CFReleaser
{
    void operator()(const void* object) const { CFRelease(object); }
};
// Owns one reference, released at scope exit.
template <typename T> using CFHolder = std::unique_ptr<std::remove_pointer_t<T>, CFReleaser>;

template <typename T> CFHolder<T> hold(T object)
{
    return CFHolder<T>(object);
}

inline CFStringRef makeString(const char* utf8)
{
    return CFStringCreateWithCString(nullptr, utf8, kCFStringEncodingUTF8);
}

inline std::string utf8Of(CFStringRef string)
{
    char buffer[1024];
    if (string == nullptr ||
        !CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8))
        return "<none>";
    return buffer;
}

// A fresh folder under the system's temporary folder, removed at scope exit.
class TemporaryFolder
{
public:
    TemporaryFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "fxcf-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};
