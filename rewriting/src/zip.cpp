// zlib's raw deflate, in and out, for the entries of an archive.
#include "zip.h"

#include <new>

namespace rewriting::zip {

namespace {

constexpr std::size_t outStep = 64 * 1024;

Bytef *bytesOf(std::string_view in)
{
    return reinterpret_cast<Bytef *>(const_cast<char *>(in.data()));
}

} // namespace

Inflater::Inflater()
{
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        throw std::bad_alloc();
}

Inflater::~Inflater()
{
    inflateEnd(&stream);
}

void Inflater::reset()
{
    inflateReset(&stream);
    done = failed = false;
}

std::size_t Inflater::inflate(std::string_view in, std::string &out)
{
    stream.next_in = bytesOf(in);
    stream.avail_in = uInt(in.size());
    while (!done && !failed && stream.avail_in > 0) {
        const std::size_t had = out.size();
        out.resize(had + outStep);
        stream.next_out = reinterpret_cast<Bytef *>(out.data() + had);
        stream.avail_out = uInt(outStep);
        const int status = ::inflate(&stream, Z_NO_FLUSH);
        out.resize(had + outStep - stream.avail_out);
        done = status == Z_STREAM_END;
        failed = status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR;
    }
    return in.size() - stream.avail_in;
}

Deflater::Deflater()
{
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY)
        != Z_OK)
        throw std::bad_alloc();
}

Deflater::~Deflater()
{
    deflateEnd(&stream);
}

void Deflater::reset()
{
    deflateReset(&stream);
}

void Deflater::deflate(std::string_view in, std::string &out, bool last)
{
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
