// The import from the predecessor program, without a display: the same
// stages as the program's import dialog, the log on standard output.
#include "cli/command.h"
#include "data/engineerror.h"
#include "data/session.h"
#include "data/shopschema.h"
#include "import/marrowbyimport.h"
#include "settings/iniout.h"
#include "settings/registry.h"
#include "settings/setuptexts.h"

#include <QDir>

namespace kw::cli {
namespace {

using namespace kw::import;

Register importCmd("import", "import [--yes]   (the predecessor's tables of the alias Marrowby)", [](Context &ctx) {
    const bool yes = takeSwitch(ctx.args, QStringLiteral("--yes"));
    expectArgs(ctx.args, 0, 0);
    kw::data::Session session;
    session.addPassword(kw::data::shop::kTablePassword);
    const QString marrowby = marrowbyDirectory(session);
    if (marrowby.isEmpty()) {
        for (const QString &line : kNoMarrowbyMessage)
            err(line);
        return 1;
    }
    const ImportOptions options{ctx.dataDir, marrowby, {}, {}};
    const Answer answer = ask(importQuestion(previewImport(session, options),
                                             kw::settings::readSetupTexts().value(QStringLiteral("Company"))),
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
            err(QStringLiteral("The files could not all be put back (%1); copies are kept in %2.")
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
