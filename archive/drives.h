#pragma once
// Where the segment files of an archive live. On Linux the "drive" of a path is
// the mount point it lies on; a drive is removable when the kernel reports its
// block device as removable; free space comes from statvfs. Tests replace this
// with a simulated small disk.
#include <QString>

namespace kw::archive {

class DriveServices {
public:
    virtual ~DriveServices() = default;
    // The drive (mount point, with a trailing '/') that holds path.
    virtual QString driveOf(const QString &path) = 0;
    virtual bool isRemovable(const QString &drive) = 0;
    // Free bytes the caller may use on the drive of dir; -1 when unreadable.
    virtual qint64 freeBytes(const QString &dir) = 0;
    // Whether a medium is present (the drive can be sized).
    virtual bool isReady(const QString &drive) = 0;
};

class SystemDrives : public DriveServices {
public:
    QString driveOf(const QString &path) override;
    bool isRemovable(const QString &drive) override;
    qint64 freeBytes(const QString &dir) override;
    bool isReady(const QString &drive) override;
};

// The process-wide default.
DriveServices &systemDrives();

// Available space: free bytes minus the 8192-byte reserve, capped at
// 2147483647, 0 when negative or unreadable.
qint64 availableSpace(qint64 freeBytes);

} // namespace kw::archive
