#include "update/versionblock.h"

#include <cstring>

namespace kw::update {

namespace {

void put16(std::vector<uint8_t> &b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

void append16(std::vector<uint8_t> &b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void append32(std::vector<uint8_t> &b, uint32_t v)
{
    append16(b, uint16_t(v));
    append16(b, uint16_t(v >> 16));
}

void appendText(std::vector<uint8_t> &b, const std::u16string &s)
{
    for (char16_t c : s)
        append16(b, uint16_t(c));
    append16(b, 0);
}

void align4(std::vector<uint8_t> &b)
{
    while (b.size() % 4)
        b.push_back(0);
}

// One node: wLength, wValueLength, wType, key, padding, value, padding, children.
// valueLength counts bytes for binary values and UTF-16 units for text values.
std::vector<uint8_t> node(const std::u16string &key, uint16_t type, const std::vector<uint8_t> &value,
                          uint16_t valueLength, const std::vector<std::vector<uint8_t>> &children)
{
    std::vector<uint8_t> b;
    append16(b, 0);
    append16(b, valueLength);
    append16(b, type);
    appendText(b, key);
    align4(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const auto &c : children) {
        align4(b);
        b.insert(b.end(), c.begin(), c.end());
    }
    put16(b, 0, uint16_t(b.size()));
    return b;
}

uint16_t get16(const std::vector<uint8_t> &b, size_t at)
{
    return uint16_t(b[at] | (b[at + 1] << 8));
}

struct Node {
    size_t start = 0, end = 0;      // the node's bytes
    size_t valueStart = 0, valueEnd = 0;
    size_t childrenStart = 0;
    std::u16string key;
    bool ok = false;
};

// Reads the node at 'at' that must end by 'limit'.
Node readNode(const std::vector<uint8_t> &b, size_t at, size_t limit)
{
    Node n;
    if (at + 6 > limit || limit > b.size())
        return n;
    const uint16_t length = get16(b, at);
    const uint16_t valueLength = get16(b, at + 2);
    const uint16_t type = get16(b, at + 4);
    if (length < 6 || at + length > limit)
        return n;
    n.start = at;
    n.end = at + length;
    size_t p = at + 6;
    for (;;) {
        if (p + 2 > n.end)
            return n;
        const uint16_t c = get16(b, p);
        p += 2;
        if (c == 0)
            break;
        n.key.push_back(char16_t(c));
    }
    p = (p + 3) & ~size_t(3);
    const size_t valueBytes = type == 1 ? size_t(valueLength) * 2 : size_t(valueLength);
    n.valueStart = std::min(p, n.end);
    n.valueEnd = std::min(n.valueStart + valueBytes, n.end);
    n.childrenStart = (n.valueEnd + 3) & ~size_t(3);
    n.ok = true;
    return n;
}

bool sameName(const std::u16string &a, const std::u16string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z')
            x = char16_t(x - 32);
        if (y >= u'a' && y <= u'z')
            y = char16_t(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

std::vector<uint8_t> buildVersionBlock(const VersionBlockSpec &spec)
{
    std::vector<uint8_t> fixed;
    if (spec.withFixedInfo) {
        auto ms = [](const uint16_t v[4]) { return (uint32_t(v[0]) << 16) | v[1]; };
        auto ls = [](const uint16_t v[4]) { return (uint32_t(v[2]) << 16) | v[3]; };
        append32(fixed, 0xFEEF04BD);           // signature
        append32(fixed, 0x00010000);           // structure version
        append32(fixed, ms(spec.fileVersion));
        append32(fixed, ls(spec.fileVersion));
        append32(fixed, ms(spec.productVersion));
        append32(fixed, ls(spec.productVersion));
        append32(fixed, 0x3F);                 // flags mask
        append32(fixed, 0);                    // flags
        append32(fixed, 0x00040004);           // VOS_NT_WINDOWS32
        append32(fixed, 1);                    // VFT_APP
        append32(fixed, 0);                    // subtype
        append32(fixed, 0);                    // date
        append32(fixed, 0);
    }
    std::vector<std::vector<uint8_t>> strings;
    for (const auto &[name, value] : spec.strings) {
        std::vector<uint8_t> v;
        appendText(v, value);
        strings.push_back(node(name, 1, v, uint16_t(value.size() + 1), {}));
    }
    static const char16_t hex[] = u"0123456789ABCDEF";
    std::u16string tableName;
    for (uint16_t part : {spec.language, spec.codePage})
        for (int shift = 12; shift >= 0; shift -= 4)
            tableName.push_back(hex[(part >> shift) & 0xF]);
    std::vector<std::vector<uint8_t>> children;
    children.push_back(node(u"StringFileInfo", 1, {}, 0, {node(tableName, 1, {}, 0, strings)}));
    if (spec.withTranslation) {
        std::vector<uint8_t> t;
        append16(t, spec.language);
        append16(t, spec.codePage);
        children.push_back(node(u"VarFileInfo", 1, {}, 0, {node(u"Translation", 0, t, 4, {})}));
    }
    return node(u"VS_VERSION_INFO", 0, fixed, uint16_t(fixed.size()), children);
}

bool isVersionBlock(const std::vector<uint8_t> &block)
{
    const Node root = readNode(block, 0, block.size());
    return root.ok && sameName(root.key, u"VS_VERSION_INFO");
}

std::optional<std::vector<uint8_t>> queryVersionValue(const std::vector<uint8_t> &block,
                                                      const std::u16string &subBlock)
{
    Node cur = readNode(block, 0, block.size());
    if (!cur.ok)
        return std::nullopt;
    size_t pos = 0;
    while (pos < subBlock.size()) {
        while (pos < subBlock.size() && subBlock[pos] == u'\\')
            ++pos;
        if (pos >= subBlock.size())
            break;
        size_t next = subBlock.find(u'\\', pos);
        if (next == std::u16string::npos)
            next = subBlock.size();
        const std::u16string part = subBlock.substr(pos, next - pos);
        pos = next;
        bool found = false;
        for (size_t at = cur.childrenStart; at + 6 <= cur.end;) {
            const Node child = readNode(block, at, cur.end);
            if (!child.ok)
                break;
            if (sameName(child.key, part)) {
                cur = child;
                found = true;
                break;
            }
            at = (child.end + 3) & ~size_t(3);
        }
        if (!found)
            return std::nullopt;
    }
    return std::vector<uint8_t>(block.begin() + long(cur.valueStart), block.begin() + long(cur.valueEnd));
}

std::optional<std::vector<uint8_t>> elfSection(const ReadAt &readAt, const std::string &name)
{
    uint8_t ident[64] = {};
    if (!readAt(0, 52, ident) || std::memcmp(ident, "\x7F" "ELF", 4) != 0)
        return std::nullopt;
    if ((ident[4] != 1 && ident[4] != 2) || (ident[5] != 1 && ident[5] != 2))
        return std::nullopt;
    const bool is64 = ident[4] == 2;
    const bool little = ident[5] == 1;
    if (is64 && !readAt(0, 64, ident))
        return std::nullopt;
    auto num = [&](const uint8_t *p, int bytes) {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= uint64_t(p[little ? i : bytes - 1 - i]) << (8 * i);
        return v;
    };
    const int word = is64 ? 8 : 4;
    const uint64_t shoff = num(ident + (is64 ? 0x28 : 0x20), word);
    const uint64_t shentsize = num(ident + (is64 ? 0x3A : 0x2E), 2);
    const uint64_t shnum = num(ident + (is64 ? 0x3C : 0x30), 2);
    const uint64_t shstrndx = num(ident + (is64 ? 0x3E : 0x32), 2);
    if (shnum == 0 || shstrndx >= shnum || shentsize < uint64_t(is64 ? 64 : 40) || shentsize > 256)
        return std::nullopt;
    struct Section { uint64_t name, type, offset, size; };
    auto section = [&](uint64_t i) -> std::optional<Section> {
        uint8_t h[256];
        if (!readAt(shoff + i * shentsize, size_t(shentsize), h))
            return std::nullopt;
        return Section{num(h, 4), num(h + 4, 4), num(h + (is64 ? 0x18 : 0x10), word),
                       num(h + (is64 ? 0x20 : 0x14), word)};
    };
    const auto strtab = section(shstrndx);
    if (!strtab || strtab->size > (1u << 24))
        return std::nullopt;
    std::vector<uint8_t> names(size_t(strtab->size) + 1, 0);
    if (!readAt(strtab->offset, size_t(strtab->size), names.data()))
        return std::nullopt;
    for (uint64_t i = 0; i < shnum; ++i) {
        const auto s = section(i);
        if (!s)
            return std::nullopt;
        if (s->name >= strtab->size)
            continue;
        const char *str = reinterpret_cast<const char *>(names.data() + s->name);
        if (std::strlen(str) != name.size() || std::memcmp(str, name.data(), name.size()) != 0)
            continue;
        // A version block is small; anything larger is not one of ours.
        if (s->type == 8 /* SHT_NOBITS */ || s->size > 0xFFFF)
            return std::nullopt;
        std::vector<uint8_t> data(size_t(s->size));
        if (!readAt(s->offset, data.size(), data.data()))
            return std::nullopt;
        return data;
    }
    return std::nullopt;
}

} // namespace kw::update
