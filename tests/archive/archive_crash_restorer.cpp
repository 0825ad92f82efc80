// Helper of tst_archivesafety: restores an archive into a data directory
// with the shop's settings and kills itself (SIGKILL, as a power cut or a
// kill -9 would) right after the given number of files was replaced.
#include "archivefixture.h"
#include "archive/backup.h"
#include "archive/restore.h"
#include "data/shop/shopschema.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

using namespace kw::archive;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: archive_crash_restorer ARCHIVE DATADIR FILES\n");
        return 2;
    }
    const int killAfter = args[3].toInt();
    TArchiver a;
    configureForApplication(a);
    int done = 0;
    a.OnFileExtracted = [&](const TFileEntry &, const QString &) {
        if (++done == killAfter)
            std::raise(SIGKILL);
    };
    const RestoreReport r = restoreDatabase(a, args[1], args[2], kwtest::shopDatabaseFiles());
    std::fprintf(stderr, "restore ended by itself: %lld files\n", qlonglong(r.restored.size()));
    return 1;
}
