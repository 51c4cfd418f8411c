#include "exchange/TextStream.h"

#include <algorithm>
#include <cstring>

namespace exchange
{

size_t WholeUtf8Length(std::string_view bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t lead = n; // one past the last byte that is not a continuation byte
    for (int back = 0; lead > 0 && back < 4 && (b[lead - 1] & 0xC0) == 0x80; ++back)
        --lead;
    if (lead == 0)
        return n;
    const unsigned char c = b[lead - 1];
    const size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    return lead - 1 + length <= n ? n : lead - 1;
}

bool IsValidUtf8File(const platform::CInputFile& file, uint64_t start, size_t blockBytes, bool parallel)
{
    std::string block(blockBytes + 4, '\0');
    size_t carry = 0;
    for (uint64_t offset = start;;)
    {
        const size_t read = file.ReadAt(offset, block.data() + carry, blockBytes);
        offset += read;
        const size_t size = carry + read;
        const std::string_view bytes(block.data(), size);
        const size_t whole = read == 0 ? size : WholeUtf8Length(bytes);
        if (!IsValidUtf8(bytes.substr(0, whole), parallel))
            return false;
        if (read == 0)
            return true;
        carry = size - whole;
        std::memmove(block.data(), block.data() + whole, carry);
    }
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
