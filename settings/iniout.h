#pragma once
// TIniOut keeps chosen properties of a form and of the objects on it in the
// registry, driven by item lines; it also reads and writes single string
// values and reads INI files.
//
// Item line: "component;property;default;key;value name;flag;load-only".
// Components are found by object name: the owning form itself or any object
// below it. Properties are, in this order: accessors bound with
// bindProperty()/bindInt()/bindBool(); writable Qt properties (matched
// without regard to case, so "Checked" finds a check box's "checked"); and
// Left/Top/Width/Height of objects with writable "pos" and "size" properties
// (widgets: outer position and size). A form binds what none of these offers,
// such as a splitter's handle position.
#include "settings/registry.h"

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <map>

namespace kw::settings {

// Key of the window state and update settings, and of the setup texts.
inline const QString kMainKey = QStringLiteral("\\Software\\Quillfen\\Kitwarden\\Main");
inline const QString kSetupKey = QStringLiteral("\\Software\\Quillfen\\Kitwarden\\Setup");

// The main window's item lines, in order: position, panels, width and the
// update settings, then height, maximised state and the page shown.
QStringList mainWindowItems();

// The kind of a property's type; it decides how its value is written as text.
enum class ValueKind { Integer, Char, Boolean, Enumeration, Float, String, Set, ComponentRef,
                       StringList, Object, Method, Other };

// How one property is read and written.
//  Integer: int; Char: QChar; Boolean: bool; Enumeration: int ordinal into
//  identifiers; Float: double; String: QString; Set: uint bit mask over
//  identifiers; ComponentRef/Object: QObject*; StringList: QStringList;
//  Method: QString handler name.
struct PropertyAccess {
    ValueKind kind = ValueKind::Other;
    std::function<QVariant()> get;
    std::function<void(const QVariant &)> set;
    QStringList identifiers;
};

// One parsed item line.
struct IniItem {
    QString component, property, defaultText, key, valueName, flag, loadOnly;
    bool takesPart() const;
    static IniItem parse(const QString &line);
};

class TIniOut : public QObject {
    Q_OBJECT
public:
    // owner: the form whose items are kept.
    explicit TIniOut(QObject *owner);

    QString FileName() const { return fileName_; }
    // The extension becomes ".INI" and the whole name upper case.
    void setFileName(const QString &name);
    QStringList Items() const { return items_; }
    void setItems(const QStringList &lines) { items_ = lines; }
    TRegRoots RegistryRoot() const { return root_; }
    void setRegistryRoot(TRegRoots root) { root_ = root; }

    // Restores every item; never reports an error.
    void LoadItems();
    // Stores every item not marked load-only; never reports an error.
    void SaveItems();
    // The key is created when missing. Throws "Invalid data type for '%s'".
    QString ReadRegString(const QString &key, const QString &name, const QString &defaultText);
    // The key is created when missing. Throws "Failed to set data for '%s'".
    void WriteRegString(const QString &key, const QString &name, const QString &text);
    // From the INI file named by FileName (no directory: the configuration directory).
    QString ReadIniString(const QString &section, const QString &key, const QString &defaultText) const;

    void bindProperty(const QString &component, const QString &property, PropertyAccess access);
    void bindInt(const QString &component, const QString &property, std::function<int()> get,
                 std::function<void(int)> set);
    void bindBool(const QString &component, const QString &property, std::function<bool()> get,
                  std::function<void(bool)> set);

    // The value text of a property, and its application (throws EConvertError
    // on text that does not convert). False when the component or property is missing.
    bool readValueText(const QString &component, const QString &property, QString *text) const;
    bool applyValueText(const QString &component, const QString &property, const QString &text);

private:
    QObject *findComponent(const QString &name) const;
    bool access(const QString &component, const QString &property, PropertyAccess *out) const;
    QString toText(const PropertyAccess &a) const;
    void fromText(const PropertyAccess &a, const QString &text);
    void objectFromText(const PropertyAccess &a, const QString &text);
    void methodFromText(const PropertyAccess &a, const QString &text);

    QObject *owner_;
    QString fileName_;
    QStringList items_;
    TRegRoots root_ = TRegRoots::CURRENT_USER;
    std::map<std::pair<QString, QString>, PropertyAccess> bindings_;  // (component, lower-case property)
};

// Reads one key of an INI file as the Windows profile reader does: section and
// key names without regard to case, the value trimmed and freed of enclosing
// quotes; the default when the file, section or key is missing.
QString readIniString(const QString &filePath, const QString &section, const QString &key,
                      const QString &defaultText);

// Value text of object properties, exposed for tests and for other forms.
QString objectValueText(const QObject *obj);

} // namespace kw::settings
