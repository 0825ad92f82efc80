// Kitwarden: program entry.
#include "app/apperror.h"
#include "app/frmmain.h"
#include "data/dmmain.h"

int main(int argc, char **argv)
{
    kw::app::TApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillfen"));
    QApplication::setApplicationName(QStringLiteral("Kitwarden"));
    kw::app::setApplicationTitle(QStringLiteral("Kitwarden 2.0"));
    kw::app::loadApplicationFonts();

    // The data module first (it registers the table password), then the
    // main window; the program ends when the main window closes.
    kw::data::TdmMain dmMain;
    kw::app::TfrmMain frmMain(dmMain);
    frmMain.show();
    return app.exec();
}
