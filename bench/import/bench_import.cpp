// Prints the median time of a whole import from a predecessor directory of a
// given size, and of its longest stages, over several runs on fresh copies.
//   bench_import [HOLDERS ITEMS [RUNS]]   default: 500 10000 5
//   bench_import --write DIR [HOLDERS ITEMS]   writes such a directory for a
//                                            run by hand from the program
#include "marrowbyfixture.h"

#include "data/engine/session.h"
#include "data/shop/shopschema.h"
#include "import/marrowbyimport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace kw::data;
using namespace kw::import;
using namespace kwtest;

namespace {

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

// A shop's years of hand receipts: a few holder numbers held twice, items of
// holders long gone, items whose NSN the master list lacks, blank NSNs.
Marrowby predecessor(int holders, int items)
{
    Marrowby m;
    for (int h = 1; h <= holders; ++h) {
        m.holders << MarrowbyHolder{h, QStringLiteral("HOLDER %1, O'NAME").arg(h)};
        if (h % 100 == 0)
            m.holders << MarrowbyHolder{h, QStringLiteral("SECOND HOLDER %1").arg(h)};
    }
    const int listed = 400;
    for (int i = 0; i < listed; ++i)
        m.master << MarrowbyMaster{QStringLiteral("8465-01-%1").arg(i, 6, 10, QLatin1Char('0')), QStringLiteral("L%1").arg(i),
                                   QStringLiteral("ITEM %1 \"TYPE\": %2").arg(i).arg(i % 7), QStringLiteral("EA"),
                                   QStringLiteral("1"), i % 3 ? QStringLiteral("Y") : QStringLiteral("D"),
                                   QString::number(i % 3 ? 1 : 180)};
    for (int i = 0; i < items; ++i) {
        const int kind = i % 100;
        QString nsn = QStringLiteral("8465-01-%1").arg(i % listed, 6, 10, QLatin1Char('0'));
        if (kind == 7)
            nsn = QStringLiteral("9999-00-%1").arg(i % 20, 6, 10, QLatin1Char('0')); // not in the master list
        else if (kind == 13)
            nsn.clear();
        const int hr = kind == 42 ? holders + 1 + i % 5 : 1 + i % holders;
        m.items << MarrowbyItem{hr, nsn, QStringLiteral("ITEM %1").arg(i % listed), QStringLiteral("SN%1").arg(i),
                                QStringLiteral("remark %1").arg(i), 1 + i % 3, QDate(2026, 1, 1).addDays(i % 700)};
    }
    for (int k = 0; k < 300; ++k)
        m.kits << MarrowbyKit{QStringLiteral("90-%1").arg(26000 + k / 5), QStringLiteral("KIT%1").arg(k % 10),
                              QStringLiteral("K%1").arg(k), QStringLiteral("LOT %1").arg(k), QDate(2027, 1, 1).addDays(k),
                              QStringLiteral("180"), QStringLiteral("D"), QDate(2026, 6, 1).addDays(k)};
    return m;
}

// Time from one status line to the next, summed per stage name.
struct StageClock : ImportProgress {
    QElapsedTimer clock;
    QString current;
    QMap<QString, double> ms;
    void started() override
    {
        clock.start();
        current = QStringLiteral("(copies kept before the first change)");
    }
    void status(const QString &text) override
    {
        const QString stage = text.section(QStringLiteral(" - "), 0, 0);
        if (!current.isEmpty())
            ms[current] += clock.nsecsElapsed() / 1e6;
        clock.restart();
        current = stage;
    }
    void progress(int, int) override {}
};

void copyDir(const QString &from, const QString &to)
{
    for (const QString &f : QDir(from).entryList(QDir::Files))
        QFile::copy(QDir(from).filePath(f), QDir(to).filePath(f));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList a = app.arguments();
    if (a.value(1) == QLatin1String("--write") && a.size() > 2) {
        const QString dir = a[2];
        a.remove(1, 2);
        QDir().mkpath(dir);
        predecessor(a.size() > 2 ? a[1].toInt() : 500, a.size() > 2 ? a[2].toInt() : 10000).write(dir);
        return 0;
    }
    const int holders = a.size() > 2 ? a[1].toInt() : 500;
    const int items = a.size() > 2 ? a[2].toInt() : 10000;
    const int runs = a.size() > 3 ? a[3].toInt() : 5;

    QTemporaryDir shopTemplate, marrowbyTemplate;
    shop::createMissingTables(shopTemplate.path());
    predecessor(holders, items).write(marrowbyTemplate.path());

    QVector<double> totals;
    QMap<QString, QVector<double>> stages;
    for (int r = 0; r < runs; ++r) {
        QTemporaryDir data, marrowby;
        copyDir(shopTemplate.path(), data.path());
        copyDir(marrowbyTemplate.path(), marrowby.path());
        Session session;
        StageClock clock;
        QElapsedTimer t;
        t.start();
        const ImportReport rep = importFromMarrowby(
            session, ImportOptions{data.path(), marrowby.path(), QDate(2026, 12, 9), QStringLiteral("d/M/yyyy")}, &clock);
        totals << t.nsecsElapsed() / 1e6;
        clock.status(QStringLiteral("(end)")); // the time after "Complete": copies dropped, files closed, log
        if (!rep.completed) {
            std::fprintf(stderr, "import failed: %s\n", qPrintable(rep.error));
            return 1;
        }
        for (auto it = clock.ms.cbegin(); it != clock.ms.cend(); ++it)
            stages[it.key() == QLatin1String("Complete") ? QStringLiteral("(closing, copies dropped, log)") : it.key()]
                << it.value();
        if (r == 0)
            std::printf("%d holders, %d items: %d holders, %d items, %d master entries, %d kits imported\n", holders,
                        items, rep.holders + rep.orphanHolders, rep.items, rep.masterAdded + rep.orphanMasterAdded,
                        rep.kits);
    }
    std::printf("whole import, median of %d runs: %.0f ms\n", runs, median(totals));
    QVector<QPair<double, QString>> byTime;
    for (auto it = stages.cbegin(); it != stages.cend(); ++it)
        byTime << qMakePair(median(it.value()), it.key());
    std::sort(byTime.begin(), byTime.end(), std::greater<>());
    for (int i = 0; i < byTime.size() && i < 8; ++i)
        std::printf("  %-40s %7.0f ms\n", qPrintable(byTime[i].second), byTime[i].first);
    return 0;
}
