// Backup and restore throughput of a 50 MB data directory beside gzip -9 and
// gzip -d on the same bytes, with the ratios, and the peak memory.
//   bench_archive [MB] [runs]
#include "archive/backup.h"
#include "archive/restore.h"
#include "data/shop/shopschema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace kw::archive;

static long maxRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Table-like bytes: 2 KiB blocks of fixed-length records, text padded with
// zeros, as the shop's Paradox tables look.
static void writeTable(const QString &path, qint64 size, quint32 seed)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QRandomGenerator g(seed);
    static const char *words[] = {"SURVIVAL VEST", "SRU-21/P", "LPU-10/P", "HGU-56/P HELMET", "PRC-112",
                                  "SIGNAL KIT", "FLARE MK124", "RAFT 7 MAN", "FIRST AID KIT", "BATTERY BA-5590"};
    QByteArray block(2048, '\0');
    while (size > 0) {
        block.fill('\0');
        for (int r = 0; r + 120 <= 2048 - 6; r += 120) {
            char *rec = block.data() + 6 + r;
            const QByteArray text = QByteArray(words[g.bounded(10)]) + ' ' + QByteArray::number(g.bounded(100000));
            memcpy(rec, text.constData(), size_t(text.size()));
            const quint32 date = 730000 + g.bounded(3650);
            memcpy(rec + 60, &date, 4);
            rec[70] = char(g.bounded(2));
        }
        const qint64 n = qMin<qint64>(size, 2048);
        f.write(block.constData(), n);
        size -= n;
    }
}

static void writeFill(const QString &path, qint64 size, bool random, quint32 seed)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QRandomGenerator g(seed);
    QByteArray chunk(1 << 20, '\0');
    while (size > 0) {
        if (random)
            g.fillRange(reinterpret_cast<quint32 *>(chunk.data()), chunk.size() / 4);
        const qint64 n = qMin<qint64>(size, chunk.size());
        f.write(chunk.constData(), n);
        size -= n;
    }
}

static double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

static double timeProcess(const QString &cmd, const QStringList &args, const QString &outFile)
{
    QProcess p;
    p.setStandardOutputFile(outFile);
    QElapsedTimer t;
    t.start();
    p.start(cmd, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(cmd));
        std::exit(1);
    }
    return t.nsecsElapsed() / 1e9;
}

// The data directory: 20% incompressible, 20% zeros, the rest table files of
// varied sizes. Returns every file of the shop with its path.
static QStringList writeData(const QString &data, qint64 total, const DatabaseFiles &shopFiles)
{
    const QStringList &names = shopFiles.names();
    writeFill(data + QStringLiteral("/Kits.DB"), total / 5, true, 1);
    writeFill(data + QStringLiteral("/Parts.DB"), total / 5, false, 2);
    qint64 rest = total - 2 * (total / 5);
    QList<QString> tables;
    for (const QString &n : names)
        if (n != QLatin1String("Kits.DB") && n != QLatin1String("Parts.DB"))
            tables << n;
    qint64 weightSum = 0;
    for (int i = 0; i < tables.size(); ++i)
        weightSum += (i % 7) + 1;
    for (int i = 0; i < tables.size(); ++i) {
        const qint64 size = i + 1 == tables.size() ? rest : total * 3 / 5 * ((i % 7) + 1) / weightSum;
        writeTable(data + '/' + tables[i], size, quint32(i + 10));
        rest -= size;
    }
    QStringList files;
    for (const QString &n : names)
        files << data + '/' + n;
    return files;
}

struct Runs {
    QList<double> backup, extract, restore, gz, gunzip;
};

static bool timeBackup(const QString &arc, const QString &data, const DatabaseFiles &shopFiles, Runs &runs)
{
    TArchiver a;
    configureForApplication(a);
    QElapsedTimer t;
    t.start();
    const BackupReport rep = backupDatabase(a, arc, data, shopFiles);
    runs.backup << t.nsecsElapsed() / 1e9;
    if (!rep.complete())
        return std::fprintf(stderr, "backup incomplete\n"), false;
    return true;
}

// The extraction alone, then the whole restore job (which first copies the
// current files aside so it can be undone).
static bool timeRestore(const QString &arc, const QString &dest, const DatabaseFiles &shopFiles, Runs &runs)
{
    TArchiver a;
    configureForApplication(a);
    a.setFileName(arc);
    a.ExtractPath = dest;
    QElapsedTimer t;
    t.start();
    a.ExtractFiles();
    a.Close();
    runs.extract << t.nsecsElapsed() / 1e9;
    TArchiver b;
    configureForApplication(b);
    t.restart();
    const RestoreReport rep = restoreDatabase(b, arc, dest, shopFiles);
    runs.restore << t.nsecsElapsed() / 1e9;
    if (!rep.complete())
        return std::fprintf(stderr, "restore incomplete\n"), false;
    QDir(dest).removeRecursively();
    return true;
}

static void timeGzip(const QTemporaryDir &tmp, const QStringList &files, Runs &runs)
{
    runs.gz << timeProcess(QStringLiteral("gzip"), QStringList{QStringLiteral("-9"), QStringLiteral("-c")} + files,
                           tmp.filePath(QStringLiteral("all.gz")));
    runs.gunzip << timeProcess(QStringLiteral("gzip"), {QStringLiteral("-d"), QStringLiteral("-c"), tmp.filePath(QStringLiteral("all.gz"))},
                               tmp.filePath(QStringLiteral("all.raw")));
}

static void printFigures(const Runs &runs, int count, double mib, double arcSize, double gzSize)
{
    const double tb = mib / median(runs.backup), te = mib / median(runs.extract), tr = mib / median(runs.restore);
    const double tg = mib / median(runs.gz), td = mib / median(runs.gunzip);
    std::printf("medians of %d runs, throughput in MiB/s of uncompressed data\n", count);
    std::printf("  backup (level 9)      %7.1f MiB/s   archive %.1f MiB\n", tb, arcSize);
    std::printf("  gzip -9               %7.1f MiB/s   output  %.1f MiB\n", tg, gzSize);
    std::printf("  backup / gzip -9      %7.2f\n", tb / tg);
    std::printf("  extract               %7.1f MiB/s\n", te);
    std::printf("  restore job (+undo)   %7.1f MiB/s\n", tr);
    std::printf("  gzip -d               %7.1f MiB/s\n", td);
    std::printf("  extract / gzip -d     %7.2f\n", te / td);
    std::printf("  restore job / gzip -d %7.2f\n", tr / td);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 mb = argc > 1 ? QByteArray(argv[1]).toLongLong() : 50;
    const int runs = argc > 2 ? QByteArray(argv[2]).toInt() : 3;
    QTemporaryDir tmp;
    const QString data = tmp.filePath(QStringLiteral("data"));
    QDir().mkpath(data);

    const qint64 total = mb << 20;
    const DatabaseFiles shopFiles(kw::data::shop::databaseFiles(), kw::data::shop::journalFiles());
    const QStringList files = writeData(data, total, shopFiles);
    qint64 bytes = 0;
    for (const QString &f : files)
        bytes += QFileInfo(f).size();
    const double mib = bytes / 1048576.0;
    std::printf("data: %d files, %.1f MiB (20%% random, 20%% zeros, 60%% table pages)\n", int(files.size()), mib);

    const long rssBase = maxRssKb();
    Runs times;
    const QString arc = tmp.filePath(QStringLiteral("out/Backup.Alse"));
    for (int r = 0; r < runs; ++r) {
        if (!timeBackup(arc, data, shopFiles, times)
            || !timeRestore(arc, tmp.filePath(QStringLiteral("x%1").arg(r)), shopFiles, times))
            return 1;
        timeGzip(tmp, files, times);
    }
    const long rssPeak = maxRssKb();
    const double arcSize = QFileInfo(arc).size() / 1048576.0, gzSize = QFileInfo(tmp.filePath(QStringLiteral("all.gz"))).size() / 1048576.0;
    printFigures(times, runs, mib, arcSize, gzSize);
    std::printf("peak memory: %ld KiB before the runs, %ld KiB after (largest file %.1f MiB)\n", rssBase, rssPeak,
                (total / 5) / 1048576.0);
    return 0;
}
