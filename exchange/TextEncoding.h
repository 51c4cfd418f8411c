#pragma once
// Byte-order marks, code pages and the conversion of whole texts between bytes and UTF-16, for the text
// reader and writer. Code pages other than UTF-8 and UTF-16 go through ICU converters; 8-bit code pages are
// turned into a 256-entry table once, so that reading and writing them is a table lookup and lossless for
// every byte. Threading: every function may be called from any thread.

#include "engine/ImportSettings.h"
#include "platform/Text.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace exchange
{

// A byte-order mark found at the start of some bytes.
struct SByteOrderMark
{
    int32_t m_nEncoding = -1; // an ETextEncoding, -1 when there is no mark
    size_t m_nLength = 0;     // bytes of the mark, 0 when there is none
};

// The mark at the start of bytes, tested in the order 00 00 FE FF (UTF-32 big-endian), FF FE 00 00 (UTF-32
// little-endian), FE FF, FF FE (UTF-16), EF BB BF (UTF-8).
SByteOrderMark DetectByteOrderMark(std::string_view bytes);

// Looks at the first bytes of the file: 1 when a mark was found (and then sets settings.m_nEncoding and
// m_bBOMFound), else 0. A file that cannot be read counts as having no mark.
int GetEncodingFromBOMBytes(const std::filesystem::path& path, CImportSettings& settings);

// The code page this system uses for 8-bit text (UTF-8).
int32_t GetDefaultCodePage();

// True when the code page can be converted (UTF-8, UTF-16 and what ICU knows as windows-N, cpN or ibm-N).
bool IsKnownCodePage(int32_t codePage);

// The code page of a Windows character set (Greek 161 -> 1253 ...; every other set 1252).
int32_t CharSetToCodePage(int32_t charSet);

// Result of decoding bytes to UTF-16.
struct SDecodeResult
{
    long m_nInvalidSequences = 0; // bytes or sequences that were not valid in the encoding (became U+FFFD)
};

// A growable UTF-16 text whose new room is not zero-filled (whole files are decoded into it).
class CUtf16Buffer
{
public:
    CUtf16Buffer() = default;
    CUtf16Buffer(const CUtf16Buffer&) = delete;
    CUtf16Buffer& operator=(const CUtf16Buffer&) = delete;
    CUtf16Buffer(CUtf16Buffer&&) = default;
    CUtf16Buffer& operator=(CUtf16Buffer&&) = default;

    const char16_t* Data() const { return m_pData.get(); }
    char16_t* Data() { return m_pData.get(); }
    size_t Size() const { return m_nSize; }
    KStringView View() const { return KStringView(m_pData.get(), m_nSize); }
    // Makes room for size units (keeping the first Size() units) and sets the size; new units are undefined.
    void Resize(size_t size);
    void Append(KStringView text);

private:
    std::unique_ptr<char16_t[]> m_pData; // m_nCapacity units, the first m_nSize in use
    size_t m_nSize = 0;
    size_t m_nCapacity = 0;
};

// Appends bytes decoded from UTF-8 to out; invalid sequences become U+FFFD and are counted. Splits large
// inputs over parallel tasks when parallel is set.
SDecodeResult DecodeUtf8(std::string_view bytes, CUtf16Buffer& out, bool parallel);

// True when bytes are valid UTF-8 throughout (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view bytes, bool parallel);

// Appends bytes decoded from UTF-16 (big- or little-endian) to out; an odd last byte is counted as invalid.
SDecodeResult DecodeUtf16(std::string_view bytes, bool bigEndian, CUtf16Buffer& out);

// Appends bytes decoded from a code page to out. Throws CKorvalinException (IllegalArgumentValue) for an
// unknown code page.
SDecodeResult DecodeCodePage(std::string_view bytes, int32_t codePage, CUtf16Buffer& out, bool parallel);

// Appends text encoded in encoding (0 code page, 1 UTF-8, 2 UTF-16 BE, 3 UTF-16 LE; others write nothing) to
// out. Characters that the code page cannot hold become its substitute character; returns how many did.
long EncodeText(KStringView text, int32_t encoding, int32_t codePage, std::string& out);

// The byte-order mark of an encoding ("" for code pages).
std::string_view GetByteOrderMark(int32_t encoding);

} // namespace exchange
