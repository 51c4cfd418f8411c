#pragma once
// Large UTF-8 files are decoded while they are read, a block at a time, instead of whole: the decoded text of a
// whole file takes twice the file's size, and the bulk reader needs only the part it is scanning.
// Threading: a stream is used by one thread at a time; the file it reads must outlive it.

#include "exchange/TextEncoding.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace exchange
{

// The length of the longest start of bytes that ends at a character boundary: all of bytes unless its last
// UTF-8 sequence is cut short (a sequence that is not valid anyway counts as whole).
size_t WholeUtf8Length(std::string_view bytes);

// True when the bytes of the file from start on are valid UTF-8; reads blocks of about blockBytes (with parallel,
// parts of the file side by side).
bool IsValidUtf8File(const platform::CInputFile& file, uint64_t start, size_t blockBytes, bool parallel);

class CUtf8FileStream
{
public:
    // Decodes the file from byte start on (after a byte-order mark), up to its size when it was opened.
    CUtf8FileStream(const platform::CInputFile& file, uint64_t start, bool parallel);
    CUtf8FileStream(const CUtf8FileStream&) = delete;
    CUtf8FileStream& operator=(const CUtf8FileStream&) = delete;

    // Nothing is left to decode.
    bool AtEnd() const { return m_nOffset >= m_nSize && m_nCarry == 0; }
    // Decodes about bytes more bytes (whole characters; the rest of the file when less is left), appending them
    // to out. Returns false when nothing was left. Bytes that are not valid UTF-8 (the file changed since it
    // was checked) become U+FFFD.
    bool DecodeMore(CUtf16Buffer& out, size_t bytes);
    // The share of the file decoded so far (0..1).
    double GetShareDecoded() const;
    // About how many UTF-16 units the rest of the file decodes to, judged by what was decoded so far.
    double EstimateUnitsLeft() const;

private:
    const platform::CInputFile& m_file;
    uint64_t m_nStart;         // the first byte decoded
    uint64_t m_nOffset;        // the next byte to read
    uint64_t m_nSize;          // the end of the file
    std::string m_block;       // the bytes being decoded, reused; the first m_nCarry are a cut character
    size_t m_nCarry = 0;       // bytes read but not decoded yet (a character the last read cut)
    bool m_bParallel;          // decode large blocks in parallel tasks
    uint64_t m_nDecoded = 0;   // bytes decoded so far
    uint64_t m_nUnits = 0;     // units they gave
};

} // namespace exchange
