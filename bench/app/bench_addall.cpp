// "Add All Items" of the office supplies page on a shop whose master office
// parts list has N parts: from the click on "Add" until the dialog has closed
// and the page shows the new rows, with how often the progress bar was drawn
// on the way. For comparison the same rows appended one by one without a
// batch, the way a single edit is stored (every row written, synced and the
// joined query read again), on a shorter list: that cost grows with the
// square of the list.
// Usage: bench_addall [parts] [runs] [unbatched parts]   (default 2000, 3, 300)
#include "app/frmmain.h"
#include "app/outlookbar.h"
#include "app/partsaddall.h"
#include "bench/benchtiming.h"
#include "data/shop/demoshop.h"
#include "data/shop/dmmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

using kwbench::cpuMs;

namespace {

struct Window {
    kw::data::Session session;
    kw::data::TdmMain dm{session};
    kw::app::TfrmMain frm{dm};

    explicit Window(const QString &dir)
    {
        frm.setDataDirectory(dir);
        frm.runSplash = nullptr;
        frm.autoUpdateCheck = nullptr;
        frm.show();
        QApplication::processEvents();
    }
    void openBenchStock()
    {
        auto *l = frm.findChild<QListWidget *>(QStringLiteral("olListOffice"));
        auto *bar = frm.findChild<kw::app::TOutlookBar *>();
        bar->openGroup(bar->groupOf(l));
        l->doItemsLayout();
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(0)).center());
        QApplication::processEvents();
    }
};

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct Run {
    double wall = 0, cpu = 0;
    int rowsBefore = 0, rowsAfter = 0, barPaints = 0, barEnd = 0, barMax = 0;
};

Run addAllItems(const QString &dir)
{
    Window w(dir);
    w.openBenchStock();
    Run r;
    r.rowsBefore = w.dm.qryParts.recordCount();
    PaintCounter counter;
    QElapsedTimer clock;
    double c0 = 0;
    QTimer::singleShot(0, qApp, [&] {
        auto *d = qobject_cast<kw::app::TfPartsAddAll *>(QApplication::activeModalWidget());
        if (!d)
            qFatal("the add-all dialog did not open");
        auto *bar = d->findChild<QProgressBar *>(QStringLiteral("barMain"));
        bar->installEventFilter(&counter);
        QObject::connect(d, &QDialog::finished, d, [&r, bar] {
            r.barEnd = bar->value();
            r.barMax = bar->maximum();
        });
        QApplication::processEvents();
        c0 = cpuMs();
        clock.start();
        d->findChild<QPushButton *>(QStringLiteral("btnAdd"))->click();
    });
    QTest::mouseClick(w.frm.findChild<QPushButton *>(QStringLiteral("btnPartsAdd")), Qt::LeftButton);
    QApplication::processEvents();
    w.frm.grab();
    r.wall = clock.nsecsElapsed() / 1e6;
    r.cpu = cpuMs() - c0;
    r.rowsAfter = w.dm.qryParts.recordCount();
    r.barPaints = counter.paints;
    return r;
}

// Each row appended and stored on its own, with the query read again after
// every row.
Run appendOneByOne(const QString &dir)
{
    Window w(dir);
    w.openBenchStock();
    Run r;
    r.rowsBefore = w.dm.qryParts.recordCount();
    QElapsedTimer clock;
    const double c0 = cpuMs();
    clock.start();
    kw::data::Dataset &master = w.dm.tblPartsList;
    kw::data::Field &nsn = master.fieldByName(QStringLiteral("NSN"));
    for (master.first(); !master.eof(); master.next()) {
        w.dm.qryParts.append();
        w.dm.qryParts.fieldByName(QStringLiteral("NSN")).setValue(nsn.asString());
    }
    w.dm.qryParts.checkBrowseMode();
    r.wall = clock.nsecsElapsed() / 1e6;
    r.cpu = cpuMs() - c0;
    r.rowsAfter = w.dm.qryParts.recordCount();
    return r;
}

QString makeShop(QTemporaryDir &dir, int parts)
{
    kw::data::shop::DemoSize size;
    size.partsList = parts;
    kw::data::shop::createDemoShop(dir.path(), size);
    return dir.path();
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir cfg;
    qputenv("KITWARDEN_CONFIG_DIR", cfg.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int parts = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 2000;
    const int runs = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 3;
    const int unbatched = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 300;

    for (int i = 0; i < runs; ++i) {
        QTemporaryDir dir; // a fresh shop each run: the rows are added again
        const Run r = addAllItems(makeShop(dir, parts));
        std::printf("Add All Items, %d master parts: %7.1f ms wall, %7.1f ms CPU; bench stock %d -> %d rows; "
                    "bar %d/%d, drawn %d times\n",
                    parts, r.wall, r.cpu, r.rowsBefore, r.rowsAfter, r.barEnd, r.barMax, r.barPaints);
    }
    if (unbatched > 0) {
        QTemporaryDir dir;
        const Run r = appendOneByOne(makeShop(dir, unbatched));
        std::printf("one by one, no batch, %d master parts: %7.1f ms wall, %7.1f ms CPU; bench stock %d -> %d rows\n",
                    unbatched, r.wall, r.cpu, r.rowsBefore, r.rowsAfter);
    }
    return 0;
}
