#pragma once
// Advisory locks between the programs that share the data directory: a
// table open for writing holds its file exclusively, the archive component
// holds a file it stores shared, so neither reads a file the other is
// half-way through changing. The system drops a lock when its holder closes
// the file or dies, so a crash never leaves a file locked.
#include <QFileDevice>

namespace kw::core {

enum class LockMode { Shared, Exclusive };

// Locks an open file without waiting. False when another open of the file
// holds a conflicting lock. Where the system has no such locks it succeeds.
bool tryLockFile(QFileDevice &file, LockMode mode);

} // namespace kw::core
