// The import from the predecessor program, without a display: the same
// stages as the program's import dialog, the log on standard output.
#include "cli/command.h"
#include "data/engine/engineerror.h"
#include "data/engine/session.h"
#include "data/shop/shopschema.h"
#include "import/marrowbyimport.h"
#include "settings/iniout.h"
#include "settings/registry.h"
#include "settings/setuptexts.h"

#include <QDir>

namespace kw::cli {
namespace {

using namespace kw::import;

// Puts back what an interrupted import changed, after a yes to a question
// that names the tables whose changes since go with it.
int undo(const QString &dataDir, const QString &marrowby, bool yes)
{
    if (!importWasInterrupted(dataDir)) {
        err(QStringLiteral("There is no interrupted import to undo in %1.").arg(QDir::toNativeSeparators(dataDir)));
        return 1;
    }
    QString question = QStringLiteral("Put back the shop tables and the Marrowby files as they were before the "
                                      "interrupted import?");
    if (const QStringList changed = changedSinceImport(dataDir); !changed.isEmpty())
        question += QStringLiteral(" Changes made since to %1 are lost then.").arg(changed.join(QStringLiteral(", ")));
    if (const Answer a = ask(question, yes); a != Answer::Yes)
        return declined(a, QStringLiteral("import --undo"));
    const ImportUndoReport u = undoImport(dataDir, marrowby);
    if (!u.done) {
        err(u.error);
        return 1;
    }
    out(QStringLiteral("The shop tables and the Marrowby files are back as they were before the interrupted import."));
    if (!u.changedSince.isEmpty())
        err(QStringLiteral("Changes made since the import was interrupted to %1 are gone with it.")
                .arg(u.changedSince.join(QStringLiteral(", "))));
    return 0;
}

Register importCmd("import", "import [--yes] [--undo]   (the predecessor's tables of the alias Marrowby; --undo puts "
                             "back what an interrupted import changed; --yes: without asking first)",
                   [](Context &ctx) {
    const bool yes = takeSwitch(ctx.args, QStringLiteral("--yes"));
    const bool undoing = takeSwitch(ctx.args, QStringLiteral("--undo"));
    expectArgs(ctx.args, 0, 0);
    kw::data::Session session;
    kw::data::shop::prepareSession(session);
    const QString marrowby = marrowbyDirectory(session);
    if (undoing)
        return undo(ctx.dataDir, marrowby, yes);
    if (marrowby.isEmpty()) {
        for (const QString &line : kNoMarrowbyMessage)
            err(line);
        return 1;
    }
    const ImportOptions options{ctx.dataDir, marrowby, {}, {}};
    const Answer answer = ask(importQuestion(previewImport(session, options),
                                             kw::settings::readSetupTexts().Company),
                              yes);
    if (answer != Answer::Yes)
        return declined(answer, QStringLiteral("the import"));
    const ImportReport r = importFromMarrowby(session, options);
    for (const QString &line : r.log)
        out(line);
    if (!r.logError.isEmpty())
        err(r.logError);
    if (!r.completed) {
        err(r.error);
        if (!r.restored)
            err(QStringLiteral("The files could not all be put back (%1); copies are kept in %2, and "
                               "\"kitwarden-cli import --undo\" puts them back.")
                    .arg(r.restoreError, QDir::toNativeSeparators(r.keptDir)));
        return 1;
    }
    // The program keeps the company name among its setup texts.
    if (!r.company.isNull()) {
        auto reg = kw::settings::openRegistry(kw::settings::TRegRoots::CURRENT_USER);
        if (!reg->openKey(kw::settings::kSetupKey, true))
            throw kw::data::EngineError(QStringLiteral("Cannot store the company name in the settings"));
        reg->writeString(QStringLiteral("Company"), r.company);
    }
    return 0;
});

} // namespace
} // namespace kw::cli
