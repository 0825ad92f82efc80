#include "core/filelock.h"

#ifdef Q_OS_UNIX
#include <sys/file.h>
#endif

namespace kw::core {

bool tryLockFile(QFileDevice &file, LockMode mode)
{
#ifdef Q_OS_UNIX
    // flock, not fcntl: its locks belong to the open file, so two opens in
    // one process exclude each other as two processes do, and closing some
    // other descriptor of the file does not drop them.
    return ::flock(file.handle(), (mode == LockMode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0;
#else
    Q_UNUSED(file);
    Q_UNUSED(mode);
    return true;
#endif
}

} // namespace kw::core
