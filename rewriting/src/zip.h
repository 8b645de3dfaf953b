// The pieces of a ZIP archive that a spreadsheet is: its records read and
// written in little-endian, and its entries inflated and deflated, by zlib
// where it is at hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace rewriting::zip {

inline constexpr std::uint32_t localSignature = 0x04034b50;
inline constexpr std::uint32_t descriptorSignature = 0x08074b50;
inline constexpr std::uint32_t centralSignature = 0x02014b50;
inline constexpr std::uint32_t endSignature = 0x06054b50;
inline constexpr std::uint32_t zip64EndSignature = 0x06064b50;
inline constexpr std::uint32_t zip64LocatorSignature = 0x07064b50;

inline constexpr std::size_t localSize = 30; // a local header, before its name
inline constexpr std::size_t centralSize = 46;
inline constexpr std::size_t endSize = 22;

// General purpose flags.
inline constexpr std::uint16_t encrypted = 1;
inline constexpr std::uint16_t sizesAfter = 8; // sizes and CRC in a descriptor

inline std::uint32_t read16(std::string_view bytes, std::size_t at)
{
    return std::uint32_t(static_cast<unsigned char>(bytes[at]))
        | std::uint32_t(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

inline std::uint32_t read32(std::string_view bytes, std::size_t at)
{
    return read16(bytes, at) | read16(bytes, at + 2) << 16;
}

inline void write32(std::string &bytes, std::size_t at, std::uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        bytes[at + std::size_t(k)] = char(value >> (8 * k));
}

inline void append32(std::string &bytes, std::uint32_t value)
{
    bytes.append(4, '\0');
    write32(bytes, bytes.size() - 4, value);
}

// The CRC-32 of the archive, `bytes` after those `crc` was of.
std::uint32_t crc(std::uint32_t crc, std::string_view bytes);

inline constexpr std::uint16_t deflated = 8; // the method

// Raw deflate in: the inflated bytes appended, a piece at a time.
class Inflater
{
public:
    Inflater();
    ~Inflater();
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;

    void reset();
    // Inflates from `in` until it is used up or the stream ends; appends to
    // `out` and returns the bytes of `in` used.
    std::size_t inflate(std::string_view in, std::string &out);
    bool ended() const;
    bool broken() const;

private:
    struct Engine;
    std::unique_ptr<Engine> engine;
};

// Raw deflate out.
class Deflater
{
public:
    Deflater();
    ~Deflater();
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    void reset();
    // Appends to `out` what deflating `in` gives; `last` ends the stream.
    void deflate(std::string_view in, std::string &out, bool last);

private:
    struct Engine;
    std::unique_ptr<Engine> engine;
};

} // namespace rewriting::zip
