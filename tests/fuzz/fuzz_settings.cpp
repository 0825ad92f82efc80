// The settings store as found on disk (a file another program or a crash may
// have left in any state): read through the registry layer and through the
// form-state loader, which turns stored texts into property values.
#include "fuzzsupport.h"

#include "settings/iniout.h"
#include "settings/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>

using namespace kw::settings;

// A store larger than this is not loaded per input (the real one is a few KiB).
static constexpr size_t kMaxStore = 256 * 1024;

static void setUpConfigDir()
{
    static const bool done = [] {
        const QString dir = kwfuzz::scratchDir() + QStringLiteral("/cfg");
        QDir().mkpath(dir);
        qputenv("KITWARDEN_CONFIG_DIR", dir.toLocal8Bit());
        return true;
    }();
    (void)done;
}

static void loadForm()
{
    QObject owner;
    owner.setObjectName(QStringLiteral("frmMain"));
    TIniOut ini(&owner);
    int ints[5] = {};
    bool checks[2] = {};
    const char *intItems[][2] = {{"frmMain", "Top"}, {"frmMain", "Left"}, {"frmMain", "Width"},
                                 {"pnlHrLeft", "Width"}, {"splMain", "Left"}};
    for (int i = 0; i < 5; ++i)
        ini.bindInt(QString::fromLatin1(intItems[i][0]), QString::fromLatin1(intItems[i][1]),
                    [&ints, i] { return ints[i]; }, [&ints, i](int v) { ints[i] = v; });
    ini.bindBool(QStringLiteral("cbAutoUpdate"), QStringLiteral("Checked"), [&] { return checks[0]; },
                 [&](bool v) { checks[0] = v; });
    ini.bindBool(QStringLiteral("cbAutoUpdateNotify"), QStringLiteral("Checked"), [&] { return checks[1]; },
                 [&](bool v) { checks[1] = v; });
    QVariant values[4];
    const std::pair<ValueKind, const char *> kinds[] = {{ValueKind::Float, "Scale"},
                                                        {ValueKind::String, "Caption"},
                                                        {ValueKind::Enumeration, "WindowState"},
                                                        {ValueKind::Set, "Anchors"}};
    for (int i = 0; i < 4; ++i) {
        PropertyAccess a;
        a.kind = kinds[i].first;
        a.get = [&values, i] { return values[i]; };
        a.set = [&values, i](const QVariant &v) { values[i] = v; };
        a.identifiers = {QStringLiteral("wsNormal"), QStringLiteral("wsMinimized"), QStringLiteral("wsMaximized")};
        ini.bindProperty(QStringLiteral("frmMain"), QString::fromLatin1(kinds[i].second), a);
    }
    QStringList items = mainWindowItems();
    for (const auto &k : kinds)
        items << QStringLiteral("frmMain;%1;;%2;%1;1;0").arg(QString::fromLatin1(k.second), kMainKey);
    ini.setItems(items);
    ini.LoadItems();
    for (const QVariant &v : values)
        kwfuzz::consume(v.toString());
    kwfuzz::note(QStringLiteral("Top %1, AutoUpdate %2, Scale %3").arg(ints[0]).arg(checks[0]).arg(values[0].toString()));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > kMaxStore)
        return 0;
    setUpConfigDir();
    kwfuzz::clearDir(QFileInfo(registryFilePath()).path());
    kwfuzz::writeFile(registryFilePath(), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    {
        std::unique_ptr<Registry> reg = openRegistry(TRegRoots::CURRENT_USER);
        for (const QString &key : {kMainKey, kSetupKey, QStringLiteral("Software"), QStringLiteral("\\")}) {
            reg->closeKey();
            if (!reg->openKey(key, false))
                continue;
            for (const QString &name : {QStringLiteral("Top"), QStringLiteral("UpdateServer"), QStringLiteral("")}) {
                (void)reg->dataType(name);
                try {
                    kwfuzz::consume(reg->readString(name));
                } catch (const ERegistryException &e) {
                    kwfuzz::consume(e.message());
                }
            }
        }
    }
    loadForm();
    return 0;
}
