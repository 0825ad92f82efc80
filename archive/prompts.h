#pragma once
// Everything the archive component asks the user goes through this interface:
// the continue dialog, message boxes, one-line input prompts and the
// directory and file choosers. The program implements it with Qt dialogs; tests
// and kitwarden-cli use ScriptedPrompts.
#include <QString>

namespace kw::archive {

enum class ContinueAnswer { Yes, YesToAll, No };
enum class MessageKind { Warning, Error, Information, Confirmation };
enum class MessageButtons { Ok, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

// The rows of the continue dialog, already formatted.
struct ContinueDialog {
    QString caption;    // "Confirmation"
    QString errorLabel; // "Error :"
    QString errorText;
    QString fileLabel;  // "File :"
    QString fileName;   // elided to at most 50 characters
    QString sizeAndDate; // "12,288 bytes  1/2/2000 10:00:00"
    QString question;   // "Do you want to continue ?"
    QString yes, yesToAll, no; // button captions
};

class ArchivePrompts {
public:
    virtual ~ArchivePrompts() = default;
    virtual ContinueAnswer askContinue(const ContinueDialog &dlg) = 0;
    virtual MessageAnswer message(MessageKind kind, const QString &caption, const QString &text,
                                  MessageButtons buttons) = 0;
    // One-line input; returns false on Cancel. value holds the preset and the answer.
    virtual bool inputLine(const QString &caption, const QString &prompt, QString &value,
                           const QString &okText, const QString &cancelText) = 0;
    // Directory selection (may create a folder); empty result = Cancel.
    virtual QString chooseDirectory(const QString &caption, const QString &startDir) = 0;
    // Open-file dialog preset to a name; empty result = Cancel.
    virtual QString chooseFile(const QString &title, const QString &presetPath) = 0;
};

} // namespace kw::archive
