#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kwfuzz {

static bool usableExt(const QByteArray &ext)
{
    if (ext.isEmpty() || ext.size() > 3)
        return false;
    for (char c : ext)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

Bundle splitBundle(const uint8_t *data, size_t size)
{
    const QByteArray all = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray mark(kSectionMark);
    Bundle b;
    qsizetype at = all.indexOf(mark);
    b.main = all.left(at < 0 ? all.size() : at);
    while (at >= 0) {
        const qsizetype nameAt = at + mark.size();
        const qsizetype eol = all.indexOf('\n', nameAt);
        if (eol < 0)
            break;
        const QByteArray ext = all.mid(nameAt, eol - nameAt);
        const qsizetype next = all.indexOf(mark, eol + 1);
        const QByteArray bytes = all.mid(eol + 1, (next < 0 ? all.size() : next) - (eol + 1));
        if (usableExt(ext))
            b.companions.append({QString::fromLatin1(ext), bytes});
        at = next;
    }
    b.main.detach();
    return b;
}

QByteArray joinBundle(const Bundle &b)
{
    QByteArray out = b.main;
    for (const Companion &c : b.companions)
        out += kSectionMark + c.ext.toLatin1() + '\n' + c.bytes;
    return out;
}

const QString &scratchDir()
{
    static std::unique_ptr<QTemporaryDir> dir = [] {
        const QString shm = QStringLiteral("/dev/shm");
        const QString base = QDir(shm).exists() && QFileInfo(shm).isWritable() ? shm : QDir::tempPath();
        auto d = std::make_unique<QTemporaryDir>(base + QStringLiteral("/kwfuzz-XXXXXX"));
        if (!d->isValid())
            std::abort();
        return d;
    }();
    static const QString path = dir->path();
    return path;
}

void clearDir(const QString &dir)
{
    QDir d(dir);
    for (const QString &f : d.entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(d.filePath(f));
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::abort(); // the scratch directory failing is not a finding of the reader
}

QString writeBundle(const Bundle &b, const QString &dir, const QString &base, const QString &mainExt)
{
    clearDir(dir);
    for (const Companion &c : b.companions)
        writeFile(QDir(dir).filePath(base + '.' + c.ext), c.bytes);
    const QString main = QDir(dir).filePath(base + '.' + mainExt);
    writeFile(main, b.main);
    return main;
}

static volatile unsigned sink;

void consume(const QString &text)
{
    unsigned h = 0;
    for (QChar c : text)
        h = h * 31 + c.unicode();
    sink = sink + h;
}

void consume(const QByteArray &bytes)
{
    unsigned h = 0;
    for (char c : bytes)
        h = h * 31 + static_cast<unsigned char>(c);
    sink = sink + h;
}

void note(const QString &text)
{
    static const bool verbose = qEnvironmentVariableIsSet("KWFUZZ_VERBOSE");
    if (verbose)
        std::fprintf(stderr, "  %s\n", qPrintable(text));
}

} // namespace kwfuzz
