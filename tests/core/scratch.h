#pragma once
// Files of the core tests: each case in a folder of its own, whole files
// written and read back.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace kwtest {

class Scratch {
public:
    // A new empty folder.
    QString freshDir()
    {
        const QString d = m_tmp.filePath(QString::number(++m_counter));
        QDir().mkpath(d);
        return d;
    }

    QString filePath(const QString &name) const { return m_tmp.filePath(name); }

private:
    QTemporaryDir m_tmp;
    int m_counter = 0;
};

inline void put(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// The file's bytes, or "<missing>".
inline QByteArray get(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every entry of a folder by name, hidden ones included.
inline QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace kwtest
