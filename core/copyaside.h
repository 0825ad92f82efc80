#pragma once
// A copy of files set aside before a job changes them, and the mark of the
// job in progress: the one mechanism behind the restore's undo copy and the
// import's all-or-nothing. It copies aside, marks the job as running,
// ends the job (the mark goes) or puts the files back, and tells a later
// start that a job was interrupted; it never follows a link in its folders.
//
// On disk, in its folder (a real folder, normally in the data directory):
//   files.txt  what the copy holds, one line per file ("present COPY PATH",
//              "absent PATH"); written last, so a copy without it is none
//   NNNN.kept  the copies, with the modification times of the files
//   running    the mark: the job's name, from before the job's first change
//              until it ends. The job's process holds a lock on it, which
//              the system drops when the process dies: a mark whose lock is
//              free was left by a job that was interrupted.
//   left.txt   the state (size and hash of each file) the files were in when
//              the job ended or was first found interrupted, to tell which
//              files changed since.
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace kw::core {

class CopyAside {
public:
    enum class State {
        None,        // no copy
        Kept,        // a copy, no job running
        Running,     // a job is running now, in a live process
        Interrupted, // a job was running and its process stopped
    };

    explicit CopyAside(QString folder);
    ~CopyAside(); // lets go of the mark's lock (the mark stays unless ended)
    CopyAside(const CopyAside &) = delete;
    CopyAside &operator=(const CopyAside &) = delete;

    QString folder() const { return m_folder; }
    State state() const;
    // The job the mark names; empty without a mark.
    QString job() const;

    // Takes a new copy of paths and marks job as running (held by this
    // object): each file that exists is copied whole, each that does not is
    // noted absent, and so is each of emptyIsAbsent that holds nothing (a
    // journal whose change is done). The copy is built in "<folder>.new" and
    // takes the place of an earlier one only once complete and on the disk.
    // Links found at either folder are removed as links, never followed.
    // Throws Error naming what failed; an earlier copy is then as it was,
    // and nothing of the new one is left.
    void take(const QStringList &paths, const QString &job, const QStringList &emptyIsAbsent = {});
    // Marks the existing copy: job running (an undo, a job taken up again);
    // a state noted before stays. Throws Error when there is no copy or a
    // live process holds the mark.
    void begin(const QString &job);
    // The running job ended: the state of the files is noted (changedSince)
    // and the mark goes. The copy stays.
    void end();
    // The running job stops before it is done (it failed, and its files are
    // as they were when it began): the state of the files is noted (unless
    // it was when the job was first found interrupted) and the mark is let
    // go, so that the job counts as interrupted.
    void leaveInterrupted();
    // Drops the copy and the mark. The list goes first: from then on what
    // is left is no copy.
    void discard();

    // The paths the copy covers, in the order they were taken.
    QStringList paths() const;
    // Puts the files back as they were copied: each one present then takes
    // its place whole (written beside it and renamed over it, a link there
    // replaced, not followed), each one absent then is removed. Only the
    // paths among only (all when empty) are touched. The list is a file like
    // any other: a copy naming any path for which mayTouch is false is
    // refused before anything is done. Throws Error naming the file that
    // could not be put back; the copy stays.
    void putBack(const std::function<bool(const QString &path)> &mayTouch, const QStringList &only = {}) const;

    // Of the paths the copy covers, those whose files differ both from the
    // state noted when the job ended or was first found interrupted and from
    // their copy (a file already back as it was copied loses nothing when it
    // is put back); empty when nothing was noted.
    QStringList changedSince() const;
    // Notes, once, the state an interrupted job left the files in.
    void noticeInterruption();

private:
    struct Entry {
        bool present = false;
        QString copy;
        QString path;
    };
    QList<Entry> entries() const;
    void hold(QFile &mark);
    void writeLeft();

    QString m_folder;
    std::unique_ptr<QFile> m_mark; // open and locked while this object runs a job
};

} // namespace kw::core
