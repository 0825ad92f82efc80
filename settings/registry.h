#pragma once
// The registry layer: one key-access object per operation, as the Windows
// registry offers it. Windows uses the real registry; elsewhere a typed file
// store under the configuration directory keeps string and number values so
// that a value of the wrong type behaves as it does on Windows.
#include <QString>
#include <QStringList>
#include <memory>
#include "core/error.h"

namespace kw::settings {

// The predefined roots, in this order.
enum class TRegRoots { CLASSES_ROOT, CURRENT_USER, LOCAL_MACHINE, USERS, PERFORMANCE_DATA,
                       CURRENT_CONFIG, DYN_DATA };

QString rootName(TRegRoots root);  // "HKEY_CURRENT_USER", ...

// Errors of the registry itself ("Invalid data type for '%s'", "Failed to set data for '%s'").
class ERegistryException : public kw::core::Error {
public:
    using kw::core::Error::Error;
};

enum class RegDataType { None, String, Number, Other };

class Registry {
public:
    virtual ~Registry() = default;

    // Opens a key below the root; a leading "\" makes the path absolute,
    // otherwise it is taken below the key already open.
    virtual bool openKey(const QString &path, bool canCreate) = 0;
    virtual void closeKey() = 0;
    virtual bool hasCurrentKey() const = 0;

    virtual bool valueExists(const QString &name) const = 0;
    virtual RegDataType dataType(const QString &name) const = 0;
    // Throws "Invalid data type for '%s'" when the value is not a string.
    virtual QString readString(const QString &name) const = 0;
    // Throws "Failed to set data for '%s'" when no key is open or the write fails.
    virtual void writeString(const QString &name, const QString &value) = 0;
    virtual void writeInteger(const QString &name, qint32 value) = 0;
    virtual bool deleteValue(const QString &name) = 0;

    // Groups many changes into one durable write (the file store); reads see
    // the pending changes. endUpdate() returns false when the write failed.
    virtual void beginUpdate() {}
    virtual bool endUpdate() { return true; }
};

// A new access object on the platform's registry.
std::unique_ptr<Registry> openRegistry(TRegRoots root);

// The file of the portable store (registry.json in the configuration directory).
QString registryFilePath();

// Joins a key path onto the current one: "\A\B" is absolute, "C" goes below.
QString joinKeyPath(const QString &current, const QString &path);

} // namespace kw::settings
