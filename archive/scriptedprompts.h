#pragma once
// Prompts answered from a script: for tests and kitwarden-cli. Every question
// is logged; answers are taken from per-kind queues, falling back to the
// defaults when a queue is empty (continue: No; message: Ok or Cancel; input
// and choosers: Cancel), so nothing ever waits for a person.
#include "archive/prompts.h"

#include <QList>
#include <QStringList>
#include <deque>

namespace kw::archive {

class ScriptedPrompts : public ArchivePrompts {
public:
    struct Asked {
        QString kind; // "continue", "message", "input", "directory", "file"
        QString caption;
        QString text;
    };

    std::deque<ContinueAnswer> continueAnswers;
    std::deque<MessageAnswer> messageAnswers;
    std::deque<QString> inputAnswers;   // a null QString means Cancel
    std::deque<QString> directoryAnswers;
    std::deque<QString> fileAnswers;
    ContinueAnswer defaultContinue = ContinueAnswer::No;
    // Answer to Yes/No/Cancel questions when the queue is empty.
    MessageAnswer defaultQuestion = MessageAnswer::Cancel;
    // How many input prompts, once the queue is empty, keep the value they
    // propose (then Cancel). Bounded, so a prompt loop always ends.
    int acceptProposedInputs = 0;

    QList<Asked> log;
    QList<ContinueDialog> continueDialogs;

    ContinueAnswer askContinue(const ContinueDialog &dlg) override;
    MessageAnswer message(MessageKind kind, const QString &caption, const QString &text,
                          MessageButtons buttons) override;
    bool inputLine(const QString &caption, const QString &prompt, QString &value,
                   const QString &okText, const QString &cancelText) override;
    QString chooseDirectory(const QString &caption, const QString &startDir) override;
    QString chooseFile(const QString &title, const QString &presetPath) override;

    int count(const QString &kind) const;
};

} // namespace kw::archive
