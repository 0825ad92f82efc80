#include "settings/registry.h"

#include "core/durablefile.h"
#include "core/paths.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <optional>

#ifdef Q_OS_WIN
#include <cwchar>
#include <string>
#include <windows.h>
#endif

namespace kw::settings {


QString rootName(TRegRoots root)
{
    switch (root) {
    case TRegRoots::CLASSES_ROOT: return QStringLiteral("HKEY_CLASSES_ROOT");
    case TRegRoots::CURRENT_USER: return QStringLiteral("HKEY_CURRENT_USER");
    case TRegRoots::LOCAL_MACHINE: return QStringLiteral("HKEY_LOCAL_MACHINE");
    case TRegRoots::USERS: return QStringLiteral("HKEY_USERS");
    case TRegRoots::PERFORMANCE_DATA: return QStringLiteral("HKEY_PERFORMANCE_DATA");
    case TRegRoots::CURRENT_CONFIG: return QStringLiteral("HKEY_CURRENT_CONFIG");
    case TRegRoots::DYN_DATA: return QStringLiteral("HKEY_DYN_DATA");
    }
    return {};
}

QString joinKeyPath(const QString &current, const QString &path)
{
    QStringList parts;
    if (!path.startsWith(QLatin1Char('\\')))
        parts = current.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    parts += path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return parts.join(QLatin1Char('\\'));
}

QString registryFilePath()
{
    return QDir(kw::core::configDir()).filePath(QStringLiteral("registry.json"));
}

static QString invalidType(const QString &name)
{
    return QStringLiteral("Invalid data type for '%1'").arg(name);
}

static QString failedToSet(const QString &name)
{
    return QStringLiteral("Failed to set data for '%1'").arg(name);
}

namespace {

// Portable store: {"HKEY_CURRENT_USER": {"Software\\Quillfen\\Kitwarden\\Main": {"Top": "1"}}}.
// Strings are string values, numbers are number values; key and value names
// compare without regard to case, as in the Windows registry. Every change is
// written at once as a whole new file, so a crash never leaves a torn one.
class FileRegistry final : public Registry {
public:
    explicit FileRegistry(TRegRoots root) : root_(rootName(root)) {}

    bool openKey(const QString &path, bool canCreate) override
    {
        const QString full = joinKeyPath(current_, path);
        QJsonObject doc = load();
        QJsonObject keys = doc.value(root_).toObject();
        if (full.isEmpty()) {  // the root itself
            current_.clear();
            open_ = true;
            return true;
        }
        QString existing = findName(keys, full);
        if (existing.isNull()) {
            // A parent of a stored key exists as well.
            for (auto it = keys.begin(); it != keys.end(); ++it)
                if (it.key().startsWith(full + QLatin1Char('\\'), Qt::CaseInsensitive)) {
                    existing = it.key().left(full.size());
                    break;
                }
        }
        if (!existing.isNull()) {
            current_ = existing;
            open_ = true;
            return true;
        }
        if (!canCreate)
            return false;
        // Parent keys exist implicitly: a key path names its whole chain.
        keys.insert(full, QJsonObject());
        doc.insert(root_, keys);
        if (!save(doc))
            return false;
        current_ = full;
        open_ = true;
        return true;
    }

    void closeKey() override
    {
        open_ = false;
        current_.clear();
    }

    bool hasCurrentKey() const override { return open_; }

    bool valueExists(const QString &name) const override { return dataType(name) != RegDataType::None; }

    RegDataType dataType(const QString &name) const override
    {
        const QJsonValue v = value(name);
        if (v.isUndefined())
            return RegDataType::None;
        if (v.isString())
            return RegDataType::String;
        if (v.isDouble())
            return RegDataType::Number;
        return RegDataType::Other;
    }

    QString readString(const QString &name) const override
    {
        const QJsonValue v = value(name);
        if (v.isUndefined())
            return {};
        if (!v.isString())
            throw ERegistryException(invalidType(name));
        return v.toString();
    }

    void writeString(const QString &name, const QString &text) override { put(name, QJsonValue(text)); }
    void writeInteger(const QString &name, qint32 number) override { put(name, QJsonValue(number)); }

    bool deleteValue(const QString &name) override
    {
        if (!open_)
            return false;
        QJsonObject doc = load();
        QJsonObject keys = doc.value(root_).toObject();
        QJsonObject values = keys.value(current_).toObject();
        const QString existing = findName(values, name);
        if (existing.isNull())
            return false;
        values.remove(existing);
        keys.insert(current_, values);
        doc.insert(root_, keys);
        return save(doc);
    }

private:
    static QString findName(const QJsonObject &obj, const QString &name)
    {
        if (obj.contains(name))
            return name;
        for (auto it = obj.begin(); it != obj.end(); ++it)
            if (it.key().compare(name, Qt::CaseInsensitive) == 0)
                return it.key();
        return {};
    }

    QJsonValue value(const QString &name) const
    {
        if (!open_)
            return QJsonValue(QJsonValue::Undefined);
        const QJsonObject values = load().value(root_).toObject().value(current_).toObject();
        const QString existing = findName(values, name);
        return existing.isNull() ? QJsonValue(QJsonValue::Undefined) : values.value(existing);
    }

    void put(const QString &name, const QJsonValue &v)
    {
        if (!open_)
            throw ERegistryException(failedToSet(name));
        QJsonObject doc = load();
        QJsonObject keys = doc.value(root_).toObject();
        QJsonObject values = keys.value(current_).toObject();
        const QString existing = findName(values, name);
        values.insert(existing.isNull() ? name : existing, v);
        keys.insert(current_, values);
        doc.insert(root_, keys);
        if (!save(doc))
            throw ERegistryException(failedToSet(name));
    }

    void beginUpdate() override
    {
        cache_ = load();
        dirty_ = false;
    }

    bool endUpdate() override
    {
        bool ok = true;
        if (cache_ && dirty_)
            ok = writeFile(*cache_);
        cache_.reset();
        dirty_ = false;
        return ok;
    }

    QJsonObject load() const
    {
        return cache_ ? *cache_ : loadFile();
    }

    bool save(const QJsonObject &doc)
    {
        if (cache_) {
            cache_ = doc;
            dirty_ = true;
            return true;
        }
        return writeFile(doc);
    }

    static QJsonObject loadFile()
    {
        QFile f(registryFilePath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QJsonParseError err{};
        const QJsonDocument d = QJsonDocument::fromJson(f.readAll(), &err);
        if (err.error != QJsonParseError::NoError || !d.isObject()) {
            // Keep an unreadable store aside instead of overwriting it silently.
            f.close();
            const QString bad = registryFilePath() + QStringLiteral(".bad");
            QFile::remove(bad);
            QFile::rename(registryFilePath(), bad);
            return {};
        }
        return d.object();
    }

    static bool writeFile(const QJsonObject &doc)
    {
        return kw::core::writeFileDurably(registryFilePath(), QJsonDocument(doc).toJson(QJsonDocument::Indented));
    }

    QString root_;
    QString current_;
    bool open_ = false;
    std::optional<QJsonObject> cache_;
    bool dirty_ = false;
};

#ifdef Q_OS_WIN
class WinRegistry final : public Registry {
public:
    explicit WinRegistry(TRegRoots root) : root_(predefined(root)) {}
    ~WinRegistry() override { closeKey(); }

    bool openKey(const QString &path, bool canCreate) override
    {
        const QString full = joinKeyPath(currentPath_, path);
        HKEY key = nullptr;
        const std::wstring w = full.toStdWString();
        LONG rc;
        if (canCreate)
            rc = RegCreateKeyExW(root_, w.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &key, nullptr);
        else
            rc = RegOpenKeyExW(root_, w.c_str(), 0, KEY_ALL_ACCESS, &key);
        if (rc != ERROR_SUCCESS)
            return false;
        closeKey();
        key_ = key;
        currentPath_ = full;
        return true;
    }

    void closeKey() override
    {
        if (key_)
            RegCloseKey(key_);
        key_ = nullptr;
        currentPath_.clear();
    }

    bool hasCurrentKey() const override { return key_ != nullptr; }

    bool valueExists(const QString &name) const override { return dataType(name) != RegDataType::None; }

    RegDataType dataType(const QString &name) const override
    {
        if (!key_)
            return RegDataType::None;
        DWORD type = 0;
        const std::wstring w = name.toStdWString();
        if (RegQueryValueExW(key_, w.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
            return RegDataType::None;
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            return RegDataType::String;
        if (type == REG_DWORD)
            return RegDataType::Number;
        return RegDataType::Other;
    }

    QString readString(const QString &name) const override
    {
        if (!key_)
            return {};
        const std::wstring w = name.toStdWString();
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key_, w.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return {};
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw ERegistryException(invalidType(name));
        std::wstring buf(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key_, w.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(buf.data()),
                             &size) != ERROR_SUCCESS)
            throw ERegistryException(invalidType(name));
        buf.resize(wcsnlen(buf.c_str(), buf.size()));
        return QString::fromStdWString(buf);
    }

    void writeString(const QString &name, const QString &text) override
    {
        const std::wstring w = name.toStdWString();
        const std::wstring v = text.toStdWString();
        if (!key_ || RegSetValueExW(key_, w.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(v.c_str()),
                                    DWORD((v.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
            throw ERegistryException(failedToSet(name));
    }

    void writeInteger(const QString &name, qint32 number) override
    {
        const std::wstring w = name.toStdWString();
        DWORD d = DWORD(number);
        if (!key_ || RegSetValueExW(key_, w.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&d),
                                    sizeof d) != ERROR_SUCCESS)
            throw ERegistryException(failedToSet(name));
    }

    bool deleteValue(const QString &name) override
    {
        const std::wstring w = name.toStdWString();
        return key_ && RegDeleteValueW(key_, w.c_str()) == ERROR_SUCCESS;
    }

private:
    static HKEY predefined(TRegRoots r)
    {
        switch (r) {
        case TRegRoots::CLASSES_ROOT: return HKEY_CLASSES_ROOT;
        case TRegRoots::CURRENT_USER: return HKEY_CURRENT_USER;
        case TRegRoots::LOCAL_MACHINE: return HKEY_LOCAL_MACHINE;
        case TRegRoots::USERS: return HKEY_USERS;
        case TRegRoots::PERFORMANCE_DATA: return HKEY_PERFORMANCE_DATA;
        case TRegRoots::CURRENT_CONFIG: return HKEY_CURRENT_CONFIG;
        case TRegRoots::DYN_DATA: return HKEY_DYN_DATA;
        }
        return HKEY_CURRENT_USER;
    }

    HKEY root_;
    HKEY key_ = nullptr;
    QString currentPath_;
};
#endif

} // namespace

std::unique_ptr<Registry> openRegistry(TRegRoots root)
{
#ifdef Q_OS_WIN
    return std::make_unique<WinRegistry>(root);
#else
    return std::make_unique<FileRegistry>(root);
#endif
}

} // namespace kw::settings
