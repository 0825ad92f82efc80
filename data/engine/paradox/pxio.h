#pragma once
// File access of the table engine: its messages for I/O failures, whole
// files written durably, files read back.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace kw::data::px {

QString native(const QString &path);
// Throws EngineError "<what>: <path> (<detail>)."
[[noreturn]] void ioError(const QString &what, const QString &path, const QString &detail);
// Syncs an open file to the disk; throws EngineError when it cannot.
void syncFile(QFile &f);
// Replaces path by data durably (core/durablefile.h); throws EngineError.
void writeFileAtomic(const QString &path, const QByteArray &data);
// The whole file; *ok false when it cannot be read.
QByteArray readWholeFile(const QString &path, bool *ok);
// The header of a file (at most 64 KB: header sizes are 16-bit).
QByteArray readHeaderBytes(const QString &path, bool *ok);

} // namespace kw::data::px
