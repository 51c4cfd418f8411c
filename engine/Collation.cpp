#include "engine/Collation.h"

#include "engine/Languages.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/System.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/uversion.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <numeric>
#include <optional>
#include <string_view>
#include <tuple>

namespace
{
std::atomic<int> g_sortMode{SORT_COLLATION};

constexpr size_t kCodeUnits = 65536;
constexpr size_t kLegacyMaxBytes = 10000;

} // namespace

void SCollatorCloser::operator()(UCollator* collator) const
{
    ucol_close(collator);
}

namespace
{
// The characters of code page 1252 at bytes 0x80..0x9F (0 where the byte is undefined).
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t FromCodePage1252(unsigned char b)
{
    return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
}

// The base letter ('A'..'Z', or 'Z' + 1 for thorn) of a code page 1252 letter; 0 for a non-letter.
char16_t LegacyBaseLetter(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return static_cast<char16_t>(c - 32);
    if (c >= u'A' && c <= u'Z')
        return c;
    switch (c)
    {
    case 0x0160:
    case 0x0161:
    case 0x00DF:
        return u'S';
    case 0x017D:
    case 0x017E:
        return u'Z';
    case 0x0152:
    case 0x0153:
    case 0x00BA:
        return u'O';
    case 0x0178:
    case 0x00FF:
    case 0x00DD:
    case 0x00FD:
        return u'Y';
    case 0x0192:
        return u'F';
    case 0x00AA:
        return u'A';
    case 0x00C7:
    case 0x00E7:
        return u'C';
    case 0x00D0:
    case 0x00F0:
        return u'D';
    case 0x00D1:
    case 0x00F1:
        return u'N';
    case 0x00DE:
    case 0x00FE:
        return static_cast<char16_t>(u'Z' + 1);
    default:
        break;
    }
    if ((c >= 0x00C0 && c <= 0x00C6) || (c >= 0x00E0 && c <= 0x00E6))
        return u'A';
    if ((c >= 0x00C8 && c <= 0x00CB) || (c >= 0x00E8 && c <= 0x00EB))
        return u'E';
    if ((c >= 0x00CC && c <= 0x00CF) || (c >= 0x00EC && c <= 0x00EF))
        return u'I';
    if ((c >= 0x00D2 && c <= 0x00D6) || c == 0x00D8 || (c >= 0x00F2 && c <= 0x00F6) || c == 0x00F8)
        return u'O';
    if ((c >= 0x00D9 && c <= 0x00DC) || (c >= 0x00F9 && c <= 0x00FC))
        return u'U';
    return 0;
}

struct SLegacyTables
{
    std::array<uint16_t, 256> primary{};
    std::array<uint16_t, 256> secondary{};
};

// The fixed byte weights of the legacy order, built once.
const SLegacyTables& GetLegacyTables()
{
    static const SLegacyTables tables = []
    {
        struct SKey
        {
            int group;     // 0 control, 1 punctuation and symbols, 2 digits, 3 letters
            int base;      // base letter for letters
            int accent;    // 0 for a plain letter, else the lower-case form's code
            int upper;     // 1 for an upper-case letter
            unsigned byte; // the byte itself, last resort
        };
        std::vector<SKey> keys;
        for (unsigned b = 0; b < 256; ++b)
        {
            const char16_t c = FromCodePage1252(static_cast<unsigned char>(b));
            SKey key{1, 0, 0, 0, b};
            const char16_t base = LegacyBaseLetter(c);
            if (b < 0x20 || b == 0x7F || c == 0)
            {
                key.group = 0;
            }
            else if (c >= u'0' && c <= u'9')
            {
                key.group = 2;
            }
            else if (base)
            {
                key.group = 3;
                key.base = base;
                const char16_t lower = static_cast<char16_t>(u_tolower(c));
                key.upper = lower != c ? 1 : 0;
                key.accent = (c < 0x80) ? 0 : lower;
            }
            keys.push_back(key);
        }
        std::sort(keys.begin(), keys.end(),
                  [](const SKey& a, const SKey& b)
                  {
                      return std::tie(a.group, a.base, a.accent, a.upper, a.byte) <
                             std::tie(b.group, b.base, b.accent, b.upper, b.byte);
                  });
        SLegacyTables built;
        int firstOfBase = -1;
        int currentBase = -1;
        for (size_t rank = 0; rank < keys.size(); ++rank)
        {
            const SKey& key = keys[rank];
            built.secondary[key.byte] = static_cast<uint16_t>(rank);
            if (key.group == 3)
            {
                if (key.base != currentBase)
                {
                    currentBase = key.base;
                    firstOfBase = static_cast<int>(rank);
                }
                built.primary[key.byte] = static_cast<uint16_t>(firstOfBase);
            }
            else
            {
                built.primary[key.byte] = static_cast<uint16_t>(rank);
            }
        }
        return built;
    }();
    return tables;
}

// A text in code page 1252, cut at kLegacyMaxBytes.
std::string ToLegacyBytes(const char16_t* text)
{
    std::string bytes;
    for (size_t i = 0; text[i] != 0 && bytes.size() < kLegacyMaxBytes; ++i)
        bytes += static_cast<char>(codepage::ToCodePage1252(text[i]));
    return bytes;
}

int CompareBytes(const std::string& a, const std::string& b, const std::array<uint16_t, 256>& weights)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
    {
        const uint16_t wa = weights[static_cast<unsigned char>(a[i])];
        const uint16_t wb = weights[static_cast<unsigned char>(b[i])];
        if (wa != wb)
            return wa < wb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
} // namespace

CCollation::CCollation(int languageId)
    : m_nLanguageId(languageId), m_secondary(kCodeUnits), m_primary(kCodeUnits), m_base(kCodeUnits)
{
}

std::string CCollation::LocaleForLanguage(int languageId)
{
    if (const CLanguage* language = CLanguage::FindLanguage(languageId))
        return language->GetLocaleName();
    char buffer[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        uloc_getLocaleForLCID(static_cast<uint32_t>(languageId), buffer, static_cast<int32_t>(sizeof buffer), &status);
    if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(sizeof buffer))
        return std::string();
    return std::string(buffer, static_cast<size_t>(length));
}

// Builds the tables by sorting probe strings with the locale's collator:
// 1. For every code unit c two probes: space, c, space, "1" and space, c, space, "2"; when c is ignorable
//    (c, space, space equals two spaces) the leading space of both becomes "i".
// 2. All 131072 probes are sorted by their ICU sort keys (the collator's order; equal keys by code unit).
// 3. Each "1" probe in turn gets the next rank as its character's secondary weight; the base character is
//    the character of the first "1" probe after a "2" probe (the first of its primary class). The digit
//    zero is its own base character.
// 4. The primary weight of a character is the secondary weight of its base character.
// 5. Where the upper-case form of a base character has the same primary weight, it becomes the base.
// 6. The sharp s gets the base character S and the primary weight of s, and so do the other characters of its
//    primary class (the capital sharp s), so that the class stays one.
std::unique_ptr<CCollation> CCollation::Build(int languageId)
{
    const CCollatorPtr collator = OpenCollator(languageId);
    return Build(languageId, collator.get());
}

std::unique_ptr<CCollation> CCollation::Build(int languageId, UCollator* collator)
{
    std::unique_ptr<CCollation> collation(new CCollation(languageId));
    if (!collator)
    {
        // No collator at all: the ordinal order.
        for (size_t c = 0; c < kCodeUnits; ++c)
        {
            collation->m_secondary[c] = collation->m_primary[c] = static_cast<uint16_t>(c);
            collation->m_base[c] = static_cast<char16_t>(c);
        }
        return collation;
    }

    constexpr size_t kProbes = 2 * kCodeUnits;
    std::vector<uint8_t> keys;
    keys.reserve(kProbes * 20);
    std::vector<uint32_t> offsets(kProbes + 1);
    std::vector<uint8_t> buffer(256);
    const UChar twoSpaces[2] = {u' ', u' '};
    for (size_t c = 0; c < kCodeUnits; ++c)
    {
        const UChar unit = static_cast<UChar>(c);
        const UChar alone[3] = {unit, u' ', u' '};
        const bool ignorable = ucol_strcoll(collator, alone, 3, twoSpaces, 2) == UCOL_EQUAL;
        for (int k = 0; k < 2; ++k)
        {
            const UChar probe[4] = {ignorable ? u'i' : u' ', unit, u' ', k == 0 ? u'1' : u'2'};
            int32_t length = ucol_getSortKey(collator, probe, 4, buffer.data(), static_cast<int32_t>(buffer.size()));
            if (length > static_cast<int32_t>(buffer.size()))
            {
                buffer.resize(static_cast<size_t>(length));
                length = ucol_getSortKey(collator, probe, 4, buffer.data(), static_cast<int32_t>(buffer.size()));
            }
            offsets[2 * c + k] = static_cast<uint32_t>(keys.size());
            keys.insert(keys.end(), buffer.begin(), buffer.begin() + length);
        }
    }
    offsets[kProbes] = static_cast<uint32_t>(keys.size());

    // Sorted by the first eight bytes of the keys as one number (most keys differ there), then by the keys.
    struct SProbe
    {
        uint64_t m_nHead;
        uint32_t m_nProbe;
    };
    const auto keyOf = [&](uint32_t probe) { return reinterpret_cast<const char*>(keys.data() + offsets[probe]); };
    std::vector<SProbe> probes(kProbes);
    for (uint32_t p = 0; p < kProbes; ++p)
    {
        uint64_t head = 0;
        const uint8_t* key = keys.data() + offsets[p];
        const uint32_t length = offsets[p + 1] - offsets[p];
        for (uint32_t i = 0; i < 8; ++i)
            head = head << 8 | (i < length ? key[i] : 0);
        probes[p] = SProbe{head, p};
    }
    std::sort(probes.begin(), probes.end(),
              [&](const SProbe& a, const SProbe& b)
              {
                  if (a.m_nHead != b.m_nHead)
                      return a.m_nHead < b.m_nHead;
                  // sort keys end in a zero byte and hold no other
                  const int c = std::strcmp(keyOf(a.m_nProbe), keyOf(b.m_nProbe));
                  return c != 0 ? c < 0 : a.m_nProbe < b.m_nProbe;
              });
    std::vector<uint32_t> order(kProbes);
    for (size_t i = 0; i < kProbes; ++i)
        order[i] = probes[i].m_nProbe;

    bool afterSecondProbe = true;
    char16_t base = 0;
    uint32_t rank = 0;
    for (uint32_t probe : order)
    {
        if (probe & 1)
        {
            afterSecondProbe = true;
            continue;
        }
        const char16_t c = static_cast<char16_t>(probe / 2);
        if (afterSecondProbe)
        {
            base = c;
            afterSecondProbe = false;
        }
        collation->m_secondary[c] = static_cast<uint16_t>(rank++);
        collation->m_base[c] = base;
    }
    collation->m_base[u'0'] = u'0';
    for (size_t c = 0; c < kCodeUnits; ++c)
        collation->m_primary[c] = collation->m_secondary[collation->m_base[c]];
    for (size_t c = 0; c < kCodeUnits; ++c)
    {
        const char16_t b = collation->m_base[c];
        if (b >= 0xD800 && b <= 0xDFFF)
            continue;
        const UChar32 upper = u_toupper(b);
        if (upper != b && upper < 0x10000 && collation->m_primary[upper] == collation->m_primary[b])
            collation->m_base[c] = static_cast<char16_t>(upper);
    }
    // The sharp s and its class (the capital sharp s) join s.
    const uint16_t sharpS = collation->m_primary[0x00DF];
    for (size_t c = 0; c < kCodeUnits; ++c)
    {
        if (collation->m_primary[c] == sharpS)
        {
            collation->m_base[c] = u'S';
            collation->m_primary[c] = collation->m_primary[u's'];
        }
    }
    return collation;
}

const CCollation& CCollation::ForLanguage(int languageId)
{
    static std::mutex lock;
    static std::map<int, std::unique_ptr<CCollation>> built;
    std::lock_guard<std::mutex> guard(lock);
    std::unique_ptr<CCollation>& slot = built[languageId];
    if (!slot)
        slot = LoadOrBuild(languageId, platform::GetUserCacheFolder());
    return *slot;
}

// ---- the tables kept between processes ----
//
// A file per language id: the header (kCacheMagic, the language id, the versions of ICU and of the collator,
// the locale's name and its length), the three tables in the machine's byte order, and a 64-bit FNV-1a sum
// of everything before it. A file that differs in any of these is built again and replaced.

namespace
{
// Its number goes up whenever Build comes to make other tables from the same collator.
constexpr char kCacheMagic[8] = {'K', 'V', 'C', 'O', 'L', 'L', '0', '1'};
constexpr size_t kTableBytes = kCodeUnits * sizeof(uint16_t);

uint64_t Fnv1a(std::string_view bytes)
{
    uint64_t sum = 0xCBF29CE484222325ull;
    for (const char b : bytes)
        sum = (sum ^ static_cast<unsigned char>(b)) * 0x100000001B3ull;
    return sum;
}

template <typename T> void AppendBytes(std::string& out, const T& value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// What a cache file must begin with to serve the collator of the language id.
std::string CacheHeader(int languageId, const std::string& locale, const UCollator* collator)
{
    UVersionInfo icu = {};
    UVersionInfo rules = {};
    u_getVersion(icu);
    ucol_getVersion(collator, rules);
    std::string header(kCacheMagic, sizeof kCacheMagic);
    AppendBytes(header, static_cast<int32_t>(languageId));
    header.append(reinterpret_cast<const char*>(icu), sizeof icu);
    header.append(reinterpret_cast<const char*>(rules), sizeof rules);
    AppendBytes(header, static_cast<uint32_t>(locale.size()));
    header += locale;
    return header;
}
} // namespace

CCollatorPtr CCollation::OpenCollator(int languageId)
{
    UErrorCode status = U_ZERO_ERROR;
    CCollatorPtr collator(ucol_open(LocaleForLanguage(languageId).c_str(), &status));
    if (U_FAILURE(status) || !collator)
    {
        status = U_ZERO_ERROR;
        collator.reset(ucol_open("", &status));
    }
    if (U_FAILURE(status))
        collator.reset();
    return collator;
}

std::filesystem::path CCollation::CacheFileOf(int languageId, const std::filesystem::path& folder)
{
    return folder / ("collation-" + std::to_string(languageId) + ".bin");
}

std::unique_ptr<CCollation> CCollation::LoadOrBuild(int languageId, const std::filesystem::path& folder)
{
    const CCollatorPtr collator = OpenCollator(languageId);
    if (!collator)
        return Build(languageId, nullptr); // the ordinal order costs nothing to build
    const std::string header = CacheHeader(languageId, LocaleForLanguage(languageId), collator.get());
    const std::filesystem::path path = CacheFileOf(languageId, folder);
    const size_t size = header.size() + 3 * kTableBytes + sizeof(uint64_t);
    std::optional<std::string> kept;
    try
    {
        kept = platform::TryReadWholeFile(path);
    }
    catch (const CKorvalinException&)
    {
        kept.reset(); // unreadable: built again below
    }
    if (kept && kept->size() == size && kept->compare(0, header.size(), header) == 0)
    {
        uint64_t sum = 0;
        std::memcpy(&sum, kept->data() + size - sizeof sum, sizeof sum);
        std::unique_ptr<CCollation> collation(new CCollation(languageId));
        const char* table = kept->data() + header.size();
        for (void* to : collation->Tables())
        {
            std::memcpy(to, table, kTableBytes);
            table += kTableBytes;
        }
        // The secondary weights are a permutation of all code units: a second guard beside the sum.
        std::vector<bool> seen(kCodeUnits, false);
        bool permutation = true;
        for (const uint16_t weight : collation->m_secondary)
        {
            permutation = permutation && !seen[weight];
            seen[weight] = true;
        }
        if (permutation && sum == Fnv1a(std::string_view(*kept).substr(0, size - sizeof sum)))
            return collation;
    }
    std::unique_ptr<CCollation> collation = Build(languageId, collator.get());
    std::string bytes = header;
    for (const void* table : collation->Tables())
        bytes.append(static_cast<const char*>(table), kTableBytes);
    AppendBytes(bytes, Fnv1a(bytes));
    try
    {
        std::filesystem::create_directories(folder);
        platform::WriteFileAtomically(path, bytes);
    }
    catch (const std::exception&)
    {
        // Only time is lost: the next process builds the tables again.
    }
    return collation;
}

int CCollation::CompareLegacy(const char16_t* a, const char16_t* b)
{
    const SLegacyTables& tables = GetLegacyTables();
    const std::string bytesA = ToLegacyBytes(a);
    const std::string bytesB = ToLegacyBytes(b);
    const int primary = CompareBytes(bytesA, bytesB, tables.primary);
    return primary != 0 ? primary : CompareBytes(bytesA, bytesB, tables.secondary);
}

int CCollation::CompareOrdinal(const char16_t* a, const char16_t* b)
{
    for (;; ++a, ++b)
    {
        if (*a != *b)
            return *a < *b ? -1 : 1;
        if (*a == 0)
            return 0;
    }
}

void CCollation::SetSortMode(int mode)
{
    g_sortMode.store(mode == SORT_ORDINAL || mode == SORT_LEGACY ? mode : SORT_COLLATION);
}

int CCollation::GetSortMode()
{
    return g_sortMode.load(std::memory_order_relaxed);
}

KString CCollation::GetLanguageAndSorting(int languageId, int userInterfaceLanguageId)
{
    const std::string locale = LocaleForLanguage(languageId);
    const std::string display = LocaleForLanguage(userInterfaceLanguageId);
    UChar name[128] = {};
    UErrorCode status = U_ZERO_ERROR;
    int32_t nameLength = uloc_getDisplayLanguage(locale.c_str(), display.c_str(), name, 128, &status);
    if (U_FAILURE(status) || nameLength > 128)
        nameLength = 0;
    UChar sorting[128] = {};
    status = U_ZERO_ERROR;
    const std::string withKeyword = locale + "@collation=standard";
    int32_t sortingLength =
        uloc_getDisplayKeywordValue(withKeyword.c_str(), "collation", display.c_str(), sorting, 128, &status);
    if (U_FAILURE(status) || sortingLength > 128)
        sortingLength = 0;
    return KString(name, name + nameLength) + u"/" + KString(sorting, sorting + sortingLength);
}

// ---- code pages ----

namespace codepage
{
namespace
{
struct SCodePageRow
{
    int codePage;
    int charSet;
};
constexpr SCodePageRow kRows[] = {{1252, 0},   {1250, 238}, {1253, 161}, {1251, 204}, {1257, 186},
                                  {1254, 162}, {1255, 177}, {1256, 178}, {1258, 163}, {874, 222}};
} // namespace

int GetDefaultCodePage()
{
    return 1252;
}

int GetDefaultCharSet()
{
    return CodePageToCharSet(GetDefaultCodePage());
}

int CodePageToCharSet(int codePage)
{
    for (const SCodePageRow& row : kRows)
    {
        if (row.codePage == codePage)
            return row.charSet;
    }
    return kRows[0].charSet;
}

int CharSetToCodePage(int charSet)
{
    for (const SCodePageRow& row : kRows)
    {
        if (row.charSet == charSet)
            return row.codePage;
    }
    return kRows[0].codePage;
}

int CodePageToComboBoxIndex(int codePage)
{
    for (size_t i = 0; i < std::size(kRows); ++i)
    {
        if (kRows[i].codePage == codePage)
            return static_cast<int>(i);
    }
    return 0;
}

int ComboBoxIndexToCharSet(int index)
{
    if (index < 0 || index >= static_cast<int>(std::size(kRows)))
        return kRows[0].charSet;
    return kRows[index].charSet;
}

unsigned char ToCodePage1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<unsigned char>(c);
    for (int i = 0; i < 32; ++i)
    {
        if (kCp1252High[i] == c)
            return static_cast<unsigned char>(0x80 + i);
    }
    return '?';
}
} // namespace codepage
