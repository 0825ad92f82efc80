#pragma once
// Small helpers shared by the archive tests: file fixtures, a simulated disk.
#include "archive/archiver.h"
#include "archive/dbbackup.h"
#include "archive/encoding.h"
#include "archive/scriptedprompts.h"
#include "data/shopschema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>

namespace kwtest {

// The shop's database files, as the program hands them to the backup jobs.
inline const kw::archive::DatabaseFiles &shopDatabaseFiles()
{
    static const kw::archive::DatabaseFiles files(kw::data::shop::databaseFiles());
    return files;
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

inline QByteArray randomBytes(qsizetype n, quint32 seed)
{
    QRandomGenerator g(seed);
    QByteArray b(n, '\0');
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char(g.bounded(256));
    return b;
}

// Compressible, table-like text.
inline QByteArray textBytes(qsizetype n, int seed = 0)
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

// A simulated set of disks: each registered directory is a drive of fixed
// capacity whose free space is what its files leave.
class FakeDrives : public kw::archive::DriveServices {
public:
    struct Disk {
        qint64 capacity = 0;
        bool removable = false;
        bool ready = true;
    };
    QHash<QString, Disk> disks; // key: drive path with trailing '/'

    void add(const QString &dir, qint64 capacity, bool removable = false)
    {
        QDir().mkpath(dir);
        disks.insert(slash(dir), Disk{capacity, removable, true});
    }
    static QString slash(QString p)
    {
        p = QDir(p).absolutePath();
        return p.endsWith('/') ? p : p + '/';
    }
    QString driveOf(const QString &path) override
    {
        const QString p = slash(QFileInfo(path).isDir() ? path : QFileInfo(path).absolutePath());
        QString best;
        for (auto it = disks.begin(); it != disks.end(); ++it)
            if (p.startsWith(it.key()) && it.key().size() > best.size())
                best = it.key();
        return best.isEmpty() ? QStringLiteral("/") : best;
    }
    bool isRemovable(const QString &drive) override { return disks.value(slash(drive)).removable; }
    qint64 used(const QString &drive)
    {
        qint64 u = 0;
        const QFileInfoList all = QDir(drive).entryInfoList(QDir::Files | QDir::Hidden);
        for (const QFileInfo &f : all)
            u += f.size();
        for (const QFileInfo &d : QDir(drive).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            u += used(d.absoluteFilePath());
        return u;
    }
    qint64 freeBytes(const QString &dir) override
    {
        const QString d = driveOf(dir);
        if (!disks.contains(d))
            return qint64(1) << 40;
        return disks.value(d).capacity - used(d);
    }
    bool isReady(const QString &drive) override
    {
        const QString d = slash(drive);
        return disks.contains(d) ? disks.value(d).ready : QFileInfo(drive).isDir();
    }
};

// Header fields straight from the file.
inline kw::archive::TArchiveHeader headerOf(const QString &path)
{
    kw::archive::ArchiveStream s;
    kw::archive::TArchiveHeader h;
    if (!s.open(path, kw::archive::ArchiveStream::Mode::ReadOnly) || !kw::archive::readHeader(s, h))
        qFatal("no archive header in %s", qPrintable(path));
    return h;
}

// Entry at an offset of a file.
inline kw::archive::TFileEntry entryAt(const QString &path, qint64 offset)
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
