#pragma once
// The archive component's questions as Qt dialogs: the continue dialog,
// message boxes, one-line input prompts, directory and file choosers.
#include "archive/prompts.h"

class QWidget;

namespace kw::app {

class ArchivePromptsQt : public kw::archive::ArchivePrompts {
public:
    explicit ArchivePromptsQt(QWidget *parent = nullptr) : m_parent(parent) {}

    kw::archive::ContinueAnswer askContinue(const kw::archive::ContinueDialog &dlg) override;
    kw::archive::MessageAnswer message(kw::archive::MessageKind kind, const QString &caption, const QString &text,
                                       kw::archive::MessageButtons buttons) override;
    bool inputLine(const QString &caption, const QString &prompt, QString &value, const QString &okText,
                   const QString &cancelText) override;
    QString chooseDirectory(const QString &caption, const QString &startDir) override;
    QString chooseFile(const QString &title, const QString &presetPath) override;

private:
    QWidget *m_parent;
};

} // namespace kw::app
