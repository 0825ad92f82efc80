// What is due on a large demo shop: the status bar's counts after a post
// (the post itself, the count that follows it, and both with the events
// they start), counting with nothing changed, the first count of a start,
// and kitwarden-cli due as a script runs it. Wall time and this thread's
// CPU time (on a busy machine wall time mostly measures the others).
// Usage: bench_due [items] [runs]   (default 50000 items, 15 runs)
#include "app/frmmain.h"
#include "data/shop/demoshop.h"
#include "data/shop/dmmain.h"
#include "data/shop/duelist.h"

#include "bench/app/benchshop.h"
#include "bench/benchtiming.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <ctime>

using kwbench::cpuMs;
using kwbench::median;

namespace {

// The labels here are a little longer than elsewhere.
struct Timing : kwbench::Timing {
    void print(const char *what) const { kwbench::Timing::print(what, 46); }
};

struct Timings {
    Timing firstCount, post, recount, postAndEvents, unchanged;
    kw::data::DueCounts counts;
};

// The first count of a start: the master list and holders read too.
void timeFirstCount(const QString &dataDir, int runs, Timings &tm)
{
    for (int i = 0; i < std::max(3, runs / 3); ++i) {
        kw::data::Session session;
        kw::data::TdmMain dm(session);
        dm.dbMain.setParam(QStringLiteral("PATH"), dataDir + QLatin1Char('/'));
        for (kw::data::TableDataset *t : dm.shopTables())
            t->open();
        kw::data::DueScan scan(session);
        tm.firstCount.measure([&] { tm.counts = scan.counts(dm.dbMain.directory(), kw::data::Clock::today()); });
    }
}

// One run in the main window: a due date moved and posted, the counts taken
// again, then the date put back with the events the post starts.
void timeOnePost(kw::app::TfrmMain &frm, kw::data::Dataset &hr, int i, Timings &tm)
{
    hr.moveTo(i % std::max(1, hr.recordCount()));
    hr.edit();
    // A due date moved: the counts change with it.
    const QDate due = hr.fieldByName(QStringLiteral("Insp Due")).value().toDate();
    hr.fieldByName(QStringLiteral("Insp Due"))
        .setValue(due.isValid() ? QVariant() : QVariant(kw::data::Clock::today().addDays(-1)));
    tm.post.measure([&] { hr.post(); });
    // The count the post schedules, run here to time it alone.
    tm.recount.measure([&] { frm.showDueCounts(); });
    QApplication::processEvents();
    tm.unchanged.measure([&] { frm.showDueCounts(); });
    hr.edit();
    hr.fieldByName(QStringLiteral("Insp Due")).setValue(due.isValid() ? QVariant(due) : QVariant());
    tm.postAndEvents.measure([&] {
        hr.post();
        QApplication::processEvents(); // the coalesced count, the holder check
    });
}

void timePosts(const QString &dataDir, int runs, Timings &tm)
{
    kw::data::Session session;
    kw::data::TdmMain dm(session);
    kw::app::TfrmMain frm(dm);
    frm.setDataDirectory(dataDir);
    frm.runSplash = nullptr;
    frm.autoUpdateCheck = nullptr;
    frm.show();
    QTest::qWait(1000); // start-up's idle work done first
    kw::data::Dataset &hr = dm.tblHr; // the hand receipts page is shown
    for (int i = 0; i < runs; ++i)
        timeOnePost(frm, hr, i, tm);
    frm.hide();
}

void printFigures(const Timings &tm)
{
    const kw::data::DueCounts &counts = tm.counts;
    std::printf("counts: %d overdue, %d due soon, %d never inspected; kits %d overdue, %d due soon, %d food expired\n",
                counts.overdue, counts.dueSoon, counts.neverInspected, counts.kitsOverdue, counts.kitsDueSoon,
                counts.kitsFoodExpired);
    tm.firstCount.print("first count (tables open)");
    tm.post.print("post of one item (Hand Receipts)");
    tm.recount.print("count again after that post");
    tm.postAndEvents.print("post and the events it starts");
    tm.unchanged.print("count again, nothing changed");
}

// The command line, as cron runs it.
void timeCli(const QString &dataDir, int runs)
{
    Timing cli;
    int code = -1;
    for (int i = 0; i < std::max(3, runs / 3); ++i)
        cli.measure([&] {
            QProcess p;
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start(QStringLiteral(KW_CLI_PATH), {QStringLiteral("--data"), dataDir, QStringLiteral("due")});
            p.waitForFinished(60000);
            code = p.exitCode();
        });
    std::printf("kitwarden-cli due exit code: %d\n", code);
    cli.print("kitwarden-cli due (process, wall)");
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir cfg;
    qputenv("KITWARDEN_CONFIG_DIR", cfg.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int items = kwbench::argOr(argc, argv, 1, 50000);
    const int runs = kwbench::argOr(argc, argv, 2, 15);

    QTemporaryDir data;
    kwbench::makeDemoShop(data.path(), items);

    Timings tm;
    timeFirstCount(data.path(), runs, tm);
    timePosts(data.path(), runs, tm);
    printFigures(tm);
    timeCli(data.path(), runs);
    return 0;
}
