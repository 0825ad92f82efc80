#include "settings/iniout.h"

#include "core/findfile.h"
#include "core/paths.h"
#include "settings/convert.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QPoint>
#include <QSize>

namespace kw::settings {

QStringList mainWindowItems()
{
    const QString k = kMainKey;
    return {
        QStringLiteral("frmMain;Top;1;%1;Top;1;0").arg(k),
        QStringLiteral("pnlHrLeft;Width;160;%1;HrLeftWidth;1;0").arg(k),
        QStringLiteral("Splitter1;Left;161;%1;HrLeftSpl;1;0").arg(k),
        QStringLiteral("splMain;Left;101;%1;olSplitter;1;0").arg(k),
        QStringLiteral("pnlMainLeft;Width;100;%1;olWidth;1;0").arg(k),
        QStringLiteral("frmMain;Left;1;%1;Left;1;0").arg(k),
        QStringLiteral("frmMain;Width;;%1;Width;1;0").arg(k),
        QStringLiteral("cbAutoUpdate;Checked;False;%1;AutoUpdate;1;0").arg(k),
        QStringLiteral("cbAutoUpdateNotify;Checked;False;%1;AutoUpdateNotify;1;0").arg(k),
        // After the position and width, so that a maximised window keeps
        // the place it returns to.
        QStringLiteral("frmMain;Height;;%1;Height;1;0").arg(k),
        QStringLiteral("frmMain;WindowState;wsNormal;%1;WindowState;1;0").arg(k),
        QStringLiteral("tabsMain;ActivePage;;%1;ActivePage;1;0").arg(k),
    };
}

// ---- item lines --------------------------------------------------------------

static QString trimControl(const QString &s)
{
    int b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32)
        ++b;
    while (e > b && s[e - 1].unicode() <= 32)
        --e;
    return s.mid(b, e - b);
}

IniItem IniItem::parse(const QString &line)
{
    const QStringList f = line.split(QLatin1Char(';'));
    auto field = [&](int n) { return n < f.size() ? trimControl(f[n]) : QString(); };
    IniItem it;
    it.component = field(0);
    it.property = field(1);
    it.defaultText = field(2);
    it.key = field(3);
    it.valueName = field(4);
    it.flag = field(5);
    it.loadOnly = field(6);
    return it;
}

bool IniItem::takesPart() const
{
    return !component.isEmpty() || !property.isEmpty() || !key.isEmpty() || !valueName.isEmpty();
}

// ---- property access ---------------------------------------------------------

TIniOut::TIniOut(QObject *owner) : QObject(owner), owner_(owner)
{
    setObjectName(QStringLiteral("Ini"));
}

void TIniOut::setFileName(const QString &name)
{
    // Replace the extension of the last path part only.
    const int slash = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = (dot > slash) ? name.left(dot) : name;
    fileName_ = (stem + QStringLiteral(".INI")).toUpper();
}

void TIniOut::bindProperty(const QString &component, const QString &property, PropertyAccess a)
{
    bindings_[{component, property.toLower()}] = std::move(a);
}

void TIniOut::bindInt(const QString &component, const QString &property, std::function<int()> get,
                      std::function<void(int)> set)
{
    PropertyAccess a;
    a.kind = ValueKind::Integer;
    a.get = [get] { return QVariant(get()); };
    a.set = [set](const QVariant &v) { set(v.toInt()); };
    bindProperty(component, property, std::move(a));
}

void TIniOut::bindBool(const QString &component, const QString &property, std::function<bool()> get,
                       std::function<void(bool)> set)
{
    PropertyAccess a;
    a.kind = ValueKind::Boolean;
    a.get = [get] { return QVariant(get()); };
    a.set = [set](const QVariant &v) { set(v.toBool()); };
    bindProperty(component, property, std::move(a));
}

QObject *TIniOut::findComponent(const QString &name) const
{
    if (!owner_ || name.isEmpty())
        return nullptr;
    if (owner_->objectName() == name)
        return owner_;
    return owner_->findChild<QObject *>(name);
}

static ValueKind kindOf(const QMetaProperty &p)
{
    if (p.isEnumType())
        return p.isFlagType() ? ValueKind::Set : ValueKind::Enumeration;
    const QMetaType t = p.metaType();
    if (t.flags() & QMetaType::PointerToQObject)
        return ValueKind::ComponentRef;
    switch (t.id()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Short: case QMetaType::UShort:
        return ValueKind::Integer;
    case QMetaType::QChar: case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
        return ValueKind::Char;
    case QMetaType::Bool: return ValueKind::Boolean;
    case QMetaType::Double: case QMetaType::Float: return ValueKind::Float;
    case QMetaType::QString: case QMetaType::QByteArray: return ValueKind::String;
    case QMetaType::QStringList: return ValueKind::StringList;
    default: return ValueKind::Other;
    }
}

static PropertyAccess metaAccess(QObject *obj, const QMetaProperty &p)
{
    PropertyAccess a;
    a.kind = kindOf(p);
    if (a.kind == ValueKind::Enumeration) {
        const QMetaEnum e = p.enumerator();
        for (int i = 0; i < e.keyCount(); ++i)
            a.identifiers << QString::fromLatin1(e.key(i));
        a.get = [obj, p, e] {
            const int v = p.read(obj).toInt();
            for (int i = 0; i < e.keyCount(); ++i)
                if (e.value(i) == v)
                    return QVariant(i);
            return QVariant(-1);
        };
        a.set = [obj, p, e](const QVariant &ordinal) { p.write(obj, e.value(ordinal.toInt())); };
        return a;
    }
    if (a.kind == ValueKind::Set) {
        const QMetaEnum e = p.enumerator();
        for (int bit = 0; bit < 32; ++bit) {
            QString id;
            for (int i = 0; i < e.keyCount(); ++i)
                if (uint(e.value(i)) == (1u << bit))
                    id = QString::fromLatin1(e.key(i));
            a.identifiers << id;
        }
        while (!a.identifiers.isEmpty() && a.identifiers.last().isEmpty())
            a.identifiers.removeLast();
        a.get = [obj, p] { return QVariant(p.read(obj).toUInt()); };
        a.set = [obj, p](const QVariant &mask) { p.write(obj, QVariant(int(mask.toUInt()))); };
        return a;
    }
    a.get = [obj, p] { return p.read(obj); };
    a.set = [obj, p](const QVariant &v) {
        QVariant w = v;
        if (p.metaType().id() == QMetaType::QByteArray)
            w = v.toString().toUtf8();
        else if (p.metaType().id() == QMetaType::Char || p.metaType().id() == QMetaType::SChar
                 || p.metaType().id() == QMetaType::UChar)
            w = QVariant::fromValue(char(v.toChar().toLatin1()));
        p.write(obj, w);
    };
    return a;
}

static int findProperty(const QMetaObject *mo, const QString &name)
{
    const QByteArray n = name.toLatin1();
    int i = mo->indexOfProperty(n.constData());
    if (i >= 0)
        return i;
    for (i = 0; i < mo->propertyCount(); ++i)
        if (QString::fromLatin1(mo->property(i).name()).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// Left, Top, Width and Height of an object with writable "pos" (QPoint) and
// "size" (QSize) properties, as widgets have: the window's outer position
// and its size.
static bool edgeAccess(QObject *obj, const QString &property, PropertyAccess *out)
{
    const QString name = property.toLower();
    const bool isPos = name == QLatin1String("left") || name == QLatin1String("top");
    const bool isSize = name == QLatin1String("width") || name == QLatin1String("height");
    if (!isPos && !isSize)
        return false;
    const QMetaObject *mo = obj->metaObject();
    const int i = mo->indexOfProperty(isPos ? "pos" : "size");
    if (i < 0)
        return false;
    const QMetaProperty p = mo->property(i);
    if (!p.isWritable() || p.metaType().id() != (isPos ? QMetaType::QPoint : QMetaType::QSize))
        return false;
    const bool first = name == QLatin1String("left") || name == QLatin1String("width");
    out->kind = ValueKind::Integer;
    out->identifiers.clear();
    if (isPos) {
        out->get = [obj, p, first] {
            const QPoint pt = p.read(obj).toPoint();
            return QVariant(first ? pt.x() : pt.y());
        };
        out->set = [obj, p, first](const QVariant &v) {
            QPoint pt = p.read(obj).toPoint();
            (first ? pt.rx() : pt.ry()) = v.toInt();
            p.write(obj, pt);
        };
    } else {
        out->get = [obj, p, first] {
            const QSize sz = p.read(obj).toSize();
            return QVariant(first ? sz.width() : sz.height());
        };
        out->set = [obj, p, first](const QVariant &v) {
            QSize sz = p.read(obj).toSize();
            (first ? sz.rwidth() : sz.rheight()) = v.toInt();
            p.write(obj, sz);
        };
    }
    return true;
}

bool TIniOut::access(const QString &component, const QString &property, PropertyAccess *out) const
{
    auto b = bindings_.find({component, property.toLower()});
    if (b != bindings_.end()) {
        *out = b->second;
        return true;
    }
    QObject *obj = findComponent(component);
    if (!obj || property.isEmpty())
        return false;
    const int i = findProperty(obj->metaObject(), property);
    if (i >= 0) {
        const QMetaProperty p = obj->metaObject()->property(i);
        if (p.isReadable() && p.isWritable()) {
            *out = metaAccess(obj, p);
            return true;
        }
    }
    return edgeAccess(obj, property, out);
}

// ---- value text --------------------------------------------------------------

static QList<QMetaProperty> ownProperties(const QObject *obj)
{
    QList<QMetaProperty> list;
    const QMetaObject *mo = obj->metaObject();
    for (int i = 0; i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        if (qstrcmp(p.name(), "objectName") != 0 && p.isReadable() && p.isStored())
            list << p;
    }
    return list;
}

// Value text of the kinds that need no form to be written.
static QString plainText(const PropertyAccess &a)
{
    const QVariant v = a.get ? a.get() : QVariant();
    switch (a.kind) {
    case ValueKind::Integer: return QString::number(v.toLongLong());
    case ValueKind::Char: return v.toChar().isNull() ? QString() : QString(v.toChar());
    case ValueKind::Boolean: return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case ValueKind::Enumeration: {
        // A value outside the type's range is written as its lowest identifier.
        const int ord = v.toInt();
        if (a.identifiers.isEmpty())
            return {};
        return (ord >= 0 && ord < a.identifiers.size()) ? a.identifiers[ord] : a.identifiers[0];
    }
    case ValueKind::Float: return QString::number(v.toDouble(), 'g', 15);
    case ValueKind::String: return v.toString();
    case ValueKind::Set: {
        QStringList members;
        const uint mask = v.toUInt();
        for (int bit = 0; bit < a.identifiers.size(); ++bit)
            if ((mask & (1u << bit)) && !a.identifiers[bit].isEmpty())
                members << a.identifiers[bit];
        return QLatin1Char('[') + members.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    case ValueKind::StringList: return v.toStringList().join(QLatin1Char('|'));
    case ValueKind::Method: return v.toString();
    case ValueKind::ComponentRef:
    case ValueKind::Object: {
        const QObject *o = v.value<QObject *>();
        return o ? o->objectName() : QString();
    }
    case ValueKind::Other: return {};
    }
    return {};
}

QString TIniOut::toText(const PropertyAccess &a) const
{
    if (a.kind == ValueKind::ComponentRef || a.kind == ValueKind::Object) {
        const QObject *o = a.get ? a.get().value<QObject *>() : nullptr;
        if (!o)
            return {};
        if (!o->objectName().isEmpty() && findComponent(o->objectName()) == o)
            return o->objectName();
        return objectValueText(o);
    }
    return plainText(a);
}

QString objectValueText(const QObject *obj)
{
    // The object's own properties in their declared order; nested objects by name.
    QStringList parts;
    for (const QMetaProperty &p : ownProperties(obj))
        parts << plainText(metaAccess(const_cast<QObject *>(obj), p));
    return parts.join(QLatin1Char('|'));
}

static bool isTrueText(const QString &t)
{
    const QChar c = t.at(0);
    return c == QLatin1Char('1') || c == QLatin1Char('T') || c == QLatin1Char('Y') || c == QLatin1Char('t')
           || c == QLatin1Char('y');
}

// A component of the form by its name; otherwise the object the property
// holds takes its own plain properties from the '|'-separated fields.
void TIniOut::objectFromText(const PropertyAccess &a, const QString &text)
{
    if (QObject *c = findComponent(text)) {
        a.set(QVariant::fromValue(c));
        return;
    }
    QObject *o = a.get ? a.get().value<QObject *>() : nullptr;
    if (!o || text.isEmpty())
        return;
    const QStringList fields = text.split(QLatin1Char('|'));
    const QList<QMetaProperty> props = ownProperties(o);
    for (int i = 0; i < props.size() && i < fields.size(); ++i) {
        if (!props[i].isWritable())
            continue;
        const PropertyAccess sub = metaAccess(o, props[i]);
        if (sub.kind == ValueKind::ComponentRef || sub.kind == ValueKind::Object
            || sub.kind == ValueKind::Method || sub.kind == ValueKind::Other
            || sub.kind == ValueKind::StringList)
            continue;
        fromText(sub, fields[i]);
    }
}

void TIniOut::methodFromText(const PropertyAccess &a, const QString &text)
{
    // Only a handler the form really has.
    if (!owner_)
        return;
    const QMetaObject *mo = owner_->metaObject();
    for (int i = 0; i < mo->methodCount(); ++i)
        if (QString::fromLatin1(mo->method(i).name()) == text) {
            a.set(QVariant(text));
            return;
        }
}

void TIniOut::fromText(const PropertyAccess &a, const QString &text)
{
    if (!a.set)
        return;
    switch (a.kind) {
    case ValueKind::Integer:
        if (!text.isEmpty())
            a.set(QVariant(StrToInt(text)));
        return;
    case ValueKind::Char:
        if (!text.isEmpty())
            a.set(QVariant(text.at(0)));
        return;
    case ValueKind::Boolean:
        if (!text.isEmpty())
            a.set(QVariant(isTrueText(text)));
        return;
    case ValueKind::Enumeration: {
        for (int i = 0; i < a.identifiers.size(); ++i)
            if (a.identifiers[i].compare(text, Qt::CaseInsensitive) == 0) {
                a.set(QVariant(i));
                return;
            }
        throw EConvertError(QStringLiteral("Invalid enumeration value '%1'").arg(text));
    }
    case ValueKind::Float: a.set(QVariant(StrToFloat(text))); return;
    case ValueKind::String: a.set(QVariant(text)); return;
    case ValueKind::Set: {
        uint mask = 0;
        for (int bit = 0; bit < a.identifiers.size(); ++bit)
            if (!a.identifiers[bit].isEmpty() && text.contains(a.identifiers[bit], Qt::CaseInsensitive))
                mask |= 1u << bit;
        a.set(QVariant(mask));
        return;
    }
    case ValueKind::ComponentRef:
    case ValueKind::Object: objectFromText(a, text); return;
    case ValueKind::StringList:
        a.set(QVariant(text.isEmpty() ? QStringList() : text.split(QLatin1Char('|'))));
        return;
    case ValueKind::Method: methodFromText(a, text); return;
    case ValueKind::Other: return;
    }
}

bool TIniOut::readValueText(const QString &component, const QString &property, QString *text) const
{
    PropertyAccess a;
    if (!access(component, property, &a))
        return false;
    *text = toText(a);
    return true;
}

bool TIniOut::applyValueText(const QString &component, const QString &property, const QString &text)
{
    PropertyAccess a;
    if (!access(component, property, &a))
        return false;
    fromText(a, text);
    return true;
}

// ---- registry operations -----------------------------------------------------

void TIniOut::LoadItems()
{
    std::unique_ptr<Registry> reg = openRegistry(root_);
    reg->beginUpdate();  // read the store once; loading changes nothing
    for (const QString &line : items_) {
        const IniItem it = IniItem::parse(line);
        if (!it.takesPart())
            continue;
        try {
            PropertyAccess a;
            if (!access(it.component, it.property, &a))
                continue;
            reg->closeKey();
            QString text = it.defaultText;
            if (reg->openKey(it.key, false) && reg->valueExists(it.valueName))
                text = reg->readString(it.valueName);
            fromText(a, text);
        } catch (const std::exception &) {
            // One bad item (wrong value type, text that does not convert) is skipped.
        }
    }
    reg->closeKey();
    reg->endUpdate();
}

void TIniOut::SaveItems()
{
    std::unique_ptr<Registry> reg = openRegistry(root_);
    reg->beginUpdate();  // one durable write for all items
    for (const QString &line : items_) {
        const IniItem it = IniItem::parse(line);
        if (!it.takesPart() || it.loadOnly == QLatin1String("1"))
            continue;
        try {
            PropertyAccess a;
            if (!access(it.component, it.property, &a))
                continue;
            reg->closeKey();
            if (reg->openKey(it.key, true))
                reg->writeString(it.valueName, toText(a));
        } catch (const std::exception &) {
            // One item that cannot be written does not stop the others.
        }
    }
    reg->closeKey();
    reg->endUpdate();
}

QString TIniOut::ReadRegString(const QString &key, const QString &name, const QString &defaultText)
{
    std::unique_ptr<Registry> reg = openRegistry(root_);
    if (reg->openKey(key, true) && reg->valueExists(name))
        return reg->readString(name);
    return defaultText;
}

void TIniOut::WriteRegString(const QString &key, const QString &name, const QString &text)
{
    std::unique_ptr<Registry> reg = openRegistry(root_);
    reg->openKey(key, true);
    reg->writeString(name, text);  // raises "Failed to set data for '%s'" when the key did not open
}

QString TIniOut::ReadIniString(const QString &section, const QString &key, const QString &defaultText) const
{
    QString path = fileName_;
    if (!path.contains(QLatin1Char('/')) && !path.contains(QLatin1Char('\\')))
        path = QDir(kw::core::configDir()).filePath(path);
    return readIniString(path, section, key, defaultText);
}

// ---- INI files ---------------------------------------------------------------

QString readIniString(const QString &filePath, const QString &section, const QString &key,
                      const QString &defaultText)
{
    // Names kept in upper case still find their files on case-sensitive file systems.
    QFile f(kw::core::resolvePathNoCase(filePath));
    if (!f.open(QIODevice::ReadOnly))
        return defaultText;
    QByteArray data = f.readAll();
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    const QString text = QString::fromUtf8(data);
    bool inSection = false;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const int close = line.indexOf(QLatin1Char(']'));
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            if (inSection)
                break;  // the first section of that name only
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString v = line.mid(eq + 1).trimmed();
        if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\''))
            && v.back() == v.front())
            v = v.mid(1, v.size() - 2);
        return v;
    }
    return defaultText;
}

} // namespace kw::settings
