#pragma once
// What an import sets aside before its first change, and the way back. The
// six shop tables it writes (every file, their journals included) and the
// predecessor's files it rewrites are copied to Import-Undo in the data
// directory with the mark of a running import (core/copyaside). An import
// that fails puts them back. One that is killed leaves the copy marked:
// every later start of the program and every command reports it, and the
// user either runs the import again, which finishes it from the tables as
// they are (work done since included), or puts back the state from before
// it ("kitwarden-cli import --undo"), being told which files changed since.
#include "core/copyaside.h"

#include <QString>
#include <QStringList>

namespace kw::data { class Session; }

namespace kw::import {

// Where the copies taken before the first change are kept, in the data directory.
inline const QString kKeptDirName = QStringLiteral("Import-Undo");

// The shop tables an import writes ("Equipment", ...).
const QStringList &importedTables();
// The files an import changes: every file of the six shop tables in dataDir
// and of the predecessor's tables it rewrites in marrowbyDir.
QStringList importFiles(const QString &dataDir, const QString &marrowbyDir);

// Whether an import into dataDir, or the undo of one, was interrupted.
bool importWasInterrupted(const QString &dataDir);
// What to tell the user then, with the ways out; empty when nothing was
// interrupted. The first call after the interruption notes the state of the
// files, so that an undo can say what changed since.
QString interruptedImportText(const QString &dataDir);
// The tables an undo would take back whose files were changed since the
// import was interrupted (whose changes the undo drops): "Lists.DB",
// "HRDF.DBF".
QStringList changedSinceImport(const QString &dataDir);

struct ImportUndoReport {
    bool done = false;
    QString error;
    QStringList changedSince; // tables whose later changes went with the undo
};
// Puts the shop tables and the predecessor's files back as they were before
// an import that was interrupted. It marks itself as the import does: an
// undo stopped part-way is reported, and the next undo finishes it. A shop
// table open for writing elsewhere refuses it before anything is changed.
ImportUndoReport undoImport(const QString &dataDir, const QString &marrowbyDir);

// The copies one import run takes (see importFromMarrowby).
class ImportCopies {
public:
    ImportCopies(const QString &dataDir, const QString &marrowbyDir);
    // Before the first change, while the shop tables are held for writing:
    // takes the copy, or, when an earlier import was interrupted, takes that
    // one up (its copy stays the way back) with a copy of this run's own;
    // the predecessor's files then start again from before that import.
    // Returns whether it took one up. Throws when an import runs elsewhere
    // or an undo of one was interrupted.
    bool take();
    // After take(): whether the predecessor's files were put back as they
    // were before the import taken up (they had not changed since it was
    // interrupted).
    bool predecessorPutBack() const { return m_predecessorPutBack; }
    // The import completed: the copies go.
    void completed();
    // The import failed (its tables released): the files go back to what
    // they were before this run; an import taken up stays interrupted.
    void failed();
    QString directory() const { return m_job.folder(); }

private:
    QString m_dataDir, m_marrowbyDir;
    kw::core::CopyAside m_job, m_run;
    bool m_resumed = false;
    bool m_predecessorPutBack = false;
};

} // namespace kw::import
