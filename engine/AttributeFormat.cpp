// CAttributeFormat: setting the format, reading numbers, guessing a format from the values and checking the
// values against it.

#include "engine/AttributeFormat.h"

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

EValueType CAttributeFormat::GetType() const
{
    return m_table.GetFormatRegistry().GetType(m_nFormatId);
}

bool CAttributeFormat::IsNumber() const
{
    const EValueType type = GetType();
    return type == VALUE_INTEGER || type == VALUE_DOUBLE;
}

bool CAttributeFormat::IsDate() const
{
    return GetType() == VALUE_DATE;
}

bool CAttributeFormat::IsTime() const
{
    return GetType() == VALUE_TIME;
}

bool CAttributeFormat::IsDateTime() const
{
    const EValueType type = GetType();
    return type == VALUE_DATE || type == VALUE_TIME || type == VALUE_DATETIME || type == VALUE_TIMESPAN;
}

bool CAttributeFormat::IsTimeSpan() const
{
    return GetType() == VALUE_TIMESPAN;
}

bool CAttributeFormat::IsDateOrDateTimeOnly() const
{
    const EValueType type = GetType();
    return type == VALUE_DATE || type == VALUE_DATETIME;
}

bool CAttributeFormat::IsDateTimeOnly() const
{
    return GetType() == VALUE_DATETIME;
}

double CAttributeFormat::ReadNumber(KStringView text) const
{
    return m_table.GetFormatRegistry().ReadNumber(m_nFormatId, text);
}

double CAttributeFormat::ReadStoredNumber(platform::CPaddedString text) const
{
    return m_table.GetFormatRegistry().ReadStoredNumber(m_nFormatId, text);
}

int CAttributeFormat::GetLanguageID() const
{
    return m_table.GetLanguageID();
}

// ---- format strings and ids ----

int CAttributeFormat::GetImportFormatID() const
{
    return m_table.GetFormatID(m_strImportFormat);
}

void CAttributeFormat::RecomputeFormatID()
{
    if (m_strFormat.empty())
    {
        m_nFormatId = 0;
        return;
    }
    int id = m_table.GetFormatID(m_strFormat);
    if (id < 0 && m_table.GetFormatRegistry().AddFormatIfNew(m_strFormat))
        id = m_table.GetFormatID(m_strFormat);
    m_nFormatId = id < 0 ? 0 : id;
}

void CAttributeFormat::ApplyFormat(KStringView format, int id)
{
    if (id == m_nFormatId && m_strFormat == format)
        return;
    m_strFormat = format;
    m_nFormatId = id;
    m_bFormatWarning = false;
    m_attribute.GetValues().InvalidateNumbersAndOrder();
    m_attribute.InvalidateStatistics();
    m_attribute.InvalidateSortedRecords();
}

int CAttributeFormat::SetFormatString(KStringView format)
{
    m_bFormatDecided = true;
    if (format.empty() || format == u"String")
    {
        ApplyFormat(KStringView(), 0);
        m_bUnclearFormat = false;
        return 1;
    }
    if (!m_table.GetFormatRegistry().AddFormatIfNew(format))
    {
        ApplyFormat(KStringView(), 0);
        m_bUnclearFormat = true;
        m_table.ReportUnknownFormat(format, m_attribute);
        return 0;
    }
    ApplyFormat(format, m_table.GetFormatID(format));
    m_bUnclearFormat = false;
    return 1;
}

int CAttributeFormat::SetImportFormatString(KStringView format)
{
    m_strImportFormat = format;
    if (format.empty() || format == u"String")
        return 1;
    return m_table.GetFormatRegistry().AddFormatIfNew(format) ? 1 : 0;
}

// ---- reading and writing values ----

double CAttributeFormat::ComputeNumericValue(KStringView text, size_t* used, bool* ok)
{
    if (used)
        *used = 0;
    if (ok)
        *ok = false;
    if (!IsNumeric() || text.empty())
        return kNaN;
    double value = kNaN;
    size_t read = 0;
    const bool success = m_table.GetFormatRegistry().Read(m_nFormatId, text, value, read);
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

KString CAttributeFormat::GetAsDisplayString(double value) const
{
    const CFormatRegistry& formats = m_table.GetFormatRegistry();
    if (IsNumeric())
        return formats.WriteNumber(m_nFormatId, value);
    if (std::isnan(value))
        return KString();
    return formats.WriteNumber(formats.GetFloatingFormatId(), value);
}

// ---- guessing and checking ----

bool CAttributeFormat::NeedsFormatGuess() const
{
    return !m_attribute.IsHeader() && !m_attribute.IsDerived() && !m_bFormatDecided && !IsNumeric() &&
           !m_attribute.HasMultipleValues();
}

void CAttributeFormat::GuessFormat(const std::vector<KString>* values)
{
    if (m_attribute.IsHeader() || m_attribute.HasMultipleValues())
        return;
    ApplyFormatGuess(ProposeFormats(values));
}

std::optional<std::vector<SFormatCandidate>> CAttributeFormat::ProposeFormats(const std::vector<KString>* values) const
{
    const CAttributeValues& stored = m_attribute.GetValues();
    // Every k-th non-empty value, k = ceil(n / 400). The distinct values hold the empty text at most once, so the
    // stride runs over them directly, stepping past the empty one.
    const long n = values ? static_cast<long>(values->size()) : stored.GetNrOfValues();
    auto valueAt = [&](long i) -> KStringView
    {
        if (values)
            return (*values)[static_cast<size_t>(i)];
        const char16_t* value = stored.GetValue(i);
        return CAttributeValues::IsEncodedList(value) ? KStringView() : KStringView(value);
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
    const CLanguage& language = m_table.GetFormatRegistry().GetLanguage();
    SRecognitionHints hints;
    hints.cDecimal = language.GetDecimalSeparator();
    hints.cThousands = language.GetThousandsSeparator();
    hints.nMinReads = static_cast<int>((samples.size() + 1) / 2); // at least 50 % of the samples
    return m_table.GetFormatRegistry().RecognizeFormats(samples, hints, kGuessCandidates);
}

void CAttributeFormat::ApplyFormatGuess(const std::optional<std::vector<SFormatCandidate>>& proposal)
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
    if (!m_table.AddFormatIfNew(format, true))
    {
        ApplyFormat(KStringView(), 0);
        return;
    }
    ApplyFormat(format, m_table.GetFormatID(format));
    if (m_strImportFormat.empty())
        m_strImportFormat = format;
}

long CAttributeFormat::CountIllegalValues(const std::vector<KString>* values, bool stopAtFirst) const
{
    const CAttributeValues& stored = m_attribute.GetValues();
    if (!values && !stored.GetValueArray()->DoublesValid())
    {
        // The numbers must be read from the texts anyway (for sorting): read them all now, in parallel tasks
        // where allowed, counting the texts that read as none.
        const long unread = stored.RecomputeDoubleValues();
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
        texts.reserve(static_cast<size_t>(stored.GetNrOfValues()));
        for (long i = 0; i < stored.GetNrOfValues(); ++i)
        {
            const char16_t* value = stored.GetValue(i);
            if (!CAttributeValues::IsEncodedList(value))
                texts.emplace_back(value);
        }
    }
    const CFormatRegistry& formats = m_table.GetFormatRegistry();
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
    if (n < 20000 || !m_table.UseMulticores() || platform::GetProcessorCount() < 2)
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

int CAttributeFormat::CheckFormat(const std::vector<KString>* values)
{
    if (m_attribute.IsHeader() || m_attribute.HasMultipleValues() || m_attribute.IsDerived() || !IsNumeric())
    {
        m_bFormatWarning = false;
        return 1;
    }
    CStatusMessageGuard status(m_table, FormatResource(1298, {m_attribute.GetDisplayName(30)}));
    const bool fails = CountIllegalValues(values, true) > 0;
    m_bFormatWarning = fails;
    return fails ? 0 : 1;
}

long CAttributeFormat::DetermineNoOfIllegalValues(const std::vector<KString>* values) const
{
    if (m_attribute.IsHeader() || !IsNumeric())
        return 0;
    return CountIllegalValues(values, false);
}
