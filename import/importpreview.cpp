// How much an import would replace, counted before anything changes: the
// rows of this program's tables and what the predecessor's tables bring,
// counted as the import's stages will take them. Reads only; a table that
// cannot be read counts as unknown, never as an error.
#include "import/marrowbyimport.h"
#include "import/marrowbysource.h"

#include "core/findfile.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/session.h"
#include "data/shop/shopschema.h"

#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <functional>

namespace kw::import {

using namespace kw::data;
using kw::core::findFileNoCase;
using marrowby::Source;
using marrowby::text;

namespace {

// Rows of a shop table, or 0 when it cannot be read.
int shopRows(const Session &session, const QString &dataDir, const QString &table)
{
    try {
        const QString path = findFileNoCase(dataDir, shop::findTable(table)->fileName);
        if (!QFileInfo::exists(path))
            return 0;
        return ParadoxTable::open(path, session.passwords() + QStringList{shop::kTablePassword}, true)->rowCount();
    } catch (...) {
        return 0;
    }
}

// Runs count over a predecessor table; -1 when it cannot be read.
int countIn(const QString &dir, const QString &file, const std::function<int(Source &)> &count)
{
    try {
        Source src(dir, file);
        return count(src);
    } catch (...) {
        return -1;
    }
}

// Holders as the two holder stages make them: each number of HRDF from 0 on
// once, and each number of ALSE that HRDF lacks.
int marrowbyHolders(const QString &dir)
{
    QSet<double> numbers, orphans;
    const int read = countIn(dir, QStringLiteral("HRDF.DBF"), [&](Source &src) {
        const int hr = src.col("HRNUM");
        for (int i = 0; i < src.count(); ++i)
            if (src.live(i))
                if (const QVariant v = src.record(i)[hr]; !v.isNull())
                    numbers.insert(v.toDouble());
        return 0;
    });
    if (read < 0)
        return -1;
    const int items = countIn(dir, QStringLiteral("ALSE.DBF"), [&](Source &src) {
        const int hr = src.col("HRNUM");
        for (int i = 0; i < src.count(); ++i)
            if (src.live(i))
                if (const QVariant v = src.record(i)[hr]; !v.isNull() && !numbers.contains(v.toDouble()))
                    orphans.insert(v.toDouble());
        return 0;
    });
    if (items < 0)
        return -1;
    int n = int(orphans.size());
    for (double d : std::as_const(numbers))
        n += d >= 0 ? 1 : 0;
    return n;
}

QString counted(int n, const QString &one, const QString &many)
{
    if (n < 0)
        return QStringLiteral("an unknown number of ") + many;
    return n == 1 ? QStringLiteral("1 ") + one : QLocale().toString(n) + QLatin1Char(' ') + many;
}

// "a, b, c and d"
QString listed(const QStringList &parts)
{
    if (parts.size() < 2)
        return parts.join(QString());
    return parts.mid(0, parts.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + parts.last();
}

} // namespace

ImportPreview previewImport(const Session &session, const ImportOptions &o)
{
    ImportPreview p;
    p.holders = shopRows(session, o.dataDir, QStringLiteral("Hrdf"));
    p.items = shopRows(session, o.dataDir, QStringLiteral("Equipment"));
    p.aircraft = shopRows(session, o.dataDir, QStringLiteral("Aircraft"));
    p.kits = shopRows(session, o.dataDir, QStringLiteral("Kits"));
    p.marrowbyHolders = marrowbyHolders(o.marrowbyDir);
    p.marrowbyItems = countIn(o.marrowbyDir, QStringLiteral("ALSE.DBF"), [](Source &src) {
        const int nsn = src.col("NSN");
        int n = 0;
        for (int i = 0; i < src.count(); ++i)
            n += src.live(i) && !text(src.record(i)[nsn]).isEmpty() ? 1 : 0;
        return n;
    });
    QSet<QString> tails;
    p.marrowbyAircraft = countIn(o.marrowbyDir, QStringLiteral("CWX.DBF"), [&tails](Source &src) {
        const int tail = src.col("AIRCRAFT");
        for (int i = 0; i < src.count(); ++i)
            if (src.live(i))
                if (const QString t = text(src.record(i)[tail]); !t.isEmpty())
                    tails.insert(t);
        return int(tails.size());
    });
    p.marrowbyKits = countIn(o.marrowbyDir, QStringLiteral("CWX.DBF"), [](Source &src) {
        int n = 0;
        for (int i = 0; i < src.count(); ++i)
            n += src.live(i) ? 1 : 0;
        return n;
    });
    try {
        auto suggest = ParadoxTable::open(findFileNoCase(o.marrowbyDir, QStringLiteral("Suggest.DB")),
                                          session.passwords(), true);
        const int c = suggest->def().fieldIndex(QStringLiteral("Title"));
        if (c >= 0 && suggest->rowCount() > 0)
            p.marrowbyCompany = text(suggest->row(0).value(c)).trimmed();
        suggest->close();
    } catch (...) {
        // The import stops at this table and says why.
    }
    return p;
}

QString importQuestion(const ImportPreview &p, const QString &company)
{
    QStringList ours{counted(p.holders, QStringLiteral("holder"), QStringLiteral("holders")),
                     counted(p.items, QStringLiteral("hand receipt item"), QStringLiteral("hand receipt items")),
                     counted(p.aircraft, QStringLiteral("aircraft"), QStringLiteral("aircraft")),
                     counted(p.kits, QStringLiteral("survival kit"), QStringLiteral("survival kits"))};
    QStringList theirs{counted(p.marrowbyHolders, QStringLiteral("holder"), QStringLiteral("holders")),
                       counted(p.marrowbyItems, QStringLiteral("item"), QStringLiteral("items")),
                       counted(p.marrowbyAircraft, QStringLiteral("aircraft"), QStringLiteral("aircraft")),
                       counted(p.marrowbyKits, QStringLiteral("kit"), QStringLiteral("kits"))};
    if (!p.marrowbyCompany.isEmpty()) {
        ours << QStringLiteral("the company name \"%1\"").arg(company);
        theirs << QStringLiteral("\"%1\"").arg(p.marrowbyCompany);
    }
    return QStringLiteral("The import replaces %1 with Marrowby's %2. The master list and the kit types are kept "
                          "and added to. Marrowby's own files are changed too (holder records, nomenclatures, "
                          "and the NSNs and remarks of items without a master list entry).\n\nImport now?")
        .arg(listed(ours), listed(theirs));
}

} // namespace kw::import
