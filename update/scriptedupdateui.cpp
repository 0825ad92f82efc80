#include "update/scriptedupdateui.h"

namespace kw::update {

QString ScriptedUpdateUi::messageName(const QString &text)
{
    if (text == messageCheck())
        return QStringLiteral("M1");
    if (text == messageNewer())
        return QStringLiteral("M2");
    if (text == messageCurrent())
        return QStringLiteral("M3");
    return text;
}

bool ScriptedUpdateUi::confirm(const QString &text)
{
    events << messageName(text);
    if (answers.empty())
        return defaultAnswer;
    const bool a = answers.front();
    answers.pop_front();
    return a;
}

void ScriptedUpdateUi::inform(const QString &text)
{
    events << messageName(text);
}

void ScriptedUpdateUi::showError(const QString &text)
{
    events << QStringLiteral("error ") + text;
}

void ScriptedUpdateUi::setBusy(bool busy)
{
    events << (busy ? QStringLiteral("busy") : QStringLiteral("normal"));
}

void ScriptedUpdateUi::openUrl(const QUrl &url)
{
    events << QStringLiteral("open ") + url.toString();
}

void ScriptedUpdateUi::closeMainWindow()
{
    events << QStringLiteral("close");
}

} // namespace kw::update
