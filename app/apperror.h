#pragma once
// The application's default error handling and the dialogs that app code
// reaches through one scriptable interface, so tests never block on a modal
// box. Any exception that reaches the event loop ends its operation and its
// message is shown; the program runs on.
#include <QApplication>
#include <QString>
#include <functional>

namespace kw::app {

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // An error message with an OK button.
    virtual void showMessage(const QString &text) = 0;
    // A message that something went as asked ("The backup is in ..."), with
    // an OK button: an information box, not an error box.
    virtual void showInformation(const QString &text) { showMessage(text); }
    // A confirmation with OK and Cancel ("Delete record?"); true for OK.
    virtual bool confirm(const QString &text) = 0;
};

// The prompts in use: Qt message boxes unless a test or tool installed others.
UserPrompts &prompts();
// Installs p (not owned); nullptr restores the message boxes.
void setPrompts(UserPrompts *p);

// The application's title: caption of its message boxes ("Kitwarden 2.0").
void setApplicationTitle(const QString &title);
QString applicationTitle();

// Shows the message of the exception being handled.
void showCurrentException();

// Runs f; an exception is shown and false returned.
bool guarded(const std::function<void()> &f);

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace kw::app
