#pragma once
// A shop made for what is due: one holder, a master-list entry per
// inspection type, and items and kits added one by one with their dates,
// written straight to the table files. Tables are closed when it is
// finished (or destroyed).
#include "core/findfile.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopschema.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <map>
#include <memory>

namespace kwtest {

class DueShop {
public:
    static constexpr int kHolder = 1;
    static constexpr int kNoHolder = 99; // an HR number no holder has

    // A new shop in dir; with from, a copy of the shop made there before
    // (quicker than making the tables again).
    explicit DueShop(const QString &dir, const QString &from = QString()) : m_dir(dir)
    {
        if (!from.isEmpty()) {
            const QDir src(from);
            for (const QString &f : src.entryList(QDir::Files))
                QFile::copy(src.filePath(f), QDir(dir).filePath(f));
            return;
        }
        kw::data::shop::createMissingTables(dir);
        kw::data::Row holder{kHolder, QStringLiteral("BAKER, ANN"), QStringLiteral("A CO"), QStringLiteral("555")};
        open(QStringLiteral("Hrdf.DB"))->insert(holder);
        for (const char *type : {"D", "Y", "N", "d"}) {
            kw::data::Row r(16);
            r[0] = nsnOf(QLatin1String(type));
            r[3] = QStringLiteral("VEST TYPE %1").arg(QLatin1String(type));
            r[6] = QLatin1String(type);
            r[7] = 1;
            for (int i = 8; i < 16; ++i)
                r[i] = false;
            r[14] = QLatin1String(type) == QLatin1String("Y"); // List 1: what "Add from List" adds
            open(QStringLiteral("Lists.DB"))->insert(r);
        }
    }
    ~DueShop() { finish(); }

    // The NSN of the master-list entry of an inspection type; "" for an NSN
    // the master list does not have.
    static QString nsnOf(const QString &type)
    {
        if (type.isEmpty())
            return QStringLiteral("9999-00-000-0000");
        const int n = QStringLiteral("DYNd").indexOf(type) + 1;
        return QStringLiteral("8465-00-000-000%1").arg(n);
    }

    // An item of the master-list entry of type (see nsnOf); returns its Auto.
    int item(const QString &serial, const QString &type, const QDate &due, int hr = kHolder)
    {
        kw::data::Row r(8);
        r[1] = hr;
        r[2] = nsnOf(type);
        r[3] = serial;
        r[4] = 1;
        if (due.isValid())
            r[6] = due;
        open(QStringLiteral("Equipment.DB"))->insert(r);
        return r[0].toInt();
    }

    // A kit on aircraft tail; returns its Auto.
    int kit(const QString &serial, const QString &type, const QDate &due, const QDate &food,
            const QString &tail = QStringLiteral("87-24512"))
    {
        kw::data::Row r(10);
        r[1] = tail;
        r[2] = QStringLiteral("OVERWATER");
        r[3] = serial;
        if (food.isValid())
            r[5] = food;
        if (!type.isNull())
            r[6] = type;
        r[7] = 120;
        if (due.isValid())
            r[9] = due;
        open(QStringLiteral("Kits.DB"))->insert(r);
        return r[0].toInt();
    }

    void finish()
    {
        for (auto &[name, t] : m_open)
            t->close();
        m_open.clear();
    }

private:
    kw::data::ParadoxTable *open(const QString &file)
    {
        auto &t = m_open[file];
        if (!t)
            t = kw::data::ParadoxTable::open(kw::core::findFileNoCase(m_dir, file), {kw::data::shop::kTablePassword});
        return t.get();
    }
    QString m_dir;
    std::map<QString, std::unique_ptr<kw::data::ParadoxTable>> m_open;
};

} // namespace kwtest
