// The table's formats and collation: the format registry's standard formats and ids, format guessing and
// checking over all attributes, the string order of values, enumeration prefixes and code pages.

#include "engine/TableFormats.h"

#include "engine/Table.h"

#include <algorithm>

#include "engine/Collation.h"
#include "engine/Languages.h"
#include "engine/NumberFormat.h"
#include "options/OptionSet.h"
#include "platform/Resources.h"

#include <cmath>

// ---- formats ----

int CTableFormats::GetFormatID(KStringView format) const
{
    return m_registry.GetFormatID(format);
}

KString CTableFormats::GetFormat(int id) const
{
    return m_registry.GetFormat(id);
}

int CTableFormats::AddFormatIfNew(KStringView format, bool sort)
{
    if (!m_registry.AddFormatIfNew(format))
        return 0;
    if (sort)
        SortFormatsAndRecomputeIDs();
    return 1;
}

void CTableFormats::SortFormatsAndRecomputeIDs()
{
    m_registry.SortByRank();
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
        m_table.FindAttributeFromIndex(i)->GetFormat().RecomputeFormatID();
    // Recorded commands that name formats (history lists and stored queries) refresh their ids here once
    // the command layer keeps such commands.
}

void CTableFormats::AddStandardFormats()
{
    const CLanguage& language = CLanguage::GetLanguageOrEnglish(m_table.GetOptions().m_nLanguage);
    m_registry.SetLanguage(language.GetLanguageId());
    auto addSlots = [&](int first, int last)
    {
        for (int slot = first; slot <= last; ++slot)
            m_registry.AddFormatIfNew(language.GetStandardFormat(slot));
    };
    addSlots(SLOT_INTEGER, SLOT_FLOATING_2);
    addSlots(SLOT_THOUSANDS_FIXED_TWO, SLOT_FIXED_TWO_2);
    m_registry.AddFormatIfNew(u"#\u00A0###");
    m_registry.AddFormatIfNew(u"#\u2019###");
    m_registry.AddFormatIfNew(u"#'###");
    addSlots(SLOT_DATE, SLOT_MONTH);
    m_registry.AddFormatIfNew(u"jjjj-mm-tt");
    addSlots(SLOT_TIME, SLOT_TIMESPAN);
    m_registry.AddFormatIfNew(u"####");
    m_registry.AddFormatIfNew(u"####.");
    SortFormatsAndRecomputeIDs();
    for (int slot : {SLOT_INTEGER, SLOT_FLOATING, SLOT_DATE, SLOT_TIME, SLOT_DATETIME, SLOT_TIMESPAN})
        m_registry.SetTypeDefault(m_registry.GetFormatID(language.GetStandardFormat(slot)));
}

int CTableFormats::GetLanguageID() const
{
    return m_registry.GetLanguageId();
}

KString CTableFormats::LargeIntegerString(int64_t value) const
{
    const std::optional<SNumberFormat> thousands =
        SNumberFormat::Parse(m_registry.GetLanguage().GetStandardFormat(SLOT_INTEGER_THOUSANDS));
    if (thousands)
        return thousands->WriteInteger(value);
    return platform::ToKString(value);
}

bool CTableFormats::ReportUnknownFormat(KStringView format, const CAttribute& attribute)
{
    if (m_bUnknownFormatReported)
        return false;
    m_bUnknownFormatReported = true;
    m_table.ShowMessage(2988, {format, attribute.GetDisplayName(50)});
    return true;
}

// ---- guessing and checking ----

void CTableFormats::AnalyzeAttributeFormat(CAttribute& attribute, bool guess, bool check)
{
    if (attribute.IsHeader() || attribute.IsDerived())
        return;
    if (guess && attribute.GetFormat().NeedsFormatGuess())
        attribute.GuessFormat();
    if (check)
        (void)attribute.CheckFormat();
}

void CTableFormats::CheckAllFormats(bool guess, bool check)
{
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
        AnalyzeAttributeFormat(*m_table.FindAttributeFromIndex(i), guess, check);
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

bool CTableFormats::TransformPossible(const std::vector<CAttribute*>& attributes) const
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

bool CTableFormats::InterpretPossible(const std::vector<CAttribute*>& attributes) const
{
    return !attributes.empty() && std::all_of(attributes.begin(), attributes.end(), Stored);
}

void CTableFormats::RemoveFormatWarnings()
{
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
        m_table.FindAttributeFromIndex(i)->GetFormat().SetFormatWarning(false);
}

// ---- order of texts ----

const CCollation& CTableFormats::GetCollation() const
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

void CTableFormats::PrepareCollation() const
{
    if (CCollation::GetSortMode() == SORT_COLLATION)
        (void)GetCollation();
}

int CTableFormats::GetCollationLanguageID() const
{
    return m_nCollationLanguage != 0 ? m_nCollationLanguage : m_table.GetOptions().m_nLanguage;
}

void CTableFormats::SortCharacterSet(int codePage, int languageId)
{
    m_nCodePage = codePage;
    const bool unchanged = languageId == GetCollationLanguageID();
    m_nCollationLanguage = languageId;
    if (unchanged)
        return;
    m_pCollation.store(&CCollation::ForLanguage(languageId), std::memory_order_release);
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = m_table.FindAttributeFromIndex(i);
        if (attribute->IsHeader())
            continue;
        attribute->GetValueArray()->SetSorted(false);
        attribute->RecomputeSortedValues();
    }
    m_table.InvalidateSortedRecords();
}

KString CTableFormats::GetLanguageAndSorting(int languageId) const
{
    return CCollation::GetLanguageAndSorting(languageId, m_table.GetOptions().m_nLanguage);
}

int CTableFormats::CompareStrings(const char16_t* a, const char16_t* b, int maxLength, bool primary) const
{
    return GetCollation().CompareStrings(a, b, maxLength, primary);
}

int CTableFormats::CompareStringValues(const char16_t* a, const char16_t* b) const
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

int CTableFormats::CompareNumericValues(const char16_t* a, double da, const char16_t* b, double db) const
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

const char16_t* CTableFormats::SkipEnumeration(const char16_t* value) const
{
    if (!value || !m_table.GetOptions().m_bSkipEnumeration || value[0] != u'#' || value[1] == u'#' || value[1] == 0)
        return value;
    for (const char16_t* p = value + 1; *p; ++p)
    {
        if (*p == u'#')
            return p[1] != 0 ? p + 1 : value;
    }
    return value;
}

KString CTableFormats::GetPrefixString(const char16_t* value, int length) const
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
    if (m_table.GetOptions().m_bUnderlineURLs && shown[0] == u'~' && shown[1] != 0)
        ++shown;
    KString prefix(shown);
    if (length >= 0 && prefix.size() > static_cast<size_t>(length))
        prefix.resize(static_cast<size_t>(length));
    // A one-character prefix goes through the table's placeholder substitution once the display keeps one.
    return prefix;
}

// ---- code pages ----

int CTableFormats::GetDefaultCodePage()
{
    return codepage::GetDefaultCodePage();
}

int CTableFormats::GetDefaultCharSet()
{
    return codepage::GetDefaultCharSet();
}

int CTableFormats::CodePageToCharSet(int codePage)
{
    return codepage::CodePageToCharSet(codePage);
}

int CTableFormats::CharSetToCodePage(int charSet)
{
    return codepage::CharSetToCodePage(charSet);
}

int CTableFormats::CodePageToComboBoxIndex(int codePage)
{
    return codepage::CodePageToComboBoxIndex(codePage);
}

int CTableFormats::ComboBoxIndexToCharSet(int index)
{
    return codepage::ComboBoxIndexToCharSet(index);
}

// ---- the table's forwards ----

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
    return m_formats.AddFormatIfNew(format, sort);
}

void CTable::SortFormatsAndRecomputeIDs()
{
    m_formats.SortFormatsAndRecomputeIDs();
}

void CTable::AddStandardFormats()
{
    m_formats.AddStandardFormats();
}

int CTable::GetLanguageID() const
{
    return m_formats.GetLanguageID();
}

KString CTable::LargeIntegerString(int64_t value) const
{
    return m_formats.LargeIntegerString(value);
}

bool CTable::ReportUnknownFormat(KStringView format, const CAttribute& attribute)
{
    return m_formats.ReportUnknownFormat(format, attribute);
}

void CTable::AnalyzeAttributeFormat(CAttribute& attribute, bool guess, bool check)
{
    m_formats.AnalyzeAttributeFormat(attribute, guess, check);
}

void CTable::CheckAllFormats(bool guess, bool check)
{
    m_formats.CheckAllFormats(guess, check);
}

void CTable::RemoveFormatWarnings()
{
    m_formats.RemoveFormatWarnings();
}

bool CTable::TransformPossible(const std::vector<CAttribute*>& attributes) const
{
    return m_formats.TransformPossible(attributes);
}

bool CTable::InterpretPossible(const std::vector<CAttribute*>& attributes) const
{
    return m_formats.InterpretPossible(attributes);
}

int CTable::CompareStringValues(const char16_t* a, const char16_t* b) const
{
    return m_formats.CompareStringValues(a, b);
}

int CTable::CompareStrings(const char16_t* a, const char16_t* b, int maxLength, bool primary) const
{
    return m_formats.CompareStrings(a, b, maxLength, primary);
}

int CTable::CompareNumericValues(const char16_t* a, double da, const char16_t* b, double db) const
{
    return m_formats.CompareNumericValues(a, da, b, db);
}

const CCollation& CTable::GetCollation() const
{
    return m_formats.GetCollation();
}

void CTable::PrepareCollation() const
{
    m_formats.PrepareCollation();
}

int CTable::GetCollationLanguageID() const
{
    return m_formats.GetCollationLanguageID();
}

void CTable::SortCharacterSet(int codePage, int languageId)
{
    m_formats.SortCharacterSet(codePage, languageId);
}

KString CTable::GetLanguageAndSorting(int languageId) const
{
    return m_formats.GetLanguageAndSorting(languageId);
}

const char16_t* CTable::SkipEnumeration(const char16_t* value) const
{
    return m_formats.SkipEnumeration(value);
}

KString CTable::GetPrefixString(const char16_t* value, int length) const
{
    return m_formats.GetPrefixString(value, length);
}

int CTable::GetDefaultCodePage()
{
    return CTableFormats::GetDefaultCodePage();
}

int CTable::GetDefaultCharSet()
{
    return CTableFormats::GetDefaultCharSet();
}

int CTable::CodePageToCharSet(int codePage)
{
    return CTableFormats::CodePageToCharSet(codePage);
}

int CTable::CharSetToCodePage(int charSet)
{
    return CTableFormats::CharSetToCodePage(charSet);
}

int CTable::CodePageToComboBoxIndex(int codePage)
{
    return CTableFormats::CodePageToComboBoxIndex(codePage);
}

int CTable::ComboBoxIndexToCharSet(int index)
{
    return CTableFormats::ComboBoxIndexToCharSet(index);
}
