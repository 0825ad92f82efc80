// The inspections, equipment-by-type and aircraft equipment pages driven
// through their widgets: title-click orders, category tabs, write-back of a
// completion date, the kit-type close-up, due colours and the print buttons.
#include "app/columneditors.h"
#include "app/dateedit.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "app/duestatus.h"
#include "app/frmmain.h"
#include "app/outlookbar.h"
#include "app/pages/page.h"
#include "data/engine/engineerror.h"
#include "shopfixture.h"

#include <QCalendarWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QTest>

using namespace kw::app;
using namespace kw::data;
using kwtest::ScriptedPrompts;

namespace {

const QDate kToday(2026, 12, 9);

// Beyond the small shop of shopfixture.h: one master item per category, items
// with due dates around today, one item whose holder does not exist, and the
// kits with their aircraft and kit types.
struct ExtraMaster {
    const char *nsn, *lin, *nomenclature, *ui, *auth, *inspType;
    int inspFreq;
    const char *flag;
};
const ExtraMaster kExtraMaster[] = {
    {"5820-00-444-4444", "R44444", "RADIO, SURVIVAL", "EA", "1", "D", 90, "Radio"},
    {"4220-00-555-5555", "P55555", "PRESERVER, LIFE", "EA", "2", "Y", 2, "Flotation"},
    {"1370-00-666-6666", "S66666", "SIGNAL, SMOKE", "EA", "6", "Y", 3, "Pyro"},
    {"6505-00-777-7777", "M77777", "AID KIT, MEDICAL", "KT", "1", "D", 180, "Med"},
};
struct ExtraItem {
    int hr;
    const char *nsn, *serial;
    int oh;
    QDate due;
};
const ExtraItem kExtraItems[] = {
    {1, "5820-00-444-4444", "R-001", 1, QDate(2026, 12, 1)},
    {3, "4220-00-555-5555", "P-001", 2, QDate(2026, 12, 20)},
    {2, "1370-00-666-6666", "S-001", 6, QDate(2027, 6, 1)},
    {1, "6505-00-777-7777", "M-001", 1, QDate()},
    {4, "5820-00-444-4444", "R-404", 1, QDate(2026, 12, 2)}, // holder 4 does not exist
};
// Due dates of the base fixture's items: 30 days, 31 days, today.
const QList<QPair<const char *, QDate>> kBaseDue = {
    {"V-001", QDate(2027, 1, 8)}, {"V-002", QDate(2027, 1, 9)}, {"B-001", QDate(2026, 12, 9)}};
struct KitType {
    const char *type, *inspType;
    int freq;
};
const KitType kKitTypes[] = {{"ARMY", "Y", 1}, {"RAFT", "N", 0}, {"SEAT", "D", 180}};
struct Kit {
    const char *aircraft, *type, *serial, *flare;
    QDate foodExp;
    const char *inspType;
    int freq;
    QDate due;
};
const Kit kKits[] = {
    {"N202CD", "ARMY", "K-002", "FL-9", QDate(2027, 3, 1), "Y", 1, QDate(2026, 12, 5)},
    {"N101AB", "SEAT", "K-001", "FL-1", QDate(2026, 11, 30), "D", 180, QDate(2027, 5, 1)},
    {"N101AB", "RAFT", "K-003", "FL-5", QDate(2028, 1, 1), "N", 0, QDate(2026, 12, 31)},
};

void set(Dataset &ds, const char *field, const QVariant &v)
{
    ds.fieldByName(QLatin1String(field)).setValue(v);
}

void fillPagesShop(TdmMain &dm, const QString &dir)
{
    kwtest::fillShop(dm, dir);
    dm.dbMain.setParam(QStringLiteral("PATH"), dir + QLatin1Char('/'));
    dm.tblList.open();
    for (const ExtraMaster &m : kExtraMaster) {
        dm.tblList.append();
        set(dm.tblList, "NSN", QString::fromLatin1(m.nsn));
        set(dm.tblList, "LIN", QString::fromLatin1(m.lin));
        set(dm.tblList, "Nomenclature", QString::fromLatin1(m.nomenclature));
        set(dm.tblList, "UI", QString::fromLatin1(m.ui));
        set(dm.tblList, "Auth", QString::fromLatin1(m.auth));
        set(dm.tblList, "Insp Type", QString::fromLatin1(m.inspType));
        set(dm.tblList, "Insp Freq", m.inspFreq);
        for (const char *flag : {"Alse", "Batt", "Pyro", "Med", "Radio", "Flotation"})
            set(dm.tblList, flag, qstrcmp(flag, m.flag) == 0);
        dm.tblList.post();
    }
    // Items go in without the master link, so that one may name a holder
    // that does not exist.
    TableDataset items(dm.dbMain, QStringLiteral("items"));
    items.setTableName(QStringLiteral("Equipment.DB"));
    items.open();
    for (const ExtraItem &it : kExtraItems) {
        items.append();
        set(items, "HR Number", it.hr);
        set(items, "NSN", QString::fromLatin1(it.nsn));
        set(items, "Serial Number", QString::fromLatin1(it.serial));
        set(items, "OH", it.oh);
        if (it.due.isValid())
            set(items, "Insp Due", it.due);
        items.post();
    }
    for (const auto &[serial, due] : kBaseDue) {
        const int col = items.fieldByName(QStringLiteral("Serial Number")).index();
        for (int r = 0; r < items.recordCount(); ++r)
            if (items.rowValue(r, col).toString() == QLatin1String(serial)) {
                items.moveTo(r);
                set(items, "Insp Due", due);
                items.post();
            }
    }
    items.close();
    dm.tblAircraft.open();
    for (const char *a : {"N101AB", "N202CD"}) {
        dm.tblAircraft.append();
        set(dm.tblAircraft, "Aircraft", QString::fromLatin1(a));
        dm.tblAircraft.post();
    }
    dm.tblKitType.open();
    for (const KitType &t : kKitTypes) {
        dm.tblKitType.append();
        set(dm.tblKitType, "Type", QString::fromLatin1(t.type));
        set(dm.tblKitType, "Insp Type", QString::fromLatin1(t.inspType));
        set(dm.tblKitType, "Insp Freq", t.freq);
        dm.tblKitType.post();
    }
    dm.tblKits.open();
    for (const Kit &k : kKits) {
        dm.tblKits.append();
        set(dm.tblKits, "Aircraft", QString::fromLatin1(k.aircraft));
        set(dm.tblKits, "Kit Type", QString::fromLatin1(k.type));
        set(dm.tblKits, "Serial Number", QString::fromLatin1(k.serial));
        set(dm.tblKits, "Flare Lot", QString::fromLatin1(k.flare));
        set(dm.tblKits, "Food Exp", k.foodExp);
        set(dm.tblKits, "Insp Type", QString::fromLatin1(k.inspType));
        set(dm.tblKits, "Insp Freq", k.freq);
        set(dm.tblKits, "Insp Due", k.due);
        dm.tblKits.post();
    }
    for (TableDataset *t : dm.shopTables())
        t->close();
    dm.dbMain.close();
}

// Ascending with empty values first, as the orders of the engine sort.
bool lessOrEqual(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || (a.typeId() == QMetaType::QString && a.toString().isEmpty()))
        return true;
    if (b.isNull() || (b.typeId() == QMetaType::QString && b.toString().isEmpty()))
        return false;
    if (a.typeId() == QMetaType::QDate)
        return a.toDate() <= b.toDate();
    if (a.typeId() == QMetaType::Bool)
        return a.toBool() <= b.toBool();
    bool na = false, nb = false;
    const double da = a.toDouble(&na), db = b.toDouble(&nb);
    if (na && nb && a.typeId() != QMetaType::QString)
        return da <= db;
    return a.toString() <= b.toString();
}

QVariantList rawColumn(Dataset &ds, const QString &field)
{
    QVariantList out;
    const int f = ds.fieldByName(field).index();
    for (int r = 0; r < ds.recordCount(); ++r)
        out << ds.rowValue(r, f);
    return out;
}

bool ascending(const QVariantList &values)
{
    for (int i = 1; i < values.size(); ++i)
        if (!lessOrEqual(values[i - 1], values[i]))
            return false;
    return true;
}

} // namespace

class TestPages : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_cfg;
    QTemporaryDir m_template;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<TdmMain> m_dm;
    std::unique_ptr<TfrmMain> m_frm;
    ScriptedPrompts m_prompts;

    template <class T> T *w(const QString &name) const
    {
        T *c = m_frm->findChild<T *>(name);
        if (!c)
            qFatal("no component %s", qPrintable(name));
        return c;
    }
    void start()
    {
        m_data = std::make_unique<QTemporaryDir>();
        m_session = std::make_unique<Session>();
        m_dm = std::make_unique<TdmMain>(*m_session);
        kwtest::copyDir(m_template.path(), m_data->path());
        m_frm = std::make_unique<TfrmMain>(*m_dm);
        m_frm->setDataDirectory(m_data->path());
        m_frm->runSplash = nullptr;
        m_frm->autoUpdateCheck = nullptr;
        m_frm->show();
        QVERIFY(m_frm->startedUp());
    }
    // Clicks the navigation item that shows a page.
    void go(const char *page)
    {
        const QMap<QString, QPair<QString, int>> items = {
            {QStringLiteral("tabHandReceipt"), {QStringLiteral("olListMaint"), 0}},
            {QStringLiteral("tabInsp"), {QStringLiteral("olListMaint"), 1}},
            {QStringLiteral("tabAlseGear"), {QStringLiteral("olListMaint"), 2}},
            {QStringLiteral("tabSurvival"), {QStringLiteral("olListMaint"), 3}},
            {QStringLiteral("tabTechManuals"), {QStringLiteral("olListOffice"), 1}},
        };
        const auto [listName, index] = items.value(QLatin1String(page));
        auto *list = w<QListWidget>(listName);
        auto *bar = w<TOutlookBar>(QStringLiteral("olMain"));
        bar->openGroup(bar->groupOf(list));
        list->doItemsLayout();
        const QRect r = list->visualItemRect(list->item(index));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(m_frm->activePage()->objectName(), QLatin1String(page));
    }
    void clickTitle(TDBGrid *grid, const QString &field)
    {
        const int col = grid->gridModel()->columnOfField(field);
        QVERIFY2(col >= 0, qPrintable(field));
        QHeaderView *h = grid->horizontalHeader();
        if (grid->gridModel()->rowCount() > 0)
            grid->scrollTo(grid->gridModel()->index(0, col));
        else
            h->setOffsetToSectionPosition(col);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2));
    }
    static QStringList titles(TDBGrid *grid)
    {
        QStringList out;
        for (int c = 0; c < grid->gridModel()->columnCount(); ++c)
            out << grid->gridModel()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        return out;
    }
    static QList<int> widths(TDBGrid *grid)
    {
        QList<int> out;
        for (int c = 0; c < grid->gridModel()->columnCount(); ++c)
            out << grid->gridModel()->widthAt(c);
        return out;
    }
    static int rowOf(Dataset &ds, const QString &field, const QString &value)
    {
        const int f = ds.fieldByName(field).index();
        for (int r = 0; r < ds.recordCount(); ++r)
            if (ds.rowValue(r, f).toString() == value)
                return r;
        return -1;
    }
    // Opens the kit-type drop-down on a kit, chooses a type (empty: none),
    // and closes the list again.
    void closeUpKitType(int kitRow, const QString &choose)
    {
        auto *grid = w<TDBGrid>(QStringLiteral("grdSurvival"));
        const QModelIndex cell = grid->gridModel()->index(kitRow, grid->gridModel()->columnOfField(QStringLiteral("Kit Type")));
        grid->setFocus();
        grid->setCurrentIndex(cell);
        grid->edit(cell);
        auto *combo = grid->findChild<LookupCombo *>();
        QVERIFY(combo);
        combo->showPopup();
        // The short list shows whole: as wide as its column, every type in view.
        QWidget *popup = combo->view()->window();
        QVERIFY(popup->isVisible());
        QVERIFY2(popup->width() >= columnPixelWidth(combo->font(), combo->font(), 10, QStringLiteral("Kit Type")),
                 qPrintable(QString::number(popup->width())));
        for (int i = 0; i < combo->count(); ++i)
            QVERIFY(combo->view()->visualRect(combo->model()->index(i, combo->modelColumn())).bottom()
                    <= combo->view()->viewport()->height());
        if (!choose.isEmpty()) {
            const int at = combo->findText(choose);
            QVERIFY2(at >= 0, qPrintable(choose));
            combo->setCurrentIndex(at);
        }
        combo->hidePopup();
        QTRY_VERIFY(!grid->findChild<LookupCombo *>() || !grid->findChild<LookupCombo *>()->isVisible());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_cfg.isValid());
        qputenv("KITWARDEN_CONFIG_DIR", m_cfg.path().toLocal8Bit());
        setPrompts(&m_prompts);
        Clock::setFixed(QDateTime(kToday, QTime(8, 0)));
        Session s;
        TdmMain dm(s);
        fillPagesShop(dm, m_template.path());
    }
    void init() { m_prompts = ScriptedPrompts(); }
    void cleanup()
    {
        if (m_frm)
            m_frm->hide();
        m_frm.reset();
        m_dm.reset();
        m_session.reset();
        m_data.reset();
        QVERIFY2(m_prompts.messages.isEmpty(), qPrintable(m_prompts.messages.join(QLatin1Char('|'))));
    }
    void cleanupTestCase() { setPrompts(nullptr); }

    // --- layout of the three pages

    void gridColumns_data()
    {
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("inspections") << "grdInsp"
            << QStringList{"HR #", "Holder", "NSN", "Nomenclature", "Serial #", "UI", "Auth", "OH", "Insp", " ",
                           "Completed", "Due", "Alse", "Batt", "Pyro", "Med", "Radio", "Flotation", "Remarks"}
            << QList<int>{4, 14, 18, 29, 14, 3, 3, 4, 3, 4, 11, 10, 5, 5, 5, 5, 5, 6, 15};
        QTest::newRow("by type") << "grdGear"
            << QStringList{"HR #", "HR Holder", "NSN", "Nomenclature", "Serial Number", "UI", "Auth", "OH", "Insp",
                           "Type", "Completed", "Due", "Alse", "Radio", "Flotation", "Batt", "Pyro", "Med", "Remarks"}
            << QList<int>{5, 15, 16, 34, 14, 3, 4, 3, 4, 5, 11, 10, 5, 5, 6, 5, 5, 5, 15};
        QTest::newRow("aircraft") << "grdSurvival"
            << QStringList{"Aircraft", "Kit Type", "Serial Number", "Flare Lot", "Food Exp", "Insp", " ",
                           "Completed", "Due"}
            << QList<int>{7, 10, 11, 13, 10, 3, 4, 11, 11};
    }
    void gridColumns()
    {
        QFETCH(QString, grid);
        QFETCH(QStringList, titles);
        QFETCH(QList<int>, widths);
        start();
        auto *g = w<TDBGrid>(grid);
        QCOMPARE(TestPages::titles(g), titles);
        QCOMPARE(TestPages::widths(g), widths);
        QVERIFY(g->titleButtons());
        // The shared context menu, which only tells how to sort.
        QCOMPARE(g->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(g->actions().size(), 1);
        QCOMPARE(g->actions().first()->text(), QStringLiteral("Sort by Clicking Column Titles"));
    }

    void inspectionTopBar()
    {
        start();
        go("tabInsp");
        auto *nav = w<TDBNavigator>(QStringLiteral("navInsp"));
        QCOMPARE(nav->dataSource(), &m_dm->dsInsp);
        QCOMPARE(w<QLabel>(QStringLiteral("lblInspSort"))->text(), QStringLiteral("Sorted by Insp Due"));
        auto *due = w<QPushButton>(QStringLiteral("btnInspDue"));
        QCOMPARE(due->text(), QStringLiteral("Due by:") + QString(18, QLatin1Char(' ')));
        QVERIFY(due->width() >= 137);
        QCOMPARE(w<QPushButton>(QStringLiteral("btnInspAll"))->text(), QStringLiteral("All"));
        QCOMPARE(w<QPushButton>(QStringLiteral("btnInspAll"))->width(), 64);
        // The picker lies over the button's right part and stays usable while
        // the button waits for its report.
        auto *date = w<TDateEdit>(QStringLiteral("cbInspDate"));
        QVERIFY(date->width() >= date->sizeHint().width()); // the date is not clipped
        const QRect over(date->mapTo(due->parentWidget(), QPoint(0, 0)), date->size());
        // ... and leaves room for the caption at its left.
        QVERIFY(over.left() >= due->fontMetrics().horizontalAdvance(QStringLiteral("Due by:")) + 6);
        QVERIFY(due->geometry().contains(over));
        QVERIFY(date->isVisible() && date->isEnabled());
        QCOMPARE(date->date(), kToday);
        QCOMPARE(m_frm->dueByDate(), kToday);
        QCOMPARE(date->text(), QStringLiteral("9 Dec 2026"));
        QVERIFY(date->calendarPopup());
        QCOMPARE(date->calendarWidget()->verticalHeaderFormat(), QCalendarWidget::ISOWeekNumbers);
        // Flags are check boxes that cannot be changed here; read-only cells are gray.
        DatasetModel *m = w<TDBGrid>(QStringLiteral("grdInsp"))->gridModel();
        const QModelIndex alse = m->index(0, m->columnOfField(QStringLiteral("Alse")));
        QVERIFY(alse.data(Qt::CheckStateRole).isValid());
        QVERIFY(!(alse.flags() & Qt::ItemIsUserCheckable));
        const QColor gray = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
        QCOMPARE(m->index(0, m->columnOfField(QStringLiteral("Hr Holder"))).data(Qt::ForegroundRole).value<QColor>(), gray);
        QVERIFY(m->index(0, m->columnOfField(QStringLiteral("Serial Number"))).flags() & Qt::ItemIsEditable);
    }

    // Typing a two-digit year into the picker reads it as 1950 to 2049.
    void twoDigitYears_data()
    {
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QString>("typed"); // into the year
        QTest::addColumn<QDate>("date");
        QTest::newRow("02 is 2002") << kToday << "02" << QDate(2002, 12, 9);
        QTest::newRow("49 is 2049") << kToday << "49" << QDate(2049, 12, 9);
        QTest::newRow("50 is 1950") << kToday << "50" << QDate(1950, 12, 9);
        QTest::newRow("99 is 1999") << kToday << "99" << QDate(1999, 12, 9);
        QTest::newRow("00 is 2000") << kToday << "00" << QDate(2000, 12, 9);
        QTest::newRow("four digits stay") << kToday << "1949" << QDate(1949, 12, 9);
        QTest::newRow("no leap day in 2001: unchanged") << QDate(2028, 2, 29) << "01" << QDate(2028, 2, 29);
        QTest::newRow("leap day in 2004") << QDate(2028, 2, 29) << "04" << QDate(2004, 2, 29);
    }
    void twoDigitYears()
    {
        QFETCH(QDate, start);
        QFETCH(QString, typed);
        QFETCH(QDate, date);
        TDateEdit edit;
        edit.setDate(start);
        edit.show();
        edit.setFocus();
        edit.setSelectedSection(QDateTimeEdit::YearSection);
        QTest::keyClicks(&edit, typed);
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(edit.date(), date);
        QCOMPARE(edit.text(), QLocale::c().toString(date, QStringLiteral("d MMM yyyy")));
    }

    // --- title-click orders

    void inspectionOrders_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("line");
        const QList<QPair<const char *, const char *>> table = {
            {"Hr Number", "ORDER BY E.'Hr Number'"},         {"Hr Holder", "ORDER BY H.'Hr Holder'"},
            {"NSN", "ORDER BY E.'NSN'"},                     {"Nomenclature", "ORDER BY L.'Nomenclature'"},
            {"Serial Number", "ORDER BY E.'Serial Number'"}, {"UI", "ORDER BY L.'UI'"},
            {"Auth", "ORDER BY L.'Auth'"},                   {"OH", "ORDER BY E.'OH'"},
            {"Insp Freq", "ORDER BY L.'Insp Freq'"},         {"Insp Type", "ORDER BY L.'Insp Type'"},
            {"Insp Due", "ORDER BY E.'Insp Due'"},           {"Insp Completed", "ORDER BY E.'Insp Completed'"},
            {"Alse", "ORDER BY L.'Alse'"},                   {"Batt", "ORDER BY L.'Batt'"},
            {"Pyro", "ORDER BY L.'Pyro'"},                   {"Med", "ORDER BY L.'Med'"},
            {"Radio", "ORDER BY L.'Radio'"},                 {"Flotation", "ORDER BY L.'Flotation'"},
            {"Remarks", "ORDER BY E.'Remarks'"},
        };
        for (const auto &[field, line] : table)
            QTest::newRow(field) << QString::fromLatin1(field) << QString::fromLatin1(line);
    }
    void inspectionOrders()
    {
        QFETCH(QString, field);
        QFETCH(QString, line);
        start();
        go("tabInsp");
        auto *grid = w<TDBGrid>(QStringLiteral("grdInsp"));
        const int rows = m_dm->qryInsp.recordCount();
        QVERIFY(rows > 3);
        clickTitle(grid, field);
        QCOMPARE(w<QLabel>(QStringLiteral("lblInspSort"))->text(), QStringLiteral("Sorted by ") + field);
        QCOMPARE(m_dm->qryInsp.sql().at(30), line);
        QVERIFY(m_dm->qryInsp.active());
        QCOMPARE(m_dm->qryInsp.recordCount(), rows);
        QVERIFY2(ascending(rawColumn(m_dm->qryInsp, field)), qPrintable(field));
        QCOMPARE(grid->gridModel()->rowCount(), rows);
        // The same title again gives the same order.
        const QStringList before = kwtest::columnValues(m_dm->qryInsp, QStringLiteral("Serial Number"));
        clickTitle(grid, field);
        QCOMPARE(kwtest::columnValues(m_dm->qryInsp, QStringLiteral("Serial Number")), before);
    }

    // Only items that need a day or year inspection, and only with a holder and
    // a master-list row, show on the inspections page; by type shows every
    // item with both.
    void whichItemsShow()
    {
        start();
        go("tabInsp");
        QStringList insp = kwtest::columnValues(m_dm->qryInsp, QStringLiteral("Serial Number"));
        insp.sort();
        QCOMPARE(insp, (QStringList{"B-001", "M-001", "P-001", "R-001", "S-001", "V-001", "V-002"}));
        go("tabAlseGear");
        QStringList gear = kwtest::columnValues(m_dm->qryGear, QStringLiteral("Serial Number"));
        gear.sort();
        QCOMPARE(gear, (QStringList{"B-001", "M-001", "P-001", "R-001", "S-001", "V-001", "V-002"}));
        QVERIFY(!gear.contains(QStringLiteral("X-001")) && !gear.contains(QStringLiteral("R-404")));
    }

    // In idle time after start-up the item queries are read ahead without
    // being opened; what the pages show later is still current.
    void readAheadStaysCurrent()
    {
        start();
        QTest::qWait(400);
        QVERIFY(!m_dm->qryInsp.active() && !m_dm->qryGear.active() && !m_dm->qryParts.active());
        // An item changed on the hand receipts page after the read-ahead.
        TableDataset &hr = m_dm->tblHr;
        QVERIFY(m_dm->tblHrdf.findKey({1}));
        const int r = rowOf(hr, QStringLiteral("Serial Number"), QStringLiteral("V-001"));
        QVERIFY(r >= 0);
        hr.moveTo(r);
        set(hr, "Insp Due", QDate(2030, 1, 1));
        hr.post();
        go("tabInsp");
        QCOMPARE(kwtest::columnValues(m_dm->qryInsp, QStringLiteral("Serial Number")).last(), QStringLiteral("V-001"));
        QCOMPARE(m_dm->qryInsp.recordCount(), 7);
    }

    // A category stays chosen through a re-sort: the filter belongs to the
    // query, not to its text.
    void tabsSurviveResort_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("flag");
        QTest::newRow("All") << 0 << "All" << "";
        QTest::newRow("ALSE") << 1 << "ALSE" << "Alse";
        QTest::newRow("Radios") << 2 << "Radios" << "Radio";
        QTest::newRow("Floatation") << 3 << "Floatation" << "Flotation";
        QTest::newRow("Batteries") << 4 << "Batteries" << "Batt";
        QTest::newRow("Pyro") << 5 << "Pyro" << "Pyro";
        QTest::newRow("Meds") << 6 << "Meds" << "Med";
    }
    void tabsSurviveResort()
    {
        QFETCH(int, tab);
        QFETCH(QString, caption);
        QFETCH(QString, flag);
        start();
        go("tabAlseGear");
        auto *tabs = w<QTabBar>(QStringLiteral("tabGear"));
        QCOMPARE(tabs->count(), 7);
        QCOMPARE(tabs->tabText(tab), caption);
        QCOMPARE(tabs->currentIndex(), 0);
        // How many items carry the flag, counted on the unfiltered rows.
        const QVariantList all = flag.isEmpty() ? QVariantList() : rawColumn(m_dm->qryGear, flag);
        const int expected = flag.isEmpty() ? m_dm->qryGear.recordCount() : int(all.count(QVariant(true)));
        QVERIFY(expected > 0);
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab).center());
        QCOMPARE(tabs->currentIndex(), tab);
        QCOMPARE(m_dm->qryGear.filtered(), !flag.isEmpty());
        QCOMPARE(m_dm->qryGear.recordCount(), expected);
        auto *grid = w<TDBGrid>(QStringLiteral("grdGear"));
        for (const char *title : {"Nomenclature", "Insp Due", "Hr Holder"}) {
            clickTitle(grid, QLatin1String(title));
            QCOMPARE(m_dm->qryGear.recordCount(), expected);
            QCOMPARE(grid->gridModel()->rowCount(), expected);
            QVERIFY2(ascending(rawColumn(m_dm->qryGear, QLatin1String(title))), title);
            if (!flag.isEmpty())
                for (const QVariant &v : rawColumn(m_dm->qryGear, flag))
                    QVERIFY(v.toBool());
        }
        QCOMPARE(m_dm->qryGear.sql().at(30), QStringLiteral("ORDER BY H.'Hr Holder'"));
        // Coming back shows "All" with every item, whatever was chosen before.
        go("tabTechManuals");
        go("tabAlseGear");
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(!m_dm->qryGear.filtered());
        QCOMPARE(m_dm->qryGear.recordCount(), 7);
    }

    void gearKeys()
    {
        start();
        go("tabAlseGear");
        auto *grid = w<TDBGrid>(QStringLiteral("grdGear"));
        const int rows = m_dm->qryGear.recordCount();
        grid->setFocus();
        grid->setCurrentIndex(grid->gridModel()->index(0, 0));
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(grid->currentIndex().column(), 1);
        // Ctrl+Delete asks first; Cancel keeps the row.
        m_prompts.answers = {false};
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(m_prompts.questions, QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(m_dm->qryGear.recordCount(), rows);
        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(m_dm->qryGear.state(), DatasetState::Insert);
        QTest::keyClick(grid, Qt::Key_Escape);
        QCOMPARE(m_dm->qryGear.state(), DatasetState::Browse);
    }

    // --- write-back and the two decisions about pending changes

    void completionDateMovesRow()
    {
        start();
        go("tabInsp");
        auto *grid = w<TDBGrid>(QStringLiteral("grdInsp"));
        DatasetModel *m = grid->gridModel();
        // By due date, R-001 (type D, 90 days, overdue) comes first.
        QCOMPARE(kwtest::columnValues(m_dm->qryInsp, QStringLiteral("Serial Number")).first(), QStringLiteral("M-001"));
        const int r = rowOf(m_dm->qryInsp, QStringLiteral("Serial Number"), QStringLiteral("R-001"));
        QCOMPARE(r, 1);
        grid->setFocus();
        grid->setCurrentIndex(m->index(r, m->columnOfField(QStringLiteral("Insp Completed"))));
        QVERIFY(m->setData(m->index(r, m->columnOfField(QStringLiteral("Insp Completed"))), QStringLiteral("12/8/2026"),
                           Qt::EditRole));
        QCOMPARE(m_dm->qryInsp.state(), DatasetState::Edit);
        // Leaving the row posts it: written back, the query read again.
        grid->setCurrentIndex(m->index(r + 1, 0));
        QCOMPARE(m_dm->qryInsp.state(), DatasetState::Browse);
        QVERIFY(!m_dm->qryInsp.updatesPending());
        const int moved = rowOf(m_dm->qryInsp, QStringLiteral("Serial Number"), QStringLiteral("R-001"));
        QCOMPARE(m_dm->qryInsp.rowValue(moved, m_dm->qryInsp.fieldByName(QStringLiteral("Insp Due")).index()).toDate(),
                 QDate(2027, 3, 8));
        QVERIFY(m_dm->qryInsp.rowValue(moved, m_dm->qryInsp.fieldByName(QStringLiteral("Insp Completed")).index()).isNull());
        QCOMPARE(moved, m_dm->qryInsp.recordCount() - 2); // after every item due before 8 Mar 2027
        QVERIFY(ascending(rawColumn(m_dm->qryInsp, QStringLiteral("Insp Due"))));
        // It is in the table file: a second data module reads it there once the
        // window has let go of the tables.
        m_frm->CloseShopTables();
        Session s;
        TdmMain other(s);
        other.dbMain.setParam(QStringLiteral("PATH"), m_data->path() + QLatin1Char('/'));
        other.qryInsp.open();
        const int there = rowOf(other.qryInsp, QStringLiteral("Serial Number"), QStringLiteral("R-001"));
        QCOMPARE(other.qryInsp.rowValue(there, other.qryInsp.fieldByName(QStringLiteral("Insp Due")).index()).toDate(),
                 QDate(2027, 3, 8));
    }

    // A title click first stores what is pending, as leaving the page does:
    // a deleted row never comes back, an edit in progress is not lost.
    void titleClickAppliesPending_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("deleteRow");
        QTest::newRow("inspections, deletion") << "tabInsp" << true;
        QTest::newRow("inspections, edit") << "tabInsp" << false;
        QTest::newRow("by type, deletion") << "tabAlseGear" << true;
        QTest::newRow("by type, edit") << "tabAlseGear" << false;
    }
    void titleClickAppliesPending()
    {
        QFETCH(QString, page);
        QFETCH(bool, deleteRow);
        start();
        go(qPrintable(page));
        const bool insp = page == QLatin1String("tabInsp");
        QueryDataset &q = insp ? m_dm->qryInsp : m_dm->qryGear;
        auto *grid = w<TDBGrid>(insp ? QStringLiteral("grdInsp") : QStringLiteral("grdGear"));
        const int rows = q.recordCount();
        const int r = rowOf(q, QStringLiteral("Serial Number"), QStringLiteral("S-001"));
        QVERIFY(r >= 0);
        grid->setFocus();
        grid->setCurrentIndex(grid->gridModel()->index(r, 1));
        if (deleteRow) {
            QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
            QVERIFY(q.updatesPending());
        } else {
            DatasetModel *m = grid->gridModel();
            QVERIFY(m->setData(m->index(r, m->columnOfField(QStringLiteral("Remarks"))), QStringLiteral("smoke"),
                               Qt::EditRole));
            QCOMPARE(q.state(), DatasetState::Edit);
        }
        clickTitle(grid, QStringLiteral("Serial Number"));
        QCOMPARE(q.sql().at(30), QStringLiteral("ORDER BY E.'Serial Number'"));
        QVERIFY(!q.updatesPending());
        QCOMPARE(q.recordCount(), deleteRow ? rows - 1 : rows);
        const int now = rowOf(q, QStringLiteral("Serial Number"), QStringLiteral("S-001"));
        if (deleteRow) {
            QCOMPARE(now, -1);
        } else {
            QCOMPARE(q.rowValue(now, q.fieldByName(QStringLiteral("Remarks")).index()).toString(), QStringLiteral("smoke"));
        }
        // The table file says the same.
        go("tabTechManuals");
        q.close();
        q.open();
        QCOMPARE(rowOf(q, QStringLiteral("Serial Number"), QStringLiteral("S-001")) < 0, deleteRow);
    }

    // Entering the inspections page shows the due-date order with its label.
    void enteringRestoresDueOrder()
    {
        start();
        go("tabInsp");
        auto *grid = w<TDBGrid>(QStringLiteral("grdInsp"));
        auto *label = w<QLabel>(QStringLiteral("lblInspSort"));
        clickTitle(grid, QStringLiteral("Nomenclature"));
        QCOMPARE(label->text(), QStringLiteral("Sorted by Nomenclature"));
        go("tabTechManuals");
        go("tabInsp");
        QCOMPARE(label->text(), QStringLiteral("Sorted by Insp Due"));
        QCOMPARE(m_dm->qryInsp.sql().at(30), QStringLiteral("ORDER BY E.'Insp Due'"));
        QVERIFY(ascending(rawColumn(m_dm->qryInsp, QStringLiteral("Insp Due"))));
        // Choosing the page again while on it does the same.
        clickTitle(grid, QStringLiteral("OH"));
        go("tabInsp");
        QCOMPARE(label->text(), QStringLiteral("Sorted by Insp Due"));
        QCOMPARE(m_dm->qryInsp.sql().at(30), QStringLiteral("ORDER BY E.'Insp Due'"));
    }

    // Leaving applies deletions still cached and closes the query; with
    // nothing pending the query stays open.
    void leavingAppliesPending_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("inspections") << "tabInsp";
        QTest::newRow("by type") << "tabAlseGear";
    }
    void leavingAppliesPending()
    {
        QFETCH(QString, page);
        start();
        go(qPrintable(page));
        const bool insp = page == QLatin1String("tabInsp");
        QueryDataset &q = insp ? m_dm->qryInsp : m_dm->qryGear;
        go("tabTechManuals");
        QVERIFY(q.active());
        go(qPrintable(page));
        const int rows = q.recordCount();
        auto *nav = insp ? w<TDBNavigator>(QStringLiteral("navInsp")) : nullptr;
        if (nav) {
            QTest::mouseClick(nav->btnDelete(), Qt::LeftButton);
        } else {
            auto *grid = w<TDBGrid>(QStringLiteral("grdGear"));
            grid->setFocus();
            grid->setCurrentIndex(grid->gridModel()->index(0, 1));
            QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        }
        QCOMPARE(m_prompts.questions, QStringList{QStringLiteral("Delete record?")});
        QVERIFY(q.updatesPending());
        go("tabTechManuals");
        QVERIFY(!q.active());
        go(qPrintable(page));
        QCOMPARE(q.recordCount(), rows - 1);
    }

    // --- aircraft equipment

    void kitOrders_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("label");
        QTest::newRow("Aircraft") << "Aircraft" << "AC" << "Sorted By Aircraft Tail #";
        QTest::newRow("Kit Type") << "Kit Type" << "TYPE" << "Sorted By Survival Kit Type";
        QTest::newRow("Serial Number") << "Serial Number" << "SERNO" << "Sorted By Kit Serial Number";
        QTest::newRow("Flare Lot") << "Flare Lot" << "FLARE" << "Sorted By Flare Lot Number";
        QTest::newRow("Food Exp") << "Food Exp" << "FOODX" << "Sorted By Food Expiration Date";
        QTest::newRow("Insp Due") << "Insp Due" << "INDD" << "Sorted By Kit Inspection Due Date";
        // These change nothing: the order of the last title clicked stays.
        QTest::newRow("Completed") << "Insp Completed" << "FLARE" << "Sorted By Flare Lot Number";
        QTest::newRow("Insp") << "Insp Freq" << "FLARE" << "Sorted By Flare Lot Number";
        QTest::newRow("type") << "Insp Type" << "FLARE" << "Sorted By Flare Lot Number";
    }
    void kitOrders()
    {
        QFETCH(QString, field);
        QFETCH(QString, index);
        QFETCH(QString, label);
        start();
        go("tabSurvival");
        auto *grid = w<TDBGrid>(QStringLiteral("grdSurvival"));
        auto *sort = w<QLabel>(QStringLiteral("lblKitsSort"));
        QCOMPARE(sort->text(), QStringLiteral("Sorted By Date Due"));
        QCOMPARE(m_dm->tblKits.indexName(), QStringLiteral("INDD"));
        QVERIFY(ascending(rawColumn(m_dm->tblKits, QStringLiteral("Insp Due"))));
        clickTitle(grid, QStringLiteral("Flare Lot"));
        clickTitle(grid, field);
        QCOMPARE(m_dm->tblKits.indexName(), index);
        QCOMPARE(sort->text(), label);
        const QString ordered = index == QLatin1String("FLARE") ? QStringLiteral("Flare Lot") : field;
        QVERIFY2(ascending(rawColumn(m_dm->tblKits, ordered)), qPrintable(ordered));
        QCOMPARE(grid->gridModel()->rowCount(), int(std::size(kKits)));
    }

    void kitTopBarAndEditors()
    {
        start();
        go("tabSurvival");
        auto *nav = w<TDBNavigator>(QStringLiteral("navKits"));
        QCOMPARE(nav->dataSource(), &m_dm->dsKits);
        QList<QToolButton *> buttons;
        for (QToolButton *b : nav->findChildren<QToolButton *>())
            if (b->isVisible())
                buttons << b;
        QCOMPARE(buttons.size(), 3);
        auto *list = w<QPushButton>(QStringLiteral("btnSurvivalList"));
        QCOMPARE(list->text(), QStringLiteral("List"));
        // Anchored to the right edge of the page.
        const QWidget *page = w<QWidget>(QStringLiteral("tabSurvival"));
        QVERIFY(page->width() - list->mapTo(page, QPoint(list->width(), 0)).x() < 8);
        auto *aircraft = w<TLookupComboEditor>(QStringLiteral("cbAircraft"));
        QCOMPARE(aircraft->listDataset(), &m_dm->tblAircraft);
        QCOMPARE(aircraft->rowsVisible, 10);
        QVERIFY(aircraft->freeText);
        auto *types = w<TLookupComboEditor>(QStringLiteral("cbKitType"));
        QCOMPARE(types->listDataset(), &m_dm->tblKitType);
        QCOMPARE(types->rowsVisible, 10);
        QVERIFY(!types->freeText && !types->matchWhileTyping);
    }

    // The aircraft cell takes a tail number typed in, also one not yet listed;
    // the kit type only one from the list.
    void aircraftTyping_data()
    {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("aircraft, listed") << "cbAircraft" << "n202cd" << "N202CD";
        QTest::newRow("aircraft, new tail number") << "cbAircraft" << "N999ZZ" << "N999ZZ";
        QTest::newRow("kit type, not in the list") << "cbKitType" << "BOAT" << "SEAT";
    }
    void aircraftTyping()
    {
        QFETCH(QString, editor);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        start();
        go("tabSurvival");
        auto *ed = w<TLookupComboEditor>(editor);
        QWidget parent;
        std::unique_ptr<QWidget> widget(ed->createEditor(&parent, Field()));
        auto *combo = qobject_cast<LookupCombo *>(widget.get());
        QVERIFY(combo);
        ed->setEditorValue(combo, QStringLiteral("SEAT"));
        if (!combo->isEditable()) {
            QCOMPARE(ed->editorValue(combo).toString(), stored);
            return;
        }
        combo->setEditText(typed);
        QCOMPARE(ed->editorValue(combo).toString(), stored);
    }

    void kitTypeCloseUp_data()
    {
        QTest::addColumn<QString>("kit");        // serial; empty: a new kit
        QTest::addColumn<bool>("editFirst");     // the kit is being edited already
        QTest::addColumn<QString>("choose");     // empty: the list closes without a choice
        QTest::addColumn<QString>("type");       // the kit's type afterwards
        QTest::addColumn<QString>("inspType");
        QTest::addColumn<int>("freq");
        QTest::newRow("browsing kit, other type") << "K-002" << false << "SEAT" << "SEAT" << "D" << 180;
        QTest::newRow("kit in edit, no second edit") << "K-002" << true << "SEAT" << "SEAT" << "D" << 180;
        QTest::newRow("closed without a choice") << "K-001" << false << "" << "SEAT" << "D" << 180;
        QTest::newRow("new kit, stored at once") << "" << false << "ARMY" << "ARMY" << "Y" << 1;
        QTest::newRow("type N") << "K-002" << false << "RAFT" << "RAFT" << "N" << 0;
    }
    void kitTypeCloseUp()
    {
        QFETCH(QString, kit);
        QFETCH(bool, editFirst);
        QFETCH(QString, choose);
        QFETCH(QString, type);
        QFETCH(QString, inspType);
        QFETCH(int, freq);
        start();
        go("tabSurvival");
        TableDataset &kits = m_dm->tblKits;
        const int count = kits.recordCount();
        auto *grid = w<TDBGrid>(QStringLiteral("grdSurvival"));
        DatasetModel *m = grid->gridModel();
        int row = 0;
        if (kit.isEmpty()) {
            grid->setFocus();
            grid->setCurrentIndex(m->index(0, 0));
            QTest::mouseClick(w<TDBNavigator>(QStringLiteral("navKits"))->btnInsert(), Qt::LeftButton);
            QCOMPARE(kits.state(), DatasetState::Insert);
            row = kits.recNo();
            QVERIFY(m->setData(m->index(row, m->columnOfField(QStringLiteral("Serial Number"))), QStringLiteral("K-NEW"),
                               Qt::EditRole));
        } else {
            row = rowOf(kits, QStringLiteral("Serial Number"), kit);
            QVERIFY(row >= 0);
            kits.moveTo(row);
            // A manual interval the close-up replaces.
            kits.edit();
            set(kits, "Insp Freq", 77);
            kits.post();
            row = rowOf(kits, QStringLiteral("Serial Number"), kit);
            if (editFirst)
                QVERIFY(m->setData(m->index(row, m->columnOfField(QStringLiteral("Flare Lot"))), QStringLiteral("FL-EDIT"),
                                   Qt::EditRole));
        }
        int edits = 0;
        connect(&kits, &Dataset::stateChanged, this, [&] {
            if (kits.state() == DatasetState::Edit)
                ++edits;
        });
        closeUpKitType(row, choose);
        QTRY_COMPARE(kits.state(), DatasetState::Browse);
        QCOMPARE(edits, editFirst || kit.isEmpty() ? 0 : 1);
        QCOMPARE(kits.recordCount(), kit.isEmpty() ? count + 1 : count);
        const QString serial = kit.isEmpty() ? QStringLiteral("K-NEW") : kit;
        const int at = rowOf(kits, QStringLiteral("Serial Number"), serial);
        QVERIFY(at >= 0);
        auto value = [&](const char *f) { return kits.rowValue(at, kits.fieldByName(QLatin1String(f)).index()); };
        QCOMPARE(value("Kit Type").toString(), type);
        QCOMPARE(value("Insp Type").toString(), inspType);
        QCOMPARE(value("Insp Freq").toInt(), freq);
        if (editFirst)
            QCOMPARE(value("Flare Lot").toString(), QStringLiteral("FL-EDIT"));
        QCOMPARE(m_dm->tblKitType.fieldByName(QStringLiteral("Type")).asString(), type);

        // The due-date rule then works with the copied interval.
        kits.moveTo(at);
        const QDate dueBefore = value("Insp Due").toDate();
        set(kits, "Insp Completed", QDate(2026, 12, 1));
        kits.post();
        const int after = rowOf(kits, QStringLiteral("Serial Number"), serial);
        const QDate due = kits.rowValue(after, kits.fieldByName(QStringLiteral("Insp Due")).index()).toDate();
        if (inspType == QLatin1String("N"))
            QCOMPARE(due, dueBefore);
        else
            QCOMPARE(due, inspType == QLatin1String("D") ? QDate(2026, 12, 1).addDays(freq)
                                                          : QDate(2026, 12, 1).addYears(freq));
    }

    // A new kit whose list closes without any type has no interval to take:
    // nothing is stored, the new row stays open for typing.
    void newKitWithoutTypeStaysOpen()
    {
        start();
        go("tabSurvival");
        TableDataset &kits = m_dm->tblKits;
        const int count = kits.recordCount();
        auto *grid = w<TDBGrid>(QStringLiteral("grdSurvival"));
        grid->setFocus();
        grid->setCurrentIndex(grid->gridModel()->index(0, 0));
        QTest::mouseClick(w<TDBNavigator>(QStringLiteral("navKits"))->btnInsert(), Qt::LeftButton);
        closeUpKitType(kits.recNo(), QString());
        QTest::qWait(20);
        QCOMPARE(kits.state(), DatasetState::Insert);
        kits.cancel();
        QCOMPARE(kits.recordCount(), count);
    }

    // Closing the program stores a kit being edited instead of dropping it.
    void closingStoresKitEdit()
    {
        start();
        go("tabSurvival");
        TableDataset &kits = m_dm->tblKits;
        DatasetModel *m = w<TDBGrid>(QStringLiteral("grdSurvival"))->gridModel();
        const int r = rowOf(kits, QStringLiteral("Serial Number"), QStringLiteral("K-003"));
        QVERIFY(m->setData(m->index(r, m->columnOfField(QStringLiteral("Flare Lot"))), QStringLiteral("FL-LAST"),
                           Qt::EditRole));
        QCOMPARE(kits.state(), DatasetState::Edit);
        QVERIFY(m_frm->close());
        kits.close();
        kits.open();
        const int at = rowOf(kits, QStringLiteral("Serial Number"), QStringLiteral("K-003"));
        QCOMPARE(kits.rowValue(at, kits.fieldByName(QStringLiteral("Flare Lot")).index()).toString(),
                 QStringLiteral("FL-LAST"));
    }

    // --- due colours

    void dueColours_data()
    {
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<int>("status");
        const int none = int(DueStatus::None), soon = int(DueStatus::Soon), over = int(DueStatus::Overdue);
        // The first holder's items, shown when the page opens.
        QTest::newRow("hand receipt, overdue") << "grdHandReceipt" << "tabHandReceipt" << "R-001" << over;
        QTest::newRow("hand receipt, 30 days") << "grdHandReceipt" << "tabHandReceipt" << "V-001" << soon;
        QTest::newRow("hand receipt, no date") << "grdHandReceipt" << "tabHandReceipt" << "M-001" << none;
        QTest::newRow("insp, overdue") << "grdInsp" << "tabInsp" << "R-001" << over;
        QTest::newRow("insp, due today") << "grdInsp" << "tabInsp" << "B-001" << soon;
        QTest::newRow("insp, 30 days") << "grdInsp" << "tabInsp" << "V-001" << soon;
        QTest::newRow("insp, 31 days") << "grdInsp" << "tabInsp" << "V-002" << none;
        QTest::newRow("insp, no date") << "grdInsp" << "tabInsp" << "M-001" << none;
        QTest::newRow("gear, overdue") << "grdGear" << "tabAlseGear" << "R-001" << over;
        QTest::newRow("gear, soon") << "grdGear" << "tabAlseGear" << "P-001" << soon;
        QTest::newRow("gear, later") << "grdGear" << "tabAlseGear" << "S-001" << none;
        QTest::newRow("kit, inspection overdue") << "grdSurvival" << "tabSurvival" << "K-002" << over;
        QTest::newRow("kit, food expired") << "grdSurvival" << "tabSurvival" << "K-001" << over;
        QTest::newRow("kit, inspection soon") << "grdSurvival" << "tabSurvival" << "K-003" << soon;
    }
    void dueColours()
    {
        QFETCH(QString, grid);
        QFETCH(QString, page);
        QFETCH(QString, serial);
        QFETCH(int, status);
        start();
        go(qPrintable(page));
        auto *g = w<TDBGrid>(grid);
        QVERIFY(g->rowTextColor);
        const int row = rowOf(*g->dataset(), QStringLiteral("Serial Number"), serial);
        QVERIFY(row >= 0);
        QCOMPARE(g->rowTextColor(row), dueStatusColor(DueStatus(status), g->palette()));
        // Drawn so: the serial cell of the row is painted in that colour.
        if (status != int(DueStatus::None)) {
            const QModelIndex cell = g->gridModel()->index(row, g->gridModel()->columnOfField(QStringLiteral("Serial Number")));
            g->clearSelection();
            g->setCurrentIndex(g->gridModel()->index(row == 0 ? 1 : 0, 0));
            g->scrollTo(cell);
            const QImage shot = g->viewport()->grab(g->visualRect(cell)).toImage();
            const QColor want = g->rowTextColor(row);
            bool found = false;
            for (int y = 0; y < shot.height() && !found; ++y)
                for (int x = 0; x < shot.width() && !found; ++x) {
                    const QColor c = shot.pixelColor(x, y);
                    found = std::abs(c.red() - want.red()) < 24 && std::abs(c.green() - want.green()) < 24
                            && std::abs(c.blue() - want.blue()) < 24;
                }
            QVERIFY(found);
        }
    }

    // --- print buttons

    void printButtons_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("wired"); // the main window attaches its report
        QTest::newRow("inspections, all") << "tabInsp" << "btnInspAll" << "All" << true;
        QTest::newRow("inspections, due by") << "tabInsp" << "btnInspDue" << QStringLiteral("Due by:") + QString(18, QLatin1Char(' ')) << true;
        QTest::newRow("by type") << "tabAlseGear" << "btnGearPrint" << "List" << true;
        QTest::newRow("aircraft") << "tabSurvival" << "btnSurvivalList" << "List" << true;
        QTest::newRow("holders") << "tabHandReceipt" << "btnHrdfPrint" << "" << true;
        QTest::newRow("hand receipt") << "tabHandReceipt" << "btnAlsePrint" << "Print" << true;
    }
    void printButtons()
    {
        QFETCH(QString, page);
        QFETCH(QString, button);
        QFETCH(QString, caption);
        QFETCH(bool, wired);
        start();
        go(qPrintable(page));
        auto *p = w<Page>(page);
        auto *b = w<QAbstractButton>(button);
        QCOMPARE(b->text(), caption);
        QVERIFY(p->printButtons().contains(button));
        // Visible, and on exactly when the main window has attached a report.
        QVERIFY(b->isVisible());
        QCOMPARE(b->isEnabled(), wired);
        p->setPrintHandler(button, {});
        QVERIFY(!b->isEnabled());
        int runs = 0;
        p->setPrintHandler(button, [&] { ++runs; });
        QVERIFY(b->isEnabled());
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
        QCOMPARE(runs, 1);
        // A report that fails shows its message; the page stays usable.
        p->setPrintHandler(button, [] { throw EngineError(QStringLiteral("No printer")); });
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
        QCOMPARE(m_prompts.messages, QStringList{QStringLiteral("No printer")});
        m_prompts.messages.clear();
        p->setPrintHandler(button, {});
        QVERIFY(!b->isEnabled());
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, p->setPrintHandler(QStringLiteral("btnNoSuch"), [] {}));
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
