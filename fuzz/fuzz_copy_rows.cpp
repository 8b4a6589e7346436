// A line's server's binary copy of an item's values, as libpq hands it over in pieces: whatever
// the bytes, the rows taken and the verdict are the same however the stream is cut.
#include "history/BinaryCopy.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace {

using Opt = std::optional<double>;

struct Row {
    double number;
    Opt low, high;
};

bool SameBits(const Opt& a, const Opt& b)
{
    return a.has_value() == b.has_value() && (!a || std::memcmp(&*a, &*b, sizeof(double)) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    // The first byte: the size of the pieces.
    const size_t piece = 1 + data[0] % 32;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    --size;
    vmx::history::BinaryCopyRows whole, cut;
    std::vector<Row> a, b;
    const bool wholeTaken = whole.Feed(bytes, size, [&a](double x, Opt low, Opt high) {
        a.push_back({x, low, high});
    });
    bool cutTaken = true;
    for (size_t at = 0; at < size && cutTaken; at += piece)
        cutTaken = cut.Feed(bytes + at, std::min(piece, size - at), [&b](double x, Opt low, Opt high) {
            b.push_back({x, low, high});
        });
    if (wholeTaken != cutTaken || whole.ended() != cut.ended() || a.size() != b.size()) __builtin_trap();
    for (size_t i = 0; i < a.size(); ++i)
        if (!SameBits(a[i].number, b[i].number) || !SameBits(a[i].low, b[i].low) ||
            !SameBits(a[i].high, b[i].high))
            __builtin_trap();
    return 0;
}
