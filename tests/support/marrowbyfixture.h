#pragma once
// A small predecessor directory written by the tests themselves: the dBase
// tables HRDF, ALSE, SHRMSTR and CWX with the field layout the predecessor
// used, and a Paradox "Suggest.DB" holding the shop's name. Each test fills
// only the rows its case needs.
#include "core/findfile.h"
#include "data/engine/dbase/dbftable.h"
#include "data/engine/paradox/paradoxtable.h"
#include "fielddefs.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>

namespace kwtest {

using kw::data::DbfField;
using kw::data::DbfTable;
using kw::data::Row;

struct MarrowbyHolder {
    QVariant number; // null: a record without a number
    QString holder;
};
struct MarrowbyItem {
    int hr;
    QString nsn, nomen, serial, remarks;
    int oh = 1;
    QDate due;
};
struct MarrowbyMaster {
    QString nsn, lin, nomen, ui, auth, type, freq;
};
struct MarrowbyKit {
    QString aircraft, type, serial, flare;
    QDate food;
    QString freq, itype;
    QDate due;
};

struct Marrowby {
    QString title = QStringLiteral("B Co 2-501 AVN");
    QList<MarrowbyHolder> holders;
    QList<MarrowbyItem> items;
    QList<MarrowbyMaster> master;
    QList<MarrowbyKit> kits;
    QStringList leaveOut; // files not written ("CWX.DBF")

    static QVariant orNull(const QString &s) { return s.isEmpty() ? QVariant() : QVariant(s); }
    static QVariant orNull(const QDate &d) { return d.isValid() ? QVariant(d) : QVariant(); }

    void write(const QString &dir) const
    {
        const auto table = [&](const char *file, const QVector<DbfField> &fields, const QVector<Row> &rows) {
            if (leaveOut.contains(QLatin1String(file)))
                return;
            DbfTable t = DbfTable::create(QDir(dir).filePath(QLatin1String(file)), fields);
            for (const Row &r : rows)
                t.appendRecord(r);
            t.save();
        };
        const auto C = [](const char *n, int len) { return DbfField{QLatin1String(n), 'C', len, 0, 0}; };
        const auto N = [](const char *n, int len) { return DbfField{QLatin1String(n), 'N', len, 0, 0}; };
        const auto D = [](const char *n) { return DbfField{QLatin1String(n), 'D', 8, 0, 0}; };

        QVector<Row> rows;
        for (const MarrowbyHolder &h : holders)
            rows << Row{h.number, orNull(h.holder)};
        table("HRDF.DBF", {N("HRNUM", 5), C("HOLDER", 30)}, rows);

        rows.clear();
        for (const MarrowbyItem &i : items)
            rows << Row{i.hr, orNull(i.nsn), orNull(i.nomen), orNull(i.serial), orNull(i.remarks), i.oh, orNull(i.due)};
        table("ALSE.DBF",
              {N("HRNUM", 5), C("NSN", 16), C("NOMEN", 40), C("SERNO", 20), C("REMARKS", 30), N("OH", 4), D("INDD")},
              rows);

        rows.clear();
        for (const MarrowbyMaster &m : master)
            rows << Row{orNull(m.nsn), orNull(m.lin), orNull(m.nomen), orNull(m.ui), orNull(m.auth),
                        orNull(m.freq), orNull(m.type)};
        table("SHRMSTR.DBF",
              {C("NSN", 16), C("LIN", 10), C("NOMEN", 40), C("UI", 2), C("AUTH", 3), C("INFREQ", 3), C("INTYPE", 1)},
              rows);

        rows.clear();
        for (const MarrowbyKit &k : kits)
            rows << Row{orNull(k.aircraft), orNull(k.type), orNull(k.serial), orNull(k.flare), orNull(k.food),
                        orNull(k.freq), orNull(k.itype), orNull(k.due)};
        table("CWX.DBF",
              {C("AIRCRAFT", 10), C("TYPE", 10), C("SERNO", 10), C("FLAREX", 20), D("FOODX"), C("INFREQ", 3),
               C("INTYPE", 1), D("INDD")},
              rows);

        if (!leaveOut.contains(QStringLiteral("Suggest.DB"))) {
            kw::data::TableDef def;
            def.fields = {fd("Title", kw::data::FieldType::Alpha, 40)};
            const QString path = QDir(dir).filePath(QStringLiteral("Suggest.DB"));
            kw::data::ParadoxTable::create(path, def, QString());
            auto t = kw::data::ParadoxTable::open(path, {});
            Row r{orNull(title)};
            t->insert(r);
            t->close();
        }
    }
};

// The live records of a predecessor table.
inline QVector<Row> dbfRows(const QString &dir, const QString &file)
{
    const DbfTable t = DbfTable::open(kw::core::findFileNoCase(dir, file));
    QVector<Row> rows;
    for (int i = 0; i < t.recordCount(); ++i)
        if (!t.isDeleted(i))
            rows << t.record(i);
    return rows;
}

// Name -> hash of every file in dir: equal maps mean nothing in dir changed.
inline QMap<QString, QByteArray> fileHashes(const QString &dir)
{
    QMap<QString, QByteArray> m;
    for (const QString &name : QDir(dir).entryList(QDir::Files)) {
        QFile f(QDir(dir).filePath(name));
        if (f.open(QIODevice::ReadOnly))
            m.insert(name, QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1));
    }
    return m;
}

} // namespace kwtest
