// Start-up of the main window to a usable window: the data module and the
// window created, the start-up sequence run (splash closed at once), the
// eleven tables open and the hand receipts page painted with its rows.
// Usage: bench_app [items] [runs]   (default 10000 items, 7 runs)
#include "app/apperror.h"
#include "app/frmmain.h"
#include "data/shop/demoshop.h"
#include "data/shop/dmmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

int main(int argc, char **argv)
{
    QTemporaryDir cfg;
    qputenv("KITWARDEN_CONFIG_DIR", cfg.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int items = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    const int runs = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 7;
    QTextStream out(stdout);

    QTemporaryDir data;
    kw::data::shop::DemoSize size;
    size.items = items;
    size.holders = std::max(40, items / 40);
    QElapsedTimer t;
    t.start();
    kw::data::shop::createDemoShop(data.path(), size);
    out << "demo shop: " << items << " items, " << size.holders << " holders, created in " << t.elapsed()
        << " ms\n";

    QList<double> total, tables, paint;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        kw::data::Session session;
        kw::data::TdmMain dm(session);
        kw::app::TfrmMain frm(dm);
        frm.setDataDirectory(data.path());
        frm.runSplash = [](QWidget *) {}; // the splash closed at once
        frm.autoUpdateCheck = nullptr;
        frm.show(); // runs the start-up sequence
        const double tOpen = clock.nsecsElapsed() / 1e6;
        // Usable: the window painted with the holders and the first holder's items.
        QApplication::processEvents();
        frm.grab();
        const double tAll = clock.nsecsElapsed() / 1e6;
        if (!dm.tblHr.active() || dm.tblHrdf.recordCount() == 0)
            out << "warning: tables not open\n";
        tables << tOpen;
        total << tAll;
        paint << tAll - tOpen;
        frm.hide();
    }
    auto median = [](QList<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    out << "start-up to usable window, median of " << runs << ": " << QString::number(median(total), 'f', 1)
        << " ms (create + start-up sequence " << QString::number(median(tables), 'f', 1) << " ms, first paint "
        << QString::number(median(paint), 'f', 1) << " ms; min " << QString::number(*std::min_element(total.begin(), total.end()), 'f', 1)
        << ", max " << QString::number(*std::max_element(total.begin(), total.end()), 'f', 1) << ")\n";
    return 0;
}
