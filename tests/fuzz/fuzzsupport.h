#pragma once
// What the fuzz targets share. A target reads one input of outside bytes;
// readers of several files (a table and its companions) get them packed in
// one input as a bundle:
//
//     <main file bytes>
//     "\nKWFUZZ>" EXT "\n" <bytes of the companion with that extension>
//     ...
//
// EXT is 1 to 3 letters or digits; a section with any other name is kept out
// of the file set, so an input can never name a path of its own.
#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace kwfuzz {

inline constexpr const char *kSectionMark = "\nKWFUZZ>";

struct Companion {
    QString ext;
    QByteArray bytes;
};

struct Bundle {
    QByteArray main;
    QList<Companion> companions; // in input order, only those with a usable extension
};

Bundle splitBundle(const uint8_t *data, size_t size);
QByteArray joinBundle(const Bundle &b);

// A directory of its own for this process, on tmpfs when the machine has one
// (the readers under test write and sync their files).
const QString &scratchDir();

// Removes every file of dir (not the directory itself).
void clearDir(const QString &dir);
void writeFile(const QString &path, const QByteArray &bytes);

// Writes the bundle as base + ".EXT" files in dir, the main file under
// base + "." + mainExt. Returns the main file's path.
QString writeBundle(const Bundle &b, const QString &dir, const QString &base, const QString &mainExt);

// Touches every byte of a value's text form, so a reader's lazily decoded or
// dangling data is read while the sanitizers watch.
void consume(const QString &text);
void consume(const QByteArray &bytes);

// With KWFUZZ_VERBOSE set, prints what the reader made of the input (the
// error text, or what it read): shows a replayed finding's outcome.
void note(const QString &text);

} // namespace kwfuzz

// The libFuzzer entry point each target defines.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
