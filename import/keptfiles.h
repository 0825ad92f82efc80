#pragma once
// Copies of files taken before a job changes them, so that a job that fails
// half way can put every file back as it was. The copies and a list of what
// was kept live in one directory; while it exists the job has not finished,
// so a later run finds the copies of a run that a crash or a kill ended.
#include <QString>
#include <QStringList>

namespace kw::import {

class KeptFiles {
public:
    // dir: the directory that holds the copies (created by keep()).
    explicit KeptFiles(QString dir);

    QString directory() const { return m_dir; }
    // True when copies are kept (a job took them and has not finished).
    bool exists() const;

    // Copies every file of paths that exists and notes those that do not,
    // each copy flushed to disk; the list is written last, so copies become
    // visible only complete. Throws EngineError when copies are already kept
    // or a file cannot be copied (nothing is kept then).
    void keep(const QStringList &paths);

    // Puts every kept file back in place and removes the files noted as not
    // existing. Only paths inside one of allowedDirs are touched: the list
    // is a file like any other. Throws EngineError naming the file that
    // could not be put back; the copies stay for a later attempt.
    void putBack(const QStringList &allowedDirs) const;

    // Removes the copies (the job finished, or its files are back).
    void discard();

private:
    QString m_dir;
};

} // namespace kw::import
