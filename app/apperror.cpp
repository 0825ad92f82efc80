#include "app/apperror.h"

#include "data/engine/engineerror.h"

#include <QMessageBox>
#include <exception>

namespace kw::app {

namespace {

class BoxPrompts : public UserPrompts {
public:
    void showMessage(const QString &text) override
    {
        QMessageBox::critical(QApplication::activeWindow(), applicationTitle(), text);
    }
    void showInformation(const QString &text) override
    {
        QMessageBox::information(QApplication::activeWindow(), applicationTitle(), text);
    }
    bool confirm(const QString &text) override
    {
        return QMessageBox::question(QApplication::activeWindow(), applicationTitle(),
                                     text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
            == QMessageBox::Ok;
    }
};

BoxPrompts g_boxes;
QString g_title = QStringLiteral("Kitwarden 2.0");
UserPrompts *g_prompts = nullptr;

} // namespace

void setApplicationTitle(const QString &title)
{
    g_title = title;
}

QString applicationTitle()
{
    return g_title;
}

UserPrompts &prompts()
{
    return g_prompts ? *g_prompts : static_cast<UserPrompts &>(g_boxes);
}

void setPrompts(UserPrompts *p)
{
    g_prompts = p;
}

void showCurrentException()
{
    const QString text = kw::core::currentMessage();
    prompts().showMessage(text);
}

bool guarded(const std::function<void()> &f)
{
    try {
        f();
        return true;
    } catch (...) {
        showCurrentException();
        return false;
    }
}

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showCurrentException();
        return false;
    }
}

} // namespace kw::app
