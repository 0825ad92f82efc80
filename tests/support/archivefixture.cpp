#include "archivefixture.h"

#include "archive/errors.h"

namespace kwtest {

QString ScratchFiles::fresh(const QString &name)
{
    return m_dir.filePath(QStringLiteral("%1-%2").arg(++m_counter).arg(name));
}

QString archiveErrorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const kw::archive::EAbort &) {
        return QStringLiteral("<abort>");
    } catch (const kw::archive::EArchiverBase &e) {
        return e.message();
    }
    return QString();
}

const kw::archive::DatabaseFiles &shopDatabaseFiles()
{
    static const kw::archive::DatabaseFiles files(kw::data::shop::databaseFiles(), kw::data::shop::journalFiles());
    return files;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

QByteArray randomBytes(qsizetype n, quint32 seed)
{
    QRandomGenerator g(seed);
    QByteArray b(n, '\0');
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char(g.bounded(256));
    return b;
}

QByteArray textBytes(qsizetype n, int seed)
{
    QByteArray b;
    b.reserve(n + 64);
    int i = seed;
    while (b.size() < n) {
        b += QByteArray("HR-") + QByteArray::number(i % 977) + " SURVIVAL VEST SRU-21/P serial " +
             QByteArray::number(i * 7919 % 100000) + "\n";
        ++i;
    }
    b.truncate(n);
    return b;
}

kw::archive::TArchiveHeader headerOf(const QString &path)
{
    kw::archive::ArchiveStream s;
    kw::archive::TArchiveHeader h;
    if (!s.open(path, kw::archive::ArchiveStream::Mode::ReadOnly) || !kw::archive::readHeader(s, h))
        qFatal("no archive header in %s", qPrintable(path));
    return h;
}

kw::archive::TFileEntry entryAt(const QString &path, qint64 offset)
{
    kw::archive::ArchiveStream s;
    kw::archive::TFileEntry e;
    if (!s.open(path, kw::archive::ArchiveStream::Mode::ReadOnly))
        qFatal("cannot open %s", qPrintable(path));
    s.seek(offset);
    kw::archive::readEntry(s, e, 4096);
    return e;
}

} // namespace kwtest
