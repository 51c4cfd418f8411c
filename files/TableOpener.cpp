#include "files/TableOpener.h"

#include "engine/Table.h"
#include "exchange/ExchangeTexts.h"
#include "exchange/TextEncoding.h"
#include "exchange/TextImporter.h"
#include "files/QtcFile.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <optional>

namespace files
{

namespace
{
constexpr size_t kProposalBytes = 64 * 1024; // the delimiter proposal looks at this much of the file

std::string LowerExtension(const std::filesystem::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}
} // namespace

EFileKind GetFileKind(const std::filesystem::path& path)
{
    const std::string extension = LowerExtension(path);
    if (extension == ".qtc")
        return FILE_QTC;
    if (extension == ".qtx" || extension == ".qtp" || extension == ".qtt")
        return FILE_QTX;
    return FILE_TEXT;
}

void ReadTable(CTable& table, const std::filesystem::path& path, const SOpenRequest& request)
{
    const KString name = platform::FromUtf8(path.string());
    const EFileKind kind = GetFileKind(path);
    if (kind == FILE_QTX)
        throw CKorvalinException(EStatus::NotYetImplemented,
                                 path.string() + ": Korvalin table files cannot be read by this version yet");
    if (kind == FILE_QTC)
    {
        ReadQtcFile(table, path, request.m_read);
        return;
    }
    // A plain file is read by the importer, which may decode it while reading: here only its head is needed.
    // Anything else (a pipe) can be read once only: all of it, now.
    const platform::CInputFile file = exchange::OpenInputFile(table, path);
    std::optional<std::string> all;
    std::string head;
    if (file.IsRegular())
    {
        head = exchange::ReadInputBytes(table, file, path, 0, kProposalBytes);
    }
    else
    {
        all = exchange::ReadWholeInput(table, file, path);
        head = all->substr(0, kProposalBytes);
    }
    const bool wholeHead = all ? head.size() == all->size() : head.size() >= file.GetSize();

    CImportSettings settings = request.m_settings;
    // The mark is looked for always: it wins over the given encoding (a plain open that ignored it would
    // read a UTF-16 file as garbage).
    const exchange::SByteOrderMark mark = exchange::DetectByteOrderMark(head);
    if (mark.m_nEncoding >= 0)
    {
        settings.m_nEncoding = mark.m_nEncoding;
        settings.m_bBOMFound = true;
    }
    else if (request.m_bExplicitImport)
    {
        settings.m_bBOMFound = false;
    }
    if (request.m_bExplicitImport)
    {
        settings.m_bSettingsGiven = true;
        if (!request.m_bDelimiterGiven && !settings.m_bFixedWidth)
        {
            const char16_t proposal = exchange::ProposeDelimiter(path);
            // Decode the head of the file the way the whole file will be decoded.
            CImportSettings probe = settings;
            exchange::CUtf16Buffer text;
            try
            {
                exchange::DecodeText(head, probe, false, text, nullptr);
            }
            catch (const CKorvalinException&)
            {
                text.Resize(0);
            }
            KStringView view = text.View();
            if (!wholeHead)
            {
                // Only whole lines count: drop the cut last one.
                const size_t last = view.find_last_of(u"\r\n");
                view = last == KStringView::npos ? KStringView() : view.substr(0, last + 1);
            }
            const exchange::SDelimiterChoice choice = exchange::ChooseDelimiter(view, proposal, settings.m_cQuote);
            const char16_t taken = choice.m_cDelimiter;
            settings.m_cDelimiter = taken;
            if (taken != proposal)
                table.ShowMessage(
                    choice.m_bProposalSplits ? exchange::TEXT_DELIMITER_UNEVEN : exchange::TEXT_DELIMITER_CHANGED,
                    {platform::FromUtf8(path.filename().string()), exchange::DescribeCharacter(proposal),
                     exchange::DescribeCharacter(taken)});
        }
    }
    if (all)
        exchange::CTextImporter(table).ReadOwnedBytes(std::move(*all), name, settings, request.m_read);
    else
        exchange::CTextImporter(table).ReadFile(file, name, settings, request.m_read);
}

} // namespace files
