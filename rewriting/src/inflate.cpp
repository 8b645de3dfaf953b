// Deflate (RFC 1951) decoded a symbol at a time: when a piece ends inside a
// symbol or a block's header, the decoder goes back to where that began and
// waits for the next piece.
#include "inflate.h"

namespace rewriting::zip {

namespace {

constexpr std::size_t windowSize = 32 * 1024;

constexpr std::array<short, 29> lengthBase{3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
    35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<short, 29> lengthExtra{
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<short, 30> distanceBase{1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<short, 30> distanceExtra{0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7,
    8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// A canonical code from its lengths; false when it has too many codes.
bool build(SmallInflater::Code &code, const unsigned char *length, int symbols)
{
    code.count.fill(0);
    for (int s = 0; s < symbols; ++s)
        ++code.count[length[s]];
    int left = 1;
    for (int bitsUsed = 1; bitsUsed < 16; ++bitsUsed) {
        left = 2 * left - code.count[std::size_t(bitsUsed)];
        if (left < 0)
            return false;
    }
    std::array<short, 16> offset{};
    for (std::size_t k = 1; k < 15; ++k)
        offset[k + 1] = short(offset[k] + code.count[k]);
    for (int s = 0; s < symbols; ++s) {
        if (length[s])
            code.symbol[std::size_t(offset[length[s]]++)] = short(s);
    }
    return true;
}

} // namespace

std::uint32_t ownCrc(std::uint32_t crc, std::string_view bytes)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> made{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            made[n] = c;
        }
        return made;
    }();
    crc = ~crc;
    for (char b : bytes)
        crc = table[(crc ^ static_cast<unsigned char>(b)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

bool SmallInflater::need(int count)
{
    while (held < count) {
        if (at == input.size())
            return false;
        bits |= std::uint32_t(static_cast<unsigned char>(input[at++])) << held;
        held += 8;
    }
    return true;
}

std::uint32_t SmallInflater::take(int count)
{
    const std::uint32_t value = bits & ((1u << count) - 1);
    bits >>= count;
    held -= count;
    return value;
}

// A symbol, -1 when the input ends first, -2 when no code is it.
int SmallInflater::decode(const Code &code)
{
    int value = 0, first = 0, index = 0;
    for (std::size_t length = 1; length < 16; ++length) {
        if (!need(1))
            return -1;
        value |= int(take(1));
        const int count = code.count[length];
        if (value - count < first)
            return code.symbol[std::size_t(index + value - first)];
        index += count;
        first = (first + count) << 1;
        value <<= 1;
    }
    return -2;
}

// A block's header, whole, or false to wait for more.
bool SmallInflater::header()
{
    if (!need(3))
        return false;
    last = take(1);
    const std::uint32_t type = take(2);
    std::array<unsigned char, 320> length{};
    if (type == 0) {
        take(held % 8);
        if (!need(32))
            return false;
        storedLeft = take(16);
        if ((take(16) ^ 0xFFFF) != storedLeft)
            mode = Mode::Broken;
        else
            mode = Mode::Stored;
        return true;
    }
    if (type == 1) {
        std::fill(length.begin(), length.begin() + 144, 8);
        std::fill(length.begin() + 144, length.begin() + 256, 9);
        std::fill(length.begin() + 256, length.begin() + 280, 7);
        std::fill(length.begin() + 280, length.begin() + 288, 8);
        build(lengths, length.data(), 288);
        std::fill(length.begin(), length.begin() + 30, 5);
        build(distances, length.data(), 30);
        mode = Mode::Codes;
        return true;
    }
    if (type == 3 || !need(14)) {
        mode = type == 3 ? Mode::Broken : mode;
        return type == 3;
    }
    const int literalCount = int(take(5)) + 257, distanceCount = int(take(5)) + 1;
    const int codeCount = int(take(4)) + 4;
    static constexpr std::array<unsigned char, 19> order{
        16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    for (int k = 0; k < codeCount; ++k) {
        if (!need(3))
            return false;
        length[order[std::size_t(k)]] = static_cast<unsigned char>(take(3));
    }
    Code lengthCode;
    if (literalCount > 286 || distanceCount > 30 || !build(lengthCode, length.data(), 19)) {
        mode = Mode::Broken;
        return true;
    }
    length.fill(0);
    for (int k = 0; k < literalCount + distanceCount;) {
        const int symbol = decode(lengthCode);
        if (symbol == -1)
            return false;
        int repeat = 1, value = 0;
        if (symbol < 0 || (symbol == 16 && k == 0)) {
            mode = Mode::Broken;
            return true;
        }
        if (symbol < 16) {
            value = symbol;
        } else {
            const int extra = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
            if (!need(extra))
                return false;
            repeat = (symbol == 18 ? 11 : 3) + int(take(extra));
            value = symbol == 16 ? length[std::size_t(k - 1)] : 0;
        }
        if (k + repeat > literalCount + distanceCount) {
            mode = Mode::Broken;
            return true;
        }
        while (repeat--)
            length[std::size_t(k++)] = static_cast<unsigned char>(value);
    }
    std::array<unsigned char, 30> distance{};
    std::copy(length.begin() + literalCount, length.begin() + literalCount + distanceCount,
        distance.begin());
    if (!build(lengths, length.data(), literalCount) || !build(distances, distance.data(), 30))
        mode = Mode::Broken;
    else
        mode = Mode::Codes;
    return true;
}

void SmallInflater::run()
{
    for (;;) {
        const Mark begun = mark();
        if (mode == Mode::Header) {
            if (!header())
                return back(begun);
        } else if (mode == Mode::Stored) {
            while (storedLeft > 0 && held >= 8) {
                history += char(take(8));
                --storedLeft;
            }
            const std::size_t some = std::min(storedLeft, input.size() - at);
            history.append(input, at, some);
            at += some;
            storedLeft -= some;
            if (storedLeft > 0)
                return;
            mode = last ? Mode::Done : Mode::Header;
        } else if (mode == Mode::Codes) {
            const int symbol = decode(lengths);
            if (symbol == -1)
                return back(begun);
            if (symbol < 0 || symbol > 285) {
                mode = Mode::Broken;
            } else if (symbol < 256) {
                history += char(symbol);
            } else if (symbol == 256) {
                mode = last ? Mode::Done : Mode::Header;
            } else {
                const std::size_t k = std::size_t(symbol - 257);
                if (!need(lengthExtra[k]))
                    return back(begun);
                const std::size_t size = std::size_t(lengthBase[k]) + take(lengthExtra[k]);
                const int d = decode(distances);
                if (d == -1 || (d >= 0 && d < 30 && !need(distanceExtra[std::size_t(d)])))
                    return back(begun);
                if (d < 0 || d >= 30) {
                    mode = Mode::Broken;
                    return;
                }
                const std::size_t distance = std::size_t(distanceBase[std::size_t(d)])
                    + take(distanceExtra[std::size_t(d)]);
                if (distance > history.size()) {
                    mode = Mode::Broken;
                    return;
                }
                for (std::size_t n = 0; n < size; ++n)
                    history += history[history.size() - distance];
            }
        } else {
            return;
        }
    }
}

std::size_t SmallInflater::inflate(std::string_view in, std::string &out)
{
    if (mode == Mode::Done || mode == Mode::Broken)
        return 0;
    input.append(in);
    run();
    out.append(history, shown);
    // What is decoded and out of reach of any distance is let go.
    if (history.size() > 4 * windowSize) {
        history.erase(0, history.size() - windowSize);
    }
    shown = history.size();
    const std::size_t unused = mode == Mode::Done ? input.size() - at : 0;
    input.erase(0, at);
    at = 0;
    return in.size() - unused;
}

void storedBlocks(std::string &pending, std::string_view in, std::string &out, bool last)
{
    constexpr std::size_t most = 0xFFFF;
    pending.append(in);
    std::size_t from = 0;
    while (pending.size() - from >= most || (last && from <= pending.size())) {
        const std::size_t size = std::min(most, pending.size() - from);
        const bool final = last && from + size == pending.size();
        out += char(final ? 1 : 0);
        for (std::uint32_t value : {std::uint32_t(size), std::uint32_t(size ^ 0xFFFF)}) {
            out += char(value & 0xFF);
            out += char(value >> 8 & 0xFF);
        }
        out.append(pending, from, size);
        from += size;
        if (final)
            break;
    }
    pending.erase(0, from);
}

} // namespace rewriting::zip
