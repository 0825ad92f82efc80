// Report engine figures on large reports: the sub hand receipt of one holder
// with N items and the holders list of N holders (two columns). For each:
// time to the first page laid out and painted (what the preview shows
// first), the whole layout, the PDF export, and memory per laid-out page.
// Then the inspections listing of a shop of many items (first page and
// whole PDF) and the inventory sheet of many parts in 100 bins.
// Usage: bench_reports [rows] [runs] [shop items] [parts]
//        (default 10000 rows, 5 runs, 50000 shop items, 2000 parts)
#include "data/shop/demoshop.h"
#include "data/shop/dmmain.h"
#include "reports/hrdfreport.h"
#include "reports/equipmentreports.h"
#include "reports/hrreport.h"
#include "reports/officereports.h"
#include "reports/layout.h"
#include "reports/painter.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <functional>
#include <malloc.h>
#include <unistd.h>

using namespace kw::reports;

namespace {

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Resident memory of the process in bytes.
qint64 rss()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

void paintFirst(const ReportDocument &doc)
{
    QImage img(doc.page.paperWidth, doc.page.paperHeight, QImage::Format_RGB32);
    img.setDotsPerMeterX(3780);
    img.setDotsPerMeterY(3780);
    img.fill(Qt::white);
    QPainter p(&img);
    paintPage(p, doc, 0);
}

void measure(QTextStream &out, const QString &name, int runs, const std::function<std::unique_ptr<Report>()> &make)
{
    QList<double> first, whole, pdf;
    qint64 memBytes = 0, rssBytes = 0;
    int pages = 0;
    {
        // Resident growth of one layout, measured before any other run has
        // left freed memory in the heap.
        auto r = make();
        malloc_trim(0);
        const qint64 before = rss();
        ReportDocument doc;
        layoutReport(*r, doc);
        rssBytes = rss() - before;
    }
    malloc_trim(0);
    for (int i = 0; i < runs; ++i) {
        {
            auto r = make();
            QElapsedTimer t;
            t.start();
            ReportDocument doc;
            layoutReport(*r, doc, [](int) { return false; });
            paintFirst(doc);
            first << t.nsecsElapsed() / 1e6;
        }
        auto r = make();
        QElapsedTimer t;
        t.start();
        ReportDocument doc;
        layoutReport(*r, doc);
        whole << t.nsecsElapsed() / 1e6;
        memBytes = doc.memoryUse();
        pages = doc.pageCount();
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        t.restart();
        writePdf(doc, buf);
        pdf << t.nsecsElapsed() / 1e6;
    }
    out << name << ": " << pages << " pages\n"
        << "  first page laid out and painted: " << median(first) << " ms\n"
        << "  whole layout:                    " << median(whole) << " ms\n"
        << "  PDF export:                      " << median(pdf) << " ms\n"
        << "  memory per page: " << memBytes / pages << " bytes held by the pages, " << rssBytes / pages
        << " bytes of resident growth\n"
        << "  1,000 such pages: about " << double(std::max(memBytes, rssBytes)) / pages * 1000 / (1 << 20)
        << " MB\n";
    out.flush();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    const int runs = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 5;
    QTextStream out(stdout);

    // One holder with every item; and as many holders as rows.
    QTemporaryDir items, holders;
    kw::data::shop::DemoSize one;
    one.holders = 1;
    one.items = rows;
    kw::data::shop::createDemoShop(items.path(), one);
    kw::data::shop::DemoSize many;
    many.holders = rows;
    many.items = 0;
    kw::data::shop::createDemoShop(holders.path(), many);

    {
        kw::data::Session session;
        kw::data::TdmMain dm(session);
        dm.dbMain.setParam(QStringLiteral("PATH"), items.path() + QLatin1Char('/'));
        dm.tblHrdf.open();
        dm.tblList.open();
        dm.tblHr.open();
        out << "hand receipt items: " << dm.tblHr.recordCount() << "\n";
        measure(out, QStringLiteral("THrReport"), runs, [&] { return std::make_unique<THrReport>(dm); });
    }
    {
        kw::data::Session session;
        kw::data::TdmMain dm(session);
        dm.dbMain.setParam(QStringLiteral("PATH"), holders.path() + QLatin1Char('/'));
        dm.tblHrdf.open();
        out << "holders: " << dm.tblHrdf.recordCount() << "\n";
        measure(out, QStringLiteral("THrdfReport"), runs, [&] { return std::make_unique<THrdfReport>(dm); });
    }

    // The demo shop at the size of a large unit, and a bench stock of many
    // parts counted over 10 drawers of 100 bins each.
    const int shopItems = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 50000;
    const int partCount = argc > 4 ? QString::fromLocal8Bit(argv[4]).toInt() : 2000;
    QTemporaryDir shopDir;
    kw::data::shop::DemoSize big;
    big.items = shopItems;
    big.holders = 400;
    big.drawers = 10;
    big.bins = 100;
    big.partsList = partCount;
    big.parts = partCount;
    kw::data::shop::createDemoShop(shopDir.path(), big);
    {
        kw::data::Session session;
        kw::data::TdmMain dm(session);
        dm.dbMain.setParam(QStringLiteral("PATH"), shopDir.path() + QLatin1Char('/'));
        dm.qryInsp.open();
        out << "inspections of " << shopItems << " items: " << dm.qryInsp.recordCount() << " rows\n";
        measure(out, QStringLiteral("TInspReport"), runs, [&] { return std::make_unique<TInspReport>(dm); });
        dm.qryInsp.close();
        dm.tblDrawer.open();
        dm.tblBin.open();
        dm.qryParts.open();
        out << "inventory: " << dm.tblDrawer.recordCount() << " drawers, " << dm.tblBin.recordCount() << " bins, "
            << dm.qryParts.recordCount() << " parts\n";
        measure(out, QStringLiteral("TfrmInventory"), runs, [&] { return std::make_unique<TfrmInventory>(dm); });
        dm.qryParts.close();
    }
    return 0;
}
