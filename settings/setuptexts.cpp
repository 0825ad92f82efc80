#include "settings/setuptexts.h"

#include "settings/iniout.h"
#include "settings/registry.h"

namespace kw::settings {

const QList<QPair<QString, QString>> &setupTextDefaults()
{
    static const QList<QPair<QString, QString>> list = {
        {QStringLiteral("Company"), QStringLiteral("Your Company Name Here")},
        {QStringLiteral("AlseOfficer"), QStringLiteral("ALSE Officer Name")},
        {QStringLiteral("Prepared"), QStringLiteral("Prepared By Name")},
        {QStringLiteral("Authorized"), QStringLiteral("Authorized By Name")},
        {QStringLiteral("Approved"), QStringLiteral("Approved By Name")},
    };
    return list;
}

QMap<QString, QString> readSetupTexts()
{
    QMap<QString, QString> texts;
    std::unique_ptr<Registry> reg = openRegistry(TRegRoots::CURRENT_USER);
    const bool open = reg->openKey(kSetupKey, false);
    for (const auto &[name, def] : setupTextDefaults()) {
        QString text = def;
        if (open && reg->dataType(name) == RegDataType::String)
            text = reg->readString(name);
        texts.insert(name, text);
    }
    return texts;
}

} // namespace kw::settings
