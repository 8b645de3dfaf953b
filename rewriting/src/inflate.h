// Deflate read and written with no library, where zlib is not at hand (the
// page): a decoder that takes its input in pieces of any size, and an
// encoder that writes stored blocks, larger but read by every program.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace rewriting::zip {

std::uint32_t ownCrc(std::uint32_t crc, std::string_view bytes);

class SmallInflater
{
public:
    // As zlib's inflate: the bytes of `in` used, the output appended.
    std::size_t inflate(std::string_view in, std::string &out);
    bool ended() const { return mode == Mode::Done; }
    bool broken() const { return mode == Mode::Broken; }
    void reset() { *this = SmallInflater(); }

    struct Code
    {
        std::array<short, 16> count{};
        std::array<short, 320> symbol{};
    };

private:
    enum class Mode { Header, Stored, Codes, Done, Broken };
    struct Mark
    {
        std::size_t at;
        std::uint32_t bits;
        int held;
        Mode mode;
    };

    bool need(int count);
    std::uint32_t take(int count);
    int decode(const Code &code);
    bool header();
    void run();
    Mark mark() const { return {at, bits, held, mode}; }
    void back(const Mark &m) { at = m.at, bits = m.bits, held = m.held, mode = m.mode; }

    std::string input; // what is not yet decoded, from `at`
    std::size_t at = 0;
    std::uint32_t bits = 0;
    int held = 0;
    Mode mode = Mode::Header;
    bool last = false;
    std::size_t storedLeft = 0;
    Code lengths, distances;
    std::string history; // the output, its last 32 KiB at least
    std::size_t shown = 0;
};

// Stored blocks, with nothing compressed.
void storedBlocks(std::string &pending, std::string_view in, std::string &out, bool last);

} // namespace rewriting::zip
