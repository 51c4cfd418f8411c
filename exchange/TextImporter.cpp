#include "exchange/TextImporter.h"

#include "engine/Table.h"
#include "exchange/ExchangeTexts.h"
#include "exchange/ImportRun.h"
#include "exchange/ParallelWork.h"
#include "exchange/TextStream.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Resources.h"
#include "platform/System.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <new>

namespace exchange
{

namespace
{

// Bytes decoded at a time when a file is decoded while it is read.
size_t WindowBytes(const SReadOptions& options)
{
    return std::max<size_t>(options.m_nWindowBytes, 4);
}

// Bytes decoded first when a file is decoded while it is read: an eighth of a window (1 MiB by default), enough
// for the names and the first lines (the reader asks for more when a line needs it). The bulk read copies what is
// left of it into its first window, so a small head saves copying megabytes.
size_t HeadBytes(const SReadOptions& options)
{
    return std::max<size_t>(WindowBytes(options) / 8, 4);
}

// Runs work, and beside it builds the table's collation when it sorts by one: values are compared from the
// first piece of a read on, and a first build there would hold up every column.
void BesideCollation(const CTable& table, const CParallelWork& parallel, const std::function<void()>& work)
{
    if (parallel.IsParallel())
        parallel.Both(work, [&table] { table.PrepareCollation(); });
    else
        work();
}

KString FileNameOf(const KString& path)
{
    const size_t slash = path.find_last_of(u'/');
    return slash == KString::npos ? path : path.substr(slash + 1);
}

} // namespace

void CTextImporter::ReadFile(const std::filesystem::path& path, const CImportSettings& settings,
                             const SReadOptions& options)
{
    ReadFile(OpenInputFile(m_table, path), platform::FromUtf8(path.string()), settings, options);
}


void CTextImporter::ReadFile(const platform::CInputFile& file, const KString& fileName, const CImportSettings& settings,
                             const SReadOptions& options)
{
    if (!ReadStreamed(file, fileName, settings, options))
        ReadOwnedBytes(ReadWholeInput(m_table, file, platform::ToUtf8(fileName)), fileName, settings, options);
}

bool CTextImporter::ReadStreamed(const platform::CInputFile& file, const KString& fileName,
                                 const CImportSettings& settings, const SReadOptions& options)
{
    // Only what one record per line reads in bulk, and only UTF-8 (other encodings are decoded whole).
    if (!file.IsRegular() || file.GetSize() < std::max<uint64_t>(options.m_nStreamBytes, 1) ||
        !settings.m_bTransposed || settings.m_bFixedWidth || settings.m_nMaxRecords >= 0)
        return false;
    char start[4] = {};
    const SByteOrderMark mark = DetectByteOrderMark(std::string_view(start, file.ReadAt(0, start, sizeof start)));
    CImportSettings used = settings;
    uint64_t first = 0;
    if (used.m_nEncoding == ENCODING_UTF8)
    {
        first = mark.m_nEncoding == ENCODING_UTF8 ? mark.m_nLength : 0;
    }
    else if (used.m_nEncoding == ENCODING_CODE_PAGE)
    {
        if (used.m_nCodePage <= 0)
            used.m_nCodePage = GetDefaultCodePage();
        if (used.m_nCodePage != CODE_PAGE_UTF8)
            return false;
    }
    else
    {
        return false;
    }
    // A file that is not UTF-8 throughout is read whole, where the fallback to Windows-1252 and the count of
    // invalid sequences are decided before the first line is read.
    const CParallelWork work(m_table.UseMulticores());
    const bool parallel = work.IsParallel();
    bool valid = false;
    const size_t block = std::min<size_t>(WindowBytes(options) * 2, 1u << 20); // copied and checked in the cache
    CPhaseClock clock(options);
    BesideCollation(m_table, work, [&] { valid = IsValidUtf8File(file, first, block, parallel); });
    clock.Done("check");
    if (!valid)
        return false;
    CUtf8FileStream stream(file, first, parallel);
    Read(std::string_view(), nullptr, &stream, fileName, used, options);
    return true;
}

void CTextImporter::ReadBytes(std::string_view bytes, const KString& fileName, const CImportSettings& settings,
                              const SReadOptions& options)
{
    Read(bytes, nullptr, nullptr, fileName, settings, options);
}

void CTextImporter::ReadOwnedBytes(std::string&& bytes, const KString& fileName, const CImportSettings& settings,
                                   const SReadOptions& options)
{
    Read(bytes, &bytes, nullptr, fileName, settings, options);
}

void CTextImporter::Read(std::string_view bytes, std::string* owner, CUtf8FileStream* stream, const KString& fileName,
                         const CImportSettings& settings, const SReadOptions& options)
{
    if (m_table.GetAttributeCount() > 0 || m_table.GetRecordCount() > 0)
        throw CKorvalinException(EStatus::IllegalTableArgument, "a text file can only be read into an empty table");
    const CImportSettings previous = m_table.GetImportSettings();
    const KString previousTitle = m_table.GetTitle();
    CImportSettings used = settings;
    used.m_counters = CImportCounters();
    const CParallelWork work(m_table.UseMulticores());
    const bool parallel = work.IsParallel();

    CUtf16Buffer text;
    bool fellBack = false;
    long invalid = 0;
    try
    {
        if (stream)
            stream->DecodeMore(text, HeadBytes(options)); // the run asks for more
        else
            BesideCollation(m_table, work, [&] { DecodeText(bytes, used, parallel, text, &fellBack, &invalid); });
    }
    catch (const CKorvalinException& e)
    {
        throw CArchiveException(platform::ToUtf8(fileName), 0, 0, e.what());
    }
    if (owner)
    {
        std::string().swap(*owner);
        bytes = std::string_view();
    }
    m_table.SetTitle(FileNameOf(fileName));
    if (fellBack)
        m_table.ShowMessage(TEXT_READ_AS_WINDOWS_1252, {FileNameOf(fileName)});
    if (invalid > 0)
        m_table.ShowMessage(TEXT_INVALID_SEQUENCES, {FileNameOf(fileName), platform::ToKString(invalid)});

    m_table.CreateCheckpoint();
    auto more = [&](KStringView& view)
    {
        if (!stream->DecodeMore(text, WindowBytes(options)))
            return false;
        view = text.View();
        return true;
    };
    CReadRun run(m_table, fileName, used, options, text.View(), stream, more);
    bool textReleased = false;
    CPhaseClock& clock = run.GetPhaseClock();
    try
    {
        if (used.m_bTransposed)
            run.ReadRecordPerLine();
        else
            run.ReadAttributePerLine();
        clock.Done("lines");
        run.Finish();
        // Every value is stored by now: the decoded text (twice the file's size) goes before the analysis
        // needs memory of its own. The run must not look at its text from here on.
        text = CUtf16Buffer();
        textReleased = true;
        clock.Done("finish");
        m_table.QualAllRecords();
        m_table.AnalyzeTable();
        m_table.GetImportSettings() = used;
        m_table.DeleteCheckpoint();
        clock.Done("analyse");
        // The read's passing memory (decoding, merging, sorting) goes back to the system: the table keeps
        // only what it holds.
        platform::ReleaseFreeHeap();
        clock.Done("release");
    }
    catch (...)
    {
        m_table.RestoreCheckpoint();
        m_table.GetImportSettings() = previous;
        m_table.SetTitle(previousTitle);
        try
        {
            throw;
        }
        catch (const CUserException&)
        {
            throw;
        }
        catch (const CArchiveException&)
        {
            throw;
        }
        catch (const std::bad_alloc&)
        {
            throw CArchiveException(platform::ToUtf8(fileName), textReleased ? 0 : run.GetCurrentLine(), 0,
                                    "out of memory");
        }
        catch (const std::exception& e)
        {
            throw CArchiveException(platform::ToUtf8(fileName), textReleased ? 0 : run.GetCurrentLine(), 0, e.what());
        }
    }
}

} // namespace exchange
