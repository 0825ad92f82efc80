#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillfen"));
    QApplication::setApplicationName(QStringLiteral("Kitwarden"));
    QLabel w(QStringLiteral("Kitwarden 2.0"));
    w.setWindowTitle(QStringLiteral("Kitwarden 2.0"));
    w.resize(792, 554);
    w.show();
    return app.exec();
}
