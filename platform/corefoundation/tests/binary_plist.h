// Builds binary property lists by hand, to make damaged and hostile ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BinaryPlistObject
{
    enum Kind
    {
        kArray,
        kDict, // refs hold the keys, then the values
        kInteger,
        kAsciiString
    } kind;
    std::vector<uint64_t> refs;
    int64_t integer = 0;
    std::string text;
};

inline BinaryPlistObject bpArray(std::vector<uint64_t> refs)
{
    return {BinaryPlistObject::kArray, std::move(refs), 0, {}};
}
// keysThenValues: the key references, then the value references.
inline BinaryPlistObject bpDict(std::vector<uint64_t> keysThenValues)
{
    return {BinaryPlistObject::kDict, std::move(keysThenValues), 0, {}};
}
inline BinaryPlistObject bpInteger(int64_t value)
{
    return {BinaryPlistObject::kInteger, {}, value, {}};
}
inline BinaryPlistObject bpString(std::string ascii)
{
    return {BinaryPlistObject::kAsciiString, {}, 0, std::move(ascii)};
}

// Lays the objects out in order with 4-byte offsets and references.
inline std::string buildBinaryPlist(const std::vector<BinaryPlistObject>& objects, uint64_t top = 0)
{
    std::string out = "bplist00";
    const auto put = [&](uint64_t v, int bytes)
    {
        for (int i = bytes - 1; i >= 0; --i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const auto header = [&](int kind, uint64_t count)
    {
        if (count < 15)
        {
            out += static_cast<char>((kind << 4) | static_cast<int>(count));
            return;
        }
        out += static_cast<char>((kind << 4) | 0x0F);
        out += static_cast<char>(0x12); // a 4-byte integer follows
        put(count, 4);
    };
    std::vector<uint64_t> offsets;
    for (const auto& o : objects)
    {
        offsets.push_back(out.size());
        switch (o.kind)
        {
        case BinaryPlistObject::kArray:
            header(0xA, o.refs.size());
            break;
        case BinaryPlistObject::kDict:
            header(0xD, o.refs.size() / 2);
            break;
        case BinaryPlistObject::kInteger:
            out += static_cast<char>(0x13);
            put(static_cast<uint64_t>(o.integer), 8);
            break;
        case BinaryPlistObject::kAsciiString:
            header(0x5, o.text.size());
            out += o.text;
            break;
        }
        for (uint64_t ref : o.refs)
            put(ref, 4);
    }
    const uint64_t table = out.size();
    for (uint64_t offset : offsets)
        put(offset, 4);
    out += std::string(6, '\0');
    out += static_cast<char>(4); // offset size
    out += static_cast<char>(4); // reference size
    put(objects.size(), 8);
    put(top, 8);
    put(table, 8);
    return out;
}
