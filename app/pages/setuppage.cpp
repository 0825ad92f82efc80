#include "app/pages/setuppage.h"

#include "app/setuptexts.h"
#include "settings/iniout.h"

#include <QCheckBox>

namespace kw::app {

SetupPage::SetupPage(kw::data::TdmMain &dmMain, SetupTexts &texts, kw::settings::TIniOut &ini, QWidget *parent)
    : Page(dmMain, QStringLiteral("tabSetup"), parent), m_texts(texts), m_ini(ini)
{
    cbAutoUpdate = new QCheckBox(QStringLiteral("Automatically Check for Updates"), this);
    cbAutoUpdate->setObjectName(QStringLiteral("cbAutoUpdate"));
    cbAutoUpdate->hide();
    cbAutoUpdateNotify = new QCheckBox(QStringLiteral("Notify me only if there's an update"), this);
    cbAutoUpdateNotify->setObjectName(QStringLiteral("cbAutoUpdateNotify"));
    cbAutoUpdateNotify->hide();
}

void SetupPage::leave()
{
    m_ini.SaveItems();
}

bool SetupPage::autoUpdate() const
{
    return cbAutoUpdate->isChecked();
}

bool SetupPage::notifyOnlyOnUpdate() const
{
    return cbAutoUpdateNotify->isChecked();
}

} // namespace kw::app
