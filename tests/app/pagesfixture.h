#pragma once
// The main window on a small filled shop, for the tests of the office,
// master list and setup pages and of the add-all dialogs: the shop of
// shopfixture.h plus office parts, drawers, bins, manuals, tail numbers, kit
// types and a master list with every category; and the ways a user reaches
// things (navigation clicks, title clicks, modal dialogs).
#include "app/dbgrid.h"
#include "app/frmmain.h"
#include "app/outlookbar.h"
#include "app/pages/page.h"
#include "core/findfile.h"
#include "data/engine/paradox/paradoxtable.h"
#include "shopfixture.h"

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QListWidget>
#include <QTimer>
#include <functional>

namespace kwtest {

struct OfficePart {
    const char *nsn, *lin, *nomenclature, *partNumber, *ui;
    int auth, reorder;
    bool opLoad, bench, pll, classVIII, shop;
};
// Every sortable column holds distinct values, so each order is one order.
inline const QList<OfficePart> kPartsList = {
    {"5305-00-100-0001", "S10001", "SCREW, MACHINE", "MS35206-242", "EA", 50, 20, false, true, false, false, true},
    {"6515-00-200-0002", "M20002", "BANDAGE, ELASTIC", "A-2002", "RO", 10, 5, true, false, false, true, false},
    {"5310-00-300-0003", "N30003", "NUT, SELF-LOCKING", "AN365-428", "PR", 100, 40, false, true, true, false,
     false},
    {"6850-00-400-0004", "C40004", "CLEANER, LENS", "CL-4", "BT", 4, 2, true, false, true, false, true},
    {"7510-00-500-0005", "P50005", "PEN, BALLPOINT", "PB-5", "BX", 2, 1, false, false, false, false, false},
};
struct OnHand {
    const char *drawer, *bin, *nsn;
    int onHand;
};
inline const QList<OnHand> kOnHand = {
    {"D2", "B4", "5305-00-100-0001", 30}, {"D1", "B3", "5310-00-300-0003", 12},
    {"D4", "B1", "6515-00-200-0002", 4},  {"D3", "B5", "6850-00-400-0004", 7},
    {"D5", "B2", "7510-00-500-0005", 1},
    {"D0", "B0", "9999-00-999-9999", 9}, // not in the master parts list: the join drops it
};
struct ExtraMaster {
    const char *nsn, *nomenclature;
    const char *flag1, *flag2, *flag3; // flags set, nullptr when fewer
};
// Items of the master equipment list beside shopfixture's three, so that
// every category tab and both standard lists have members.
inline const QList<ExtraMaster> kMoreMaster = {
    {"5820-01-444-4444", "RADIO, SURVIVAL", "Radio", "List 1", nullptr},
    {"4220-01-555-5555", "PRESERVER, LIFE", "Flotation", "List 1", "List 2"},
    {"1370-01-666-6666", "FLARE, SIGNAL", "Pyro", "List 2", nullptr},
    {"6545-01-777-7777", "TOURNIQUET, COMBAT", "Med", nullptr, nullptr},
};
struct Manual {
    const char *number, *binder, *book, *tm, *title;
    int change;
};
inline const QList<Manual> kManuals = {
    {"TM 1-1500-204-23-1", "2", "1", "23", "AVIATION UNIT MAINTENANCE GENERAL MAINTENANCE PRACTICES", 3},
    {"TM 55-1680-351-10", "1", "2", "10", "SRU-21/P SURVIVAL VEST", 1},
    {"TM 1-1520-237-10", "1", "1", "10", "OPERATORS MANUAL UH-60A", 7},
};

// Adds the rows above to a shop made by fillShop (tables closed before and after).
inline void fillOffice(kw::data::TdmMain &dm, const QString &dir)
{
    using namespace kw::data;
    dm.dbMain.setParam(QStringLiteral("PATH"), dir + QLatin1Char('/'));
    auto add = [](Dataset &ds, const QList<QPair<const char *, QVariant>> &values) {
        ds.append();
        for (const auto &[field, value] : values)
            ds.fieldByName(QLatin1String(field)).setValue(value);
        ds.post();
    };
    for (TableDataset *t : {&dm.tblPartsList, &dm.tblDrawer, &dm.tblBin, &dm.tblTechMan, &dm.tblAircraft,
                            &dm.tblKitType, &dm.tblList})
        t->open();
    for (const OfficePart &p : kPartsList)
        add(dm.tblPartsList, {{"NSN", QString::fromLatin1(p.nsn)}, {"LIN", QString::fromLatin1(p.lin)},
                              {"Nomenclature", QString::fromLatin1(p.nomenclature)},
                              {"Part Number", QString::fromLatin1(p.partNumber)}, {"UI", QString::fromLatin1(p.ui)},
                              {"Auth", p.auth}, {"Reorder Point", p.reorder}, {"Operational Load", p.opLoad},
                              {"Bench Stock", p.bench}, {"PLL", p.pll}, {"Class VIII", p.classVIII},
                              {"Shop Stock", p.shop}});
    for (const char *d : {"D0", "D1", "D2", "D3", "D4", "D5"})
        add(dm.tblDrawer, {{"Drawer", QString::fromLatin1(d)}});
    for (const char *b : {"B0", "B1", "B2", "B3", "B4", "B5"})
        add(dm.tblBin, {{"Bin", QString::fromLatin1(b)}});
    for (const Manual &m : kManuals)
        add(dm.tblTechMan, {{"Number", QString::fromLatin1(m.number)}, {"Binder", QString::fromLatin1(m.binder)},
                            {"Book", QString::fromLatin1(m.book)}, {"TM", QString::fromLatin1(m.tm)},
                            {"Title", QString::fromLatin1(m.title)}, {"Change", m.change},
                            {"Date", QDate(2001, 3, 15)}, {"On Hand", 1}});
    for (const char *a : {"87-24512", "90-26293"})
        add(dm.tblAircraft, {{"Aircraft", QString::fromLatin1(a)}});
    add(dm.tblKitType, {{"Type", QStringLiteral("SRU-21/P")}, {"Insp Type", QStringLiteral("D")}, {"Insp Freq", 120}});
    for (const ExtraMaster &m : kMoreMaster) {
        QList<QPair<const char *, QVariant>> values{{"NSN", QString::fromLatin1(m.nsn)},
                                                    {"Nomenclature", QString::fromLatin1(m.nomenclature)},
                                                    {"UI", QStringLiteral("EA")},
                                                    {"Insp Type", QStringLiteral("N")}};
        for (const char *flag : {m.flag1, m.flag2, m.flag3})
            if (flag)
                values.append({flag, true});
        add(dm.tblList, values);
    }
    for (TableDataset *t : dm.shopTables())
        t->close();
    dm.dbMain.close();
    // Bench stock straight into the table file (one row has no master part).
    auto parts = ParadoxTable::open(kw::core::findFileNoCase(dir, QStringLiteral("Parts.DB")), {shop::kTablePassword});
    for (const OnHand &p : kOnHand) {
        Row r{QVariant(), QString::fromLatin1(p.drawer), QString::fromLatin1(p.bin), QString::fromLatin1(p.nsn),
              p.onHand};
        parts->insert(r);
    }
    parts->close();
}

// Shown values of one column of a grid, in row order (check boxes as
// "True"/"False").
inline QStringList gridColumn(kw::app::TDBGrid *grid, const QString &field)
{
    kw::app::DatasetModel *m = grid->gridModel();
    const int col = m->columnOfField(field);
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r) {
        const QModelIndex idx = m->index(r, col);
        const QVariant check = idx.data(Qt::CheckStateRole);
        out << (check.isValid() ? (check.toInt() == Qt::Checked ? QStringLiteral("True") : QStringLiteral("False"))
                                : idx.data().toString());
    }
    return out;
}

// Clicks the title of a grid's column.
inline void clickTitle(kw::app::TDBGrid *grid, const QString &field)
{
    const int col = grid->gridModel()->columnOfField(field);
    QVERIFY2(col >= 0, qPrintable(field));
    QHeaderView *h = grid->horizontalHeader();
    grid->scrollTo(grid->gridModel()->index(0, col));
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2));
}

// Runs act on the next modal dialog of class D once it is shown (the code
// under test is then inside exec()). A dialog of another class is rejected.
template <class D> void onNextDialog(std::function<void(D *)> act, bool *seen = nullptr)
{
    QTimer::singleShot(0, qApp, [act, seen] {
        QWidget *w = QApplication::activeModalWidget();
        auto *d = qobject_cast<D *>(w);
        if (!d) {
            if (auto *other = qobject_cast<QDialog *>(w))
                other->reject();
            return;
        }
        if (seen)
            *seen = true;
        act(d);
    });
}

// The main window on a copy of the filled shop, remade for every test.
class ShopWindow {
public:
    QTemporaryDir cfg;
    QTemporaryDir templ;
    std::unique_ptr<QTemporaryDir> data;
    std::unique_ptr<kw::data::Session> session;
    std::unique_ptr<kw::data::TdmMain> dm;
    std::unique_ptr<kw::app::TfrmMain> frm;
    ScriptedPrompts prompts;

    // Once per test program; fill makes the shop in the template directory
    // (the small shop above when empty).
    void initTestCase(const std::function<void(const QString &dir)> &fill = {})
    {
        QVERIFY(cfg.isValid());
        qputenv("KITWARDEN_CONFIG_DIR", cfg.path().toLocal8Bit());
        kw::app::setPrompts(&prompts);
        kw::data::Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
        if (fill) {
            fill(templ.path());
            return;
        }
        kw::data::Session s;
        kw::data::TdmMain dm(s);
        fillShop(dm, templ.path());
        fillOffice(dm, templ.path());
    }
    void cleanupTestCase() { kw::app::setPrompts(nullptr); }

    // A started window on a fresh copy of the shop and an empty registry.
    void open(bool fill = true)
    {
        QDir(cfg.path()).removeRecursively();
        QDir().mkpath(cfg.path());
        prompts = ScriptedPrompts();
        data = std::make_unique<QTemporaryDir>();
        if (fill)
            copyDir(templ.path(), data->path());
        session = std::make_unique<kw::data::Session>();
        dm = std::make_unique<kw::data::TdmMain>(*session);
        frm = std::make_unique<kw::app::TfrmMain>(*dm);
        frm->setDataDirectory(data->path());
        frm->runSplash = nullptr;
        frm->autoUpdateCheck = nullptr;
        frm->show();
        QVERIFY(frm->startedUp());
    }
    void close()
    {
        if (frm)
            frm->hide();
        frm.reset();
        dm.reset();
        session.reset();
        data.reset();
    }

    // A component of the window, found by its name; a missing one ends the test.
    template <class T> T *w(const char *name) const
    {
        T *c = frm->findChild<T *>(QLatin1String(name));
        if (!c)
            qFatal("no component %s", name);
        return c;
    }
    // Clicks entry index of the navigation list named list ("olListSetup").
    void nav(const char *list, int index)
    {
        auto *bar = w<kw::app::TOutlookBar>("olMain");
        auto *l = w<QListWidget>(list);
        bar->openGroup(bar->groupOf(l));
        l->doItemsLayout();
        const QRect r = l->visualItemRect(l->item(index));
        QVERIFY(r.isValid());
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, r.center());
    }
    QString page() const { return frm->activePage()->objectName(); }
};

} // namespace kwtest
