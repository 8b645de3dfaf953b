// zlib's raw deflate, in and out, for the entries of an archive.
#include "zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

namespace rewriting::zip {

namespace {

constexpr std::size_t outStep = 64 * 1024;

Bytef *bytesOf(std::string_view in)
{
    return reinterpret_cast<Bytef *>(const_cast<char *>(in.data()));
}

} // namespace

std::uint32_t crc(std::uint32_t crc, std::string_view bytes)
{
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
