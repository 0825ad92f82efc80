// A restore extracts into Restore-Incoming beside the data, and each file
// that checked out is renamed over the old one; the copy aside and its mark
// (core/copyaside) cover every moment in between.
#include "archive/restore.h"

#include "core/copyaside.h"
#include "core/durablefile.h"
#include "core/findfile.h"
#include "core/folders.h"

#include <QDir>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QSet>

namespace kw::archive {

namespace {

// Where files are extracted before they take the place of the old ones.
const QString kIncoming = QStringLiteral("Restore-Incoming");
// The jobs a mark in the copy names.
const QString kRestoreJob = QStringLiteral("restore");
const QString kUndoJob = QStringLiteral("undo of a restore");

QString bareName(const QString &stored)
{
    const int i = qMax(stored.lastIndexOf(QLatin1Char('\\')), stored.lastIndexOf(QLatin1Char('/')));
    return stored.mid(i + 1);
}

// The tables the changed files belong to, by their table files ("Lists.DB";
// an index or a journal counts for its table).
QStringList tablesOf(const QStringList &paths, const DatabaseFiles &files)
{
    QStringList tables;
    for (const QString &p : paths) {
        QString table = QFileInfo(p).fileName();
        const QString base = QFileInfo(p).completeBaseName();
        for (const QString &n : files.names())
            if (!files.journalOf(n).isEmpty() && QFileInfo(n).completeBaseName().compare(base, Qt::CaseInsensitive) == 0)
                table = n;
        if (!tables.contains(table))
            tables << table;
    }
    return tables;
}

std::function<bool(const QString &)> mayTouch(const DatabaseFiles &files, const QString &root)
{
    return [&files, root](const QString &path) { return files.covers(root, path); };
}

// The table files (those with a journal) of dir that open now, as the list
// spells them: what a restored table that does not open may go back to.
QSet<QString> tablesThatOpen(const QString &dir, const DatabaseFiles &files, const DatabaseTables &tables,
                             QList<TableProblem> *problems)
{
    if (tables.settle)
        *problems = tables.settle(dir);
    else if (tables.check)
        *problems = tables.check(dir, files.names());
    QSet<QString> bad;
    for (const TableProblem &p : std::as_const(*problems))
        for (const QString &f : p.files)
            bad.insert(files.canonical(f));
    const kw::core::NoCaseDirectory present(dir);
    QSet<QString> opened;
    for (const QString &n : files.names())
        if (!files.journalOf(n).isEmpty() && !bad.contains(n) && !present.find(n).isEmpty())
            opened.insert(n);
    return opened;
}

// A table that another program writes cannot be replaced under it: its
// later changes would go to a file that is no longer there.
void refuseBusyTables(const QList<TableProblem> &problems)
{
    for (const TableProblem &p : problems)
        if (p.busy)
            throw EArchiver(QStringLiteral("Nothing was changed: %1 is open for writing in another program. Close "
                                           "it there, then try again.\n%2")
                                .arg(p.files.value(0), p.reason));
}

// The journals of the tables the archive replaces go before any of them is
// replaced: left, they would be replayed onto the restored tables.
void removeJournalsOf(const QStringList &listed, const QString &root, const DatabaseFiles &files)
{
    const kw::core::NoCaseDirectory present(root);
    for (const QString &name : listed) {
        const QString journal = present.find(files.journalOf(name));
        if (!files.journalOf(name).isEmpty() && !journal.isEmpty() && !QFile::remove(journal))
            throw EStreamError(QStringLiteral("Cannot remove %1").arg(quotedPath(journal)));
    }
    kw::core::syncDirectory(root);
}

// The database files the restore did not put back: those the archive lists
// but were not extracted (and did not fail, which is reported already), and
// those it lacks.
void findNotRestored(RestoreReport &r, const QStringList &listed, const DatabaseFiles &files)
{
    QStringList failed;
    for (const FileFailure &f : std::as_const(r.failed))
        failed << files.canonical(bareName(f.name));
    for (const QString &name : files.names()) {
        if (r.restored.contains(name) || failed.contains(name))
            continue;
        if (listed.contains(name))
            r.notRestored << name;
        else
            r.notInArchive << name;
    }
}

// Restored tables that do not open go back to what they were, when that
// opened: a restore never leaves a table unusable that was usable before.
void checkRestoredTables(RestoreReport &r, const QString &root, const DatabaseFiles &files,
                         const DatabaseTables &tables, const QSet<QString> &openedBefore,
                         const kw::core::CopyAside &undo)
{
    r.unopenable = tables.check(root, r.restored);
    for (const TableProblem &p : std::as_const(r.unopenable)) {
        QStringList names;
        bool opened = false;
        for (const QString &f : p.files) {
            const QString name = files.canonical(f);
            if (name.isEmpty())
                continue;
            names << name;
            opened = opened || openedBefore.contains(name);
            if (!files.journalOf(name).isEmpty())
                names << files.journalOf(name);
        }
        if (!opened)
            continue; // the old one did not open either
        QStringList only;
        for (const QString &path : files.pathsIn(root))
            for (const QString &n : std::as_const(names))
                if (QFileInfo(path).fileName().compare(n, Qt::CaseInsensitive) == 0)
                    only << path;
        undo.putBack(mayTouch(files, root), only);
        for (const QString &n : std::as_const(names))
            if (!files.canonical(n).isEmpty())
                r.putBack << n;
    }
}

using ExtractHook = decltype(TArchiver::OnExtractFile);
using ExtractedHook = decltype(TArchiver::OnFileExtracted);

// Sends each database file of the archive to the incoming folder under its
// own name; any other entry is skipped and reported.
ExtractHook toIncoming(RestoreReport &r, const DatabaseFiles &files, const QString &incoming,
                       const ExtractHook &extractHook)
{
    return [&r, &files, incoming, extractHook](const TFileEntry &e, QString &dest, bool &accept) {
        const QString name = files.canonical(bareName(e.Name));
        if (name.isEmpty() || e.Name.contains(QLatin1String(".."))) {
            accept = false;
            r.skipped << e.Name;
            return;
        }
        if (extractHook)
            extractHook(e, dest, accept);
        // Whatever a handler said: only database files, only here, and
        // first beside the data; the old file stays until this one checked out.
        dest = QDir(incoming).filePath(name);
    };
}

// A file whose data checked out takes the old one's place in root.
ExtractedHook intoPlace(RestoreReport &r, const QString &root, const ExtractedHook &extracted)
{
    return [&r, root, extracted](const TFileEntry &e, const QString &dest) {
        const QString name = QFileInfo(dest).fileName();
        const QString target = QDir(root).filePath(name);
        QString why;
        // A new file in the old one's place; a link there is replaced, never followed.
        if (kw::core::isLink(target))
            QFile::remove(target);
        if (!kw::core::replaceFileDurably(dest, target, &why))
            throw EStreamError(QStringLiteral("Cannot write %1: %2").arg(quotedPath(target), why));
        r.touched = true;
        r.restored << name;
        if (extracted)
            extracted(e, target);
    };
}

// The database files the archive lists, as the list spells them.
QStringList databaseFilesListed(const QList<TFileEntry> &entries, const DatabaseFiles &files)
{
    QStringList listed;
    for (const TFileEntry &e : entries)
        if (const QString name = files.canonical(bareName(e.Name)); !name.isEmpty())
            listed << name;
    return listed;
}

// Sets the database files of root aside with their journals, marked as a
// running restore.
void setAsideBeforeRestore(kw::core::CopyAside &undo, const QString &root, const DatabaseFiles &files)
{
    const QStringList paths = files.pathsIn(root);
    QStringList journals;
    for (const QString &p : paths)
        if (files.isJournal(QFileInfo(p).fileName()))
            journals << p;
    undo.take(paths, kRestoreJob, journals);
}

// After the extraction: what was not put back, the restored tables that do
// not open, and the end of the mark.
void finishRestore(RestoreReport &r, const QStringList &listed, const QString &root, const DatabaseFiles &files,
                   const DatabaseTables &tables, const QSet<QString> &openedBefore, kw::core::CopyAside &undo)
{
    try {
        if (!r.cancelled && r.error.isEmpty())
            findNotRestored(r, listed, files);
        if (tables.check && r.touched)
            checkRestoredTables(r, root, files, tables, openedBefore, undo);
        undo.end();
    } catch (const std::exception &e) {
        // The mark stays: the next start reports the restore as interrupted.
        if (r.error.isEmpty())
            r.error = kw::core::messageOf(e);
    }
}

} // namespace

QString undoDirectory(const QString &dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("Restore-Undo"));
}

RestoreReport restoreDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir,
                              const DatabaseFiles &files, const DatabaseTables &tables)
{
    RestoreReport r;
    r.undoDir = undoDirectory(dataDir);
    const QString root = QDir::cleanPath(QDir(dataDir).absolutePath());
    const QString incoming = QDir(root).filePath(kIncoming);
    kw::core::CopyAside undo(r.undoDir);
    const QScopedValueRollback extractScope(a.OnExtractFile, toIncoming(r, files, incoming, a.OnExtractFile));
    const QScopedValueRollback extractedScope(a.OnFileExtracted, intoPlace(r, root, a.OnFileExtracted));
    QStringList listed;
    QSet<QString> openedBefore;
    bool marked = false;
    try {
        if (undo.state() == kw::core::CopyAside::State::Running)
            throw EArchiver(QStringLiteral("A restore into %1 is running in another process.").arg(quotedPath(root)));
        openBackup(a, archivePath); // verified and accepted before any file is touched
        listed = databaseFilesListed(a.Entries(), files);
        QList<TableProblem> before;
        openedBefore = tablesThatOpen(root, files, tables, &before);
        refuseBusyTables(before);
        setAsideBeforeRestore(undo, root, files);
        marked = true;
        removeJournalsOf(listed, root, files);
        QString why;
        if (!kw::core::makeFreshFolder(incoming, &why))
            throw EStreamError(why);
        a.ExtractPath = root;
        a.ExtractFiles();
        r.failed = a.Failures();
    } catch (...) {
        recordJobError(r, a);
    }
    a.Close();
    kw::core::removeTree(incoming);
    if (marked)
        finishRestore(r, listed, root, files, tables, openedBefore, undo);
    return r;
}

QStringList restoreProblems(const RestoreReport &r)
{
    QStringList lines;
    for (const QString &s : r.skipped)
        lines << QStringLiteral("skipped: %1 (not a database file)").arg(kw::core::printable(s));
    for (const FileFailure &f : r.failed)
        lines << QStringLiteral("not done: %1: %2").arg(kw::core::printable(f.name), f.message);
    for (const QString &n : r.notRestored)
        lines << QStringLiteral("not restored: %1 (the backup lists it, but it was not put back)").arg(n);
    for (const QString &n : r.notInArchive)
        lines << QStringLiteral("not restored: %1 (the backup does not hold it; the file from before stays)").arg(n);
    for (const TableProblem &p : r.unopenable)
        lines << QStringLiteral("restored table does not open: %1: %2").arg(p.files.value(0), p.reason);
    if (!r.putBack.isEmpty())
        lines << QStringLiteral("put back as they were before the restore: %1").arg(r.putBack.join(QStringLiteral(", ")));
    if (!r.error.isEmpty())
        lines << r.error;
    return lines;
}

QStringList changedSinceRestore(const QString &dataDir, const DatabaseFiles &files)
{
    kw::core::CopyAside undo(undoDirectory(dataDir));
    undo.noticeInterruption();
    return tablesOf(undo.changedSince(), files);
}

UndoReport undoRestore(const QString &dataDir, const DatabaseFiles &files, const DatabaseTables &tables)
{
    UndoReport u;
    const QString root = QDir::cleanPath(QDir(dataDir).absolutePath());
    kw::core::CopyAside undo(undoDirectory(root));
    try {
        switch (undo.state()) {
        case kw::core::CopyAside::State::None:
            throw EArchiver(QStringLiteral("No copy from before a restore in %1").arg(quotedPath(undo.folder())));
        case kw::core::CopyAside::State::Running:
            throw EArchiver(QStringLiteral("A restore into %1 is running in another process.").arg(quotedPath(root)));
        default:
            break;
        }
        undo.noticeInterruption();
        u.changedSince = tablesOf(undo.changedSince(), files);
        if (tables.busy)
            if (const QStringList busy = tables.busy(root); !busy.isEmpty())
                throw EArchiver(QStringLiteral("Nothing was changed: %1 is open for writing in another program. "
                                               "Close it there, then try again.")
                                    .arg(busy.join(QStringLiteral(", "))));
        undo.begin(kUndoJob);
        undo.putBack(mayTouch(files, root));
        QString why;
        if (!kw::core::removeTree(QDir(root).filePath(kIncoming), &why))
            throw EStreamError(why);
        // Everything is back: nothing is left to undo.
        undo.discard();
        u.done = true;
    } catch (const std::exception &e) {
        u.error = kw::core::messageOf(e);
    }
    return u;
}

bool restoreWasInterrupted(const QString &dataDir)
{
    return kw::core::CopyAside(undoDirectory(dataDir)).state() == kw::core::CopyAside::State::Interrupted;
}

QString interruptedRestoreText(const QString &dataDir)
{
    kw::core::CopyAside undo(undoDirectory(dataDir));
    if (undo.state() != kw::core::CopyAside::State::Interrupted)
        return {};
    undo.noticeInterruption();
    const QString dir = QDir::toNativeSeparators(QDir(dataDir).absolutePath());
    if (undo.job() == kUndoJob)
        return QStringLiteral("Putting back the database of %1 as it was before a restore was interrupted: it may "
                              "hold some files from before the restore and some from the backup. \"kitwarden-cli "
                              "restore --undo\" finishes putting back the previous database.")
            .arg(dir);
    return QStringLiteral("A restore into %1 was interrupted: the database may hold some files from the backup and "
                          "some from before. \"kitwarden-cli restore --undo\" puts the previous database back.")
        .arg(dir);
}

} // namespace kw::archive
