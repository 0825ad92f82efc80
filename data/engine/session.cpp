#include "data/engine/session.h"

#include "core/durablefile.h"
#include "core/findfile.h"
#include "data/engine/dataset.h"
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace kw::data {

// ---------------------------------------------------------------- EngineConfig

EngineConfig::EngineConfig(const QString &file)
    : m_file(file.isEmpty() ? QDir(configDir()).filePath(QStringLiteral("engine.json")) : file)
{
    load();
}

void EngineConfig::load()
{
    m_aliases.clear();
    m_error.clear();
    QFile f(m_file);
    if (!f.exists())
        return;
    const QString shown = QDir::toNativeSeparators(m_file);
    if (!f.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("Cannot read the engine configuration %1: %2").arg(shown, f.errorString());
        return;
    }
    auto damaged = [&](const QString &why) {
        m_error = QStringLiteral("The engine configuration %1 is damaged (%2): mend or remove it to use aliases.")
                      .arg(shown, why);
    };
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &parse);
    if (parse.error != QJsonParseError::NoError)
        return damaged(parse.errorString());
    const QJsonValue aliases = doc.object().value(QLatin1String("aliases"));
    if (!doc.isObject() || !(aliases.isObject() || aliases.isUndefined()))
        return damaged(QStringLiteral("no list of aliases"));
    const QJsonObject list = aliases.toObject();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (!it.value().isString())
            return damaged(QStringLiteral("alias %1 has no directory").arg(it.key()));
        m_aliases[it.key()] = it.value().toString();
    }
}

void EngineConfig::save() const
{
    QJsonObject aliases;
    for (const auto &[name, dir] : m_aliases)
        aliases.insert(name, dir);
    QJsonObject root;
    root.insert(QStringLiteral("aliases"), aliases);
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    if (!kw::core::writeFileDurably(m_file, QJsonDocument(root).toJson()))
        throw EngineError(QStringLiteral("Cannot write the engine configuration %1").arg(m_file));
}

QStringList EngineConfig::aliasNames() const
{
    QStringList names;
    for (const auto &[name, dir] : m_aliases)
        names << name;
    return names;
}

QString EngineConfig::aliasDirectory(const QString &name) const
{
    auto it = m_aliases.find(name);
    return it == m_aliases.end() ? QString() : it->second;
}

void EngineConfig::setAlias(const QString &name, const QString &dir)
{
    if (!m_error.isEmpty())
        throw EngineError(m_error);
    if (name.trimmed().isEmpty())
        throw EngineError(QStringLiteral("An alias needs a name"));
    if (name.contains(QLatin1Char(':')))
        throw EngineError(QStringLiteral("An alias name cannot contain \":\": %1").arg(name));
    const QString shown = QDir::toNativeSeparators(dir);
    if (const QString why = kw::core::accessProblem(dir); !why.isEmpty())
        throw EngineError(QStringLiteral("Cannot reach the directory %1: %2").arg(shown, why));
    if (!QFileInfo(dir).isDir())
        throw EngineError(QFileInfo::exists(dir) ? QStringLiteral("%1 is not a directory").arg(shown)
                                                 : QStringLiteral("Directory does not exist: %1").arg(shown));
    m_aliases[name] = QDir(dir).absolutePath();
    save();
}

void EngineConfig::removeAlias(const QString &name)
{
    if (!m_error.isEmpty())
        throw EngineError(m_error);
    if (m_aliases.erase(name))
        save();
}

// ---------------------------------------------------------------- Session

Session::Session(QObject *parent) : QObject(parent), m_sql(std::make_unique<LocalSql>(*this)) {}

Session::~Session()
{
    try {
        releaseTables();
    } catch (...) {
        // Derived index files are rebuilt on the next open.
    }
}

Session &Session::defaultSession()
{
    static Session s;
    return s;
}

void Session::addPassword(const QString &password)
{
    if (!m_passwords.contains(password))
        m_passwords << password;
}

QString Session::aliasDirectory(const QString &alias) const
{
    // A connection's name is an alias of its directory, ahead of the
    // configured ones, so a statement on another database can name the
    // program's own tables (':Kitwarden:Lists.DB') wherever they live.
    for (const auto &db : m_databases)
        if (db && db->databaseName() == alias)
            return db->directory();
    const QString dir = m_config.aliasDirectory(alias);
    if (dir.isEmpty())
        throw EngineError(m_config.error().isEmpty() ? QStringLiteral("Unknown database: %1").arg(alias)
                                                     : m_config.error());
    return dir;
}

static QString canonicalKey(const QString &path)
{
    const QFileInfo fi(path);
    const QString c = fi.canonicalFilePath();
    return c.isEmpty() ? fi.absoluteFilePath() : c;
}

ParadoxTable *Session::paradoxTable(const QString &path)
{
    const QString key = canonicalKey(path);
    auto it = m_tables.find(key);
    if (it != m_tables.end())
        return it->second.get();
    if (const QString why = kw::core::accessProblem(path); !why.isEmpty())
        throw EngineError(QStringLiteral("Cannot open table: %1.\nFile: %2").arg(why, QDir::toNativeSeparators(path)));
    if (!QFileInfo::exists(path))
        throw EngineError(QStringLiteral("Table does not exist.\nFile: %1").arg(QDir::toNativeSeparators(path)));
    auto t = ParadoxTable::open(path, m_passwords, openReadOnly);
    // A known table gets back the named indexes and validity checks its
    // file does not record, should those files have been lost.
    if (const TableDef *known = m_schema ? m_schema->tableDef(path) : nullptr; known && !openReadOnly) {
        try {
            t->syncSchema(*known);
        } catch (const EngineError &) {
            // Another program's table of the same name: leave it alone.
        }
    }
    ParadoxTable *raw = t.get();
    m_tables.emplace(key, std::move(t));
    return raw;
}

ParadoxTable *Session::table(const QString &dir, const QString &fileName)
{
    QString name = fileName;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".DB");
    return paradoxTable(kw::core::findFileNoCase(dir, name));
}

QStringList Session::releaseTables(const QString &dir)
{
    const QString prefix = dir.isEmpty() ? QString() : canonicalKey(dir) + QLatin1Char('/');
    QStringList warnings;
    std::exception_ptr failure;
    for (auto it = m_tables.begin(); it != m_tables.end();) {
        if (prefix.isEmpty() || it->first.startsWith(prefix)) {
            auto table = std::move(it->second);
            it = m_tables.erase(it);
            // Every table is closed, whatever happens to one of them.
            try {
                table->close();
            } catch (const DerivedFilesError &e) {
                warnings << e.message();
            } catch (...) {
                if (!failure)
                    failure = std::current_exception();
            }
        } else {
            ++it;
        }
    }
    if (failure)
        std::rethrow_exception(failure);
    return warnings;
}

Database *Session::findDatabase(const QString &name) const
{
    for (const auto &db : m_databases)
        if (db && db->databaseName().compare(name, Qt::CaseInsensitive) == 0)
            return db;
    return nullptr;
}

// ---------------------------------------------------------------- Database

Database::Database(Session &session, const QString &name, QObject *parent)
    : QObject(parent), m_session(session), m_name(name)
{
    setObjectName(QStringLiteral("dbMain"));
    params = {QStringLiteral("PATH=.\\"), QStringLiteral("DEFAULT DRIVER=PARADOX"),
              QStringLiteral("ENABLE BCD=FALSE")};
    m_session.m_databases << this;
}

Database::~Database()
{
    // Datasets that outlive their connection are closed and left without
    // one, so that they never reach back into this object.
    try {
        close();
    } catch (...) {
        // Index files left behind are rebuilt on the next open.
    }
    for (Dataset *ds : std::as_const(m_datasets))
        ds->m_database = nullptr;
    m_session.m_databases.removeAll(this);
}

QString Database::param(const QString &key) const
{
    for (const QString &p : params) {
        const int eq = p.indexOf(QLatin1Char('='));
        if (eq > 0 && p.left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return p.mid(eq + 1);
    }
    return {};
}

void Database::setParam(const QString &key, const QString &value)
{
    for (QString &p : params) {
        const int eq = p.indexOf(QLatin1Char('='));
        if (eq > 0 && p.left(eq).compare(key, Qt::CaseInsensitive) == 0) {
            p = key + QLatin1Char('=') + value;
            return;
        }
    }
    params << key + QLatin1Char('=') + value;
}

QString Database::directory() const
{
    // The name as every other command takes it: a backslash separates only
    // where it is the system's separator. The default ".\\" is the current
    // directory everywhere.
    QString p = param(QStringLiteral("PATH"));
    if (p == QLatin1String(".\\"))
        p = QStringLiteral(".");
    p = QDir::fromNativeSeparators(p);
    return QDir(p.isEmpty() ? QStringLiteral(".") : p).absolutePath();
}

void Database::open()
{
    if (m_connected)
        return;
    if (const QString why = kw::core::accessProblem(directory()); !why.isEmpty())
        throw EngineError(QStringLiteral("Cannot reach %1: %2").arg(QDir::toNativeSeparators(directory()), why));
    if (!QFileInfo(directory()).isDir())
        throw EngineError(QStringLiteral("Invalid path: %1").arg(QDir::toNativeSeparators(directory())));
    m_connected = true;
}

void Database::close()
{
    // A close handler may destroy another dataset of this connection.
    QList<QPointer<Dataset>> open;
    for (Dataset *ds : std::as_const(m_datasets))
        open << ds;
    for (const QPointer<Dataset> &ds : std::as_const(open))
        if (ds)
            ds->close();
    if (m_connected && !directoryInUseByAnother())
        m_session.releaseTables(directory());
    m_connected = false;
}

// Table files are shared by path across connections: another open connection
// on this directory (or one below it) still has datasets reading them.
bool Database::directoryInUseByAnother() const
{
    const QString mine = directory();
    for (const QPointer<Database> &other : std::as_const(m_session.m_databases)) {
        if (!other || other == this || !other->m_connected)
            continue;
        const QString theirs = other->directory();
        if (theirs == mine || theirs.startsWith(mine + QLatin1Char('/')))
            return true;
    }
    return false;
}

void Database::registerDataset(Dataset *ds)
{
    if (!m_datasets.contains(ds))
        m_datasets << ds;
}

void Database::unregisterDataset(Dataset *ds)
{
    m_datasets.removeAll(ds);
}

} // namespace kw::data
