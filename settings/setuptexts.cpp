#include "settings/setuptexts.h"

#include "settings/iniout.h"
#include "settings/registry.h"

namespace kw::settings {

const QList<QPair<QString, QString>> &SetupTexts::defaults()
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

SetupTexts SetupTexts::withDefaults()
{
    SetupTexts texts;
    for (const auto &[name, def] : defaults())
        *texts.byName(name) = def;
    return texts;
}

QString *SetupTexts::byName(const QString &name)
{
    if (name == QLatin1String("Company")) return &Company;
    if (name == QLatin1String("AlseOfficer")) return &AlseOfficer;
    if (name == QLatin1String("Prepared")) return &Prepared;
    if (name == QLatin1String("Authorized")) return &Authorized;
    if (name == QLatin1String("Approved")) return &Approved;
    return nullptr;
}

QString SetupTexts::value(const QString &name) const
{
    const QString *text = const_cast<SetupTexts *>(this)->byName(name);
    return text ? *text : QString();
}

SetupTexts readSetupTexts()
{
    SetupTexts texts = SetupTexts::withDefaults();
    std::unique_ptr<Registry> reg = openRegistry(TRegRoots::CURRENT_USER);
    if (!reg->openKey(kSetupKey, false))
        return texts;
    for (const auto &entry : SetupTexts::defaults())
        if (reg->dataType(entry.first) == RegDataType::String)
            *texts.byName(entry.first) = reg->readString(entry.first);
    return texts;
}

} // namespace kw::settings
