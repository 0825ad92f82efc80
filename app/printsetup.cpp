#include "app/printsetup.h"

#include <QPageSetupDialog>
#include <QPrinter>

namespace kw::app {

PrintSetup::PrintSetup() = default;
PrintSetup::~PrintSetup() = default;

QPrinter &PrintSetup::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

bool PrintSetup::exec(QWidget *owner)
{
    QPageSetupDialog dlg(&printer(), owner);
    dlg.setObjectName(QStringLiteral("PrinterSetupDialog"));
    dlg.setWindowTitle(QStringLiteral("Print Setup"));
    if (dlg.exec() != QDialog::Accepted)
        return false;
    m_pageChosen = true;
    return true;
}

} // namespace kw::app
