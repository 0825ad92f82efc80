// backup, restore, info and list: the backup dialog's work from the command
// line, with the program's archive settings and scripted answers.
#include "cli/command.h"

#include "archive/backup.h"
#include "archive/restore.h"
#include "archive/encoding.h"
#include "archive/jobtexts.h"
#include "archive/scriptedprompts.h"
#include "data/shop/shopschema.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

namespace kw::cli {
namespace {

using namespace kw::archive;

const DatabaseFiles &shopFiles()
{
    static const DatabaseFiles files(kw::data::shop::databaseFiles(), kw::data::shop::journalFiles());
    return files;
}

// Tables are checked and settled as the program opens them.
DatabaseTables shopTables()
{
    return databaseTablesFrom(kw::data::shop::tablesThatDoNotOpen, kw::data::shop::settleTables,
                              [](const QString &dir) { return kw::data::shop::tablesOpenForWriting(dir); });
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
    expectArgs(args, 1, 1);
    // A bare file name means the current directory.
    return QFileInfo(args.first()).absoluteFilePath();
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
    const BackupReport r = backupDatabase(c.archiver, path, ctx.dataDir, shopFiles(), shopTables());
    for (const QString &line : backupProblems(r, ctx.dataDir))
        err(line);
    if (r.cancelled)
        err(QStringLiteral("Backup stopped."));
    if (r.complete())
        out(backupDoneText(r, path));
    else if (r.written)
        out(QStringLiteral("%1 of %2 database files stored in %3")
                .arg(r.stored.size())
                .arg(shopFiles().names().size())
                .arg(QDir::toNativeSeparators(path)));
    else if (QFileInfo::exists(path))
        out(QStringLiteral("No backup was made: %1 is as it was before.").arg(QDir::toNativeSeparators(path)));
    else
        out(QStringLiteral("No backup was made."));
    return r.complete() ? 0 : 1;
}

int restore(Context &ctx)
{
    if (takeSwitch(ctx.args, QStringLiteral("--undo"))) {
        expectArgs(ctx.args, 0, 0);
        const UndoReport undo = undoRestore(ctx.dataDir, shopFiles(), shopTables());
        if (!undo.done) {
            err(undo.error);
            return 1;
        }
        out(QStringLiteral("The database files from before the last restore are back in %1")
                .arg(QDir::toNativeSeparators(ctx.dataDir)));
        if (!undo.changedSince.isEmpty())
            err(QStringLiteral("Changes made since the restore to %1 are gone with it.")
                    .arg(undo.changedSince.join(QStringLiteral(", "))));
        return 0;
    }
    const bool yes = takeSwitch(ctx.args, QStringLiteral("--yes"));
    CliArchiver c(ctx.args, true);
    const QString path = archiveArgument(ctx.args);
    // What the backup holds, and a yes, before anything is touched.
    BackupContents contents;
    try {
        // Quietly: the question comes first.
        const auto verbose = std::exchange(c.archiver.OnDisplayMessage, {});
        contents = readBackupContents(c.archiver, path, shopFiles());
        c.archiver.OnDisplayMessage = verbose;
    } catch (const EArchiverBase &e) {
        err(e.message());
        return 1;
    }
    if (const Answer a = ask(restoreQuestion(contents, path, ctx.dataDir), yes); a != Answer::Yes)
        return declined(a, QStringLiteral("the restore"));
    // Restored tables are opened as the program would open them.
    const RestoreReport r = restoreDatabase(c.archiver, path, ctx.dataDir, shopFiles(), shopTables());
    for (const QString &line : restoreProblems(r))
        err(line);
    if (r.cancelled)
        err(QStringLiteral("Restore stopped."));
    if (r.complete())
        out(restoreDoneText(r, ctx.dataDir));
    else
        out(QStringLiteral("%1 database files restored into %2")
                .arg(r.restored.size())
                .arg(QDir::toNativeSeparators(ctx.dataDir)));
    if (!r.complete() && r.touched)
        err(QStringLiteral("The database files as they were before this restore are kept in %1; "
                           "run \"kitwarden-cli restore --undo\" to put them back.")
                .arg(QDir::toNativeSeparators(r.undoDir)));
    return r.complete() ? 0 : 1;
}

int info(Context &ctx)
{
    CliArchiver c(ctx.args, false);
    const QString path = archiveArgument(ctx.args);
    try {
        openBackup(c.archiver, path);
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
        openBackup(c.archiver, path);
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
const Register regRestore("restore",
                          "restore ARCHIVE [--yes] [--yes-to-all|--no] | restore --undo   restore the database files "
                          "(--yes: without asking first)",
                          restore);
const Register regInfo("info", "info ARCHIVE   show the user data of a backup", info);
const Register regList("list", "list ARCHIVE   list the files of a backup", list);

} // namespace
} // namespace kw::cli
