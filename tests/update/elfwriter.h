#pragma once
// Writes a minimal ELF file whose only content is a version block in the
// ".kwversion" section, as the build embeds it into the executables.
#include "update/versionblock.h"

#include <QFile>
#include <QString>

namespace testelf {

inline void put(QByteArray &b, quint64 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

inline QByteArray elfWith(const std::vector<uint8_t> &section, const char *name = ".kwversion")
{
    const QByteArray data(reinterpret_cast<const char *>(section.data()), qsizetype(section.size()));
    QByteArray names("\0", 1);
    const quint32 nameAt = quint32(names.size());
    names += name;
    names += '\0';
    const quint32 strAt = quint32(names.size());
    names += ".shstrtab";
    names += '\0';
    const quint64 dataOff = 64, namesOff = dataOff + quint64(data.size());
    const quint64 shoff = namesOff + quint64(names.size());
    QByteArray f("\x7F" "ELF\x02\x01\x01", 7);
    f.append(9, '\0');
    put(f, 2, 2);       // e_type
    put(f, 62, 2);      // e_machine
    put(f, 1, 4);       // e_version
    put(f, 0, 8);       // e_entry
    put(f, 0, 8);       // e_phoff
    put(f, shoff, 8);   // e_shoff
    put(f, 0, 4);       // e_flags
    put(f, 64, 2);      // e_ehsize
    put(f, 0, 2);
    put(f, 0, 2);
    put(f, 64, 2);      // e_shentsize
    put(f, 3, 2);       // e_shnum
    put(f, 2, 2);       // e_shstrndx
    f += data;
    f += names;
    auto header = [&](quint32 nm, quint32 type, quint64 off, quint64 size) {
        put(f, nm, 4);
        put(f, type, 4);
        put(f, 0, 8);
        put(f, 0, 8);
        put(f, off, 8);
        put(f, size, 8);
        put(f, 0, 4);
        put(f, 0, 4);
        put(f, 1, 8);
        put(f, 0, 8);
    };
    header(0, 0, 0, 0);
    header(nameAt, 1, dataOff, quint64(data.size()));
    header(strAt, 3, namesOff, quint64(names.size()));
    return f;
}

inline std::u16string u16(const char *s)
{
    std::u16string w;
    while (*s)
        w.push_back(char16_t(*s++));
    return w;
}

inline kw::update::VersionBlockSpec spec(const char *fileVersion)
{
    kw::update::VersionBlockSpec s;
    unsigned v[4] = {0, 0, 0, 0};
    std::sscanf(fileVersion, "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]);
    for (int i = 0; i < 4; ++i)
        s.fileVersion[i] = s.productVersion[i] = uint16_t(v[i]);
    s.strings = {{u"CompanyName", u"Quillfen"}, {u"FileVersion", u16(fileVersion)}, {u"ProductName", u"Kitwarden"}};
    return s;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// An executable-like file carrying the given file version.
inline bool writeVersionedFile(const QString &path, const char *fileVersion)
{
    return writeFile(path, elfWith(kw::update::buildVersionBlock(spec(fileVersion))));
}

} // namespace testelf
