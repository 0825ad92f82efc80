// Writes the version resource block of the executables:
//   kw_mkversion OUT.bin MAJOR.MINOR.PATCH.BUILD NAME=VALUE...
#include "update/versionblock.h"

#include <cstdio>
#include <cstring>
#include <string>

static std::u16string widen(const std::string &s)
{
    // The texts are ASCII (version numbers, names); other bytes pass as Latin-1.
    std::u16string w;
    for (unsigned char c : s)
        w.push_back(char16_t(c));
    return w;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kw_mkversion OUT VERSION [NAME=VALUE...]\n");
        return 2;
    }
    kw::update::VersionBlockSpec spec;
    unsigned v[4] = {0, 0, 0, 0};
    if (std::sscanf(argv[2], "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]) < 1) {
        std::fprintf(stderr, "kw_mkversion: bad version %s\n", argv[2]);
        return 2;
    }
    for (int i = 0; i < 4; ++i)
        spec.fileVersion[i] = spec.productVersion[i] = uint16_t(v[i]);
    for (int i = 3; i < argc; ++i) {
        const char *eq = std::strchr(argv[i], '=');
        if (!eq)
            continue;
        spec.strings.emplace_back(widen(std::string(static_cast<const char *>(argv[i]), eq)), widen(std::string(eq + 1)));
    }
    const auto block = kw::update::buildVersionBlock(spec);
    FILE *f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(block.data(), 1, block.size(), f) != block.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "kw_mkversion: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
