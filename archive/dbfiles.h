#pragma once
// What the shop's backup and restore share on top of the archive component:
// the list of database files, the program's component settings and user
// data, reading a backup back, where backups go, and what both jobs need of
// the table engine, which this library does not link (the caller hands it
// in). Errors inside the jobs are exceptions of the EArchiver family with
// the file they concern quoted by quotedPath(); the jobs turn them into
// their reports.
#include "archive/archiver.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <functional>

namespace kw::archive {

// The database files a backup stores and a restore may write, in the order
// they are stored and restored, and the journal of each table file among
// them: the file that holds a change of the table in progress. A journal
// is part of its table: set aside and put back with it, never stored. The
// shop schema knows both; the caller hands them in.
class DatabaseFiles {
public:
    explicit DatabaseFiles(const QStringList &names, const QHash<QString, QString> &journals = {});
    const QStringList &names() const { return m_names; }
    // The list's spelling of name when it names a database file (any case), else empty.
    QString canonical(const QString &name) const { return m_byLower.value(name.toLower()); }
    // The journal of the table file name (the list's spelling), else empty.
    QString journalOf(const QString &name) const { return m_journals.value(name); }
    // Every database file and every journal, as paths in dir: the files a
    // restore may change there. A file that exists under another case is
    // named both ways, so that what is set aside covers both.
    QStringList pathsIn(const QString &dir) const;
    // Whether path is a database file or a journal (any case) of dir.
    bool covers(const QString &dir, const QString &path) const;
    // Whether name is a journal's (any case).
    bool isJournal(const QString &name) const { return m_journalsByLower.contains(name.toLower()); }

private:
    QStringList m_names;
    QHash<QString, QString> m_byLower;
    QHash<QString, QString> m_journals;
    QHash<QString, QString> m_journalsByLower;
};

// A table that does not open: every file of it, and why; busy when another
// program holds it open for writing.
struct TableProblem {
    QStringList files;
    QString reason;
    bool busy = false;
};
// What the jobs need of the table engine:
//  check: the tables among the named files of a directory that do not open
//         (read-only, nothing written);
//  settle: brings every table of a directory to the state the engine reads
//         (a change its journal completed goes into the table, the journal
//         goes) and returns the tables that do not open or are busy;
//  busy:  the table files of a directory another program holds open for
//         writing (nothing written to find out).
struct DatabaseTables {
    std::function<QList<TableProblem>(const QString &dir, const QStringList &files)> check;
    std::function<QList<TableProblem>(const QString &dir)> settle;
    std::function<QStringList(const QString &dir)> busy;
};
// Adapts functions that return any list of {files, reason, busy} values.
template <class Check, class Settle, class Busy>
DatabaseTables databaseTablesFrom(Check check, Settle settle, Busy busy)
{
    const auto convert = [](const auto &list) {
        QList<TableProblem> problems;
        for (const auto &p : list)
            problems.append({p.files, p.reason, p.busy});
        return problems;
    };
    return {[check, convert](const QString &dir, const QStringList &files) { return convert(check(dir, files)); },
            [settle, convert](const QString &dir) { return convert(settle(dir)); }, busy};
}

constexpr int kProductId = 102;
constexpr int kProductVersion = 200;
extern const char kSerialNumber[]; // 10 characters, the same in every backup

TUserData applicationUserData(const QDateTime &now);
// The program uses archives made by itself from version 200 on.
bool acceptApplicationArchive(const TArchiveHeader &h);

// Sets the properties, options, texts and the accept and user-data handlers
// the program uses. clock supplies "now" for the header (tests fix it).
void configureForApplication(TArchiver &a, std::function<QDateTime()> clock = {});

// "Archive %s does not exist !"
QString archiveMissingText(const QString &path);
// Opens a backup for reading: verified, accepted, its content listed. A
// missing file is refused with archiveMissingText before anything is created.
void openBackup(TArchiver &a, const QString &path);

// Where a backup goes unless the user said otherwise: Backup.Alse on the
// first mounted removable medium under mediaRoots, else in documentsDir.
QString defaultBackupLocation(DriveServices &drives, const QStringList &mediaRoots, const QString &documentsDir);
// The same for this user: media mounted under /media/$USER and
// /run/media/$USER, the documents folder.
QString defaultBackupLocation();

// A path as the jobs' messages quote it: "/native/path".
QString quotedPath(const QString &path);

// Called in a catch block of a job: a cancel is recorded as one, any other
// error by its message; with the files the error policy skipped so far.
template <class Report> void recordJobError(Report &r, TArchiverRoot &a)
{
    try {
        throw;
    } catch (const EAbort &) {
        r.cancelled = true;
    } catch (const std::exception &e) {
        r.error = kw::core::messageOf(e);
    }
    r.failed = a.Failures();
}

} // namespace kw::archive
