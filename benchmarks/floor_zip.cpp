// The floor for the workbook benchmark: each entry of the archive on
// standard input inflated, and those that hold the cells (the sheets of an
// .xlsx, the content of an .ods) deflated again at zlib's default level and
// written out, as any program that rewrites a workbook's cells must at least
// do.
#include <zlib.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

std::uint32_t read16(const std::string &bytes, std::size_t at)
{
    return std::uint32_t(static_cast<unsigned char>(bytes[at]))
        | std::uint32_t(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

std::uint32_t read32(const std::string &bytes, std::size_t at)
{
    return read16(bytes, at) | read16(bytes, at + 2) << 16;
}

// Inflates the entry's data a block at a time; with `deflating`, deflates
// each block again and writes it.
bool rewrite(std::string_view data, bool deflating)
{
    z_stream in{}, out{};
    inflateInit2(&in, -MAX_WBITS);
    deflateInit2(&out, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    static unsigned char inflated[256 * 1024], deflated[256 * 1024];
    in.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    in.avail_in = uInt(data.size());
    int status = Z_OK;
    while (status == Z_OK) {
        in.next_out = inflated;
        in.avail_out = sizeof inflated;
        status = inflate(&in, Z_NO_FLUSH);
        if (!deflating)
            continue;
        out.next_in = inflated;
        out.avail_in = uInt(sizeof inflated - in.avail_out);
        const bool last = status != Z_OK;
        int done = Z_OK;
        do {
            out.next_out = deflated;
            out.avail_out = sizeof deflated;
            done = deflate(&out, last ? Z_FINISH : Z_NO_FLUSH);
            if (write(1, deflated, sizeof deflated - out.avail_out) < 0)
                return false;
        } while (out.avail_out == 0 || (last && done != Z_STREAM_END));
    }
    inflateEnd(&in);
    deflateEnd(&out);
    return status == Z_STREAM_END;
}

} // namespace

int main()
{
    std::string file;
    static char block[64 * 1024];
    for (ssize_t got; (got = read(0, block, sizeof block)) > 0;)
        file.append(block, std::size_t(got));
    const std::size_t end = file.rfind("PK\x05\x06");
    if (end == file.npos)
        return 1;
    std::size_t at = read32(file, end + 16);
    for (std::uint32_t k = 0; k < read16(file, end + 10); ++k) {
        const std::string name = file.substr(at + 46, read16(file, at + 28));
        const std::size_t local = read32(file, at + 42);
        const std::size_t data = local + 30 + read16(file, local + 26) + read16(file, local + 28);
        const bool cells = name == "content.xml" || name.starts_with("xl/worksheets/");
        if (read16(file, at + 10) == Z_DEFLATED
            && !rewrite(std::string_view(file).substr(data, read32(file, at + 20)), cells))
            return 1;
        at += 46 + read16(file, at + 28) + read16(file, at + 30) + read16(file, at + 32);
    }
    return 0;
}
