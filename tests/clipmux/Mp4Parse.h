// Reads back the boxes of a written file for the tests.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace clipmux::test {

using Bytes = std::vector<uint8_t>;

inline Bytes ReadFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

inline uint32_t Be32(const Bytes &b, size_t at)
{
    return uint32_t(b.at(at)) << 24 | uint32_t(b.at(at + 1)) << 16 | uint32_t(b.at(at + 2)) << 8 | b.at(at + 3);
}

struct Box {
    std::string type;
    size_t offset = 0; // of the header
    size_t size = 0;   // header included
    size_t payload() const { return offset + 8; }
};

// The boxes directly inside [begin, end).
inline std::vector<Box> Children(const Bytes &b, size_t begin, size_t end)
{
    std::vector<Box> boxes;
    size_t at = begin;
    while (at + 8 <= end) {
        Box box;
        box.offset = at;
        box.size = Be32(b, at);
        box.type.assign(b.begin() + long(at) + 4, b.begin() + long(at) + 8);
        if (box.size < 8 || at + box.size > end)
            break;
        boxes.push_back(box);
        at += box.size;
    }
    return boxes;
}

// Skip of the header fields before a container's children.
inline size_t ChildrenStart(const std::string &type, const Box &box)
{
    if (type == "stsd")
        return box.payload() + 8; // version, flags, entry count
    if (type == "dref")
        return box.payload() + 8;
    if (type == "avc1" || type == "mp4v" || type == "s263")
        return box.payload() + 78; // visual sample entry
    return box.payload();
}

// Finds a box by its path of types ("moov/trak/mdia"); found = false when missing.
inline Box Find(const Bytes &b, const std::string &path, bool *found = nullptr)
{
    size_t begin = 0, end = b.size();
    Box current;
    std::string parentType;
    size_t start = 0;
    bool ok = true;
    while (start <= path.size()) {
        const size_t slash = path.find('/', start);
        const std::string type = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        bool hit = false;
        for (const Box &child : Children(b, begin, end)) {
            if (child.type == type) {
                current = child;
                hit = true;
                break;
            }
        }
        if (!hit) {
            ok = false;
            break;
        }
        begin = ChildrenStart(type, current);
        end = current.offset + current.size;
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    if (found)
        *found = ok;
    return ok ? current : Box{};
}

// The 32-bit values of a table box after version/flags (and count).
inline std::vector<uint32_t> Table(const Bytes &b, const Box &box, size_t skip)
{
    std::vector<uint32_t> values;
    for (size_t at = box.payload() + skip; at + 4 <= box.offset + box.size; at += 4)
        values.push_back(Be32(b, at));
    return values;
}

inline std::vector<std::string> ChildTypes(const Bytes &b, const std::string &path)
{
    std::vector<std::string> types;
    const Box box = Find(b, path);
    for (const Box &c : Children(b, ChildrenStart(path.substr(path.rfind('/') + 1), box), box.offset + box.size))
        types.push_back(c.type);
    return types;
}

} // namespace clipmux::test
