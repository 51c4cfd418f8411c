#pragma once
// The decode stage of a text import: the bytes of the input file, and their decoding into UTF-16 as the import
// settings say (byte-order mark, code page through ICU, UTF-8, UTF-16, UTF-32). A large UTF-8 file is decoded
// a window at a time instead (TextStream.h).
// Threading: any thread; DecodeText with parallel starts its own tasks and waits for them.

#include "engine/ImportSettings.h"
#include "exchange/TextEncoding.h"
#include "platform/Text.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

class CTable;

namespace platform
{
class CInputFile;
}

namespace exchange
{

// Input files. A missing or unreadable file (or a folder), and a failed read, show message 1124 through the
// table and throw CArchiveException naming the file.
// The file opened for reading.
platform::CInputFile OpenInputFile(CTable& table, const std::filesystem::path& path);
// Up to bytes bytes of the opened file from offset (fewer at its end; a pipe: from where it stands).
std::string ReadInputBytes(CTable& table, const platform::CInputFile& file, const std::filesystem::path& path,
                           uint64_t offset, size_t bytes);
// All bytes of the opened file (a pipe: the rest of them).
std::string ReadWholeInput(CTable& table, const platform::CInputFile& file, const std::filesystem::path& path);
// All bytes of the file at path.
std::string ReadInputFile(CTable& table, const std::filesystem::path& path);

// Decodes a file's bytes as the settings say (the mark of the settings' encoding is dropped). For code page
// UTF-8 (the default) a text that is not valid UTF-8 is read as Windows-1252; *fellBack then says so and
// settings.m_nCodePage becomes 1252. *invalid (may be null) receives the count of sequences that were not
// valid in an explicitly given encoding (they became U+FFFD). Throws CKorvalinException for an unknown
// code page.
void DecodeText(std::string_view bytes, CImportSettings& settings, bool parallel, CUtf16Buffer& out, bool* fellBack,
                long* invalid = nullptr);

} // namespace exchange
