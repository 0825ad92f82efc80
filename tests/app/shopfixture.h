#pragma once
// A small shop in a temporary directory, and scripted answers for the
// program's message boxes.
#include "app/apperror.h"
#include "data/shop/dmmain.h"
#include "data/shop/shopschema.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace kwtest {

class ScriptedPrompts : public kw::app::UserPrompts {
public:
    QStringList messages, questions, informations;
    QList<bool> answers; // taken in order; OK when empty
    void showMessage(const QString &text) override { messages << text; }
    void showInformation(const QString &text) override { informations << text; }
    bool confirm(const QString &text) override
    {
        questions << text;
        return answers.isEmpty() ? true : answers.takeFirst();
    }
};

struct Holder {
    int number;
    const char *name, *section, *phone;
};
struct MasterItem {
    const char *nsn, *lin, *nomenclature, *ui, *auth, *inspType;
    int inspFreq;
    bool alse, batt;
};
struct Item {
    int hr;
    const char *nsn, *serial;
    int oh;
    const char *remarks;
};

inline const QList<Holder> kHolders = {
    {3, "Adams, Charlie", "Ops", "555-0103"},
    {1, "Young, Zed", "HQ", "555-0101"},
    {2, "Brown, Mia", "Maint", "555-0102"},
};
inline const QList<MasterItem> kMaster = {
    {"8465-01-111-1111", "V11111", "VEST, SURVIVAL", "EA", "2", "Y", 1, true, false},
    {"6135-00-222-2222", "B22222", "BATTERY, RADIO", "EA", "4", "D", 30, false, true},
    {"6545-00-333-3333", "K33333", "KIT, FIRST AID", "KT", "1", "N", 0, true, false},
};
inline const QList<Item> kItems = {
    {1, "8465-01-111-1111", "V-001", 1, "left locker"},
    {2, "8465-01-111-1111", "V-002", 1, ""},
    {2, "6135-00-222-2222", "B-001", 4, "spares"},
    {3, "9999-99-999-9999", "X-001", 1, "not listed"},
};

// Creates the tables in dir and fills holders, master list and items
// through the data module's own datasets; leaves everything closed.
inline void fillShop(kw::data::TdmMain &dm, const QString &dir)
{
    using namespace kw::data;
    shop::createMissingTables(dir);
    dm.dbMain.setParam(QStringLiteral("PATH"), dir + QLatin1Char('/'));
    dm.tblHrdf.open();
    for (const Holder &h : kHolders) {
        dm.tblHrdf.append();
        dm.tblHrdf.fieldByName(QStringLiteral("HR Number")).setValue(h.number);
        dm.tblHrdf.fieldByName(QStringLiteral("HR Holder")).setValue(QString::fromLatin1(h.name));
        dm.tblHrdf.fieldByName(QStringLiteral("Section")).setValue(QString::fromLatin1(h.section));
        dm.tblHrdf.fieldByName(QStringLiteral("Phone")).setValue(QString::fromLatin1(h.phone));
        dm.tblHrdf.post();
    }
    dm.tblList.open();
    for (const MasterItem &m : kMaster) {
        dm.tblList.append();
        auto set = [&](const char *f, const QVariant &v) { dm.tblList.fieldByName(QLatin1String(f)).setValue(v); };
        set("NSN", QString::fromLatin1(m.nsn));
        set("LIN", QString::fromLatin1(m.lin));
        set("Nomenclature", QString::fromLatin1(m.nomenclature));
        set("UI", QString::fromLatin1(m.ui));
        set("Auth", QString::fromLatin1(m.auth));
        set("Insp Type", QString::fromLatin1(m.inspType));
        set("Insp Freq", m.inspFreq);
        set("Alse", m.alse);
        set("Batt", m.batt);
        dm.tblList.post();
    }
    dm.tblHr.open();
    for (const Item &it : kItems) {
        QVERIFY(dm.tblHrdf.findKey({it.hr}));
        dm.tblHr.append();
        dm.tblHr.fieldByName(QStringLiteral("NSN")).setValue(QString::fromLatin1(it.nsn));
        dm.tblHr.fieldByName(QStringLiteral("Serial Number")).setValue(QString::fromLatin1(it.serial));
        dm.tblHr.fieldByName(QStringLiteral("OH")).setValue(it.oh);
        if (*it.remarks)
            dm.tblHr.fieldByName(QStringLiteral("Remarks")).setValue(QString::fromLatin1(it.remarks));
        dm.tblHr.post();
    }
    for (TableDataset *t : dm.shopTables())
        t->close();
    dm.dbMain.close();
}

// Shown values of one column of a dataset, in row order.
inline QStringList columnValues(kw::data::Dataset &ds, const QString &field)
{
    QStringList out;
    kw::data::Field &f = ds.fieldByName(field);
    for (int r = 0; r < ds.recordCount(); ++r)
        out << ds.rowValue(r, f.index()).toString();
    return out;
}

} // namespace kwtest

namespace kwtest {

// Copies every file of one directory into another (a filled shop made once
// and handed to each test).
inline void copyDir(const QString &from, const QString &to)
{
    QDir src(from);
    for (const QString &f : src.entryList(QDir::Files))
        QFile::copy(src.filePath(f), QDir(to).filePath(f));
}

} // namespace kwtest
