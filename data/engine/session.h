#pragma once
// The engine session: table passwords, alias names and the open table files
// shared by every dataset; and the database connection that datasets name.
#include "data/engine/schemaprovider.h"
#include "data/engine/sql/localsql.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

namespace kw::data {

class Dataset;
class ParadoxTable;

// Aliases (name -> directory) kept in the engine configuration file
// "engine.json" of the configuration directory. Names are case-sensitive.
class EngineConfig {
public:
    explicit EngineConfig(const QString &file = QString()); // default: configDir()/engine.json
    QStringList aliasNames() const;
    QString aliasDirectory(const QString &name) const; // empty when unknown
    // Saved at once. The name may not hold ":" (it ends an alias in a table
    // name) and the directory must exist.
    void setAlias(const QString &name, const QString &dir);
    void removeAlias(const QString &name);
    QString fileName() const { return m_file; }
    // Why the file could not be read (naming it); empty when it was read or
    // is not there yet. A store that could not be read is never rewritten.
    QString error() const { return m_error; }
private:
    void load();
    void save() const;
    QString m_file;
    QString m_error;
    std::map<QString, QString> m_aliases;
};

class Database;

class Session : public QObject, public TableProvider {
    Q_OBJECT
public:
    explicit Session(QObject *parent = nullptr);
    ~Session() override;

    // Passwords tried on every encrypted table.
    void addPassword(const QString &password);
    const QStringList &passwords() const { return m_passwords; }

    // What the tables this session opens should hold beyond their files
    // (none by default: every table is taken as its files say). Not owned.
    void setSchemaProvider(const SchemaProvider *schema) { m_schema = schema; }
    const SchemaProvider *schemaProvider() const { return m_schema; }

    EngineConfig &config() { return m_config; }
    void setConfigFile(const QString &file) { m_config = EngineConfig(file); }
    QStringList aliasNames() const { return m_config.aliasNames(); }

    // TableProvider: the names of the connections (case-sensitive), then the
    // aliases of the configuration; tables opened once and shared until
    // releaseTables().
    QString aliasDirectory(const QString &alias) const override;
    ParadoxTable *paradoxTable(const QString &path) override;

    // Opens (or returns) the table named fileName in dir, whatever the case
    // of the file on disk.
    ParadoxTable *table(const QString &dir, const QString &fileName);
    // Closes every open table file below dir (all when dir is empty): the
    // derived index files are brought up to date and the files released.
    // Returns what could not be done that costs no rows (derived files the
    // next open rebuilds); throws the first error that does, after closing
    // the others.
    QStringList releaseTables(const QString &dir = QString());

    LocalSql &sql() { return *m_sql; }

    // Tables are opened read-only: for tools that only look, so they can
    // run beside the program that holds the tables for writing.
    bool openReadOnly = false;

    // Database connections by name ("Kitwarden").
    Database *findDatabase(const QString &name) const;

    // The process-wide default session.
    static Session &defaultSession();

    // Tells every dataset on a table that its rows changed underneath it.
    void notifyTableChanged(ParadoxTable *table) { emit tableChanged(table); }

signals:
    void tableChanged(kw::data::ParadoxTable *table);

private:
    friend class Database;
    QStringList m_passwords;
    const SchemaProvider *m_schema = nullptr;
    EngineConfig m_config;
    std::map<QString, std::unique_ptr<ParadoxTable>> m_tables; // by canonical path
    std::unique_ptr<LocalSql> m_sql;
    QList<QPointer<Database>> m_databases;
};

// A named connection: PATH gives the directory of its tables.
class Database : public QObject {
    Q_OBJECT
public:
    Database(Session &session, const QString &name, QObject *parent = nullptr);
    ~Database() override;

    QString databaseName() const { return m_name; }
    QString driverName = QStringLiteral("STANDARD");
    bool loginPrompt = false;
    // "PATH=...", "DEFAULT DRIVER=PARADOX", "ENABLE BCD=FALSE"
    QStringList params;

    QString param(const QString &key) const;
    void setParam(const QString &key, const QString &value);
    QString directory() const; // PATH as an absolute directory

    void open();
    // Closes every dataset on this connection and frees the table files of
    // its directory, unless another open connection reads them too.
    void close();
    bool connected() const { return m_connected; }

    // The datasets on this connection; each one registers itself when made
    // and leaves when destroyed.
    const QList<Dataset *> &datasets() const { return m_datasets; }
    Session &session() const { return m_session; }

private:
    friend class Dataset;
    void registerDataset(Dataset *ds);
    void unregisterDataset(Dataset *ds);
    bool directoryInUseByAnother() const;

    Session &m_session;
    QString m_name;
    bool m_connected = false;
    QList<Dataset *> m_datasets;
};

} // namespace kw::data
