#pragma once
// Exception classes of the archive component. Every error carries the text the
// user sees; EAbort is the silent end of an operation (user cancel, "No" in the
// continue dialog, Cancel in a prompt) and is never shown.
#include "core/error.h"

#include <QString>

namespace kw::archive {

class EArchiverBase : public kw::core::Error {
public:
    using kw::core::Error::Error;
};

// Errors of the component itself (bad signature, refused archive, ...).
class EArchiver : public EArchiverBase {
public:
    using EArchiverBase::EArchiverBase;
};
class EArchiverBadCRC : public EArchiver {
public:
    using EArchiver::EArchiver;
};
class EArchiverUncompress : public EArchiver {
public:
    using EArchiver::EArchiver;
};
class EArchiverCompress : public EArchiver {
public:
    using EArchiver::EArchiver;
};

// Stream and runtime errors ("Stream read error", "Range check error", file
// system failures).
class EStreamError : public EArchiverBase {
public:
    using EArchiverBase::EArchiverBase;
};

// Silent end of an operation.
class EAbort : public EArchiverBase {
public:
    EAbort() : EArchiverBase(QStringLiteral("Operation aborted")) {}
};

} // namespace kw::archive

namespace kw::archive {
// A segment whose first entry does not continue the file being read.
class EWrongNextSegment : public EArchiver {
public:
    using EArchiver::EArchiver;
};
} // namespace kw::archive
