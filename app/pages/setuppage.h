#pragma once
// The program setup page: the five setup texts and the two update settings.
// The update check boxes live for the whole run (the window state keeps
// them, the update check reads them); the rest of the page comes with its
// own work.
#include "app/pages/page.h"

class QCheckBox;

namespace kw::settings { class TIniOut; }

namespace kw::app {

struct SetupTexts;

class SetupPage : public Page {
    Q_OBJECT
public:
    SetupPage(kw::data::TdmMain &dm, SetupTexts &texts, kw::settings::TIniOut &ini, QWidget *parent = nullptr);

    // Saves the window state, which holds the update settings.
    void leave() override;

    // "Automatically Check for Updates" (cbAutoUpdate).
    bool autoUpdate() const;
    // "Notify me only if there's an update" (cbAutoUpdateNotify).
    bool notifyOnlyOnUpdate() const;

private:
    SetupTexts &m_texts;
    kw::settings::TIniOut &m_ini;
    QCheckBox *cbAutoUpdate, *cbAutoUpdateNotify;
};

} // namespace kw::app
