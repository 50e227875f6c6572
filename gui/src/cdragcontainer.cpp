// The items of a drop, as views see them.
#include "fxgui/cframe.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "file:///a%20b" (or "file://localhost/a%20b") to "/a b"; empty when the
// line is not a local file address.
std::string filePathOfUri(const std::string& uri)
{
    static const char prefix[] = "file://";
    if (uri.compare(0, sizeof prefix - 1, prefix) != 0)
        return {};
    std::string rest = uri.substr(sizeof prefix - 1);
    const size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return {};
    const std::string host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost")
        return {};
    std::string path;
    for (size_t i = slash; i < rest.size(); ++i)
    {
        if (rest[i] == '%' && i + 2 < rest.size() && hexValue(rest[i + 1]) >= 0 &&
            hexValue(rest[i + 2]) >= 0)
        {
            path += static_cast<char>(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2]));
            i += 2;
            continue;
        }
        path += rest[i];
    }
    return path;
}

bool isTextType(const char* mimeType)
{
    return std::strncmp(mimeType, "text/", 5) == 0 || std::strcmp(mimeType, "UTF8_STRING") == 0 ||
           std::strcmp(mimeType, "STRING") == 0;
}

} // namespace

CDragContainer::CDragContainer(const char* mimeType, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    if (!mimeType || (!bytes && size > 0))
        return;
    if (std::strcmp(mimeType, "text/uri-list") == 0)
    {
        const std::string list(bytes, size);
        size_t start = 0;
        while (start < list.size())
        {
            size_t end = list.find('\n', start);
            if (end == std::string::npos)
                end = list.size();
            std::string line = list.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            start = end + 1;
            if (line.empty() || line[0] == '#')
                continue;
            const std::string path = filePathOfUri(line);
            if (path.empty())
                items.push_back(Item{kDragText, std::vector<char>(line.begin(), line.end())});
            else
                items.push_back(Item{kDragFilePath, std::vector<char>(path.begin(), path.end())});
        }
    }
    else
    {
        items.push_back(Item{isTextType(mimeType) ? kDragText : kDragOther,
                             std::vector<char>(bytes, bytes + size)});
    }
    nbItems = static_cast<int32_t>(items.size());
}

CDragContainer::~CDragContainer()
{
    std::free(lastBuffer);
}

int32_t CDragContainer::getType(int32_t index) const
{
    if (index < 0 || index >= nbItems)
        return kDragOther;
    return items[static_cast<size_t>(index)].type;
}

void* CDragContainer::first(int32_t& size, int32_t& type)
{
    iterator = 0;
    return next(size, type);
}

void* CDragContainer::next(int32_t& size, int32_t& type)
{
    std::free(lastBuffer);
    lastBuffer = nullptr;
    size = 0;
    type = kDragOther;
    if (iterator < 0 || iterator >= nbItems)
        return nullptr;
    const Item& item = items[static_cast<size_t>(iterator++)];
    // The buffer ends with a NUL so that texts and paths can be used as
    // C strings; `size` counts the bytes before it.
    lastBuffer = static_cast<char*>(std::malloc(item.data.size() + 1));
    if (!lastBuffer)
        return nullptr;
    if (!item.data.empty())
        std::memcpy(lastBuffer, item.data.data(), item.data.size());
    lastBuffer[item.data.size()] = '\0';
    size = static_cast<int32_t>(item.data.size());
    type = item.type;
    return lastBuffer;
}
