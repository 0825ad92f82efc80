#pragma once
// The one-shot import of the predecessor program Marrowby: its dBase tables
// (HRDF, ALSE, SHRMSTR, CWX) and "Suggest.DB", reached through the alias
// "Marrowby", fill the holders, hand receipt items, aircraft and survival
// kits of this program and add what is missing to the master list and the
// kit types. It repairs some of the predecessor's data in place on the way.
//
// All or nothing: before the first change the six tables it writes and the
// predecessor files it rewrites are copied aside (importundo.h); when any
// stage fails they are all put back. A run killed part-way is reported at
// every later start; the next run finishes it, or undoImport puts back the
// state from before it. No widgets here: the dialog and kitwarden-cli watch it
// through ImportProgress and read the ImportReport it returns.
#include "import/importundo.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace kw::data { class Session; }

namespace kw::import {

// The alias of the predecessor's directory, matched exactly.
inline const QString kMarrowbyAlias = QStringLiteral("Marrowby");
// What the user is told when the alias is not there (two lines).
inline const QStringList kNoMarrowbyMessage = {
    QStringLiteral("Marrowby does not appear to be on your system."),
    QStringLiteral("Please contact Support if you think this an error."),
};
// The log, written to the data directory.
inline const QString kLogFileName = QStringLiteral("Import.txt");

// The predecessor's directory when its alias is configured, else empty.
QString marrowbyDirectory(const kw::data::Session &session);

class ImportProgress {
public:
    virtual ~ImportProgress() = default;
    // The import starts: both bars at 1 and shown.
    virtual void started() {}
    // The status line changes; show it at once.
    virtual void status(const QString &text) = 0;
    // Percentages of the current stage and of the whole import (0..100);
    // called only when one of them changed.
    virtual void progress(int part, int total) = 0;
};

struct ImportOptions {
    QString dataDir;      // this program's tables; the log goes here too
    QString marrowbyDir;  // the predecessor's tables
    // Date and short date format of the NSNs given to items without a
    // master-list entry ("1 - 9/12/2026"). Invalid / empty: today and the
    // system's short date format.
    QDate today;
    QString shortDateFormat;
};

struct ImportReport {
    bool completed = false;   // every stage ran
    QString error;            // the error that stopped the import
    QString failedStatus;     // the status line shown when it stopped
    // After a failure: whether the kept files were all put back, and if
    // not, why (the copies then stay in keptDir, marked as an interrupted
    // import: undoImport puts them back).
    bool restored = false;
    QString restoreError;
    QString keptDir;
    // Title of "Suggest.DB": the setup text Company, to be taken over only
    // when the import completed. Null when Suggest.DB has no title.
    QString company;
    QStringList log;          // the lines of the log, as written to logFile
    QString logFile;          // the log's path; empty when it could not be written
    QString logError;

    // Counts for callers and tests.
    int holders = 0, orphanHolders = 0, removedCharacters = 0, masterAdded = 0, orphanItems = 0,
        orphanMasterAdded = 0, items = 0, blankNsnItems = 0, aircraft = 0, kitTypes = 0, kits = 0;
};

// What an import would replace, counted on both sides before anything is
// changed, so that the user can be asked first.
struct ImportPreview {
    // This program's tables as they are.
    int holders = 0, items = 0, aircraft = 0, kits = 0;
    // What the predecessor's tables bring: holders (numbered, and those
    // known only from items), items with an NSN, distinct tail numbers and
    // kits. -1 where a table cannot be read (the import then stops there
    // and says why).
    int marrowbyHolders = -1, marrowbyItems = -1, marrowbyAircraft = -1, marrowbyKits = -1;
    QString marrowbyCompany; // the title of Suggest.DB; empty when there is none
};

// Counts both sides; reads only. Never throws.
ImportPreview previewImport(const kw::data::Session &session, const ImportOptions &options);

// The question before an import: what it replaces, with the counts of both
// sides, and what it keeps. company is this program's company name now.
QString importQuestion(const ImportPreview &p, const QString &company);

// Runs every stage. The shop tables must not be held open by any dataset
// (the main window closes them first); the session's open table files of
// both directories are released when it returns. Never throws: every error
// ends up in the report, and the log is written in every case.
ImportReport importFromMarrowby(kw::data::Session &session, const ImportOptions &options,
                                ImportProgress *progress = nullptr);

} // namespace kw::import
