// The main window's ways to a record: a page shown with a record current
// on it, the counts of what is due in the status bar and the rows a click
// on one opens, and Edit > Find with the page each hit opens.
#include "app/frmmain.h"

#include "app/apperror.h"
#include "app/duepanel.h"
#include "app/finddialog.h"
#include "app/mainstatusbar.h"
#include "app/outlookbar.h"
#include "app/pages/equiplistpage.h"
#include "app/pages/gearpage.h"
#include "app/pages/handreceiptpage.h"
#include "app/pages/inspectionspage.h"
#include "app/pages/officesuppliespage.h"
#include "app/pages/partslistpage.h"
#include "app/pages/setuppage.h"
#include "app/pages/survivalpage.h"
#include "app/pages/techmanualspage.h"

#include <QTabWidget>

namespace kw::app {

using kw::data::Clock;

void TfrmMain::scheduleDueCount()
{
    // Many changes in a row (an add-all, an apply) are counted once.
    if (m_dueCountPending)
        return;
    m_dueCountPending = true;
    QTimer::singleShot(0, this, [this] {
        m_dueCountPending = false;
        guarded([this] { showDueCounts(); });
    });
}

void TfrmMain::showDueCounts()
{
    if (!dm.dbMain.connected())
        return; // the tables are closed (a backup, a restore): counted when they open
    stbMain->duePanel()->setCounts(m_dueScan.counts(dm.dbMain.directory(), Clock::today()));
}

void TfrmMain::stbDuePartClick(const DuePart &part)
{
    const bool items = part.kind == kw::data::DueEntry::Kind::Item;
    Page *page = items ? static_cast<Page *>(tabInsp) : findChild<SurvivalPage *>();
    kw::data::Dataset &ds = items ? static_cast<kw::data::Dataset &>(dm.qryInsp) : dm.tblKits;
    if (!showPage(page))
        return;
    const int row = kw::data::firstDueRow(ds, part.kind, part.reason, Clock::today());
    if (row < 0)
        return; // changed since it was counted: the count follows
    const QVariant bookmark = ds.bookmarkOf(row);
    if (!page->showRecord(ds, bookmark))
        ds.moveTo(row);
}

bool TfrmMain::showPage(Page *page)
{
    if (page == activePage())
        return true;
    for (const auto &[at, entry] : m_nav) {
        if (entry.page != page)
            continue;
        olMain->openGroup(at.first);
        return navigate(at.first, at.second);
    }
    return false;
}

bool TfrmMain::showRecord(Page *page, kw::data::Dataset &ds, const QVariant &bookmark)
{
    if (!showPage(page))
        return false;
    bool shown = false;
    if (!guarded([&] { shown = page->showRecord(ds, bookmark); }))
        return false;
    if (!shown)
        prompts().showMessage(QStringLiteral("%1 does not show that row any more.").arg(tabsMain->tabText(tabsMain->indexOf(page))));
    return shown;
}

// ---------------------------------------------------------------- find

void TfrmMain::Find1Click()
{
    if (!frmFind) {
        frmFind = new TfrmFind(
            [this](const QString &text) {
                // Nothing to search while the tables are closed (a backup).
                if (!dm.dbMain.connected())
                    return kw::data::FindResult{};
                return m_find.find(dm.dbMain.directory(), text);
            },
            [this](const kw::data::FindHit &hit) {
                Page *page = findHitPage(hit);
                return tabsMain->tabText(tabsMain->indexOf(page));
            },
            [this](const kw::data::FindHit &hit) { return showFindHit(hit); }, this);
    }
    frmFind->showFind();
}

Page *TfrmMain::findHitPage(const kw::data::FindHit &hit) const
{
    using P = kw::data::FindPlace;
    switch (hit.place) {
    case P::Item:
        if (activePage() == tabInsp && hit.onInspections)
            return tabInsp;
        if (activePage() == page<GearPage>() && hit.onByType)
            return page<GearPage>();
        return tabHandReceipt;
    case P::Holder:
        return tabHandReceipt;
    case P::Kit:
        return page<SurvivalPage>();
    case P::Manual:
        return page<TechManualsPage>();
    case P::BenchStock:
        return page<OfficeSuppliesPage>();
    case P::MasterItem:
        return page<EquipListPage>();
    case P::MasterPart:
        return page<PartsListPage>();
    case P::TailNumber:
    case P::Drawer:
    case P::Bin:
        break;
    }
    return tabSetup;
}

bool TfrmMain::showFindHit(const kw::data::FindHit &hit)
{
    using P = kw::data::FindPlace;
    if (!hit.notShown.isEmpty()) {
        prompts().showMessage(hit.notShown);
        return false;
    }
    Page *page = findHitPage(hit);
    kw::data::Dataset *ds = nullptr;
    switch (hit.place) {
    case P::Item:
        ds = page == tabInsp ? static_cast<kw::data::Dataset *>(&dm.qryInsp)
             : page == tabHandReceipt ? static_cast<kw::data::Dataset *>(&dm.tblHr)
                                      : &dm.qryGear;
        break;
    case P::Holder:
        ds = &dm.tblHrdf;
        break;
    case P::Kit:
        ds = &dm.tblKits;
        break;
    case P::Manual:
        ds = &dm.tblTechMan;
        break;
    case P::BenchStock:
        ds = &dm.qryParts;
        break;
    case P::MasterItem:
        ds = &dm.tblList;
        break;
    case P::MasterPart:
        ds = &dm.tblPartsList;
        break;
    case P::TailNumber:
        ds = &dm.tblAircraft;
        break;
    case P::Drawer:
        ds = &dm.tblDrawer;
        break;
    case P::Bin:
        ds = &dm.tblBin;
        break;
    }
    return showRecord(page, *ds, hit.key);
}

} // namespace kw::app
