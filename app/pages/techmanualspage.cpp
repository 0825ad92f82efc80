#include "app/pages/techmanualspage.h"

#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "app/icons.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kw::app {

TechManualsPage::TechManualsPage(kw::data::TdmMain &dmMain, TColumnEditors &editors, QWidget *parent)
    : Page(dmMain, editors, QStringLiteral("tabTechManuals"), parent)
{
    QVBoxLayout *lay = stackLayout(this);
    QWidget *bar = topBar(this, 25);
    DBNavigator4 = navigator(bar, QStringLiteral("DBNavigator4"), &dm.dsTechMan);
    btnTechManList = new QPushButton(icons::tool(icons::Tool::Print), QStringLiteral("List"), bar);
    btnTechManList->setObjectName(QStringLiteral("btnTechManList"));
    btnTechManList->setFixedHeight(23);
    addPrintButton(btnTechManList);
    barLayout(bar)->addWidget(DBNavigator4);
    barLayout(bar)->addStretch(1);
    barLayout(bar)->addWidget(btnTechManList);

    // The manuals stay in binder and book order: the titles do not sort.
    grdTechMan = newGrid(this, QStringLiteral("grdTechMan"));
    grdTechMan->setColumns(gridColumns({QStringLiteral("Binder"), QStringLiteral("Book"), QStringLiteral("TM"),
                                        QStringLiteral("Number"), QStringLiteral("Title"), QStringLiteral("Date"),
                                        QStringLiteral("Change"), QStringLiteral("CH Date"),
                                        QStringLiteral("On Hand")}));
    grdTechMan->setDataSource(&dm.dsTechMan);
    grdTechMan->enterMovesToNextColumn = true;
    grdTechMan->setWrapLongTexts(true);
    lay->addWidget(bar);
    lay->addWidget(grdTechMan);
}

} // namespace kw::app
