// Value types and formats of an attribute: setting the format, reading numbers, guessing a format from the
// values and checking the values against it.

#include "engine/Attribute.h"

#include "engine/Languages.h"
#include "engine/Table.h"
#include "platform/Parallel.h"
#include "platform/Resources.h"

#include <atomic>
#include <cmath>
#include <limits>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// At most about this many values are sampled to guess a format.
constexpr long kGuessSamples = 400;
// Candidate formats asked of the registry.
constexpr size_t kGuessCandidates = 10;
} // namespace

// ---- types ----

EValueType CAttribute::GetType() const
{
    return m_pTable->GetFormatRegistry().GetType(m_nFormatId);
}

bool CAttribute::IsNumber() const
{
    const EValueType type = GetType();
    return type == VALUE_INTEGER || type == VALUE_DOUBLE;
}

bool CAttribute::IsDate() const
{
    return GetType() == VALUE_DATE;
}

bool CAttribute::IsTime() const
{
    return GetType() == VALUE_TIME;
}

bool CAttribute::IsDateTime() const
{
    const EValueType type = GetType();
    return type == VALUE_DATE || type == VALUE_TIME || type == VALUE_DATETIME || type == VALUE_TIMESPAN;
}

bool CAttribute::IsTimeSpan() const
{
    return GetType() == VALUE_TIMESPAN;
}

bool CAttribute::IsDateOrDateTimeOnly() const
{
    const EValueType type = GetType();
    return type == VALUE_DATE || type == VALUE_DATETIME;
}

bool CAttribute::IsDateTimeOnly() const
{
    return GetType() == VALUE_DATETIME;
}

int CAttribute::GetLanguageID() const
{
    return m_pTable->GetLanguageID();
}

// ---- format strings and ids ----

int CAttribute::GetImportFormatID() const
{
    return m_pTable->GetFormatID(m_strImportFormat);
}

void CAttribute::RecomputeFormatID()
{
    if (m_strFormat.empty())
    {
        m_nFormatId = 0;
        return;
    }
    int id = m_pTable->GetFormatID(m_strFormat);
    if (id < 0 && m_pTable->GetFormatRegistry().AddFormatIfNew(m_strFormat))
        id = m_pTable->GetFormatID(m_strFormat);
    m_nFormatId = id < 0 ? 0 : id;
}

void CAttribute::ApplyFormat(KStringView format, int id)
{
    if (id == m_nFormatId && m_strFormat == format)
        return;
    m_strFormat = format;
    m_nFormatId = id;
    m_bFormatWarning = false;
    m_pValueArray->InvalidateDoubleValues();
    m_pValueArray->SetSorted(false);
    InvalidateStatistics();
    InvalidateSortedRecords();
}

int CAttribute::SetFormatString(KStringView format)
{
    m_bFormatDecided = true;
    if (format.empty() || format == u"String")
    {
        ApplyFormat(KStringView(), 0);
        m_bUnclearFormat = false;
        return 1;
    }
    if (!m_pTable->GetFormatRegistry().AddFormatIfNew(format))
    {
        ApplyFormat(KStringView(), 0);
        m_bUnclearFormat = true;
        m_pTable->ReportUnknownFormat(format, *this);
        return 0;
    }
    ApplyFormat(format, m_pTable->GetFormatID(format));
    m_bUnclearFormat = false;
    return 1;
}

int CAttribute::SetImportFormatString(KStringView format)
{
    m_strImportFormat = format;
    if (format.empty() || format == u"String")
        return 1;
    return m_pTable->GetFormatRegistry().AddFormatIfNew(format) ? 1 : 0;
}

// ---- reading and writing values ----

double CAttribute::ComputeNumericValue(KStringView text, size_t* used, bool* ok)
{
    if (used)
        *used = 0;
    if (ok)
        *ok = false;
    if (!IsNumeric() || text.empty())
        return kNaN;
    double value = kNaN;
    size_t read = 0;
    const bool success = m_pTable->GetFormatRegistry().Read(m_nFormatId, text, value, read);
    if (used)
        *used = read;
    if (!success)
    {
        m_bFormatWarning = true;
        return kNaN;
    }
    if (ok)
        *ok = true;
    return value;
}

KString CAttribute::GetAsDisplayString(double value) const
{
    const CFormatRegistry& formats = m_pTable->GetFormatRegistry();
    if (IsNumeric())
        return formats.WriteNumber(m_nFormatId, value);
    if (std::isnan(value))
        return KString();
    return formats.WriteNumber(formats.GetFloatingFormatId(), value);
}

// ---- guessing and checking ----

void CAttribute::GuessFormat(const std::vector<KString>* values)
{
    if (IsHeader() || m_bMultipleValues)
        return;
    ApplyFormatGuess(ProposeFormats(values));
}

std::optional<std::vector<SFormatCandidate>> CAttribute::ProposeFormats(const std::vector<KString>* values) const
{
    // Every k-th non-empty value, k = ceil(n / 400). The distinct values hold the empty text at most once, so the
    // stride runs over them directly, stepping past the empty one.
    const long n = values ? static_cast<long>(values->size()) : m_pValueArray->GetSize();
    auto valueAt = [&](long i) -> KStringView
    {
        if (values)
            return (*values)[static_cast<size_t>(i)];
        const char16_t* value = m_pValueArray->GetValue(i);
        return IsEncodedList(value) ? KStringView() : KStringView(value);
    };
    const long k = std::max(1L, (n + kGuessSamples - 1) / kGuessSamples);
    std::vector<KStringView> samples;
    if (values)
    {
        long nonEmpty = 0;
        for (long i = 0; i < n; ++i)
        {
            const KStringView text = valueAt(i);
            if (!text.empty() && nonEmpty++ % k == 0)
                samples.push_back(text);
        }
    }
    else
    {
        for (long i = 0; i < n; i += k)
        {
            KStringView text = valueAt(i);
            // The undefined value: its neighbour stands in, and the stride goes on from there, so that no
            // value is sampled twice.
            if (text.empty() && ++i < n)
                text = valueAt(i);
            if (!text.empty())
                samples.push_back(text);
        }
    }
    if (samples.empty())
        return std::nullopt;
    const CLanguage& language = m_pTable->GetFormatRegistry().GetLanguage();
    SRecognitionHints hints;
    hints.cDecimal = language.GetDecimalSeparator();
    hints.cThousands = language.GetThousandsSeparator();
    hints.nMinReads = static_cast<int>((samples.size() + 1) / 2); // at least 50 % of the samples
    return m_pTable->GetFormatRegistry().RecognizeFormats(samples, hints, kGuessCandidates);
}

void CAttribute::ApplyFormatGuess(const std::optional<std::vector<SFormatCandidate>>& proposal)
{
    if (!proposal)
    {
        // Nothing to go by: text for now, guessed again once there are values.
        ApplyFormat(KStringView(), 0);
        return;
    }
    const std::vector<SFormatCandidate>& candidates = *proposal;
    m_bFormatDecided = true;
    m_bUnclearFormat = false;
    if (candidates.empty())
    {
        ApplyFormat(KStringView(), 0);
        return;
    }
    // Among the candidates reading as many samples as the best one, year-month-day dates come first.
    size_t best = 0;
    for (size_t i = 0; i < candidates.size() && candidates[i].nReads == candidates[0].nReads; ++i)
    {
        if (candidates[i].strFormat == u"jjjj-mm-tt" || candidates[i].strFormat == u"yyyy-mm-dd")
        {
            best = i;
            break;
        }
    }
    const KString& format = candidates[best].strFormat;
    if (!m_pTable->AddFormatIfNew(format, true))
    {
        ApplyFormat(KStringView(), 0);
        return;
    }
    ApplyFormat(format, m_pTable->GetFormatID(format));
    if (m_strImportFormat.empty())
        m_strImportFormat = format;
}

long CAttribute::CountIllegalValues(const std::vector<KString>* values, bool stopAtFirst) const
{
    if (!values && !m_pValueArray->DoublesValid())
    {
        // The numbers must be read from the texts anyway (for sorting): read them all now, in parallel tasks
        // where allowed, counting the texts that read as none.
        const long unread = RecomputeDoubleValues();
        return stopAtFirst ? std::min(unread, 1L) : unread;
    }
    // Given texts, or numbers that may have been given with the values: read the texts.
    std::vector<KStringView> texts;
    if (values)
    {
        texts.assign(values->begin(), values->end());
    }
    else
    {
        texts.reserve(static_cast<size_t>(m_pValueArray->GetSize()));
        for (long i = 0; i < m_pValueArray->GetSize(); ++i)
        {
            const char16_t* value = m_pValueArray->GetValue(i);
            if (!IsEncodedList(value))
                texts.emplace_back(value);
        }
    }
    const CFormatRegistry& formats = m_pTable->GetFormatRegistry();
    const int id = m_nFormatId;
    auto illegal = [&](KStringView text)
    {
        if (text.empty())
            return false;
        double value = 0;
        size_t used = 0;
        return !formats.Read(id, text, value, used) || used != text.size();
    };
    const size_t n = texts.size();
    if (n < 20000 || !m_pTable->UseMulticores() || platform::GetProcessorCount() < 2)
    {
        long count = 0;
        for (KStringView text : texts)
        {
            if (illegal(text) && (++count, stopAtFirst))
                break;
        }
        return count;
    }
    std::atomic<long> count{0};
    platform::ParallelFor(0, n, 4096,
                          [&](size_t first, size_t last)
                          {
                              for (size_t i = first; i < last; ++i)
                              {
                                  if (stopAtFirst && count.load(std::memory_order_relaxed) > 0)
                                      return;
                                  if (illegal(texts[i]))
                                      count.fetch_add(1, std::memory_order_relaxed);
                              }
                          });
    return stopAtFirst ? std::min(count.load(), 1L) : count.load();
}

int CAttribute::CheckFormat(const std::vector<KString>* values)
{
    if (IsHeader() || m_bMultipleValues || IsDerived() || !IsNumeric())
    {
        m_bFormatWarning = false;
        return 1;
    }
    CStatusMessageGuard status(*m_pTable, FormatResource(1298, {GetDisplayName(30)}));
    const bool fails = CountIllegalValues(values, true) > 0;
    m_bFormatWarning = fails;
    return fails ? 0 : 1;
}

long CAttribute::DetermineNoOfIllegalValues(const std::vector<KString>* values) const
{
    if (IsHeader() || !IsNumeric())
        return 0;
    return CountIllegalValues(values, false);
}
