#include "import/keptfiles.h"

#include "core/durablefile.h"
#include "data/engineerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kw::import {

using kw::data::EngineError;

namespace {

const QString kList = QStringLiteral("kept.txt");
const QByteArray kListHeader = "kitwarden kept files 1";

// Copies through a durable file: a crash leaves the old file or the whole
// copy, never a torn one.
void copyWhole(const QString &from, const QString &to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        throw EngineError(QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(from), in.errorString()));
    kw::core::DurableFile out(to);
    if (!out.open())
        throw EngineError(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(to), out.errorString()));
    char buf[65536];
    qint64 n;
    while ((n = in.read(buf, sizeof buf)) > 0)
        if (!out.write(buf, n))
            break;
    if (n != 0 || !out.commit())
        throw EngineError(QStringLiteral("Cannot copy %1 to %2: %3")
                              .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to), out.errorString()));
}

// A copy under a new name that nothing else uses: written and synced in
// place, as the directory holding it only counts once complete.
void copyNew(const QString &from, const QString &to)
{
    QFile in(from), out(to);
    if (!in.open(QIODevice::ReadOnly))
        throw EngineError(QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(from), in.errorString()));
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw EngineError(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(to), out.errorString()));
    char buf[65536];
    qint64 n;
    while ((n = in.read(buf, sizeof buf)) > 0)
        if (out.write(buf, n) != n)
            break;
    QString error;
    if (n != 0 || !kw::core::syncFile(out, &error))
        throw EngineError(QStringLiteral("Cannot copy %1 to %2: %3")
                              .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to),
                                   error.isEmpty() ? out.errorString() : error));
}

bool inside(const QString &path, const QStringList &dirs)
{
    const QString parent = QDir::cleanPath(QFileInfo(path).absolutePath());
    for (const QString &d : dirs)
        if (QDir::cleanPath(QDir(d).absolutePath()) == parent)
            return true;
    return false;
}

} // namespace

KeptFiles::KeptFiles(QString dir) : m_dir(std::move(dir)) {}

bool KeptFiles::exists() const
{
    return QFileInfo::exists(QDir(m_dir).filePath(kList));
}

void KeptFiles::keep(const QStringList &paths)
{
    if (exists())
        throw EngineError(QStringLiteral("Copies of an earlier run are still kept in %1").arg(QDir::toNativeSeparators(m_dir)));
    // Built beside the final place and renamed: a half-made set of copies
    // never looks like one that can be put back.
    const QString fresh = m_dir + QStringLiteral(".new");
    QDir(fresh).removeRecursively();
    QDir(m_dir).removeRecursively();
    if (!QDir().mkpath(fresh))
        throw EngineError(QStringLiteral("Cannot create %1").arg(QDir::toNativeSeparators(fresh)));
    QByteArray list = kListHeader + '\n';
    int n = 0;
    for (const QString &p : paths) {
        const QString abs = QFileInfo(p).absoluteFilePath();
        if (QFileInfo(abs).isFile()) {
            const QString copy = QStringLiteral("%1.kept").arg(n++, 4, 10, QLatin1Char('0'));
            copyNew(abs, QDir(fresh).filePath(copy));
            list += "present\t" + copy.toUtf8() + '\t' + abs.toUtf8() + '\n';
        } else {
            list += "absent\t\t" + abs.toUtf8() + '\n';
        }
    }
    // The copies are new names in a new directory: one sync of it makes
    // them all durable, before the list that makes them count.
    kw::core::syncDirectory(fresh);
    QString error;
    if (!kw::core::writeFileDurably(QDir(fresh).filePath(kList), list, &error))
        throw EngineError(error);
    if (!QDir().rename(fresh, m_dir))
        throw EngineError(QStringLiteral("Cannot create %1").arg(QDir::toNativeSeparators(m_dir)));
    kw::core::syncDirectory(QFileInfo(m_dir).absolutePath());
}

void KeptFiles::putBack(const QStringList &allowedDirs) const
{
    QFile f(QDir(m_dir).filePath(kList));
    if (!f.open(QIODevice::ReadOnly))
        throw EngineError(QStringLiteral("No kept files in %1").arg(QDir::toNativeSeparators(m_dir)));
    const QList<QByteArray> lines = f.readAll().split('\n');
    if (lines.value(0) != kListHeader)
        throw EngineError(QStringLiteral("Not a list of kept files: %1").arg(QDir::toNativeSeparators(f.fileName())));
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> parts = lines[i].split('\t');
        if (parts.size() != 3)
            continue;
        const QString copy = QString::fromUtf8(parts[1]);
        const QString target = QString::fromUtf8(parts[2]);
        if (!inside(target, allowedDirs))
            continue;
        if (parts[0] == "present") {
            if (copy.contains(QLatin1Char('/')) || copy.contains(QLatin1Char('\\')))
                continue;
            QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
            copyWhole(QDir(m_dir).filePath(copy), target);
        } else if (parts[0] == "absent" && QFileInfo::exists(target) && !QFile::remove(target)) {
            throw EngineError(QStringLiteral("Cannot remove %1").arg(QDir::toNativeSeparators(target)));
        }
    }
}

void KeptFiles::discard()
{
    // The list goes first: from then on the copies no longer count as kept.
    QFile::remove(QDir(m_dir).filePath(kList));
    QDir(m_dir).removeRecursively();
}

} // namespace kw::import
