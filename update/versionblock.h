#pragma once
// The standard version resource block (VS_VERSIONINFO) as plain bytes: built
// at build time for the executable and parsed by the version reader. Plain
// C++ so the build-time tool needs nothing else.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kw::update {

struct VersionBlockSpec {
    uint16_t fileVersion[4] = {0, 0, 0, 0};
    uint16_t productVersion[4] = {0, 0, 0, 0};
    uint16_t language = 0x0409;  // U.S. English
    uint16_t codePage = 0x04E4;  // Windows Latin-1
    bool withTranslation = true;
    bool withFixedInfo = true;
    // Name/value pairs of the string table, in order ("FileVersion", "2.0.0.0").
    std::vector<std::pair<std::u16string, std::u16string>> strings;
};

std::vector<uint8_t> buildVersionBlock(const VersionBlockSpec &spec);

// The name of the ELF section that carries the block on Linux.
inline constexpr const char *kVersionSection = ".kwversion";

// Looks a sub-block up the way the system's VerQueryValue does: "\" gives the
// fixed file-information record, "\VarFileInfo\Translation" the translation
// table, "\StringFileInfo\040904E4\FileVersion" a string (its UTF-16 units,
// with the terminating zero when stored). Names compare without regard to case.
// Returns the value bytes, or nothing when the path does not exist.
std::optional<std::vector<uint8_t>> queryVersionValue(const std::vector<uint8_t> &block,
                                                      const std::u16string &subBlock);

// True when the block's root node is well formed (a VS_VERSION_INFO node
// within the data).
bool isVersionBlock(const std::vector<uint8_t> &block);

// Reads len bytes at a file offset; false when the file is shorter.
using ReadAt = std::function<bool(uint64_t offset, size_t len, uint8_t *out)>;

// The bytes of the named section of an ELF file; nothing when the file is not
// ELF or lacks the section. Malformed tables yield nothing too.
std::optional<std::vector<uint8_t>> elfSection(const ReadAt &readAt, const std::string &name);

} // namespace kw::update
