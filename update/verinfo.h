#pragma once
// The program's own release number, read from the version resource of an
// executable file (the ELF section ".kwversion" on Linux, the PE resource on
// Windows), and the comparison the update check uses.
#include "core/error.h"

#include <QString>
#include <vector>

namespace kw::update {

class ENoVerInfoError : public kw::core::Error {
public:
    using kw::core::Error::Error;
};
class EVerInfoError : public kw::core::Error {
public:
    using kw::core::Error::Error;
};
class eNoFixeVerInfo : public kw::core::Error {
public:
    using kw::core::Error::Error;
};

class TVerInfoRes {
public:
    enum Key { CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright,
               LegalTrademarks, OriginalFilename, ProductName, ProductVersion, Comments };

    // Loads and checks the version resource of the file, or raises
    // "No Version Info Available." (ENoVerInfoError), "Cannot obtain version
    // info." / "No language info." (EVerInfoError), "No fixed file info"
    // (eNoFixeVerInfo). A name without a directory is looked for beside the
    // running executable first.
    explicit TVerInfoRes(const QString &fileName);

    // The string of that key in the first translation; empty when missing.
    QString GetVersionString(int keyIndex) const;

    QString fileName() const { return fileName_; }
    quint32 translation() const { return translation_; }  // language | code page << 16
    // The fixed record's file version, four 16-bit parts.
    QString fixedFileVersion() const;

    static QString keyName(int keyIndex);

private:
    quint32 handle_ = 0;
    qint32 size_ = 0;
    std::vector<uint8_t> data_;
    quint32 translation_ = 0;
    size_t fixedInfo_ = 0;  // offset of the fixed record within data_
    QString fileName_;
};

QString FileVersionString(const QString &fileName);
// VersionToInt of the "FileVersion" string, 0 when it is empty.
int FileVersionInt(const QString &fileName);
// Removes every "." and converts the rest as a signed 32-bit decimal integer;
// raises "'%s' is not a valid integer value" otherwise. Parts are not weighed.
int VersionToInt(const QString &text);
bool IsOlderVersion(int a, int b);
// Compares two dotted versions part by part, numerically ("2.0.10.0" is
// above "2.0.9.9", "1.9.99.9" below "2.0.0.0"); missing trailing parts count
// as 0. Raises VersionToInt's conversion error for a text that is not a
// dotted number. Negative, zero or positive like a three-way comparison.
int CompareVersions(const QString &a, const QString &b);
// True when release `offered` is newer than release `installed`.
bool IsOlderRelease(const QString &installed, const QString &offered);

// The running program's own file, whose version is the installed release.
QString executableFile();

// "Kitwarden " and the file version of the executable (the running program's
// when empty): the about window's title and both programs' --version.
QString productVersionTitle(const QString &executable = {});

} // namespace kw::update
