#pragma once
// The update check's questions answered from a script, for tests and tools:
// nothing waits for a person. Every call is logged in order: "M1", "M2" and
// "M3" for the three information boxes (any other text as it is), "busy" and
// "normal" for the cursor, "open URL", "error TEXT" and "close".
#include "update/updatecheck.h"

#include <QStringList>
#include <deque>

namespace kw::update {

class ScriptedUpdateUi : public UpdateUi {
public:
    std::deque<bool> answers;    // OK (true) or Cancel, one per question
    bool defaultAnswer = false;  // when the queue is empty: Cancel
    QStringList events;

    bool confirm(const QString &text) override;
    void inform(const QString &text) override;
    void showError(const QString &text) override;
    void setBusy(bool busy) override;
    void openUrl(const QUrl &url) override;
    void closeMainWindow() override;

    // "M1", "M2", "M3" for the three messages, other texts unchanged.
    static QString messageName(const QString &text);
};

} // namespace kw::update
