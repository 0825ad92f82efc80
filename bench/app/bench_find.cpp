// Find on a large demo shop: one search as the find window runs it for a
// key typed (the search and the list of hits filled and painted), for a
// serial number, a holder's name, an NSN typed without dashes and a single
// letter (the most hits); the first search of a run (the folded index made)
// and the first after a post (the items folded again). Wall time and this
// thread's CPU time.
// Usage: bench_find [items] [runs]   (default 50000 items, 15 runs)
#include "app/finddialog.h"
#include "app/frmmain.h"
#include "data/shop/demoshop.h"
#include "data/shop/dmmain.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopfind.h"

#include "bench/app/benchshop.h"
#include "bench/benchtiming.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <ctime>

using kwbench::cpuMs;
using kwbench::median;

namespace {

using kwbench::Timing;

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

    kw::data::Session session;
    kw::data::TdmMain dm(session);
    kw::app::TfrmMain frm(dm);
    frm.setDataDirectory(data.path());
    frm.runSplash = nullptr;
    frm.autoUpdateCheck = nullptr;
    frm.show();
    QTest::qWait(1000);

    // Texts from the shop itself: the last item's serial, its holder's name.
    const kw::data::ParadoxTable *equipment = session.table(dm.dbMain.directory(), QStringLiteral("Equipment.DB"));
    const kw::data::Row &last = equipment->row(equipment->rowCount() - 1);
    const QString serial = last.value(3).toString(), nsn = last.value(2).toString().remove(QLatin1Char('-'));
    const kw::data::ParadoxTable *holders = session.table(dm.dbMain.directory(), QStringLiteral("Hrdf.DB"));
    const QString name = holders->row(holders->rowCount() / 2).value(1).toString().section(QLatin1Char(' '), 1);

    Timing first;
    frm.Find1Click();
    auto *finder = frm.findChild<kw::app::TfrmFind *>();
    // One search as a key typed runs it: the hits listed and painted.
    auto search = [&](const QString &text) {
        finder->edFindChange(text);
        finder->repaint();
    };
    first.measure([&] { search(serial); });
    std::printf("serial %s: %d hits; name %s; NSN %s\n", qPrintable(serial), int(finder->hits().size()),
                qPrintable(name), qPrintable(nsn));

    Timing bySerial, byName, byNsn, byLetter, afterPost;
    for (int i = 0; i < runs; ++i) {
        bySerial.measure([&] { search(serial); });
        byName.measure([&] { search(name); });
        byNsn.measure([&] { search(nsn); });
        byLetter.measure([&] { search(QStringLiteral("a")); });
    }
    std::printf("name: %d hits listed; \"a\": %d listed\n", int((search(name), finder->hits().size())),
                int((search(QStringLiteral("a")), finder->hits().size())));
    // A post changes the items: the next search folds them again.
    kw::data::Dataset &hr = dm.tblHr;
    for (int i = 0; i < std::max(3, runs / 3); ++i) {
        hr.moveTo(i);
        hr.fieldByName(QStringLiteral("Remarks")).setValue(QStringLiteral("BENCH %1").arg(i));
        hr.post();
        QApplication::processEvents();
        afterPost.measure([&] { search(serial); });
    }
    first.print("first search (index made)");
    bySerial.print("serial number");
    byName.print("holder's name");
    byNsn.print("NSN without dashes");
    byLetter.print("one letter (most hits)");
    afterPost.print("serial, first after a post");
    return 0;
}
