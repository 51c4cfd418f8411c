#include "exchange/TextStream.h"

#include "platform/Parallel.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace exchange
{

namespace
{
// The length of the UTF-8 sequence that the byte begins (1 for a byte that begins none).
size_t SequenceLength(unsigned char c)
{
    return c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
}
} // namespace

size_t WholeUtf8Length(std::string_view bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t lead = n; // one past the last byte that is not a continuation byte
    for (int back = 0; lead > 0 && back < 4 && (b[lead - 1] & 0xC0) == 0x80; ++back)
        --lead;
    if (lead == 0)
        return n;
    return lead - 1 + SequenceLength(b[lead - 1]) <= n ? n : lead - 1;
}

namespace
{
// The first character boundary at or after at: the end of the sequence that begins before at and reaches
// beyond it, else at itself. A valid character is never cut there.
uint64_t CharacterBoundary(const platform::CInputFile& file, uint64_t start, uint64_t at)
{
    if (at <= start)
        return start;
    char before[3] = {};
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(3, at - start));
    const size_t got = file.ReadAt(at - wanted, before, wanted);
    const size_t whole = WholeUtf8Length(std::string_view(before, got));
    if (whole == got)
        return at;
    return at - wanted + whole + SequenceLength(static_cast<unsigned char>(before[whole]));
}

// True when the bytes of the file in [from, to) are valid UTF-8, read a block at a time.
bool IsValidUtf8Range(const platform::CInputFile& file, uint64_t from, uint64_t to, size_t blockBytes)
{
    std::string block(blockBytes + 4, '\0');
    size_t carry = 0;
    for (uint64_t offset = from;;)
    {
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(blockBytes, to - std::min(offset, to)));
        const size_t read = wanted == 0 ? 0 : file.ReadAt(offset, block.data() + carry, wanted);
        offset += read;
        const size_t size = carry + read;
        const std::string_view bytes(block.data(), size);
        const size_t whole = read == 0 ? size : WholeUtf8Length(bytes);
        if (!IsValidUtf8(bytes.substr(0, whole), false))
            return false;
        if (read == 0)
            return true;
        carry = size - whole;
        std::memmove(block.data(), block.data() + whole, carry);
    }
}
} // namespace

bool IsValidUtf8File(const platform::CInputFile& file, uint64_t start, size_t blockBytes, bool parallel)
{
    blockBytes = std::max<size_t>(blockBytes, 4);
    const uint64_t end = std::max(file.GetSize(), start);
    // Parts of the file side by side, each cut where no character is: reading a part copies it from the
    // system's cache, which would take as long as checking it.
    const uint64_t parts = parallel ? std::clamp<uint64_t>((end - start) / blockBytes, 1,
                                                           2 * static_cast<uint64_t>(platform::GetProcessorCount()))
                                    : 1;
    std::vector<uint64_t> cuts(parts + 1, end);
    cuts[0] = start;
    for (uint64_t k = 1; k < parts; ++k)
        cuts[k] = std::clamp(CharacterBoundary(file, start, start + (end - start) * k / parts), cuts[k - 1], end);
    if (parts == 1)
        return IsValidUtf8Range(file, start, end, blockBytes);
    std::vector<char> valid(parts, 0);
    platform::ParallelFor(0, parts, 1,
                          [&](size_t first, size_t last)
                          {
                              for (size_t k = first; k < last; ++k)
                                  valid[k] = IsValidUtf8Range(file, cuts[k], cuts[k + 1], blockBytes);
                          });
    return std::all_of(valid.begin(), valid.end(), [](char v) { return v != 0; });
}

CUtf8FileStream::CUtf8FileStream(const platform::CInputFile& file, uint64_t start, bool parallel)
    : m_file(file), m_nStart(start), m_nOffset(start), m_nSize(file.GetSize()), m_bParallel(parallel)
{
}

bool CUtf8FileStream::DecodeMore(CUtf16Buffer& out, size_t bytes)
{
    if (AtEnd())
        return false;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(bytes, m_nSize - std::min(m_nOffset, m_nSize)));
    if (m_block.size() < m_nCarry + wanted)
        m_block.resize(m_nCarry + wanted);
    const size_t read = m_file.ReadAt(m_nOffset, m_block.data() + m_nCarry, wanted);
    m_nOffset += read;
    if (read < wanted)
        m_nSize = m_nOffset; // the file shrank: its end is here
    const std::string_view block(m_block.data(), m_nCarry + read);
    const size_t whole = m_nOffset >= m_nSize ? block.size() : WholeUtf8Length(block);
    const size_t before = out.Size();
    (void)DecodeUtf8(block.substr(0, whole), out, m_bParallel);
    m_nDecoded += whole;
    m_nUnits += out.Size() - before;
    m_nCarry = block.size() - whole;
    std::memmove(m_block.data(), m_block.data() + whole, m_nCarry);
    return true;
}

double CUtf8FileStream::GetShareDecoded() const
{
    const uint64_t total = m_nSize - std::min(m_nStart, m_nSize);
    return total == 0 ? 1.0 : static_cast<double>(m_nDecoded) / static_cast<double>(total);
}

double CUtf8FileStream::EstimateUnitsLeft() const
{
    const double left = static_cast<double>(m_nSize - std::min(m_nOffset, m_nSize) + m_nCarry);
    return m_nDecoded == 0 ? left : left * static_cast<double>(m_nUnits) / static_cast<double>(m_nDecoded);
}

} // namespace exchange
