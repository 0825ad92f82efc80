#include "import/importundo.h"

#include "core/error.h"
#include "core/findfile.h"
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopschema.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace kw::import {

using kw::core::CopyAside;
using kw::data::EngineError;

namespace {

// The shop tables the import writes, and the predecessor tables it rewrites.
const QStringList kShopTables = {QStringLiteral("Equipment"), QStringLiteral("Hrdf"), QStringLiteral("Lists"),
                                 QStringLiteral("Kits"), QStringLiteral("KitType"), QStringLiteral("Aircraft")};
const QStringList kRewritten = {QStringLiteral("HRDF.DBF"), QStringLiteral("ALSE.DBF"), QStringLiteral("SHRMSTR.DBF")};

// The jobs a mark in the copy names.
const QString kImportJob = QStringLiteral("import");
const QString kUndoJob = QStringLiteral("undo of an import");
// This run's own copy, when it takes up an interrupted import.
const QString kRunCopy = QStringLiteral("Run");

QString clean(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Whether path is one of the import's files, in either directory, any case.
std::function<bool(const QString &)> coversImportFiles(const QString &dataDir, const QString &marrowbyDir)
{
    QSet<QString> names;
    for (const QString &p : importFiles(dataDir, marrowbyDir))
        names.insert(clean(p).toLower());
    return [names](const QString &path) { return names.contains(clean(path).toLower()); };
}

CopyAside jobCopy(const QString &dataDir)
{
    return CopyAside(QDir(dataDir).filePath(kKeptDirName));
}

// The tables the changed files belong to, by the name a user knows: a shop
// table's .DB, a predecessor table's .DBF (an index or a memo file counts
// for its table).
QStringList tablesOf(const QStringList &changed)
{
    QStringList tables;
    for (const QString &p : changed) {
        const QString base = QFileInfo(p).completeBaseName();
        QString table = base + QStringLiteral(".DBF");
        for (const QString &t : kShopTables)
            if (t.compare(base, Qt::CaseInsensitive) == 0)
                table = t + QStringLiteral(".DB");
        if (!tables.contains(table))
            tables << table;
    }
    return tables;
}

} // namespace

const QStringList &importedTables()
{
    return kShopTables;
}

QStringList importFiles(const QString &dataDir, const QString &marrowbyDir)
{
    using kw::core::findFileNoCase;
    QStringList files;
    for (const QString &name : kShopTables) {
        const kw::data::shop::ShopTable *t = kw::data::shop::findTable(name);
        for (const QString &ext : t->fileExtensions())
            files << findFileNoCase(dataDir, t->name + QLatin1Char('.') + ext);
        // A journal is part of its table.
        const QString db = QFileInfo(findFileNoCase(dataDir, t->name + QStringLiteral(".DB"))).fileName();
        files << findFileNoCase(dataDir, kw::data::ParadoxTable::journalFileName(db));
    }
    if (!marrowbyDir.isEmpty())
        for (const QString &file : kRewritten) {
            files << findFileNoCase(marrowbyDir, file);
            files << findFileNoCase(marrowbyDir, QFileInfo(file).completeBaseName() + QStringLiteral(".DBT"));
        }
    return files;
}

bool importWasInterrupted(const QString &dataDir)
{
    return jobCopy(dataDir).state() == CopyAside::State::Interrupted;
}

QString interruptedImportText(const QString &dataDir)
{
    CopyAside job = jobCopy(dataDir);
    if (job.state() != CopyAside::State::Interrupted)
        return {};
    job.noticeInterruption();
    const QString dir = QDir::toNativeSeparators(QDir(dataDir).absolutePath());
    if (job.job() == kUndoJob)
        return QStringLiteral("Putting back the tables of %1 and the Marrowby files as they were before an import "
                              "was interrupted: they may be partly put back. \"kitwarden-cli import --undo\" "
                              "finishes it.")
            .arg(dir);
    return QStringLiteral("An import from Marrowby into %1 was interrupted: the shop tables and the Marrowby files "
                          "may be half imported. Run the import again to finish it, or \"kitwarden-cli import "
                          "--undo\" to put back the tables and the Marrowby files as they were before it.")
        .arg(dir);
}

QStringList changedSinceImport(const QString &dataDir)
{
    CopyAside job = jobCopy(dataDir);
    job.noticeInterruption();
    return tablesOf(job.changedSince());
}

ImportUndoReport undoImport(const QString &dataDir, const QString &marrowbyDir)
{
    ImportUndoReport u;
    CopyAside job = jobCopy(dataDir);
    try {
        switch (job.state()) {
        case CopyAside::State::None:
        case CopyAside::State::Kept:
            throw EngineError(QStringLiteral("There is no interrupted import to undo in %1.")
                                  .arg(QDir::toNativeSeparators(QDir(dataDir).absolutePath())));
        case CopyAside::State::Running:
            throw EngineError(QStringLiteral("An import into %1 is running in another process.")
                                  .arg(QDir::toNativeSeparators(QDir(dataDir).absolutePath())));
        default:
            break;
        }
        const auto covers = coversImportFiles(dataDir, marrowbyDir);
        for (const QString &p : job.paths())
            if (!covers(p))
                throw EngineError(QStringLiteral("The copy in %1 holds \"%2\", which is not a file of the import "
                                                 "into %3 from the Marrowby directory %4 (is the alias Marrowby "
                                                 "set to the directory it was imported from?). Nothing was put back.")
                                      .arg(QDir::toNativeSeparators(job.folder()),
                                           QDir::toNativeSeparators(kw::core::printable(p)),
                                           QDir::toNativeSeparators(dataDir), QDir::toNativeSeparators(marrowbyDir)));
        // A table another program writes cannot be replaced under it.
        if (const QStringList busy = kw::data::shop::tablesOpenForWriting(dataDir, kShopTables); !busy.isEmpty())
            throw EngineError(QStringLiteral("Nothing was put back: %1 is open for writing in another program.")
                                  .arg(busy.join(QStringLiteral(", "))));
        job.noticeInterruption();
        u.changedSince = tablesOf(job.changedSince());
        job.begin(kUndoJob);
        job.putBack(covers);
        job.discard();
        u.done = true;
    } catch (const std::exception &e) {
        u.error = kw::core::messageOf(e);
    }
    return u;
}

ImportCopies::ImportCopies(const QString &dataDir, const QString &marrowbyDir)
    : m_dataDir(dataDir), m_marrowbyDir(marrowbyDir), m_job(QDir(dataDir).filePath(kKeptDirName)),
      m_run(QDir(QDir(dataDir).filePath(kKeptDirName)).filePath(kRunCopy))
{
}

// The journals among the import's files: the tables are held open while
// the copy is taken, and an open table's journal is there, empty.
static QStringList journalsOf(const QStringList &files)
{
    const QString suffix = kw::data::ParadoxTable::journalFileName(QString());
    QStringList journals;
    for (const QString &f : files)
        if (f.endsWith(suffix, Qt::CaseInsensitive))
            journals << f;
    return journals;
}

bool ImportCopies::take()
{
    const QStringList files = importFiles(m_dataDir, m_marrowbyDir);
    switch (m_job.state()) {
    case CopyAside::State::Running:
        throw EngineError(QStringLiteral("An import into %1 is running in another process.")
                              .arg(QDir::toNativeSeparators(QDir(m_dataDir).absolutePath())));
    case CopyAside::State::Interrupted:
        if (m_job.job() != kImportJob)
            throw EngineError(QStringLiteral("Putting back the files of an interrupted import was itself "
                                             "interrupted: run \"kitwarden-cli import --undo\" to finish it first."));
    {
        // Taken up as it is: the tables as they are now, work done since
        // included, are what this run starts from and falls back to.
        m_job.noticeInterruption();
        const QStringList changed = m_job.changedSince();
        m_job.begin(kImportJob);
        m_run.take(files, kImportJob, journalsOf(files));
        m_resumed = true;
        // The predecessor's files are changed by the import alone, and the
        // interrupted one may have left a statement pair half done (holders
        // deleted, their consolidated record not yet inserted): they start
        // again from before it, unless someone changed them since.
        QStringList predecessor;
        bool touchedSince = false;
        for (const QString &p : m_job.paths())
            if (QDir::cleanPath(QFileInfo(p).absolutePath()) == QDir::cleanPath(QDir(m_marrowbyDir).absolutePath())) {
                predecessor << p;
                touchedSince = touchedSince || changed.contains(p);
            }
        if (!touchedSince && !predecessor.isEmpty()) {
            m_job.putBack(coversImportFiles(m_dataDir, m_marrowbyDir), predecessor);
            m_predecessorPutBack = true;
        }
        return true;
    }
    case CopyAside::State::Kept:
        m_job.discard(); // a copy whose import ended: nothing to take up
        [[fallthrough]];
    case CopyAside::State::None:
        m_job.take(files, kImportJob, journalsOf(files));
        return false;
    }
    return false;
}

void ImportCopies::completed()
{
    if (m_resumed)
        m_run.discard();
    m_job.discard();
}

void ImportCopies::failed()
{
    CopyAside &mine = m_resumed ? m_run : m_job;
    mine.putBack(coversImportFiles(m_dataDir, m_marrowbyDir));
    mine.discard();
    if (m_resumed)
        m_job.leaveInterrupted();
}

} // namespace kw::import
