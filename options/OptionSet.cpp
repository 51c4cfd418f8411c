#include "OptionSet.h"

#include "platform/Profile.h"
#include "platform/Resources.h"

#include <string>

namespace
{

const KStringView g_sectionFlags = u"Flags";
const KStringView g_sectionColor = u"Color";

// What loading does with a stored integer outside [m_nMin, m_nMax].
enum class ERangeRule
{
    Any,   // every integer is accepted
    Clamp, // the nearest bound is taken
    Keep,  // the value before loading stays
};

// One entry of section Flags; exactly one of the three member pointers is set.
struct SFlagsEntry
{
    const char16_t* m_pName;        // profile entry name
    int COptionSet::*m_pInt;        // integer field, or null
    bool COptionSet::*m_pBool;      // flag field (stored as 0/1), or null
    KString COptionSet::*m_pString; // text field, or null
    ERangeRule m_eRule;             // range rule of an integer field
    int m_nMin;                     // lowest accepted integer
    int m_nMax;                     // highest accepted integer
};

constexpr SFlagsEntry Int(const char16_t* name, int COptionSet::*member)
{
    return {name, member, nullptr, nullptr, ERangeRule::Any, 0, 0};
}
constexpr SFlagsEntry IntInRange(const char16_t* name, int COptionSet::*member, ERangeRule rule, int min, int max)
{
    return {name, member, nullptr, nullptr, rule, min, max};
}
constexpr SFlagsEntry Flag(const char16_t* name, bool COptionSet::*member)
{
    return {name, nullptr, member, nullptr, ERangeRule::Any, 0, 0};
}
constexpr SFlagsEntry Text(const char16_t* name, KString COptionSet::*member)
{
    return {name, nullptr, nullptr, member, ERangeRule::Any, 0, 0};
}

// Section Flags in file order. ColorSchemeNr2011 and Language have rules of their own.
const SFlagsEntry g_flagsEntries[] = {
    IntInRange(u"Animated", &COptionSet::m_nAnimated, ERangeRule::Keep, 0, 3),
    IntInRange(u"NrOfRecentlyUsedFiles", &COptionSet::m_nNrOfRecentlyUsedFiles, ERangeRule::Clamp, 0,
               COptionSet::nMaxRecentlyUsedFiles),
    IntInRange(u"PromptFieldWidth", &COptionSet::m_nPromptFieldWidth, ERangeRule::Clamp, 0,
               COptionSet::nMaxPromptFieldWidth),
    Flag(u"PopupHelp", &COptionSet::m_bPopupHelp),
    Flag(u"SortValuesByFrequency", &COptionSet::m_bSortValuesByFrequency),
    Flag(u"AutoCoupling", &COptionSet::m_bAutoCoupling),
    Flag(u"BoldHeaderNames", &COptionSet::m_bBoldHeaderNames),
    Flag(u"WriteCharOrder", &COptionSet::m_bWriteCharOrder),
    Flag(u"ReadCharOrder", &COptionSet::m_bReadCharOrder),
    Flag(u"SimpleAttributeUndefined", &COptionSet::m_bSimpleAttributeUndefined),
    Flag(u"SymbolTexts", &COptionSet::m_bSymbolTexts),
    Flag(u"OLAPBar", &COptionSet::m_bOLAPBar),
    Flag(u"SingleClickMode", &COptionSet::m_bSingleClickMode),
    Flag(u"UseImportNames", &COptionSet::m_bUseImportNames),
    Flag(u"CheckFormatsAtImport", &COptionSet::m_bCheckFormatsAtImport),
    Flag(u"AppendNewAttributes", &COptionSet::m_bAppendNewAttributes),
    Flag(u"ReplaceInsertedRecords", &COptionSet::m_bReplaceInsertedRecords),
    Flag(u"DeleteOldRecords", &COptionSet::m_bDeleteOldRecords),
    Flag(u"AppendNewRecords", &COptionSet::m_bAppendNewRecords),
    Flag(u"GuessFormatsAtImport", &COptionSet::m_bGuessFormatsAtImport),
    Flag(u"WarnSaveQtp", &COptionSet::m_bWarnSaveQtp),
    Flag(u"WarnReload", &COptionSet::m_bWarnReload),
    Flag(u"WarnDeleteRecords", &COptionSet::m_bWarnDeleteRecords),
    Flag(u"WarnProjection", &COptionSet::m_bWarnProjection),
    Flag(u"WarnSavingHistory", &COptionSet::m_bWarnSavingHistory),
    Flag(u"WarnLongHistory", &COptionSet::m_bWarnLongHistory),
    Flag(u"ShowStartDialog", &COptionSet::m_bShowStartDialog),
    Text(u"WorkPath", &COptionSet::m_strWorkPath),
    Text(u"TemplatePath", &COptionSet::m_strTemplatePath),
    Int(u"ToolbarStyle", &COptionSet::m_nToolbarStyle),
    Int(u"ReportApplication", &COptionSet::m_nReportApplication),
    Int(u"ChartApplication", &COptionSet::m_nChartApplication),
    Text(u"TextReportExtension", &COptionSet::m_strTextReportExtension),
    Text(u"TextReportDelimiter", &COptionSet::m_strTextReportDelimiter),
    Flag(u"AutoUpdateReports", &COptionSet::m_bAutoUpdateReports),
    Flag(u"AutoAddFrequency", &COptionSet::m_bAutoAddFrequency),
    Flag(u"ReportWarnClipboard", &COptionSet::m_bReportWarnClipboard),
    Flag(u"CirclesForYesNo", &COptionSet::m_bCirclesForYesNo),
    Flag(u"SkipEnumeration", &COptionSet::m_bSkipEnumeration),
    Flag(u"UnderlineURLs", &COptionSet::m_bUnderlineURLs),
    Flag(u"DrawPictures", &COptionSet::m_bDrawPictures),
    Flag(u"TestMenu", &COptionSet::m_bTestMenu),
    Flag(u"UseMulticores", &COptionSet::m_bUseMulticores),
    Text(u"LogFilePath", &COptionSet::m_strLogFilePath),
    Flag(u"LogfileActiveAtProgramStart", &COptionSet::m_bLogfileActiveAtProgramStart),
    IntInRange(u"LanguageReportCells", &COptionSet::m_nLanguageReportCells, ERangeRule::Keep, 0, 0xFFFF),
    Flag(u"EnableAeroTheme", &COptionSet::m_bEnableAeroTheme),
    IntInRange(u"InternalChartTheme", &COptionSet::m_nInternalChartTheme, ERangeRule::Keep, 0, 12),
    IntInRange(u"InternalChartPalette", &COptionSet::m_nInternalChartPalette, ERangeRule::Keep, 0, 18),
    Text(u"AuthenticationProxyUrl", &COptionSet::m_strAuthenticationProxyUrl),
    Int(u"AuthenticationProxyDisplayMode", &COptionSet::m_nAuthenticationProxyDisplayMode),
    Text(u"KorvalinServerUrl", &COptionSet::m_strKorvalinServerUrl),
    Text(u"KorvalinServerTableClass", &COptionSet::m_strKorvalinServerTableClass),
    Text(u"KorvalinServerName", &COptionSet::m_strKorvalinServerName),
    IntInRange(u"KorvalinServerPort", &COptionSet::m_nKorvalinServerPort, ERangeRule::Keep, 1, 0xFFFF),
    Int(u"KorvalinServerAuthenticationType", &COptionSet::m_nKorvalinServerAuthenticationType),
    Int(u"DefaultQtxFormat", &COptionSet::m_nDefaultQtxFormat),
};

// The chart colour defaults, series 1 ... 12, then "others".
constexpr uint32_t g_chartingDefaults[COptionSet::nChartingColors] = {
    MakeColor(57, 115, 159), MakeColor(173, 31, 35),   MakeColor(132, 158, 75),  MakeColor(245, 131, 47),
    MakeColor(39, 170, 225), MakeColor(255, 204, 50),  MakeColor(138, 115, 180), MakeColor(0, 181, 165),
    MakeColor(217, 59, 32),  MakeColor(196, 154, 108), MakeColor(151, 203, 100), MakeColor(248, 238, 83),
};
constexpr uint32_t g_chartingOthersDefault = MakeColor(142, 143, 145);

// The user-interface languages by their language ids.
constexpr int g_languages[] = {1033, 1031, 1036, 1043, 3082, 1040, 1046, 1045, 1038};

// The schemes kept in the profile; scheme 4 is not among them.
constexpr int g_persistedSchemes[] = {1, 2, 3, 256};

const char16_t* const g_colorNames[CColorScheme::nColors] = {u"Bar", u"Odd", u"Even", u"Background"};
const char16_t g_components[3] = {u'R', u'G', u'B'};

KString Number(int n)
{
    return platform::ToKString(n);
}

int Component(uint32_t color, int component)
{
    return component == 0 ? ColorRed(color) : component == 1 ? ColorGreen(color) : ColorBlue(color);
}

// Reads one colour stored as three component entries named by entryName(component). A
// component that is absent, malformed or outside 0 ... 255 keeps its value.
template <class FName> uint32_t ReadColor(const CProfile& profile, uint32_t color, FName entryName)
{
    int rgb[3];
    for (int c = 0; c < 3; ++c)
    {
        const int current = Component(color, c);
        const int value = profile.GetInt(g_sectionColor, entryName(g_components[c]), current);
        rgb[c] = value >= 0 && value <= 255 ? value : current;
    }
    return MakeColor(rgb[0], rgb[1], rgb[2]);
}

template <class FName> void WriteColor(CProfile& profile, uint32_t color, FName entryName)
{
    for (int c = 0; c < 3; ++c)
        profile.SetInt(g_sectionColor, entryName(g_components[c]), Component(color, c));
}

// Bar1R ... Background256B: colour name, scheme number, component letter.
KString SchemeEntry(int color, int scheme, char16_t component)
{
    return g_colorNames[color] + Number(scheme) + component;
}

// ChartingColorR1 ... ChartingColorB12: the component letter comes before the number.
KString ChartingEntry(int series, char16_t component)
{
    return u"ChartingColor" + KString(1, component) + Number(series + 1);
}

KString ChartingOthersEntry(char16_t component)
{
    return u"ChartingOthersColor" + KString(1, component);
}

} // namespace

COptionSet::COptionSet()
{
    m_colorScheme1.ResetDefault(1);
    m_colorScheme2.ResetDefault(2);
    m_colorScheme3.ResetDefault(3);
    m_colorScheme4.ResetDefault(4);
    m_colorScheme256.ResetDefault(256);
    for (int i = 0; i < nChartingColors; ++i)
        m_aChartingColors[static_cast<size_t>(i)] = g_chartingDefaults[i];
    m_nChartingOthersColor = g_chartingOthersDefault;
}

void COptionSet::ResetDefaults()
{
    const int language = m_nLanguage;
    *this = COptionSet();
    m_nLanguage = language;
}

bool COptionSet::IsKnownLanguage(int languageId)
{
    for (int id : g_languages)
        if (id == languageId)
            return true;
    return false;
}

int COptionSet::ChooseLanguage(const CProfile* profile)
{
    if (profile && profile->HasEntry(g_sectionFlags, u"Language"))
    {
        const int language = profile->GetInt(g_sectionFlags, u"Language", 0);
        if (IsKnownLanguage(language))
            return language;
    }
    return platform::LanguageFromEnvironment() == ELanguage::German ? static_cast<int>(ELanguage::German)
                                                                    : static_cast<int>(ELanguage::English);
}

CColorScheme* COptionSet::GetColorScheme(int number)
{
    switch (number)
    {
    case 1:
        return &m_colorScheme1;
    case 2:
        return &m_colorScheme2;
    case 3:
        return &m_colorScheme3;
    case 4:
        return &m_colorScheme4;
    case 256:
        return &m_colorScheme256;
    default:
        return nullptr;
    }
}

const CColorScheme* COptionSet::GetColorScheme(int number) const
{
    return const_cast<COptionSet*>(this)->GetColorScheme(number);
}

void COptionSet::LoadOptions(const CProfile& profile)
{
    for (int number : g_persistedSchemes)
    {
        CColorScheme& scheme = *GetColorScheme(number);
        for (int color = 0; color < CColorScheme::nColors; ++color)
            scheme.SetColor(color,
                            ReadColor(profile, scheme.GetColor(color),
                                      [&](char16_t component) { return SchemeEntry(color, number, component); }));
        scheme.m_bColorShadingOverview = profile.GetInt(g_sectionColor, u"ColorShadingOverview" + Number(number),
                                                        scheme.m_bColorShadingOverview) != 0;
        scheme.m_bColorShadingTable =
            profile.GetInt(g_sectionColor, u"ColorShadingTable" + Number(number), scheme.m_bColorShadingTable) != 0;
    }
    for (int i = 0; i < nChartingColors; ++i)
    {
        uint32_t& color = m_aChartingColors[static_cast<size_t>(i)];
        color = ReadColor(profile, color, [&](char16_t component) { return ChartingEntry(i, component); });
    }
    m_nChartingOthersColor = ReadColor(profile, m_nChartingOthersColor, ChartingOthersEntry);

    const int scheme = profile.GetInt(g_sectionFlags, u"ColorSchemeNr2011", m_nColorSchemeNr2011);
    if (CColorScheme::IsSchemeNumber(scheme))
        m_nColorSchemeNr2011 = scheme;

    for (const SFlagsEntry& entry : g_flagsEntries)
    {
        if (entry.m_pString != nullptr)
        {
            this->*entry.m_pString = profile.GetString(g_sectionFlags, entry.m_pName, this->*entry.m_pString);
        }
        else if (entry.m_pBool != nullptr)
        {
            this->*entry.m_pBool = profile.GetInt(g_sectionFlags, entry.m_pName, this->*entry.m_pBool) != 0;
        }
        else
        {
            int& field = this->*entry.m_pInt;
            const int value = profile.GetInt(g_sectionFlags, entry.m_pName, field);
            const bool bInside = value >= entry.m_nMin && value <= entry.m_nMax;
            if (entry.m_eRule == ERangeRule::Any || bInside)
                field = value;
            else if (entry.m_eRule == ERangeRule::Clamp)
                field = value < entry.m_nMin ? entry.m_nMin : entry.m_nMax;
        }
    }

    // Read back as well, so that saving does not turn a chosen language into German.
    const int language = profile.GetInt(g_sectionFlags, u"Language", m_nLanguage);
    if (IsKnownLanguage(language))
        m_nLanguage = language;
}

void COptionSet::SaveOptions(CProfile& profile) const
{
    for (int number : g_persistedSchemes)
    {
        const CColorScheme& scheme = *GetColorScheme(number);
        for (int color = 0; color < CColorScheme::nColors; ++color)
            WriteColor(profile, scheme.GetColor(color),
                       [&](char16_t component) { return SchemeEntry(color, number, component); });
        profile.SetInt(g_sectionColor, u"ColorShadingOverview" + Number(number), scheme.m_bColorShadingOverview);
        profile.SetInt(g_sectionColor, u"ColorShadingTable" + Number(number), scheme.m_bColorShadingTable);
    }
    for (int i = 0; i < nChartingColors; ++i)
        WriteColor(profile, m_aChartingColors[static_cast<size_t>(i)],
                   [&](char16_t component) { return ChartingEntry(i, component); });
    WriteColor(profile, m_nChartingOthersColor, ChartingOthersEntry);

    profile.SetInt(g_sectionFlags, u"ColorSchemeNr2011", m_nColorSchemeNr2011);
    for (const SFlagsEntry& entry : g_flagsEntries)
    {
        if (entry.m_pString != nullptr)
            profile.SetString(g_sectionFlags, entry.m_pName, this->*entry.m_pString);
        else if (entry.m_pBool != nullptr)
            profile.SetInt(g_sectionFlags, entry.m_pName, this->*entry.m_pBool ? 1 : 0);
        else
            profile.SetInt(g_sectionFlags, entry.m_pName, this->*entry.m_pInt);
    }
    profile.SetInt(g_sectionFlags, u"Language", m_nLanguage);
}
