#pragma once
// A shop in a temporary directory for report tests: rows are written in one
// batch per table, then the data module's datasets open on them.
#include "data/shop/dmmain.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopschema.h"
#include "reports/document.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

namespace kwtest {

using kw::data::Row;

class ReportShop {
public:
    QTemporaryDir dir;
    kw::data::TdmMain dm;

    // Empty tables are made once per test run and copied: creating them
    // writes every file durably, which takes long on a busy disk.
    ReportShop()
    {
        static QTemporaryDir empty;
        static bool made = false;
        if (!made) {
            kw::data::shop::createMissingTables(empty.path());
            made = true;
        }
        const QDir src(empty.path());
        for (const QString &f : src.entryList(QDir::Files)) {
            QFile in(src.filePath(f)), out(QDir(dir.path()).filePath(f));
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
            out.write(in.readAll()); // a plain copy: no sync per file
        }
    }
    ~ReportShop()
    {
        for (kw::data::TableDataset *t : dm.shopTables())
            t->close();
        dm.qryInsp.close();
        dm.qryGear.close();
        dm.qryParts.close();
    }

    // Appends rows (values in stored field order) to a closed table.
    void write(const QString &table, QVector<Row> rows)
    {
        const auto *t = kw::data::shop::findTable(table);
        QVERIFY(t);
        auto px = kw::data::ParadoxTable::open(QDir(dir.path()).filePath(t->fileName), {kw::data::shop::kTablePassword});
        px->insertRows(rows);
        px->close();
    }

    // Holders 1..n named "Holder <n>" (numbers with leading zeros sort
    // alike by number and by name).
    void holders(int n)
    {
        QVector<Row> rows;
        for (int i = 1; i <= n; ++i)
            rows.append({i, QStringLiteral("Holder %1").arg(i, 4, 10, QLatin1Char('0')),
                         QStringLiteral("Sect %1").arg(i), QStringLiteral("555-%1").arg(i, 4, 10, QLatin1Char('0'))});
        write(QStringLiteral("Hrdf"), rows);
    }

    void open(std::initializer_list<kw::data::Dataset *> sets)
    {
        dm.dbMain.setParam(QStringLiteral("PATH"), dir.path() + QLatin1Char('/'));
        for (kw::data::Dataset *d : sets)
            d->open();
    }
};

// Texts of a page's text items, in item order.
inline QStringList pageTexts(const kw::reports::ReportDocument &doc, int page)
{
    QStringList out;
    for (const auto &it : doc.pages.at(page).items)
        if (it.kind == kw::reports::ItemKind::Text)
            out << it.text;
    return out;
}

// The first text item of a page with exactly this text; nullptr when none.
inline const kw::reports::PageItem *findItem(const kw::reports::ReportDocument &doc, int page, const QString &text)
{
    for (const auto &it : doc.pages.at(page).items)
        if (it.kind == kw::reports::ItemKind::Text && it.text == text)
            return &it;
    return nullptr;
}

// Text items of the first page on the line at y, by x.
inline QMap<int, QString> lineAt(const kw::reports::ReportDocument &doc, int y)
{
    QMap<int, QString> out;
    for (const auto &it : doc.pages.at(0).items)
        if (it.kind == kw::reports::ItemKind::Text && it.y == y)
            out.insert(it.x, it.text);
    return out;
}

} // namespace kwtest
