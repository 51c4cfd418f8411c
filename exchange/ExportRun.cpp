#include "exchange/ExportRun.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "exchange/ParallelWork.h"
#include "exchange/TextEncoding.h"
#include "exchange/ExchangeTexts.h"
#include "platform/Error.h"
#include "platform/Resources.h"

#include <algorithm>

namespace exchange
{

CExportRun::CExportRun(CTable& table, const SExportOptions& options, const KString& fileName)
    : m_table(table), m_options(options), m_strFileName(fileName)
{
    const int32_t encoding = options.m_nEncoding;
    m_format.m_nCodePage =
        encoding == 0 ? (options.m_nCodePage > 0 ? options.m_nCodePage : GetDefaultCodePage()) : options.m_nCodePage;
    if (encoding == 0 && !IsKnownCodePage(m_format.m_nCodePage))
        ThrowBadSetting(3546, {std::to_string(m_format.m_nCodePage)});
    m_format.m_bUtf8 = encoding == 1 || (encoding == 0 && m_format.m_nCodePage == 65001);
    if (encoding < 0 || encoding > 3)
        ThrowBadSetting(3550, {std::to_string(encoding)});
    m_format.m_cDelimiter = options.m_cDelimiter;
    m_format.m_cQuote = options.m_cQuote;
    m_format.m_nEncoding = encoding;
}

void CExportRun::ChooseColumns()
{
    const bool importLayout = m_options.m_bImportLayout;
    std::vector<CAttribute*> attributes = GetAttributesToWrite(m_table, m_options.m_bAllRecords, importLayout);
    if (!importLayout)
    {
        for (CAttribute* attribute : attributes)
            m_columns.push_back({attribute, attribute->GetName(), {}});
        return;
    }
    std::vector<CAttribute*> imported;
    std::vector<CAttribute*> leftOut;
    for (CAttribute* attribute : attributes)
    {
        if (attribute->GetImportIndex() > 0)
            imported.push_back(attribute);
        else if (!attribute->IsDerived())
            leftOut.push_back(attribute);
    }
    std::stable_sort(imported.begin(), imported.end(),
                     [](const CAttribute* a, const CAttribute* b)
                     { return a->GetImportIndex() < b->GetImportIndex(); });
    long next = 1;
    for (CAttribute* attribute : imported)
    {
        for (; next < attribute->GetImportIndex(); ++next)
            m_columns.push_back({nullptr, u"???", {}});
        m_columns.push_back({attribute, attribute->GetImportNameOrName(), {}});
        next = std::max(next, attribute->GetImportIndex() + 1);
    }
    for (; next <= m_table.GetImportSettings().m_nImportedColumns; ++next)
        m_columns.push_back({nullptr, u"???", {}});
    if (!leftOut.empty())
    {
        const CImportSettings& source = m_table.GetImportSettings();
        KString text = FormatResource(2196, {source.m_strImportFileName});
        for (size_t i = 0; i < leftOut.size() && i < 30; ++i)
            text += u"\r\n   - " + leftOut[i]->GetName();
        if (leftOut.size() > 30)
            text += u"\r\n   ... ";
        m_table.ShowMessage(SMessage{text, 2196});
    }
}

std::string CExportRun::MakeHead()
{
    const char16_t delimiter = m_format.m_cDelimiter;
    const char16_t quote = m_format.m_cQuote;
    std::string out;
    if (m_options.m_bWriteBOM)
        out += GetByteOrderMark(m_format.m_nEncoding);
    if (!m_options.m_bWriteNames)
        return out;
    bool nameWarning = false;
    KString unquotedName;
    for (size_t k = 0; k < m_columns.size(); ++k)
    {
        if (k > 0)
            out += m_format.m_strDelimiter;
        const KString& name = m_columns[k].m_strName;
        if (quote == 0 && !nameWarning && QuotesNecessary(name, delimiter, 0))
        {
            nameWarning = true;
            unquotedName = MakeControlsVisible(name);
        }
        WriteWithDuplicateQuotesIfNecessary(out, name, delimiter, quote, m_format.m_nEncoding, m_format.m_nCodePage);
    }
    out += m_format.m_strLineEnd;
    if (nameWarning)
        m_table.ShowMessage(2176, {unquotedName});
    return out;
}

void CExportRun::Run(const std::function<void(std::string_view)>& write, const std::function<void(size_t)>& reserve)
{
    CStatusMessageGuard status(m_table, FormatResource(3060, {m_strFileName}));
    ChooseColumns();
    const std::vector<CRecord*> records = GetRecordsToWrite(m_table, m_options.m_bAllRecords);
    const char16_t delimiter = m_format.m_cDelimiter;
    WriteEncoded(m_format.m_strDelimiter, KStringView(&delimiter, 1), m_format.m_nEncoding, m_format.m_nCodePage);
    WriteEncoded(m_format.m_strLineEnd, u"\r\n", m_format.m_nEncoding, m_format.m_nCodePage);
    const std::string head = MakeHead();
    // Attributes with few distinct values get every value encoded once.
    EncodeFewValues(m_columns, records.size(), m_format, m_warnings);

    const CParallelWork work(m_table.UseMulticores() && records.size() >= 2 * kRecordsPerPiece);
    write(head);
    const size_t pieces = (records.size() + kRecordsPerPiece - 1) / kRecordsPerPiece;
    // A batch of pieces at a time, so that progress and cancel are looked at, and each batch goes to the file
    // before the next one is made (the disk writes it meanwhile). The pieces keep their memory from batch to
    // batch.
    const size_t batchPieces = work.IsParallel() ? std::clamp<size_t>(2 * work.GetWorkers(), 4, 16) : 1;
    std::vector<std::string> encoded(batchPieces);
    size_t done = 0;
    while (done < pieces)
    {
        const size_t batch = std::min(pieces - done, batchPieces);
        // Fetch and format: each task makes the lines of its pieces.
        work.ForRanges(batch, 1,
                       [&](size_t a, size_t b)
                       {
                           CLineWriter lines(m_format, m_columns, m_warnings);
                           for (size_t p = a; p < b; ++p)
                           {
                               const size_t first = (done + p) * kRecordsPerPiece;
                               const size_t last = std::min(records.size(), first + kRecordsPerPiece);
                               lines.WriteLines(records.data() + first, last - first, encoded[p]);
                           }
                       });
        if (done == 0)
        {
            // The whole file, judged by the first batch.
            size_t batchBytes = 0;
            for (size_t p = 0; p < batch; ++p)
                batchBytes += encoded[p].size();
            const double share = static_cast<double>(std::min(records.size(), batch * kRecordsPerPiece)) /
                                 static_cast<double>(std::max<size_t>(records.size(), 1));
            reserve(head.size() + static_cast<size_t>(static_cast<double>(batchBytes) / share * 1.05) + 64);
        }
        // Write: the batch in file order.
        for (size_t p = 0; p < batch; ++p)
        {
            write(encoded[p]);
            encoded[p].clear();
        }
        done += batch;
        const size_t written = std::min(records.size(), done * kRecordsPerPiece);
        m_table.PopStatusMessage();
        m_table.PushStatusMessage(FormatResource(3058, {platform::ToKString(static_cast<long long>(written))}));
        if (m_options.m_progress && written / kProgressLines > 0 &&
            !m_options.m_progress(static_cast<double>(written) / static_cast<double>(records.size())))
            throw CUserException();
    }
    if (m_warnings.HasValueWarning())
        m_table.ShowMessage(2175, {m_warnings.GetValueWarning()});
    if (m_warnings.GetListWarning())
        m_table.ShowMessage(2177, {m_warnings.GetListWarning()->GetName()});
}

} // namespace exchange
