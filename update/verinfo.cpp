#include "update/verinfo.h"
#include "update/versionblock.h"
#include "settings/convert.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace kw::update {

static const char *const kKeyNames[] = {"CompanyName", "FileDescription", "FileVersion", "InternalName",
                                        "LegalCopyright", "LegalTrademarks", "OriginalFilename",
                                        "ProductName", "ProductVersion", "Comments"};

QString TVerInfoRes::keyName(int k)
{
    return (k >= 0 && k < 10) ? QString::fromLatin1(kKeyNames[k]) : QString();
}

[[maybe_unused]] static std::u16string toU16(const QString &s)
{
    return std::u16string(reinterpret_cast<const char16_t *>(s.utf16()), size_t(s.size()));
}

static std::optional<std::vector<uint8_t>> query(const std::vector<uint8_t> &data, const QString &path)
{
#ifdef Q_OS_WIN
    void *p = nullptr;
    UINT len = 0;
    const std::wstring w = path.toStdWString();
    if (!VerQueryValueW(data.data(), w.c_str(), &p, &len) || !p)
        return std::nullopt;
    const bool text = path.startsWith(QStringLiteral("\\StringFileInfo"), Qt::CaseInsensitive);
    const uint8_t *b = static_cast<const uint8_t *>(p);
    return std::vector<uint8_t>(b, b + (text ? len * 2 : len));
#else
    return queryVersionValue(data, toU16(path));
#endif
}

static QString locate(const QString &fileName)
{
    if (fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')))
        return fileName;
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(fileName);
    return QFileInfo::exists(beside) ? beside : fileName;
}

TVerInfoRes::TVerInfoRes(const QString &fileName) : fileName_(fileName)
{
    const QString path = locate(fileName);
#ifdef Q_OS_WIN
    DWORD handle = 0;
    const std::wstring w = QDir::toNativeSeparators(path).toStdWString();
    const DWORD size = GetFileVersionInfoSizeW(w.c_str(), &handle);
    handle_ = handle;
    size_ = qint32(size);
    if (size_ <= 0)
        throw ENoVerInfoError(QStringLiteral("No Version Info Available."));
    data_.resize(size_t(size_));
    if (!GetFileVersionInfoW(w.c_str(), handle, size, data_.data()))
        throw EVerInfoError(QStringLiteral("Cannot obtain version info."));
#else
    QFile f(path);
    std::optional<std::vector<uint8_t>> block;
    if (f.open(QIODevice::ReadOnly)) {
        block = elfSection(
            [&f](uint64_t offset, size_t len, uint8_t *out) {
                return f.seek(qint64(offset)) && f.read(reinterpret_cast<char *>(out), qint64(len)) == qint64(len);
            },
            kVersionSection);
    }
    if (!block || block->empty())
        throw ENoVerInfoError(QStringLiteral("No Version Info Available."));
    size_ = qint32(block->size());
    data_ = std::move(*block);
    if (!isVersionBlock(data_))
        throw EVerInfoError(QStringLiteral("Cannot obtain version info."));
#endif
    const auto translation = query(data_, QStringLiteral("\\VarFileInfo\\Translation"));
    if (!translation || translation->size() < 4)
        throw EVerInfoError(QStringLiteral("No language info."));
    const uint8_t *t = translation->data();
    translation_ = qFromLittleEndian<quint32>(t);

    const auto fixed = query(data_, QStringLiteral("\\"));
    if (!fixed || fixed->size() < 52)
        throw eNoFixeVerInfo(QStringLiteral("No fixed file info"));
    // Find the record inside the data: it follows the root key.
    const auto it = std::search(data_.begin(), data_.end(), fixed->begin(), fixed->end());
    fixedInfo_ = size_t(it - data_.begin());
}

QString TVerInfoRes::GetVersionString(int keyIndex) const
{
    const QString path = QString::asprintf("\\StringFileInfo\\%.4X%.4X\\", translation_ & 0xFFFF,
                                           translation_ >> 16)
                         + keyName(keyIndex);
    const auto v = query(data_, path);
    if (!v)
        return {};
    QString s;
    for (size_t i = 0; i + 1 < v->size(); i += 2) {
        const char16_t c = char16_t(qFromLittleEndian<quint16>(v->data() + i));
        if (c == 0)
            break;
        s.append(QChar(c));
    }
    return s;
}

QString TVerInfoRes::fixedFileVersion() const
{
    auto dword = [&](size_t at) { return qFromLittleEndian<quint32>(data_.data() + fixedInfo_ + at); };
    if (fixedInfo_ + 52 > data_.size())
        return {};
    const quint32 ms = dword(8), ls = dword(12);
    return QStringLiteral("%1.%2.%3.%4").arg(ms >> 16).arg(ms & 0xFFFF).arg(ls >> 16).arg(ls & 0xFFFF);
}

QString FileVersionString(const QString &fileName)
{
    return TVerInfoRes(fileName).GetVersionString(TVerInfoRes::FileVersion);
}

int FileVersionInt(const QString &fileName)
{
    const QString v = TVerInfoRes(fileName).GetVersionString(TVerInfoRes::FileVersion);
    return v.isEmpty() ? 0 : VersionToInt(v);
}

int VersionToInt(const QString &text)
{
    QString digits = text;
    digits.remove(QLatin1Char('.'));
    return kw::settings::StrToInt(digits);
}

bool IsOlderVersion(int a, int b)
{
    return a < b;
}

// The numbers between the dots. Gluing the parts together (VersionToInt)
// loses their weight: "1.9.99.9" would pass "2.0.0.0".
static QList<qint64> versionParts(const QString &text)
{
    VersionToInt(text);  // the same conversion error for a text that is no dotted number
    QList<qint64> parts;
    for (const QString &part : text.split(QLatin1Char('.'))) {
        qint64 value = 0;
        try {
            if (!part.trimmed().isEmpty())
                value = kw::settings::StrToInt(part);
        } catch (const kw::settings::EConvertError &) {
            value = 0;  // a lone sign between dots
        }
        parts << value;
    }
    return parts;
}

int CompareVersions(const QString &a, const QString &b)
{
    const QList<qint64> pa = versionParts(a), pb = versionParts(b);
    for (qsizetype i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        const qint64 x = pa.value(i, 0), y = pb.value(i, 0);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

bool IsOlderRelease(const QString &installed, const QString &offered)
{
    return CompareVersions(installed, offered) < 0;
}

QString executableFile()
{
    return QCoreApplication::applicationFilePath();
}

QString productVersionTitle(const QString &executable)
{
    return QStringLiteral("Kitwarden ") + FileVersionString(executable.isEmpty() ? executableFile() : executable);
}

} // namespace kw::update
