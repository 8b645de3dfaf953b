// Where zlib is not at hand (the page): entries inflated by the decoder of
// our own, and deflated as stored blocks.
#include "inflate.h"
#include "zip.h"

namespace rewriting::zip {

std::uint32_t crc(std::uint32_t crc, std::string_view bytes)
{
    return ownCrc(crc, bytes);
}

struct Inflater::Engine
{
    SmallInflater inflater;
};

Inflater::Inflater()
    : engine(std::make_unique<Engine>())
{
}

Inflater::~Inflater() = default;

void Inflater::reset()
{
    engine->inflater.reset();
}

bool Inflater::ended() const
{
    return engine->inflater.ended();
}

bool Inflater::broken() const
{
    return engine->inflater.broken();
}

std::size_t Inflater::inflate(std::string_view in, std::string &out)
{
    return engine->inflater.inflate(in, out);
}

struct Deflater::Engine
{
    std::string pending;
};

Deflater::Deflater()
    : engine(std::make_unique<Engine>())
{
}

Deflater::~Deflater() = default;

void Deflater::reset()
{
    engine->pending.clear();
}

void Deflater::deflate(std::string_view in, std::string &out, bool last)
{
    storedBlocks(engine->pending, in, out, last);
}

} // namespace rewriting::zip
