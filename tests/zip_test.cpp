// What the archives' code does itself, against zlib: the page's own deflate
// decoder and stored-block writer (whatever zlib writes, in pieces of any
// size, is read back exactly; what is damaged is never taken for a whole
// stream), and the folded CRC.
#include "inflate.h"
#include "zip.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

namespace {

using rewriting::zip::SmallInflater;

std::string zlibDeflated(const std::string &data, int level, int strategy)
{
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 9, strategy);
    std::string out(deflateBound(&stream, uLong(data.size())) + 64, '\0'); // stored: a little over
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string zlibInflated(const std::string &deflated)
{
    z_stream stream{};
    inflateInit2(&stream, -MAX_WBITS);
    std::string out(1 << 20, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(deflated.data()));
    stream.avail_in = uInt(deflated.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int status = inflate(&stream, Z_FINISH);
    out.resize(status == Z_STREAM_END ? stream.total_out : 0);
    inflateEnd(&stream);
    return status == Z_STREAM_END ? out : "(broken)";
}

// Fed `piece` bytes at a time: what comes out, and the bytes taken.
std::pair<std::string, std::size_t> ours(
    SmallInflater &inflater, const std::string &in, std::size_t piece)
{
    std::string out;
    std::size_t taken = 0;
    for (std::size_t at = 0; at < in.size() && !inflater.ended() && !inflater.broken(); at += piece)
        taken += inflater.inflate(std::string_view(in).substr(at, piece), out);
    return {out, taken};
}

// Like a sheet's XML, with long repeats and far ones; noise; one byte.
std::string sample(int kind, std::size_t size, std::mt19937 &random)
{
    std::string data;
    while (data.size() < size) {
        if (kind == 0)
            data += "<c r=\"C" + std::to_string(random() % 100000) + "\" t=\"s\"><v>"
                + std::to_string(random() % 70) + "</v></c>";
        else
            data += char(kind == 1 ? random() : 'x');
    }
    data.resize(size);
    return data;
}

TEST(OwnInflate, ReadsWhatZlibWritesInPiecesOfAnySize)
{
    std::mt19937 random(7);
    const std::string tail = "PK\x07\x08 what follows the entry";
    for (int kind : {0, 1, 2}) {
        for (std::size_t size : {0u, 1u, 300u, 200000u}) {
            const std::string data = sample(kind, size, random);
            for (auto [level, strategy] :
                {std::pair{0, Z_DEFAULT_STRATEGY}, {1, Z_DEFAULT_STRATEGY}, {9, Z_DEFAULT_STRATEGY},
                    {6, Z_FIXED}, {6, Z_HUFFMAN_ONLY}, {6, Z_RLE}}) {
                const std::string deflated = zlibDeflated(data, level, strategy);
                for (std::size_t piece : {std::size_t(1), std::size_t(5), std::size_t(4096),
                         deflated.size() + tail.size()}) {
                    SCOPED_TRACE(testing::Message()
                        << "kind " << kind << " size " << size << " level " << level << " strategy "
                        << strategy << " piece " << piece);
                    if (piece == 1 && size > 300)
                        continue;
                    SmallInflater inflater;
                    const auto [out, taken] = ours(inflater, deflated + tail, piece);
                    EXPECT_TRUE(inflater.ended());
                    EXPECT_EQ(taken, deflated.size()); // the tail is left to the archive
                    EXPECT_TRUE(out == data);
                }
            }
        }
    }
}

TEST(OwnInflate, DamageIsNeverAWholeStream)
{
    std::mt19937 random(11);
    const std::string deflated = zlibDeflated(sample(0, 5000, random), 9, Z_DEFAULT_STRATEGY);
    struct Case
    {
        std::string in;
        bool broken; // or else waiting for more
    } cases[] = {
        {deflated.substr(0, deflated.size() / 2), false},
        {deflated.substr(0, deflated.size() - 1), false},
        {"\x07", true},                                 // a block of the type that does not exist
        {std::string("\x01\x05\x00\x00\x00", 5), true}, // stored, its length and check disagree
        {std::string("\x03\x02\x00", 3), true},         // fixed codes: a distance before any byte
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "case of " << c.in.size() << " bytes");
        SmallInflater inflater;
        ours(inflater, c.in, 3);
        EXPECT_FALSE(inflater.ended());
        EXPECT_EQ(inflater.broken(), c.broken);
    }
}

TEST(OwnInflate, StoredBlocksAndTheChecksumAsZlibReadsThem)
{
    std::mt19937 random(13);
    for (std::size_t size : {0u, 1u, 65535u, 65536u, 200001u}) {
        const std::string data = sample(1, size, random);
        std::string pending, out;
        for (std::size_t at = 0; at < size; at += 40000)
            rewriting::zip::storedBlocks(
                pending, std::string_view(data).substr(at, 40000), out, false);
        rewriting::zip::storedBlocks(pending, {}, out, true);
        EXPECT_TRUE(zlibInflated(out) == data) << size;
        EXPECT_EQ(rewriting::zip::ownCrc(0, data),
            crc32_z(0, reinterpret_cast<const Bytef *>(data.data()), data.size()));
    }
}

// Every length about the fold's steps, at every alignment, in pieces.
TEST(Crc, FoldedAsZlibComputesIt)
{
    std::mt19937 random(17);
    const std::string data = sample(1, 5000, random);
    for (std::size_t size : {0u, 15u, 255u, 256u, 257u, 271u, 320u, 1000u, 4099u}) {
        for (std::size_t from : {0u, 1u, 7u}) {
            const std::string_view bytes = std::string_view(data).substr(from, size);
            const auto expected = std::uint32_t(
                crc32_z(0, reinterpret_cast<const Bytef *>(bytes.data()), bytes.size()));
            EXPECT_EQ(rewriting::zip::crc(0, bytes), expected) << size << " from " << from;
            const std::size_t half = size / 2;
            EXPECT_EQ(rewriting::zip::crc(
                          rewriting::zip::crc(0, bytes.substr(0, half)), bytes.substr(half)),
                expected)
                << size << " in two";
        }
    }
}

} // namespace
