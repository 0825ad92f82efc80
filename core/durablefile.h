#pragma once
// Durable file writes shared by every library that keeps files: a reader
// (or the next start after a crash or power loss) sees either the old file
// or the new one, whole, and once a write reports success its data and its
// name are on the disk.
#include <QByteArray>
#include <QSaveFile>
#include <QString>

namespace kw::core {

// Pushes Qt's buffer and the system's cache of an open file to the disk.
// False with the system's reason in *error (when given).
bool syncFile(QFileDevice &file, QString *error = nullptr);

// Makes the entries of a directory durable: a rename into it, a file
// created or removed in it. Where the system cannot sync a directory this
// does nothing and succeeds.
bool syncDirectory(const QString &dir);

// Writes all of data to an open file. A write the system takes only in part
// (the disk filled up) is taken up again until it fails outright, so that
// the failure carries the system's reason ("No space left on device"): Qt
// reports a short write with none. False with that reason in *error (when
// given).
bool writeAll(QFileDevice &file, const char *data, qint64 size, QString *error = nullptr);
inline bool writeAll(QFileDevice &file, const QByteArray &data, QString *error = nullptr)
{
    return writeAll(file, data.constData(), data.size(), error);
}

// Puts the finished file at from in the place of to (same file system):
// syncs from, renames it over to in one step (a reader sees the old file or
// the new one, never neither), and syncs the directory. False with the
// system's reason in *error (when given); to is then as it was.
bool replaceFileDurably(const QString &from, const QString &to, QString *error = nullptr);

// A whole file written beside its target under a temporary name and renamed
// over it on commit(): until then the target is untouched, and a file that
// is never committed (an error, a cancel, a crash) leaves it as it was.
class DurableFile {
public:
    explicit DurableFile(const QString &path);
    DurableFile(const DurableFile &) = delete;
    DurableFile &operator=(const DurableFile &) = delete;

    bool open();
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &data) { return write(data.constData(), data.size()); }
    // Flushes and syncs the temporary file, renames it over the target and
    // syncs the directory. False (target untouched) on any failure of the
    // data; errorString() says why.
    bool commit();
    // Drops what was written; the target stays as it was.
    void cancel();

    QString fileName() const { return m_file.fileName(); }
    QString errorString() const;

private:
    QSaveFile m_file;
    QString m_error;
};

// The name of the target a DurableFile was writing when it left the file
// named fileName behind (a kill or power loss before commit), or an empty
// string when fileName is not such a temporary. Where the file system can
// hold an unnamed file the temporary has no name and nothing is left;
// elsewhere it is the target's name, a dot and six letters or digits.
QString durableTargetOf(const QString &fileName);

// Writes data as the whole content of path through a DurableFile. False with
// the reason in *error (when given).
bool writeFileDurably(const QString &path, const QByteArray &data, QString *error = nullptr);

} // namespace kw::core
