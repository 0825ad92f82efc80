// The inspections page on a large demo shop: entering it from the hand
// receipts page (the first time, when qryInsp is read, and again later), and
// re-sorting it by a click on a column title, each until the grid has been
// painted with its new rows. Wall time and the CPU time of this thread (on a
// busy machine wall time mostly measures the other processes).
// Usage: bench_pages [items] [runs]   (default 50000 items, 7 runs)
#include "app/dbgrid.h"
#include "app/frmmain.h"
#include "app/outlookbar.h"
#include "data/shop/demoshop.h"
#include "data/shop/dmmain.h"

#include "bench/app/benchshop.h"
#include "bench/benchtiming.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <ctime>

using kwbench::cpuMs;
using kwbench::median;

namespace {

// Whole pages take tens of milliseconds: one decimal is enough.
struct Timing : kwbench::Timing {
    void print(const char *what) const { kwbench::Timing::print(what, 44, 1); }
};

// Runs step and waits until the window has painted what it changed.
void measure(Timing &t, QWidget *window, const std::function<void()> &step)
{
    QElapsedTimer clock;
    const double c0 = cpuMs();
    clock.start();
    step();
    QApplication::processEvents();
    window->grab();
    t.wall << clock.nsecsElapsed() / 1e6;
    t.cpu << cpuMs() - c0;
}

void clickItem(kw::app::TfrmMain &frm, const char *list, int index)
{
    auto *l = frm.findChild<QListWidget *>(QLatin1String(list));
    auto *bar = frm.findChild<kw::app::TOutlookBar *>();
    bar->openGroup(bar->groupOf(l));
    l->doItemsLayout();
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(index)).center());
}

void clickTitle(kw::app::TDBGrid *grid, const QString &field)
{
    const int col = grid->gridModel()->columnOfField(field);
    QHeaderView *h = grid->horizontalHeader();
    h->setOffsetToSectionPosition(col);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2));
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir cfg;
    qputenv("KITWARDEN_CONFIG_DIR", cfg.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int items = kwbench::argOr(argc, argv, 1, 50000);
    const int runs = kwbench::argOr(argc, argv, 2, 7);

    QTemporaryDir data;
    kwbench::makeDemoShop(data.path(), items);

    Timing firstEntry, laterEntry, resort, back;
    int rows = 0;
    for (int i = 0; i < runs; ++i) {
        kw::data::Session session;
        kw::data::TdmMain dm(session);
        kw::app::TfrmMain frm(dm);
        frm.setDataDirectory(data.path());
        frm.runSplash = nullptr;
        frm.autoUpdateCheck = nullptr;
        frm.show();
        QApplication::processEvents();
        // What the program does in idle time after start-up happens before the
        // user's first click.
        QTest::qWait(1000);
        QApplication::processEvents();
        auto *grid = frm.findChild<kw::app::TDBGrid *>(QStringLiteral("grdInsp"));

        measure(firstEntry, &frm, [&] { clickItem(frm, "olListMaint", 1); });
        rows = dm.qryInsp.recordCount();
        const char *titles[] = {"Nomenclature", "Hr Holder", "Serial Number", "Insp Due"};
        for (const char *title : titles)
            measure(resort, &frm, [&] { clickTitle(grid, QLatin1String(title)); });
        // Leaving to the hand receipts page and coming back: the query keeps
        // its rows, entering restores the due-date order.
        clickTitle(grid, QStringLiteral("OH"));
        clickItem(frm, "olListMaint", 0);
        measure(back, &frm, [&] { clickItem(frm, "olListMaint", 1); });
        clickItem(frm, "olListMaint", 0);
        measure(laterEntry, &frm, [&] { clickItem(frm, "olListMaint", 1); });
        frm.hide();
    }
    std::printf("qryInsp: %d rows\n", rows);
    firstEntry.print("enter inspections, first time");
    resort.print("re-sort by a title click");
    back.print("enter again, order restored");
    laterEntry.print("enter again, same order");
    return 0;
}
