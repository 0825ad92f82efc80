#include "app/printsetup.h"

#include "app/apperror.h"
#include "reports/reportmodel.h"
#include "settings/iniout.h"

#include <QPageSetupDialog>
#include <QPrinter>

namespace kw::app {

namespace {

// Registry values of the kept choice, beside the window state.
const QString kPaper = QStringLiteral("PrintPaper");
const QString kOrientation = QStringLiteral("PrintOrientation");
const QString kMargins = QStringLiteral("PrintMargins"); // left top right bottom, millimetres

// The page the reports are laid out on.
QPageLayout reportsPage()
{
    const kw::reports::PageSetup p;
    const double in = kw::reports::kUnitsPerInch;
    return QPageLayout(QPageSize(QSizeF(p.paperWidth / in, p.paperHeight / in), QPageSize::Inch),
                       QPageLayout::Portrait,
                       QMarginsF(p.leftMargin / in, p.topMargin / in, p.rightMargin / in, p.bottomMargin / in),
                       QPageLayout::Inch);
}

} // namespace

PrintSetup::PrintSetup() = default;
PrintSetup::~PrintSetup() = default;

QPrinter &PrintSetup::printer()
{
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageLayout(reportsPage());
    }
    return *m_printer;
}

bool PrintSetup::exec(QWidget *owner)
{
    QPageSetupDialog dlg(&printer(), owner);
    dlg.setObjectName(QStringLiteral("PrinterSetupDialog"));
    dlg.setWindowTitle(QStringLiteral("Print Setup"));
    if (dlg.exec() != QDialog::Accepted)
        return false;
    setPageChosen();
    return true;
}

void PrintSetup::setPageChosen()
{
    m_pageChosen = true;
    keep();
}

void PrintSetup::setStore(kw::settings::TIniOut *store)
{
    m_store = store;
    if (m_store)
        restoreKept();
}

void PrintSetup::keep()
{
    if (!m_store || !m_printer)
        return;
    const QPageLayout l = m_printer->pageLayout();
    const QMarginsF m = l.margins(QPageLayout::Millimeter);
    guarded([&] {
        m_store->WriteRegString(kw::settings::kMainKey, kPaper, l.pageSize().key());
        m_store->WriteRegString(kw::settings::kMainKey, kOrientation,
                                l.orientation() == QPageLayout::Landscape ? QStringLiteral("Landscape")
                                                                          : QStringLiteral("Portrait"));
        m_store->WriteRegString(kw::settings::kMainKey, kMargins,
                                QStringLiteral("%1 %2 %3 %4").arg(m.left()).arg(m.top()).arg(m.right()).arg(m.bottom()));
    });
}

void PrintSetup::restoreKept()
{
    QString paper, orientation, margins;
    try {
        paper = m_store->ReadRegString(kw::settings::kMainKey, kPaper, QString());
        orientation = m_store->ReadRegString(kw::settings::kMainKey, kOrientation, QString());
        margins = m_store->ReadRegString(kw::settings::kMainKey, kMargins, QString());
    } catch (...) {
        return; // a value of another type: as if nothing were kept
    }
    QPageSize size;
    for (int id = 0; id <= QPageSize::LastPageSize && !size.isValid(); ++id)
        if (QPageSize::key(QPageSize::PageSizeId(id)) == paper)
            size = QPageSize(QPageSize::PageSizeId(id));
    if (!size.isValid())
        return; // nothing kept, or a paper this Qt does not know
    QMarginsF m = reportsPage().margins(QPageLayout::Millimeter);
    const QStringList parts = margins.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() == 4) {
        bool ok[4] = {};
        const QMarginsF read(parts[0].toDouble(&ok[0]), parts[1].toDouble(&ok[1]), parts[2].toDouble(&ok[2]),
                             parts[3].toDouble(&ok[3]));
        if (ok[0] && ok[1] && ok[2] && ok[3] && read.left() >= 0 && read.top() >= 0 && read.right() >= 0
            && read.bottom() >= 0)
            m = read;
    }
    QPageLayout l(size,
                  orientation == QLatin1String("Landscape") ? QPageLayout::Landscape : QPageLayout::Portrait, m,
                  QPageLayout::Millimeter);
    // Shown in the units the reports use.
    l.setUnits(QPageLayout::Inch);
    printer().setPageLayout(l);
    m_pageChosen = true;
}

} // namespace kw::app
