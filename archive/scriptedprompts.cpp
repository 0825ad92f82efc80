#include "archive/scriptedprompts.h"

namespace kw::archive {

template <typename T>
static bool take(std::deque<T> &q, T &out)
{
    if (q.empty())
        return false;
    out = q.front();
    q.pop_front();
    return true;
}

ContinueAnswer ScriptedPrompts::askContinue(const ContinueDialog &dlg)
{
    log.append({QStringLiteral("continue"), dlg.caption, dlg.errorText + QLatin1Char('\n') + dlg.fileName});
    continueDialogs.append(dlg);
    ContinueAnswer a = defaultContinue;
    take(continueAnswers, a);
    return a;
}

MessageAnswer ScriptedPrompts::message(MessageKind, const QString &caption, const QString &text,
                                       MessageButtons buttons)
{
    log.append({QStringLiteral("message"), caption, text});
    MessageAnswer a = buttons == MessageButtons::Ok ? MessageAnswer::Ok : defaultQuestion;
    take(messageAnswers, a);
    return a;
}

bool ScriptedPrompts::inputLine(const QString &caption, const QString &prompt, QString &value,
                                const QString &, const QString &)
{
    log.append({QStringLiteral("input"), caption, prompt});
    QString a;
    if (!take(inputAnswers, a)) {
        if (acceptProposedInputs <= 0)
            return false;
        --acceptProposedInputs;
        return true; // value keeps what the prompt proposed
    }
    if (a.isNull())
        return false;
    value = a;
    return true;
}

QString ScriptedPrompts::chooseDirectory(const QString &caption, const QString &)
{
    log.append({QStringLiteral("directory"), caption, QString()});
    QString a;
    take(directoryAnswers, a);
    return a;
}

QString ScriptedPrompts::chooseFile(const QString &title, const QString &presetPath)
{
    log.append({QStringLiteral("file"), title, presetPath});
    QString a;
    take(fileAnswers, a);
    return a;
}

int ScriptedPrompts::count(const QString &kind) const
{
    int n = 0;
    for (const Asked &a : log)
        n += a.kind == kind;
    return n;
}

} // namespace kw::archive
