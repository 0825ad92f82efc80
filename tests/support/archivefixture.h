#pragma once
// What the archive tests share: file fixtures, a scratch directory, errors
// as text, a simulated set of disks, header and entry bytes read directly.
#include "archive/archiver.h"
#include "archive/backup.h"
#include "archive/restore.h"
#include "archive/encoding.h"
#include "archive/scriptedprompts.h"
#include "data/shop/shopschema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <functional>
#include <QtEndian>

namespace kwtest {

// Files of one test, each under a name of its own in one temporary
// directory: fresh("arc/Backup.Alse") is ".../7-arc/Backup.Alse".
class ScratchFiles {
public:
    QString fresh(const QString &name);
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    int m_counter = 0;
};

// The message of the archive error f throws ("<abort>" for a cancel), or
// empty when it throws none.
QString archiveErrorOf(const std::function<void()> &f);

// The shop's database files, as the program hands them to the backup jobs.
const kw::archive::DatabaseFiles &shopDatabaseFiles();

void writeFile(const QString &path, const QByteArray &bytes);

QByteArray readFile(const QString &path); // empty when missing

QByteArray randomBytes(qsizetype n, quint32 seed);

// Compressible, table-like text.
QByteArray textBytes(qsizetype n, int seed = 0);

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
kw::archive::TArchiveHeader headerOf(const QString &path);

// Entry at an offset of a file.
kw::archive::TFileEntry entryAt(const QString &path, qint64 offset);

// Where one stored file lies in a single-segment archive: its entry and its
// block frames (offset, length).
struct StoredFile {
    qint64 entryOffset = -1;
    kw::archive::TFileEntry entry;
    QList<QPair<qint64, qint64>> frames;
};

inline StoredFile storedFile(const QString &path, const QString &name)
{
    const QByteArray bytes = readFile(path);
    const kw::archive::TArchiveHeader h = headerOf(path);
    qint64 pos = h.headerSize();
    while (pos < h.DataEnd) {
        StoredFile f;
        f.entryOffset = pos;
        f.entry = entryAt(path, pos);
        qint64 p = pos + f.entry.entrySize();
        const qint64 end = p + f.entry.PartCompressedSize;
        while (p < end) {
            const qint32 stored = qFromLittleEndian<qint32>(bytes.constData() + p);
            const qint64 len = 8 + (stored < 0 ? -qint64(stored) : qint64(stored));
            f.frames << qMakePair(p, len);
            p += len;
        }
        if (f.entry.Name == name)
            return f;
        pos = end;
    }
    qFatal("%s holds no %s", qPrintable(path), qPrintable(name));
    return {};
}

// Rewrites the entry of a stored file in place with other flags.
inline void setEntryFlags(const QString &path, const QString &name, uint8_t flags)
{
    const StoredFile f = storedFile(path, name);
    kw::archive::TFileEntry e = f.entry;
    e.Flags = flags;
    QByteArray bytes = readFile(path);
    bytes.replace(f.entryOffset, e.entrySize(), kw::archive::encodeEntry(e));
    writeFile(path, bytes);
}

// Swaps two neighbouring block frames of a stored file: every CRC stays valid.
inline void swapFrames(const QString &path, const QString &name, int first)
{
    const StoredFile f = storedFile(path, name);
    const auto a = f.frames.at(first), b = f.frames.at(first + 1);
    QByteArray bytes = readFile(path);
    const QByteArray swapped = bytes.mid(b.first, b.second) + bytes.mid(a.first, a.second);
    bytes.replace(a.first, a.second + b.second, swapped);
    writeFile(path, bytes);
}

} // namespace kwtest
