#include "exchange/TextDecoding.h"

#include "engine/Table.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Resources.h"

#include <optional>

namespace exchange
{

void DecodeText(std::string_view bytes, CImportSettings& settings, bool parallel, CUtf16Buffer& out, bool* fellBack,
                long* invalid)
{
    if (fellBack)
        *fellBack = false;
    long ignored = 0;
    long& bad = invalid ? *invalid : ignored;
    bad = 0;
    const SByteOrderMark mark = DetectByteOrderMark(bytes);
    auto withoutMark = [&](int32_t encoding)
    {
        if (mark.m_nEncoding == encoding)
            return bytes.substr(mark.m_nLength);
        return bytes;
    };
    switch (settings.m_nEncoding)
    {
    case ENCODING_UTF8:
        bad = DecodeUtf8(withoutMark(ENCODING_UTF8), out, parallel).m_nInvalidSequences;
        return;
    case ENCODING_UTF16_BE:
    case ENCODING_UTF16_LE:
        bad = DecodeUtf16(withoutMark(settings.m_nEncoding), settings.m_nEncoding == ENCODING_UTF16_BE, out)
                  .m_nInvalidSequences;
        return;
    case ENCODING_UTF32_BE:
    case ENCODING_UTF32_LE:
    {
        const std::string_view body = withoutMark(settings.m_nEncoding);
        const auto* p = reinterpret_cast<const unsigned char*>(body.data());
        const bool big = settings.m_nEncoding == ENCODING_UTF32_BE;
        KString text;
        for (size_t i = 0; i + 4 <= body.size(); i += 4)
        {
            uint32_t c = big ? (uint32_t(p[i]) << 24 | uint32_t(p[i + 1]) << 16 | uint32_t(p[i + 2]) << 8 | p[i + 3])
                             : (uint32_t(p[i + 3]) << 24 | uint32_t(p[i + 2]) << 16 | uint32_t(p[i + 1]) << 8 | p[i]);
            if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            {
                c = 0xFFFD;
                ++bad;
            }
            if (c >= 0x10000)
            {
                text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            }
            else
            {
                text += static_cast<char16_t>(c);
            }
        }
        if (body.size() % 4 != 0)
        {
            text += u'\uFFFD'; // a cut last character
            ++bad;
        }
        out.Append(text);
        return;
    }
    default:
        break;
    }
    if (settings.m_nCodePage <= 0)
        settings.m_nCodePage = GetDefaultCodePage();
    if (settings.m_nCodePage == CODE_PAGE_UTF8 && !IsValidUtf8(bytes, parallel))
    {
        // Not UTF-8 after all: the common 8-bit code page keeps every byte, where UTF-8 would lose some.
        settings.m_nCodePage = 1252;
        if (fellBack)
            *fellBack = true;
    }
    bad = DecodeCodePage(bytes, settings.m_nCodePage, out, parallel).m_nInvalidSequences;
}

// ---- input files ----

namespace
{
[[noreturn]] void ThrowCannotRead(CTable& table, const std::filesystem::path& path)
{
    const KString text = FormatResource(1124, {platform::FromUtf8(path.string())});
    table.ShowMessage(SMessage{text, 1124});
    throw CArchiveException(path.string(), 0, 0, platform::ToUtf8(text));
}
} // namespace

platform::CInputFile OpenInputFile(CTable& table, const std::filesystem::path& path)
{
    std::optional<platform::CInputFile> file;
    try
    {
        file = platform::CInputFile::TryOpen(path);
    }
    catch (const CKorvalinException&)
    {
        file.reset();
    }
    if (!file)
        ThrowCannotRead(table, path);
    return std::move(*file);
}

std::string ReadInputBytes(CTable& table, const platform::CInputFile& file, const std::filesystem::path& path,
                           uint64_t offset, size_t bytes)
{
    try
    {
        std::string head(bytes, '\0');
        head.resize(file.ReadAt(offset, head.data(), head.size()));
        return head;
    }
    catch (const CKorvalinException&)
    {
        ThrowCannotRead(table, path);
    }
}

std::string ReadWholeInput(CTable& table, const platform::CInputFile& file, const std::filesystem::path& path)
{
    try
    {
        return file.ReadAll();
    }
    catch (const CKorvalinException&)
    {
        ThrowCannotRead(table, path);
    }
}

std::string ReadInputFile(CTable& table, const std::filesystem::path& path)
{
    return ReadWholeInput(table, OpenInputFile(table, path), path);
}
} // namespace exchange
