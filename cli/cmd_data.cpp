// Table commands: init, demo, dump, sql, alias.
#include "cli/command.h"
#include "data/shop/demoshop.h"
#include "data/shop/dmmain.h"
#include "data/engine/engineerror.h"
#include "data/engine/session.h"
#include "data/shop/shopschema.h"
#include "data/engine/tabledataset.h"

#include <QDate>
#include <QDir>

namespace kw::cli {
namespace {

using namespace kw::data;

QString text(const QVariant &v, FieldType type)
{
    if (v.isNull())
        return {};
    switch (type) {
    case FieldType::Date:
        return v.toDate().toString(Qt::ISODate);
    case FieldType::Logical:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Time:
        return v.toTime().toString(Qt::ISODate);
    case FieldType::Timestamp:
        return v.toDateTime().toString(Qt::ISODate);
    default:
        if (v.typeId() == QMetaType::QByteArray)
            return QString::fromLatin1(v.toByteArray().toHex());
        return v.toString();
    }
}

// Enough for any demonstration; more only fills the disk.
constexpr int kMaxDemoItems = 1000000;

Register initCmd("init", "init [DIR]                 create the empty shop tables", [](Context &ctx) {
    expectArgs(ctx.args, 0, 1);
    const QString dir = ctx.args.isEmpty() ? ctx.dataDir : ctx.args.first();
    const QStringList made = shop::createMissingTables(dir);
    out(made.isEmpty() ? QStringLiteral("All tables exist in %1").arg(QDir::toNativeSeparators(dir))
                       : QStringLiteral("Created %1 in %2").arg(made.join(QStringLiteral(", ")),
                                                                QDir::toNativeSeparators(dir)));
    return 0;
});

Register demoCmd("demo", "demo DIR [--items N]       create a demo shop in an empty directory", [](Context &ctx) {
    shop::DemoSize size;
    const QString items = takeOption(ctx.args, QStringLiteral("--items"));
    if (!items.isNull()) {
        bool ok = false;
        size.items = items.toInt(&ok);
        if (!ok || size.items < 0 || size.items > kMaxDemoItems)
            throw UsageError(QStringLiteral("--items needs a whole number from 0 to %1, not \"%2\"")
                                 .arg(kMaxDemoItems)
                                 .arg(items));
    }
    expectArgs(ctx.args, 1, 1);
    shop::createDemoShop(ctx.args.first(), size);
    out(QStringLiteral("Demo shop with %1 hand receipt items created in %2")
            .arg(size.items)
            .arg(QDir::toNativeSeparators(ctx.args.first())));
    return 0;
});

Register dumpCmd("dump", "dump TABLE [--index NAME] [--filter EXPR] [--csv]", [](Context &ctx) {
    const QString index = takeOption(ctx.args, QStringLiteral("--index"));
    const QString filter = takeOption(ctx.args, QStringLiteral("--filter"));
    const bool csv = takeSwitch(ctx.args, QStringLiteral("--csv"));
    expectArgs(ctx.args, 1, 1);
    Session session;
    session.openReadOnly = true;
    shop::prepareSession(session);
    Database db(session, QStringLiteral("Kitwarden"));
    db.setParam(QStringLiteral("PATH"), ctx.dataDir);
    TableDataset t(db, QStringLiteral("tbl"));
    t.setTableName(ctx.args.first());
    if (!index.isEmpty())
        t.setIndexName(index);
    t.open();
    if (!filter.isEmpty()) {
        t.setFilter(filter);
        t.setFiltered(true);
    }
    QStringList header;
    for (const auto &f : t.fields())
        header << f->name;
    QVector<QStringList> rows;
    rows.reserve(t.recordCount());
    for (int r = 0; r < t.recordCount(); ++r) {
        QStringList cells;
        for (const auto &f : t.fields())
            cells << text(t.rowValue(r, f->index()), f->type);
        rows << cells;
    }
    printTable(header, rows, csv);
    t.close();
    db.close();
    return 0;
});

Register sqlCmd("sql", "sql \"STATEMENT\"            run local SQL; a SELECT prints CSV", [](Context &ctx) {
    // The statement may be given in several words; it is not checked for options.
    if (ctx.args.isEmpty())
        throw UsageError(QStringLiteral("missing argument"));
    Session session;
    // A query only reads, so it can run while the program has the tables open.
    const QString statement = ctx.args.join(QLatin1Char(' '));
    session.openReadOnly = statement.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive);
    shop::prepareSession(session);
    const SqlResult r = session.sql().exec(statement, ctx.dataDir);
    if (r.columns.isEmpty()) {
        out(QStringLiteral("%1 row(s) affected").arg(r.rowsAffected));
    } else {
        QStringList header;
        for (const SqlColumn &c : r.columns)
            header << c.name;
        QVector<QStringList> rows;
        for (const Row &row : r.rows) {
            QStringList cells;
            for (int c = 0; c < r.columns.size(); ++c)
                cells << text(row.value(c), r.columns[c].type);
            rows << cells;
        }
        printTable(header, rows, true);
    }
    // The statement's rows are stored: what is left to fail costs none.
    for (const QString &w : session.releaseTables())
        err(QStringLiteral("warning: ") + w);
    return 0;
});

Register aliasCmd("alias", "alias list | alias set NAME DIR", [](Context &ctx) {
    if (ctx.args.isEmpty())
        throw UsageError(QStringLiteral("missing argument"));
    EngineConfig cfg;
    if (ctx.args.first() == QLatin1String("list")) {
        expectArgs(ctx.args, 1, 1);
        if (!cfg.error().isEmpty())
            throw EngineError(cfg.error());
        for (const QString &name : cfg.aliasNames())
            out(name + QLatin1Char('\t') + QDir::toNativeSeparators(cfg.aliasDirectory(name)));
        return 0;
    }
    if (ctx.args.first() == QLatin1String("set")) {
        expectArgs(ctx.args, 3, 3);
        cfg.setAlias(ctx.args[1], ctx.args[2]);
        return 0;
    }
    throw UsageError(QStringLiteral("unknown alias command: ") + ctx.args.first());
});

} // namespace
} // namespace kw::cli
