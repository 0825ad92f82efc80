#pragma once
// Block codec: one complete zlib stream per block, CRC-32 of the stored bytes.
// The deflate/inflate states are allocated once per operation and reset for
// every block, so each block is still an independent stream while no block
// pays for allocating and clearing the compressor's tables again.
#include <cstdint>
#include <cstddef>
#include <memory>

namespace kw::archive {

enum class TCompressionLevel { clMaximum, clNormal, clFast, clSuperFast, clNone };
int zlibLevel(TCompressionLevel level);

uint32_t crc32Of(const void *data, size_t n);

class BlockCodec {
public:
    explicit BlockCodec(int level);
    ~BlockCodec();
    BlockCodec(const BlockCodec &) = delete;
    BlockCodec &operator=(const BlockCodec &) = delete;

    enum class Result { Ok, DoesNotFit, Failed };
    // Compresses src into dst (capacity *dstSize); *dstSize becomes the length.
    Result compress(unsigned char *dst, size_t *dstSize, const unsigned char *src, size_t srcSize);
    // Inflates one complete stream; succeeds only when the stream ends within
    // the capacity.
    bool uncompress(unsigned char *dst, size_t *dstSize, const unsigned char *src, size_t srcSize);

private:
    struct State;
    std::unique_ptr<State> d;
    int m_level;
};

} // namespace kw::archive
