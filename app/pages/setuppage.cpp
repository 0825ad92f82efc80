#include "app/pages/setuppage.h"

#include "app/apperror.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "settings/setuptexts.h"
#include "settings/iniout.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace kw::app {

namespace {

constexpr int kGridGap = 24; // between the lookup grids

// The setup grid that w lies in (a cell editor or its drop-down list
// included), or nullptr.
TDBGrid *gridOf(QWidget *w, const QList<TDBGrid *> &grids)
{
    for (; w; w = w->parentWidget())
        for (TDBGrid *g : grids)
            if (w == g)
                return g;
    return nullptr;
}

} // namespace

SetupPage::SetupPage(kw::data::TdmMain &dmMain, TColumnEditors &editors, kw::settings::SetupTexts &texts, kw::settings::TIniOut &ini, QWidget *parent)
    : Page(dmMain, editors, QStringLiteral("tabSetup"), parent), m_texts(texts), m_ini(ini)
{
    QVBoxLayout *lay = stackLayout(this);
    QWidget *bar = topBar(this, 23);
    // Until a grid is entered the navigator serves the tail numbers.
    navSetup = navigator(bar, QStringLiteral("navSetup"), &dm.dsAircraft);
    barLayout(bar)->addWidget(navSetup);
    barLayout(bar)->addStretch(1);
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("pnlSetup"));
    buildSetupPanel(panel);
    lay->addWidget(bar);
    lay->addWidget(panel);
    lay->addWidget(buildGrids(), 1);

    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { onFocusChanged(now); });
}

SetupPage::~SetupPage() = default;

void SetupPage::buildSetupPanel(QWidget *panel)
{
    panel->setMinimumHeight(73);
    auto *g = new QGridLayout(panel);
    g->setContentsMargins(8, 2, 8, 4);
    g->setHorizontalSpacing(10);
    g->setVerticalSpacing(0);
    auto edit = [&](const char *name, const QString &label, int row, int col, int span) {
        auto *l = new QLabel(label, panel);
        auto *e = new QLineEdit(panel);
        e->setObjectName(QLatin1String(name));
        l->setBuddy(e);
        g->addWidget(l, row, col, 1, span);
        g->addWidget(e, row + 1, col, 1, span);
        return e;
    };
    // Two rows: company and officer over the three names of the parts list.
    edCompany = edit("edCompany", QStringLiteral("Company Name"), 0, 0, 3);
    edAlseOfficer = edit("edAlseOfficer", QStringLiteral("ALSE Officer Name"), 0, 3, 3);
    edPrepared = edit("edPrepared", QStringLiteral("Prepared By"), 2, 0, 2);
    edApproved = edit("edApproved", QStringLiteral("Approved By"), 2, 2, 2);
    edAuthorized = edit("edAuthorized", QStringLiteral("Authorized By"), 2, 4, 2);
    cbAutoUpdate = new QCheckBox(QStringLiteral("Automatically Check for Updates"), panel);
    cbAutoUpdate->setObjectName(QStringLiteral("cbAutoUpdate"));
    cbAutoUpdateNotify = new QCheckBox(QStringLiteral("Notify me only if there's an update"), panel);
    cbAutoUpdateNotify->setObjectName(QStringLiteral("cbAutoUpdateNotify"));
    g->addWidget(cbAutoUpdate, 1, 6);
    g->addWidget(cbAutoUpdateNotify, 3, 6);
    g->setColumnMinimumWidth(6, 10);
    for (int c = 0; c < 6; ++c)
        g->setColumnStretch(c, 1);
}

TDBGrid *SetupPage::setupGrid(const char *name, kw::data::DataSource *source, const QList<GridColumn> &columns)
{
    TDBGrid *g = newGrid(this, QLatin1String(name));
    g->setColumns(columns);
    g->setDataSource(source);
    g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return g;
}

QWidget *SetupPage::buildGrids()
{
    auto *area = new QWidget(this);
    auto *v = new QVBoxLayout(area);
    v->setContentsMargins(4, 0, 4, 4);
    v->setSpacing(0);
    grdSetupTailNum = setupGrid("grdSetupTailNum", &dm.dsAircraft, {{QStringLiteral("Aircraft"), QStringLiteral("Aircraft"), 10}});
    grdKitType = setupGrid("grdKitType", &dm.dsKitType,
                           {{QStringLiteral("Type"), QStringLiteral("Kit Type"), 10},
                            {QStringLiteral("Insp Freq"), QStringLiteral("Insp"), 4},
                            {QStringLiteral("Insp Type"), QStringLiteral(" "), 5}});
    grdDrawer = setupGrid("grdDrawer", &dm.dsDrawer, {{QStringLiteral("Drawer"), QStringLiteral("Drawer"), 10}});
    grdSetupBin = setupGrid("grdSetupBin", &dm.dsBin, {{QStringLiteral("Bin"), QStringLiteral("Bin"), 10}});
    for (TDBGrid *g : {grdSetupTailNum, grdDrawer, grdSetupBin})
        g->enterMovesToNextColumn = true;

    // Two-line captions centred over their grids.
    auto *titles = new QWidget(area);
    titles->setObjectName(QStringLiteral("pnlSetupTitles"));
    titles->setFixedHeight(40);
    auto *th = new QHBoxLayout(titles);
    th->setContentsMargins(0, 0, 0, 0);
    th->setSpacing(kGridGap);
    auto *gh = new QHBoxLayout;
    gh->setContentsMargins(0, 0, 0, 0);
    gh->setSpacing(kGridGap);
    const QList<QPair<TDBGrid *, QString>> grids = {
        {grdSetupTailNum, QStringLiteral("Company Aircraft\nTail Numbers")},
        {grdKitType, QStringLiteral("Survival Kit Types\nand Insp Interval")},
        {grdDrawer, QStringLiteral("Office Parts\nDrawer")},
        {grdSetupBin, QStringLiteral("Office Parts\nBin")}};
    for (const auto &[grid, caption] : grids) {
        auto *l = new QLabel(caption, titles);
        l->setObjectName(QStringLiteral("lbl") + grid->objectName());
        l->setAlignment(Qt::AlignCenter);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        th->addWidget(l);
        gh->addWidget(grid);
        // The caption keeps its grid's width.
        l->setFixedWidth(gridFittingWidth(grid));
        grid->setFixedWidth(gridFittingWidth(grid));
    }
    th->addStretch(1);
    gh->addStretch(1);
    v->addWidget(titles);
    v->addLayout(gh, 1);
    return area;
}

void SetupPage::changeEvent(QEvent *e)
{
    Page::changeEvent(e);
    if (e->type() != QEvent::FontChange && e->type() != QEvent::StyleChange)
        return;
    // Column widths follow the font; the grids and their captions follow them.
    for (TDBGrid *g : {grdSetupTailNum, grdKitType, grdDrawer, grdSetupBin}) {
        g->applyColumnWidths();
        g->setFixedWidth(gridFittingWidth(g));
        if (auto *l = findChild<QLabel *>(QStringLiteral("lbl") + g->objectName()))
            l->setFixedWidth(g->width());
    }
}

void SetupPage::enter()
{
    edCompany->setText(m_texts.Company);
    edAlseOfficer->setText(m_texts.AlseOfficer);
    edPrepared->setText(m_texts.Prepared);
    edApproved->setText(m_texts.Approved);
    edAuthorized->setText(m_texts.Authorized);
}

void SetupPage::leave()
{
    tabSetupHide();
    // A row still in edit in one of the lookup lists is stored, not left
    // behind; when it cannot be, the page stays up.
    for (kw::data::Dataset *ds : {static_cast<kw::data::Dataset *>(&dm.tblAircraft),
                                  static_cast<kw::data::Dataset *>(&dm.tblKitType),
                                  static_cast<kw::data::Dataset *>(&dm.tblDrawer),
                                  static_cast<kw::data::Dataset *>(&dm.tblBin)})
        ds->checkBrowseMode();
}

void SetupPage::tabSetupHide()
{
    m_texts.Company = edCompany->text();
    m_texts.AlseOfficer = edAlseOfficer->text();
    m_texts.Prepared = edPrepared->text();
    m_texts.Approved = edApproved->text();
    m_texts.Authorized = edAuthorized->text();
    // The update settings are among the window state: saved now, so they
    // last even when the program is not closed normally.
    m_ini.SaveItems();
}

void SetupPage::onFocusChanged(QWidget *now)
{
    if (!now || m_inExit)
        return; // another program took the focus; it comes back to where it was
    const QList<TDBGrid *> grids = {grdSetupTailNum, grdKitType, grdDrawer, grdSetupBin};
    TDBGrid *grid = gridOf(now, grids);
    if (!grid && now->window() != window())
        return; // a message box or another window: no grid was left
    if (grid == m_focusGrid)
        return;
    if (TDBGrid *old = m_focusGrid) {
        m_focusGrid = nullptr;
        m_inExit = true;
        const bool stored = guarded([&] { gridExit(old); });
        m_inExit = false;
        if (!stored) {
            // The row stays in edit, and the focus goes back to it.
            m_focusGrid = old;
            QTimer::singleShot(0, old, [old] { old->setFocus(); });
            return;
        }
    }
    if (grid) {
        m_focusGrid = grid;
        gridEnter(grid);
    }
}

void SetupPage::gridEnter(TDBGrid *grid)
{
    if (grid == grdSetupTailNum)
        grdAircraftEnter();
    else if (grid == grdKitType)
        grdKitTypeEnter();
    else if (grid == grdDrawer)
        grdDrawerEnter();
    else if (grid == grdSetupBin)
        grdSetupBinEnter();
}

void SetupPage::gridExit(TDBGrid *grid)
{
    if (grid == grdSetupTailNum)
        grdAircraftExit();
    else if (grid == grdKitType)
        grdKitTypeExit();
    else if (grid == grdDrawer)
        grdDrawerExit();
    else if (grid == grdSetupBin)
        grdSetupBinExit();
}

void SetupPage::grdAircraftEnter() { navSetup->setDataSource(&dm.dsAircraft); }
void SetupPage::grdKitTypeEnter() { navSetup->setDataSource(&dm.dsKitType); }
void SetupPage::grdDrawerEnter() { navSetup->setDataSource(&dm.dsDrawer); }
void SetupPage::grdSetupBinEnter() { navSetup->setDataSource(&dm.dsBin); }

// Only a table in edit or insert is stored; a browsing one is left alone.
void SetupPage::grdAircraftExit() { dm.tblAircraft.checkBrowseMode(); }
void SetupPage::grdKitTypeExit() { dm.tblKitType.checkBrowseMode(); }
void SetupPage::grdDrawerExit() { dm.tblDrawer.checkBrowseMode(); }
void SetupPage::grdSetupBinExit() { dm.tblBin.checkBrowseMode(); }

bool SetupPage::autoUpdate() const
{
    return cbAutoUpdate->isChecked();
}

bool SetupPage::notifyOnlyOnUpdate() const
{
    return cbAutoUpdateNotify->isChecked();
}

} // namespace kw::app
