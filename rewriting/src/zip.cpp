// zlib's raw deflate, in and out, for the entries of an archive.
#include "zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace rewriting::zip {

namespace {

constexpr std::size_t outStep = 64 * 1024;

Bytef *bytesOf(std::string_view in)
{
    return reinterpret_cast<Bytef *>(const_cast<char *>(in.data()));
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define CONVQVR_CARRYLESS 1
// Every byte of a workbook's sheets passes here twice, read then written:
// folded 64 bytes at a time with carry-less multiplication, where the
// processor has it, the CRC costs a tenth of zlib's tables. `state` is the
// CRC's register, before its final inversion; `size` is 64 or more, and a
// multiple of 16.
#define CARRYLESS __attribute__((target("pclmul,sse4.1")))

// a folded over `by`, onto b.
CARRYLESS __m128i fold(__m128i a, __m128i by, __m128i b)
{
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(a, by, 0x00), b), _mm_clmulepi64_si128(a, by, 0x11));
}

CARRYLESS __m128i load(const char *at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
}

CARRYLESS std::uint32_t folded(const char *bytes, std::size_t size, std::uint32_t state)
{
    // x^k mod P, bit-reflected, for the distances folded over: 512 bits,
    // 128 bits, 64 bits; then P and its Barrett quotient.
    const __m128i by512 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i by128 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i by64 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i barrett = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i lanes[4] = {_mm_xor_si128(load(bytes), _mm_cvtsi32_si128(int(state))), load(bytes + 16),
        load(bytes + 32), load(bytes + 48)};
    std::size_t at = 64;
    for (; size - at >= 64; at += 64) {
        for (std::size_t k = 0; k < 4; ++k)
            lanes[k] = fold(lanes[k], by512, load(bytes + at + 16 * k));
    }
    __m128i x = lanes[0];
    for (std::size_t k = 1; k < 4; ++k)
        x = fold(x, by128, lanes[k]);
    for (; at < size; at += 16)
        x = fold(x, by128, load(bytes + at));
    // 128 bits to 64, then to 32 by Barrett's reduction.
    x = _mm_xor_si128(_mm_srli_si128(x, 8), _mm_clmulepi64_si128(x, by128, 0x10));
    x = _mm_xor_si128(
        _mm_srli_si128(x, 4), _mm_clmulepi64_si128(_mm_and_si128(x, low32), by64, 0x00));
    __m128i q = _mm_clmulepi64_si128(_mm_and_si128(x, low32), barrett, 0x10);
    q = _mm_clmulepi64_si128(_mm_and_si128(q, low32), barrett, 0x00);
    return std::uint32_t(_mm_extract_epi32(_mm_xor_si128(x, q), 1));
}
#endif

} // namespace

std::uint32_t crc(std::uint32_t crc, std::string_view bytes)
{
#ifdef CONVQVR_CARRYLESS
    static const bool carryless
        = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    if (carryless && bytes.size() >= 256) {
        const std::size_t size = bytes.size() & ~std::size_t(15);
        crc = ~folded(bytes.data(), size, ~crc);
        bytes.remove_prefix(size);
    }
#endif
    // zlib takes no bytes at all as a call for the first value.
    if (bytes.empty())
        return crc;
    return std::uint32_t(crc32_z(crc, reinterpret_cast<const Bytef *>(bytes.data()), bytes.size()));
}

struct Inflater::Engine
{
    z_stream stream{};
    bool done = false;
    bool failed = false;
};

Inflater::Inflater()
    : engine(std::make_unique<Engine>())
{
    if (inflateInit2(&engine->stream, -MAX_WBITS) != Z_OK)
        std::abort(); // out of memory, as a failed new would
}

Inflater::~Inflater()
{
    inflateEnd(&engine->stream);
}

void Inflater::reset()
{
    inflateReset(&engine->stream);
    engine->done = engine->failed = false;
}

bool Inflater::ended() const
{
    return engine->done;
}

bool Inflater::broken() const
{
    return engine->failed;
}

std::size_t Inflater::inflate(std::string_view in, std::string &out)
{
    z_stream &stream = engine->stream;
    stream.next_in = bytesOf(in);
    stream.avail_in = uInt(in.size());
    while (!engine->done && !engine->failed && stream.avail_in > 0) {
        const std::size_t had = out.size();
        out.resize(had + outStep);
        stream.next_out = reinterpret_cast<Bytef *>(out.data() + had);
        stream.avail_out = uInt(outStep);
        const int status = ::inflate(&stream, Z_NO_FLUSH);
        out.resize(had + outStep - stream.avail_out);
        engine->done = status == Z_STREAM_END;
        engine->failed = status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR;
    }
    return in.size() - stream.avail_in;
}

struct Deflater::Engine
{
    z_stream stream{};
};

// At zlib's default level, as spreadsheet programs write.
Deflater::Deflater()
    : engine(std::make_unique<Engine>())
{
    if (deflateInit2(
            &engine->stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY)
        != Z_OK)
        std::abort();
}

Deflater::~Deflater()
{
    deflateEnd(&engine->stream);
}

void Deflater::reset()
{
    deflateReset(&engine->stream);
}

void Deflater::deflate(std::string_view in, std::string &out, bool last)
{
    z_stream &stream = engine->stream;
    stream.next_in = bytesOf(in);
    stream.avail_in = uInt(in.size());
    for (;;) {
        const std::size_t had = out.size();
        const std::size_t room = std::max<std::size_t>(outStep, in.size() / 4);
        out.resize(had + room);
        stream.next_out = reinterpret_cast<Bytef *>(out.data() + had);
        stream.avail_out = uInt(room);
        const int status = ::deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        out.resize(had + room - stream.avail_out);
        if (last ? status == Z_STREAM_END : stream.avail_in == 0 && stream.avail_out > 0)
            return;
    }
}

} // namespace rewriting::zip
