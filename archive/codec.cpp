#include "archive/codec.h"

#include <zlib.h>

#include <cstring>

namespace kw::archive {

int zlibLevel(TCompressionLevel level)
{
    switch (level) {
    case TCompressionLevel::clMaximum: return 9;
    case TCompressionLevel::clNormal: return Z_DEFAULT_COMPRESSION;
    case TCompressionLevel::clFast: return 5;
    case TCompressionLevel::clSuperFast: return 1;
    case TCompressionLevel::clNone: return 0;
    }
    return 9;
}

uint32_t crc32Of(const void *data, size_t n)
{
    // zlib's crc32 is the reflected 0xEDB88320 CRC with preset and final
    // complement; it processes large buffers several bytes per step.
    uLong c = ::crc32(0L, Z_NULL, 0);
    const auto *p = static_cast<const Bytef *>(data);
    while (n > 0) {
        const uInt chunk = n > 0x40000000u ? 0x40000000u : uInt(n);
        c = ::crc32(c, p, chunk);
        p += chunk;
        n -= chunk;
    }
    return uint32_t(c);
}

struct BlockCodec::State {
    z_stream def{};
    z_stream inf{};
    bool defReady = false;
    bool infReady = false;
    ~State()
    {
        if (defReady)
            deflateEnd(&def);
        if (infReady)
            inflateEnd(&inf);
    }
};

BlockCodec::BlockCodec(int level) : d(std::make_unique<State>()), m_level(level) {}
BlockCodec::~BlockCodec() = default;

BlockCodec::Result BlockCodec::compress(unsigned char *dst, size_t *dstSize, const unsigned char *src,
                                        size_t srcSize)
{
    z_stream &z = d->def;
    if (!d->defReady) {
        if (deflateInit2(&z, m_level, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return Result::Failed;
        d->defReady = true;
    } else if (deflateReset(&z) != Z_OK) {
        return Result::Failed;
    }
    z.next_in = const_cast<Bytef *>(src);
    z.avail_in = uInt(srcSize);
    z.next_out = dst;
    z.avail_out = uInt(*dstSize);
    const int rc = deflate(&z, Z_FINISH);
    if (rc == Z_STREAM_END) {
        *dstSize = z.total_out;
        return Result::Ok;
    }
    // Out of room: the stream would not be smaller than the chunk anyway.
    if (rc == Z_OK || rc == Z_BUF_ERROR)
        return Result::DoesNotFit;
    return Result::Failed;
}

bool BlockCodec::uncompress(unsigned char *dst, size_t *dstSize, const unsigned char *src, size_t srcSize)
{
    z_stream &z = d->inf;
    if (!d->infReady) {
        if (inflateInit(&z) != Z_OK)
            return false;
        d->infReady = true;
    } else if (inflateReset(&z) != Z_OK) {
        return false;
    }
    z.next_in = const_cast<Bytef *>(src);
    z.avail_in = uInt(srcSize);
    z.next_out = dst;
    z.avail_out = uInt(*dstSize);
    const int rc = inflate(&z, Z_FINISH);
    if (rc != Z_STREAM_END)
        return false;
    *dstSize = z.total_out;
    return true;
}

} // namespace kw::archive
