// Kitwarden: program entry.
#include "app/apperror.h"
#include "app/commandline.h"
#include "app/frmmain.h"
#include "data/shop/dmmain.h"
#include "data/engine/paths.h"
#include "reports/fonts.h"

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const kw::app::StartRequest request = kw::app::parseCommandLine(args);
    if (request.kind != kw::app::StartRequest::RunGui)
        return kw::app::answerCommandLine(request, argc, argv);

    kw::app::TApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillfen"));
    QApplication::setApplicationName(QStringLiteral("Kitwarden"));
    // Lets the desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(kw::data::appId());
    kw::app::setApplicationTitle(QStringLiteral("Kitwarden 2.0"));
    kw::reports::loadApplicationFonts();

    // The data module first (it registers the table password), then the
    // main window; the program ends when the main window closes.
    kw::data::TdmMain dmMain;
    kw::app::TfrmMain frmMain(dmMain);
    frmMain.show();
    return app.exec();
}
