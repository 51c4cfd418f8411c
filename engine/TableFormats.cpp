// The table's formats and collation: the format registry's standard formats and ids, format guessing and
// checking over all attributes, the string order of values, enumeration prefixes and code pages.

#include "engine/Table.h"

#include <algorithm>

#include "engine/Collation.h"
#include "engine/Languages.h"
#include "engine/NumberFormat.h"
#include "options/OptionSet.h"
#include "platform/Resources.h"

#include <cmath>

// ---- formats ----

int CTable::GetFormatID(KStringView format) const
{
    return m_formats.GetFormatID(format);
}

KString CTable::GetFormat(int id) const
{
    return m_formats.GetFormat(id);
}

int CTable::AddFormatIfNew(KStringView format, bool sort)
{
    if (!m_formats.AddFormatIfNew(format))
        return 0;
    if (sort)
        SortFormatsAndRecomputeIDs();
    return 1;
}

void CTable::SortFormatsAndRecomputeIDs()
{
    m_formats.SortByRank();
    for (auto& attribute : m_attributes)
        attribute->RecomputeFormatID();
    // Recorded commands that name formats (history lists and stored queries) refresh their ids here once
    // the command layer keeps such commands.
}

void CTable::AddStandardFormats()
{
    const CLanguage& language = CLanguage::GetLanguageOrEnglish(m_pOptions->m_nLanguage);
    m_formats.SetLanguage(language.GetLanguageId());
    auto addSlots = [&](int first, int last)
    {
        for (int slot = first; slot <= last; ++slot)
            m_formats.AddFormatIfNew(language.GetStandardFormat(slot));
    };
    addSlots(SLOT_INTEGER, SLOT_FLOATING_2);
    addSlots(SLOT_THOUSANDS_FIXED_TWO, SLOT_FIXED_TWO_2);
    m_formats.AddFormatIfNew(u"#\u00A0###");
    m_formats.AddFormatIfNew(u"#\u2019###");
    m_formats.AddFormatIfNew(u"#'###");
    addSlots(SLOT_DATE, SLOT_MONTH);
    m_formats.AddFormatIfNew(u"jjjj-mm-tt");
    addSlots(SLOT_TIME, SLOT_TIMESPAN);
    m_formats.AddFormatIfNew(u"####");
    m_formats.AddFormatIfNew(u"####.");
    SortFormatsAndRecomputeIDs();
    for (int slot : {SLOT_INTEGER, SLOT_FLOATING, SLOT_DATE, SLOT_TIME, SLOT_DATETIME, SLOT_TIMESPAN})
        m_formats.SetTypeDefault(m_formats.GetFormatID(language.GetStandardFormat(slot)));
}

int CTable::GetLanguageID() const
{
    return m_formats.GetLanguageId();
}

KString CTable::LargeIntegerString(int64_t value) const
{
    const std::optional<SNumberFormat> thousands =
        SNumberFormat::Parse(m_formats.GetLanguage().GetStandardFormat(SLOT_INTEGER_THOUSANDS));
    if (thousands)
        return thousands->WriteInteger(value);
    return platform::ToKString(value);
}

bool CTable::ReportUnknownFormat(KStringView format, const CAttribute& attribute)
{
    if (m_bUnknownFormatReported)
        return false;
    m_bUnknownFormatReported = true;
    ShowMessage(2988, {format, attribute.GetDisplayName(50)});
    return true;
}

// ---- guessing and checking ----

void CTable::AnalyzeAttributeFormat(CAttribute& attribute, bool guess, bool check)
{
    if (attribute.IsHeader() || attribute.IsDerived())
        return;
    if (guess && attribute.NeedsFormatGuess())
        attribute.GuessFormat();
    if (check)
        (void)attribute.CheckFormat();
}

void CTable::CheckAllFormats(bool guess, bool check)
{
    for (auto& attribute : m_attributes)
        AnalyzeAttributeFormat(*attribute, guess, check);
}

namespace
{
// The kinds a format can be changed within: a value of one kind keeps its meaning in every format of it.
int KindOf(EValueType type)
{
    switch (type)
    {
    case VALUE_INTEGER:
    case VALUE_DOUBLE:
        return 1;
    case VALUE_DATE:
    case VALUE_DATETIME:
        return 2;
    case VALUE_TIME:
        return 3;
    case VALUE_TIMESPAN:
        return 4;
    default:
        return 0;
    }
}

bool Stored(const CAttribute* attribute)
{
    return attribute && !attribute->IsHeader() && !attribute->IsDerived() && !attribute->HasMultipleValues();
}
} // namespace

bool CTable::TransformPossible(const std::vector<CAttribute*>& attributes) const
{
    if (attributes.empty())
        return false;
    const int kind = Stored(attributes.front()) ? KindOf(attributes.front()->GetType()) : 0;
    if (kind == 0)
        return false;
    return std::all_of(attributes.begin(), attributes.end(),
                       [kind](CAttribute* a)
                       { return Stored(a) && KindOf(a->GetType()) == kind && a->DetermineNoOfIllegalValues() == 0; });
}

bool CTable::InterpretPossible(const std::vector<CAttribute*>& attributes) const
{
    return !attributes.empty() && std::all_of(attributes.begin(), attributes.end(), Stored);
}

void CTable::RemoveFormatWarnings()
{
    for (auto& attribute : m_attributes)
        attribute->SetFormatWarning(false);
}

// ---- order of texts ----

const CCollation& CTable::GetCollation() const
{
    const CCollation* collation = m_pCollation.load(std::memory_order_acquire);
    if (!collation)
    {
        // Several sorting tasks may get here at once: all find the same shared collation.
        collation = &CCollation::ForLanguage(GetCollationLanguageID());
        m_pCollation.store(collation, std::memory_order_release);
    }
    return *collation;
}

void CTable::PrepareCollation() const
{
    if (CCollation::GetSortMode() == SORT_COLLATION)
        (void)GetCollation();
}

int CTable::GetCollationLanguageID() const
{
    return m_nCollationLanguage != 0 ? m_nCollationLanguage : m_pOptions->m_nLanguage;
}

void CTable::SortCharacterSet(int codePage, int languageId)
{
    m_nCodePage = codePage;
    const bool unchanged = languageId == GetCollationLanguageID();
    m_nCollationLanguage = languageId;
    if (unchanged)
        return;
    m_pCollation.store(&CCollation::ForLanguage(languageId), std::memory_order_release);
    for (auto& attribute : m_attributes)
    {
        if (attribute->IsHeader())
            continue;
        attribute->GetValueArray()->SetSorted(false);
        attribute->RecomputeSortedValues();
    }
    InvalidateSortedRecords();
}

KString CTable::GetLanguageAndSorting(int languageId) const
{
    return CCollation::GetLanguageAndSorting(languageId, m_pOptions->m_nLanguage);
}

int CTable::CompareStrings(const char16_t* a, const char16_t* b, int maxLength, bool primary) const
{
    return GetCollation().CompareStrings(a, b, maxLength, primary);
}

int CTable::CompareStringValues(const char16_t* a, const char16_t* b) const
{
    switch (CCollation::GetSortMode())
    {
    case SORT_ORDINAL:
        return CCollation::CompareOrdinal(a, b);
    case SORT_LEGACY:
        return CCollation::CompareLegacy(a, b);
    default:
        return GetCollation().Compare(a, b);
    }
}

int CTable::CompareNumericValues(const char16_t* a, double da, const char16_t* b, double db) const
{
    const bool emptyA = a[0] == 0;
    const bool emptyB = b[0] == 0;
    if (emptyB)
        return emptyA ? 0 : -1;
    if (emptyA)
        return 1;
    const bool nanA = std::isnan(da);
    const bool nanB = std::isnan(db);
    if (nanA != nanB)
        return nanA ? 1 : -1;
    if (!nanA && da != db)
        return da < db ? -1 : 1;
    return CompareStringValues(a, b);
}

// ---- enumeration prefixes ----

const char16_t* CTable::SkipEnumeration(const char16_t* value) const
{
    if (!value || !m_pOptions->m_bSkipEnumeration || value[0] != u'#' || value[1] == u'#' || value[1] == 0)
        return value;
    for (const char16_t* p = value + 1; *p; ++p)
    {
        if (*p == u'#')
            return p[1] != 0 ? p + 1 : value;
    }
    return value;
}

KString CTable::GetPrefixString(const char16_t* value, int length) const
{
    if (!value || value[0] == 0)
        return u"\u2014\u2014";
    if (CAttribute::IsEncodedList(value))
    {
        const std::vector<const char16_t*> parts = CAttribute::GetEncodedMultipleValues(value);
        if (parts.empty())
            return u"\u2014\u2014";
        value = parts.front();
        --length;
    }
    const char16_t* shown = SkipEnumeration(value);
    if (m_pOptions->m_bUnderlineURLs && shown[0] == u'~' && shown[1] != 0)
        ++shown;
    KString prefix(shown);
    if (length >= 0 && prefix.size() > static_cast<size_t>(length))
        prefix.resize(static_cast<size_t>(length));
    // A one-character prefix goes through the table's placeholder substitution once the display keeps one.
    return prefix;
}

// ---- code pages ----

int CTable::GetDefaultCodePage()
{
    return codepage::GetDefaultCodePage();
}

int CTable::GetDefaultCharSet()
{
    return codepage::GetDefaultCharSet();
}

int CTable::CodePageToCharSet(int codePage)
{
    return codepage::CodePageToCharSet(codePage);
}

int CTable::CharSetToCodePage(int charSet)
{
    return codepage::CharSetToCodePage(charSet);
}

int CTable::CodePageToComboBoxIndex(int codePage)
{
    return codepage::CodePageToComboBoxIndex(codePage);
}

int CTable::ComboBoxIndexToCharSet(int index)
{
    return codepage::ComboBoxIndexToCharSet(index);
}
