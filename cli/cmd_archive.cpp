// backup, restore, info and list: the backup dialog's work from the command
// line, with the program's archive settings and scripted answers.
#include "cli/command.h"

#include "archive/dbbackup.h"
#include "archive/encoding.h"
#include "archive/scriptedprompts.h"
#include "data/shopschema.h"

#include <QDir>
#include <QFileInfo>

namespace kw::cli {
namespace {

using namespace kw::archive;

const DatabaseFiles &shopFiles()
{
    static const DatabaseFiles files(kw::data::shop::databaseFiles());
    return files;
}

// Restored tables are opened as the program would open them.
QList<TableProblem> shopTableCheck(const QString &dir, const QStringList &files)
{
    QList<TableProblem> problems;
    for (const auto &p : kw::data::shop::tablesThatDoNotOpen(dir, files))
        problems.append({p.files, p.reason});
    return problems;
}

// Non-interactive answers: the continue dialog from the switches; disk
// prompts keep the proposed drive once; files on a removable disk are kept.
struct CliArchiver {
    TArchiver archiver;
    ScriptedPrompts prompts;

    explicit CliArchiver(QStringList &args, bool verbose)
    {
        configureForApplication(archiver);
        const bool yesToAll = takeSwitch(args, QStringLiteral("--yes-to-all"));
        takeSwitch(args, QStringLiteral("--no"));
        prompts.defaultContinue = yesToAll ? ContinueAnswer::YesToAll : ContinueAnswer::No;
        prompts.defaultQuestion = MessageAnswer::No;
        prompts.acceptProposedInputs = 1;
        archiver.setPrompts(&prompts);
        if (verbose)
            archiver.OnDisplayMessage = [](const QString &m) { out(m); };
    }
};

QString archiveArgument(const QStringList &args)
{
    if (args.size() != 1)
        throw std::runtime_error("expected exactly one ARCHIVE argument");
    // A bare file name means the current directory.
    return QFileInfo(args.first()).absoluteFilePath();
}

void printFailures(const QList<FileFailure> &failed)
{
    for (const FileFailure &f : failed)
        err(QStringLiteral("not done: %1: %2").arg(f.name, f.message));
}

QString dateText(double ole)
{
    const QDateTime dt = oleToDateTime(ole);
    return dt.isValid() ? dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

int backup(Context &ctx)
{
    CliArchiver c(ctx.args, true);
    const QString path = archiveArgument(ctx.args);
    const BackupReport r = backupDatabase(c.archiver, path, ctx.dataDir, shopFiles());
    for (const QString &m : r.missing)
        err(QStringLiteral("missing from %1: %2 (not stored)").arg(QDir::toNativeSeparators(ctx.dataDir), m));
    printFailures(r.failed);
    if (!r.error.isEmpty())
        err(r.error);
    if (r.cancelled)
        err(QStringLiteral("Backup stopped."));
    out(QStringLiteral("%1 of %2 database files stored in %3")
            .arg(r.stored.size())
            .arg(shopFiles().names().size())
            .arg(QDir::toNativeSeparators(path)));
    return r.complete() ? 0 : 1;
}

int restore(Context &ctx)
{
    if (takeSwitch(ctx.args, QStringLiteral("--undo"))) {
        QString error;
        if (!undoRestore(ctx.dataDir, shopFiles(), &error)) {
            err(error);
            return 1;
        }
        out(QStringLiteral("The database files from before the last restore are back in %1")
                .arg(QDir::toNativeSeparators(ctx.dataDir)));
        return 0;
    }
    CliArchiver c(ctx.args, true);
    const QString path = archiveArgument(ctx.args);
    const RestoreReport r = restoreDatabase(c.archiver, path, ctx.dataDir, shopFiles(), shopTableCheck);
    for (const QString &s : r.skipped)
        err(QStringLiteral("skipped: %1 (not a database file)").arg(s));
    printFailures(r.failed);
    for (const QString &n : r.notRestored)
        err(QStringLiteral("not restored: %1 (the backup lists it, but it was not put back)").arg(n));
    for (const QString &n : r.notInArchive)
        err(QStringLiteral("not restored: %1 (the backup does not hold it; the file from before stays)").arg(n));
    for (const TableProblem &p : r.unopenable)
        err(QStringLiteral("restored table does not open: %1: %2").arg(p.files.value(0), p.reason));
    if (!r.putBack.isEmpty())
        err(QStringLiteral("put back as they were before the restore: %1").arg(r.putBack.join(QStringLiteral(", "))));
    if (!r.error.isEmpty())
        err(r.error);
    if (r.cancelled)
        err(QStringLiteral("Restore stopped."));
    out(QStringLiteral("%1 database files restored into %2")
            .arg(r.restored.size())
            .arg(QDir::toNativeSeparators(ctx.dataDir)));
    if (!r.complete() && r.touched)
        err(QStringLiteral("The database files as they were before this restore are kept in %1; "
                           "run \"kitwarden-cli restore --undo\" to put them back.")
                .arg(QDir::toNativeSeparators(r.undoDir)));
    return r.complete() ? 0 : 1;
}

// Opens an archive as the dialog's "Backup File Info" does: verified,
// accepted, content listed.
void openForReading(TArchiver &a, const QString &path)
{
    if (!QFileInfo::exists(path))
        throw EArchiver(QStringLiteral("Archive %1 does not exist !").arg(QDir::toNativeSeparators(path)));
    a.setFileName(path);
    a.Open();
}

int info(Context &ctx)
{
    CliArchiver c(ctx.args, false);
    const QString path = archiveArgument(ctx.args);
    try {
        openForReading(c.archiver, path);
    } catch (const EArchiverBase &e) {
        err(e.message());
        return 1;
    }
    const TUserData &u = c.archiver.Header().UserData;
    out(QStringLiteral("UserName: ") + u.UserName);
    out(QStringLiteral("UserCompany: ") + u.UserCompany);
    out(QStringLiteral("SerialNumber: ") + u.SerialNumber);
    out(QStringLiteral("BackupName: ") + u.BackupName);
    out(QStringLiteral("BackupDate: ") + dateText(u.BackupDate));
    out(QStringLiteral("ProductId: %1").arg(u.ProductId));
    out(QStringLiteral("ProductVersion: %1").arg(u.ProductVersion));
    c.archiver.Close();
    return 0;
}

int list(Context &ctx)
{
    CliArchiver c(ctx.args, false);
    const QString path = archiveArgument(ctx.args);
    try {
        openForReading(c.archiver, path);
    } catch (const EArchiverBase &e) {
        err(e.message());
        return 1;
    }
    for (const TFileEntry &e : c.archiver.Entries())
        out(QStringLiteral("%1\t%2\t%3\t%4").arg(e.Name).arg(e.Size).arg(e.CompressedSize).arg(dateText(e.Date)));
    c.archiver.Close();
    return 0;
}

const Register regBackup("backup", "backup ARCHIVE [--yes-to-all|--no]   back the database files up", backup);
const Register regRestore("restore", "restore ARCHIVE [--yes-to-all|--no] | restore --undo   restore the database files",
                          restore);
const Register regInfo("info", "info ARCHIVE   show the user data of a backup", info);
const Register regList("list", "list ARCHIVE   list the files of a backup", list);

} // namespace
} // namespace kw::cli
