#include "exchange/DelimiterProposal.h"

#include "exchange/TextReader.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace exchange
{

char16_t ProposeDelimiter(const std::filesystem::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // Tab-separated files go by .tsv and .tab too: a comma in one of their cells must not decide.
    return extension == ".txt" || extension == ".tsv" || extension == ".tab" ? u'\t' : u',';
}

namespace
{
// The column count of each record that starts within the first kProposalLines physical lines of text, read
// with delimiter and quote (quoted cells may hold the delimiter and line ends); empty lines are left out.
std::vector<long> CountColumns(KStringView text, char16_t delimiter, char16_t quote)
{
    constexpr long kProposalLines = 20;
    // Every candidate is judged on the same stretch of text: the records that start before this offset.
    size_t limit = text.size();
    long lines = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != u'\n' && text[i] != u'\r')
            continue;
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        if (++lines == kProposalLines)
        {
            limit = i + 1;
            break;
        }
    }
    SCellRules rules;
    rules.m_cDelimiter = delimiter;
    rules.m_cQuote = quote;
    CTextReader reader(text, rules);
    std::vector<long> counts;
    for (long line = 1; reader.GetPosition() < limit && !reader.IsAtEnd(); ++line)
    {
        long columns = 0;
        for (;;)
        {
            const KStringView cell = reader.ReadCell(line);
            if (columns == 0 && cell.empty() && reader.GetTerminator() != TERMINATOR_DELIMITER)
                break; // an empty line says nothing
            ++columns;
            if (reader.GetTerminator() != TERMINATOR_DELIMITER)
                break;
        }
        if (columns > 0)
            counts.push_back(columns);
    }
    return counts;
}

// The one column count that every record shows, when it is above 1; else 0.
long ConsistentCount(const std::vector<long>& counts)
{
    if (counts.empty() || counts.front() < 2)
        return 0;
    return std::all_of(counts.begin(), counts.end(), [&](long n) { return n == counts.front(); }) ? counts.front() : 0;
}
} // namespace

SDelimiterChoice ChooseDelimiter(KStringView text, char16_t proposal, char16_t quote)
{
    SDelimiterChoice choice;
    choice.m_cDelimiter = proposal;
    const std::vector<long> proposed = CountColumns(text, proposal, quote);
    choice.m_bProposalSplits = std::any_of(proposed.begin(), proposed.end(), [](long n) { return n > 1; });
    if (proposed.empty() || ConsistentCount(proposed) > 0)
        return choice; // nothing to judge, or the proposal reads the file evenly
    long best = 0;
    for (char16_t candidate : {u',', u';', u'\t', u'|'})
    {
        if (candidate == proposal)
            continue;
        const long count = ConsistentCount(CountColumns(text, candidate, quote));
        if (count > best)
        {
            best = count;
            choice.m_cDelimiter = candidate;
        }
    }
    return choice;
}
} // namespace exchange
