// The version resource: an executable file whose ".kwversion" section holds
// the version block, or a bare block. The file goes through the version
// reader as the about window and the update check use it; the block through
// the sub-block lookup with the paths the reader asks for.
#include "fuzzsupport.h"

#include "settings/convert.h"
#include "update/verinfo.h"
#include "update/versionblock.h"

#include <cstring>
#include <stdexcept>

using namespace kw::update;

static void queryBlock(const std::vector<uint8_t> &block)
{
    if (!isVersionBlock(block))
        return;
    static const std::u16string paths[] = {u"\\", u"\\VarFileInfo\\Translation",
                                           u"\\StringFileInfo\\040904E4\\FileVersion",
                                           u"\\StringFileInfo\\040904e4\\ProductName", u"\\StringFileInfo",
                                           u"\\\\", u""};
    for (const auto &p : paths)
        if (const auto v = queryVersionValue(block, p))
            kwfuzz::consume(QByteArray(reinterpret_cast<const char *>(v->data()), qsizetype(v->size())));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<uint8_t> bytes(data, data + size);
    const ReadAt readAt = [&bytes](uint64_t offset, size_t len, uint8_t *out) {
        if (offset > bytes.size() || len > bytes.size() - offset)
            return false;
        if (len)
            std::memcpy(out, bytes.data() + offset, len);
        return true;
    };
    const auto section = elfSection(readAt, kVersionSection);
    queryBlock(section ? *section : bytes);

    const QString path = kwfuzz::scratchDir() + QStringLiteral("/program");
    kwfuzz::writeFile(path, QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    try {
        const TVerInfoRes res(path);
        for (int k = 0; k < 10; ++k)
            kwfuzz::consume(res.GetVersionString(k));
        kwfuzz::consume(res.fixedFileVersion());
        const QString version = FileVersionString(path);
        kwfuzz::note(QStringLiteral("version %1, fixed %2").arg(version, res.fixedFileVersion()));
        (void)IsOlderRelease(QStringLiteral("2.0.0.0"), version);
        (void)FileVersionInt(path);
    } catch (const kw::settings::EConvertError &e) {
        kwfuzz::note(e.message());
    } catch (const std::runtime_error &e) {
        kwfuzz::note(QString::fromUtf8(e.what()));
    }
    return 0;
}
