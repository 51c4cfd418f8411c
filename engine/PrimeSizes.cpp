#include "engine/PrimeSizes.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace
{

// Ascending; the gaps grow with the size so that a hash is never more than about twice too large.
constexpr uint32_t s_aPrimes[] = {
    113,       229,       409,       541,       809,       1013,      2053,      3511,       4057,      5003,
    6053,      7103,      8111,      9631,      10007,     11777,     13007,     15073,      17971,     20071,
    22039,     24877,     27827,     28649,     33023,     39857,     44017,     49999,      57773,     68777,
    94777,     110777,    147779,    181777,    232777,    299777,    377711,    400009,     500009,    600011,
    700001,    800011,    900001,    1000003,   1250003,   1500007,   1750009,   2000003,    2500009,   3000017,
    3500017,   4000037,   5000011,   6000011,   7000003,   8000009,   9000011,   10000019,   11000027,  12000017,
    13000027,  14000029,  15000017,  16000057,  17000023,  18000041,  19000013,  20000003,   25000009,  30000001,
    35000011,  40000003,  50000017,  60000011,  70000027,  80000023,  100000007, 122949829,  141650963, 160481219,
    179424691, 198491329, 217645199, 236887699, 256203221, 275604547, 295075153, 314606891,  334214467, 353868019,
    373587911, 393342743, 413158523, 433024253, 452930477, 472882049, 492876863, 512927377,  533000401, 573259433,
    613651369, 654188429, 715225741, 776531419, 838041647, 899809363, 961748941, 1000000007,
};

static_assert(std::is_sorted(std::begin(s_aPrimes), std::end(s_aPrimes)));

} // namespace

size_t PrimeHashSize(size_t n)
{
    const size_t nTenth = n / 10;
    const size_t m = n > SIZE_MAX - nTenth ? SIZE_MAX : n + nTenth;
    const auto* it = std::lower_bound(std::begin(s_aPrimes), std::end(s_aPrimes), m,
                                      [](uint32_t prime, size_t wanted) { return prime < wanted; });
    return it != std::end(s_aPrimes) ? *it : m;
}
