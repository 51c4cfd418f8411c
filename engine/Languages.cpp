#include "engine/Languages.h"

#include "engine/TextFold.h"

#include <memory>

namespace
{
const KString kEmpty;
constexpr const char16_t* kNoBreakSpace = u"\u00A0";

// The number slots 1..10 for a decimal separator and a thousands separator.
void FillNumberSlots(std::array<KString, STANDARD_FORMAT_COUNT>& formats, KStringView decimal, KStringView thousands)
{
    const KString d(decimal);
    const KString t(thousands);
    formats[0] = u"####";
    formats[1] = u"#" + t + u"###";
    formats[2] = u"####" + d + u"##";
    formats[3] = u"####" + d;
    formats[4] = u"####" + d;
    formats[5] = u"####" + d + u"####";
    formats[6] = u"#" + t + u"###" + d + u"00";
    formats[7] = u"####" + d + u"0";
    formats[8] = u"####" + d + u"00";
    formats[9] = u"####" + d + u"00";
}

// Slots 11..27 from a list of 17 strings.
void FillDateSlots(std::array<KString, STANDARD_FORMAT_COUNT>& formats, std::initializer_list<const char16_t*> slots)
{
    size_t i = SLOT_DATE - 1;
    for (const char16_t* slot : slots)
        formats[i++] = slot;
}

template <size_t N> void FillNames(std::array<KString, N>& names, std::initializer_list<const char16_t*> list)
{
    size_t i = 0;
    for (const char16_t* name : list)
        names[i++] = name;
}
} // namespace

CLanguage::CLanguage(int languageId, KStringView name, const char* localeName)
    : m_nLanguageId(languageId), m_strName(name), m_pLocaleName(localeName)
{
}

const KString& CLanguage::GetMonthName(int month, bool shortName) const
{
    if (month < 1 || month > 12)
        return kEmpty;
    return shortName ? m_shortMonthNames[month - 1] : m_monthNames[month - 1];
}

const KString& CLanguage::GetDayName(int dayOfWeek, bool shortName) const
{
    if (dayOfWeek < 0 || dayOfWeek > 6)
        return kEmpty;
    return shortName ? m_shortDayNames[dayOfWeek] : m_dayNames[dayOfWeek];
}

const KString& CLanguage::GetStandardFormat(int slot) const
{
    if (slot < 1 || slot > STANDARD_FORMAT_COUNT)
        return kEmpty;
    return m_formats[slot - 1];
}

char16_t CLanguage::GetDecimalSeparator() const
{
    const KString& floating = GetStandardFormat(SLOT_FLOATING);
    return floating.empty() ? u'.' : floating.back();
}

char16_t CLanguage::GetThousandsSeparator() const
{
    const KString& thousands = GetStandardFormat(SLOT_INTEGER_THOUSANDS);
    return thousands.size() < 2 ? u',' : thousands[1];
}

int CLanguage::ReadTruthValue(KStringView text) const
{
    if (text::EqualsIgnoreCase(text, m_strYes) || text::EqualsIgnoreCase(text, u"yes"))
        return 1;
    if (text::EqualsIgnoreCase(text, m_strNo) || text::EqualsIgnoreCase(text, u"no"))
        return 0;
    return -1;
}

const std::vector<const CLanguage*>& CLanguage::GetLanguages()
{
    static const std::vector<std::unique_ptr<CLanguage>> owned = []
    {
        std::vector<std::unique_ptr<CLanguage>> list;
        list.push_back(std::make_unique<CEnglishLanguage>());
        list.push_back(std::make_unique<CGermanLanguage>());
        list.push_back(std::make_unique<CFrenchLanguage>());
        list.push_back(std::make_unique<CDutchLanguage>());
        list.push_back(std::make_unique<CSpanishLanguage>());
        list.push_back(std::make_unique<CItalianLanguage>());
        list.push_back(std::make_unique<CPortugueseLanguage>());
        list.push_back(std::make_unique<CPolishLanguage>());
        list.push_back(std::make_unique<CHungarianLanguage>());
        return list;
    }();
    static const std::vector<const CLanguage*> languages = []
    {
        std::vector<const CLanguage*> list;
        for (const auto& language : owned)
            list.push_back(language.get());
        return list;
    }();
    return languages;
}

const CLanguage* CLanguage::FindLanguage(int languageId)
{
    for (const CLanguage* language : GetLanguages())
    {
        if (language->GetLanguageId() == languageId)
            return language;
    }
    return nullptr;
}

const CLanguage& CLanguage::GetLanguageOrEnglish(int languageId)
{
    const CLanguage* language = FindLanguage(languageId);
    return language ? *language : *GetLanguages().front();
}

// ---- the languages ----

CEnglishLanguage::CEnglishLanguage() : CLanguage(1033, u"English", "en_US")
{
    FillNames(m_monthNames, {u"January", u"February", u"March", u"April", u"May", u"June", u"July", u"August",
                             u"September", u"October", u"November", u"December"});
    FillNames(m_shortMonthNames,
              {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"});
    FillNames(m_dayNames, {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"});
    FillNames(m_shortDayNames, {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"});
    m_strLetters = u"ymdhms";
    m_strYes = u"yes";
    m_strNo = u"no";
    m_strCurrency = u"$";
    FillNumberSlots(m_formats, u".", u",");
    FillDateSlots(m_formats,
                  {u"yy/m/d", u"mm/dd/yyyy", u"d. mmm yyyy", u"d. mmmm yyyy", u"yyyy/m/d", u"yy/mm/dd", u"mm/dd/yyyy",
                   u"yy/mm", u"hh:mm:ss", u"hh:mm:ss", u"h:mm:ss", u"mm/dd/yyyy, h:mm:ss AM/PM",
                   u"mm/dd/yyyy, h:mm:ss AM/PM", u"dddd, mmmm d, yyyy, h:mm AM/PM", u"tt.mm.jjjj, ss:mm:ss",
                   u"mm/dd/yyyy, h:mm:ss AM/PM", u"hhh:mm:ss"});
}

CGermanLanguage::CGermanLanguage() : CLanguage(1031, u"Deutsch", "de_DE")
{
    FillNames(m_monthNames, {u"Januar", u"Februar", u"M\u00e4rz", u"April", u"Mai", u"Juni", u"Juli", u"August",
                             u"September", u"Oktober", u"November", u"Dezember"});
    FillNames(m_shortMonthNames,
              {u"Jan", u"Feb", u"M\u00e4r", u"Apr", u"Mai", u"Jun", u"Jul", u"Aug", u"Sep", u"Okt", u"Nov", u"Dez"});
    FillNames(m_dayNames, {u"Sonntag", u"Montag", u"Dienstag", u"Mittwoch", u"Donnerstag", u"Freitag", u"Samstag"});
    FillNames(m_shortDayNames, {u"So", u"Mo", u"Di", u"Mi", u"Do", u"Fr", u"Sa"});
    m_strLetters = u"jmtsms";
    m_strYes = u"ja";
    m_strNo = u"nein";
    m_strCurrency = u"\u20ac";
    FillNumberSlots(m_formats, u",", u".");
    FillDateSlots(m_formats, {u"t.m.jjjj", u"tt.mm.jjjj", u"t. mmm jjjj", u"t. mmmm jjjj", u"tt.mm.jj", u"yy/mm/dd",
                              u"mm/dd/yyyy", u"m.jj", u"ss:mm:ss", u"ss:mm:ss", u"s:mm:ss", u"tt.mm.jjjj, ss:mm:ss",
                              u"tt.mm.jjjj, ss:mm:ss", u"tttt, t. mmmm jjjj, s:mm", u"mm/dd/yyyy, h:mm:ss AM/PM",
                              u"mm/dd/yyyy, h:mm:ss AM/PM", u"sss:mm:ss"});
}

CFrenchLanguage::CFrenchLanguage() : CLanguage(1036, u"fran\u00e7ais", "fr_FR")
{
    FillNames(m_monthNames, {u"janvier", u"f\u00e9vrier", u"mars", u"avril", u"mai", u"juin", u"juillet", u"ao\u00fbt",
                             u"septembre", u"octobre", u"novembre", u"d\u00e9cembre"});
    FillNames(m_shortMonthNames, {u"janv", u"f\u00e9vr", u"mars", u"avr", u"mai", u"juin", u"juil", u"ao\u00fbt",
                                  u"sept", u"oct", u"nov", u"d\u00e9c"});
    FillNames(m_dayNames, {u"dimanche", u"lundi", u"mardi", u"mercredi", u"jeudi", u"vendredi", u"samedi"});
    FillNames(m_shortDayNames, {u"dim", u"lun", u"mar", u"mer", u"jeu", u"ven", u"sam"});
    m_strLetters = u"ymdhms";
    m_strYes = u"oui";
    m_strNo = u"non";
    m_strCurrency = u"\u20ac";
    FillNumberSlots(m_formats, u",", kNoBreakSpace);
    FillDateSlots(m_formats,
                  {u"dd/mm/yyyy", u"d/m/yyyy", u"d mmm yyyy", u"d mmmm yyyy", u"dd/mm/yy", u"yy/mm/dd", u"mm/dd/yyyy",
                   u"mm/yyyy", u"hh:mm:ss", u"hh:mm:ss", u"h:mm:ss", u"dd/mm/yyyy hh:mm:ss", u"dd/mm/yyyy hh:mm:ss",
                   u"dddd d mmmm yyyy hh:mm", u"tt.mm.jjjj, ss:mm:ss", u"mm/dd/yyyy, h:mm:ss AM/PM", u"hhh:mm:ss"});
}

CDutchLanguage::CDutchLanguage() : CLanguage(1043, u"Nederlands", "nl_NL")
{
    FillNames(m_monthNames, {u"januari", u"februari", u"maart", u"april", u"mei", u"juni", u"juli", u"augustus",
                             u"september", u"oktober", u"november", u"december"});
    FillNames(m_shortMonthNames,
              {u"jan", u"feb", u"mrt", u"apr", u"mei", u"jun", u"jul", u"aug", u"sep", u"okt", u"nov", u"dec"});
    FillNames(m_dayNames, {u"zondag", u"maandag", u"dinsdag", u"woensdag", u"donderdag", u"vrijdag", u"zaterdag"});
    FillNames(m_shortDayNames, {u"zo", u"ma", u"di", u"wo", u"do", u"vr", u"za"});
    m_strLetters = u"ymdhms";
    m_strYes = u"ja";
    m_strNo = u"nee";
    m_strCurrency = u"\u20ac";
    FillNumberSlots(m_formats, u",", u".");
    FillDateSlots(m_formats,
                  {u"d-m-yyyy", u"dd-mm-yyyy", u"d mmm yyyy", u"d mmmm yyyy", u"dd-mm-yy", u"yy/mm/dd", u"mm/dd/yyyy",
                   u"m-yyyy", u"hh:mm:ss", u"hh:mm:ss", u"h:mm:ss", u"d-m-yyyy hh:mm:ss", u"d-m-yyyy hh:mm:ss",
                   u"dddd d mmmm yyyy hh:mm", u"tt.mm.jjjj, ss:mm:ss", u"mm/dd/yyyy, h:mm:ss AM/PM", u"hhh:mm:ss"});
}

CSpanishLanguage::CSpanishLanguage() : CLanguage(3082, u"Espa\u00f1ol", "es_ES")
{
    FillNames(m_monthNames, {u"enero", u"febrero", u"marzo", u"abril", u"mayo", u"junio", u"julio", u"agosto",
                             u"septiembre", u"octubre", u"noviembre", u"diciembre"});
    FillNames(m_shortMonthNames,
              {u"ene", u"feb", u"mar", u"abr", u"may", u"jun", u"jul", u"ago", u"sep", u"oct", u"nov", u"dic"});
    FillNames(m_dayNames, {u"domingo", u"lunes", u"martes", u"mi\u00e9rcoles", u"jueves", u"viernes", u"s\u00e1bado"});
    FillNames(m_shortDayNames, {u"dom", u"lun", u"mar", u"mi\u00e9", u"jue", u"vie", u"s\u00e1b"});
    m_strLetters = u"ymdhms";
    m_strYes = u"si";
    m_strNo = u"no";
    m_strCurrency = u"\u20ac";
    FillNumberSlots(m_formats, u",", u".");
    FillDateSlots(m_formats, {u"dd/mm/yyyy", u"d/m/yyyy", u"d-mmm-yyyy", u"d \"de\" mmmm \"de\" yyyy", u"dd/mm/yy",
                              u"yy/mm/dd", u"mm/dd/yyyy", u"mm/yyyy", u"hh:mm:ss", u"hh:mm:ss", u"h:mm:ss",
                              u"dd/mm/yyyy hh:mm:ss", u"dd/mm/yyyy hh:mm:ss", u"dddd, d \"de\" mmmm \"de\" yyyy hh:mm",
                              u"tt.mm.jjjj, ss:mm:ss", u"mm/dd/yyyy, h:mm:ss AM/PM", u"hhh:mm:ss"});
}

CItalianLanguage::CItalianLanguage() : CLanguage(1040, u"Italiano", "it_IT")
{
    FillNames(m_monthNames, {u"gennaio", u"febbraio", u"marzo", u"aprile", u"maggio", u"giugno", u"luglio", u"agosto",
                             u"settembre", u"ottobre", u"novembre", u"dicembre"});
    FillNames(m_shortMonthNames,
              {u"gen", u"feb", u"mar", u"apr", u"mag", u"giu", u"lug", u"ago", u"set", u"ott", u"nov", u"dic"});
    FillNames(m_dayNames, {u"domenica", u"luned\u00ec", u"marted\u00ec", u"mercoled\u00ec", u"gioved\u00ec",
                           u"venerd\u00ec", u"sabato"});
    FillNames(m_shortDayNames, {u"dom", u"lun", u"mar", u"mer", u"gio", u"ven", u"sab"});
    m_strLetters = u"amghms";
    m_strYes = u"s\u00ec";
    m_strNo = u"no";
    m_strCurrency = u"\u20ac";
    FillNumberSlots(m_formats, u",", u".");
    FillDateSlots(m_formats,
                  {u"gg/mm/aaaa", u"g/m/aaaa", u"g mmm aaaa", u"g mmmm aaaa", u"gg/mm/aa", u"yy/mm/dd", u"mm/dd/yyyy",
                   u"mm/aaaa", u"hh:mm:ss", u"hh:mm:ss", u"h:mm:ss", u"gg/mm/aaaa hh:mm:ss", u"gg/mm/aaaa hh:mm:ss",
                   u"gggg g mmmm aaaa hh:mm", u"tt.mm.jjjj, ss:mm:ss", u"mm/dd/yyyy, h:mm:ss AM/PM", u"hhh:mm:ss"});
}

CPortugueseLanguage::CPortugueseLanguage() : CLanguage(1046, u"Portugu\u00eas", "pt_BR")
{
    FillNames(m_monthNames, {u"janeiro", u"fevereiro", u"mar\u00e7o", u"abril", u"maio", u"junho", u"julho", u"agosto",
                             u"setembro", u"outubro", u"novembro", u"dezembro"});
    FillNames(m_shortMonthNames,
              {u"jan", u"fev", u"mar", u"abr", u"mai", u"jun", u"jul", u"ago", u"set", u"out", u"nov", u"dez"});
    FillNames(m_dayNames, {u"domingo", u"segunda-feira", u"ter\u00e7a-feira", u"quarta-feira", u"quinta-feira",
                           u"sexta-feira", u"s\u00e1bado"});
    FillNames(m_shortDayNames, {u"dom", u"seg", u"ter", u"qua", u"qui", u"sex", u"s\u00e1b"});
    m_strLetters = u"amdhms";
    m_strYes = u"sim";
    m_strNo = u"n\u00e3o";
    m_strCurrency = u"\u20ac";
    FillNumberSlots(m_formats, u",", u".");
    FillDateSlots(m_formats, {u"d/m/aa", u"dd/mm/aaaa", u"d mmm aaaa", u"d \"de\" mmmm \"de\" aaaa", u"dd/mm/aa",
                              u"yy/mm/dd", u"mm/dd/yyyy", u"mm/aaaa", u"hh:mm:ss", u"hh:mm:ss", u"h:mm:ss",
                              u"dd/mm/aaaa hh:mm:ss", u"dd/mm/aaaa hh:mm:ss", u"dddd, d \"de\" mmmm \"de\" aaaa hh:mm",
                              u"tt.mm.jjjj, ss:mm:ss", u"mm/dd/yyyy, h:mm:ss AM/PM", u"hhh:mm:ss"});
}

CPolishLanguage::CPolishLanguage() : CLanguage(1045, u"Polski", "pl_PL")
{
    FillNames(m_monthNames, {u"stycze\u0144", u"luty", u"marzec", u"kwiecie\u0144", u"maj", u"czerwiec", u"lipiec",
                             u"sierpie\u0144", u"wrzesie\u0144", u"pa\u017adziernik", u"listopad", u"grudzie\u0144"});
    FillNames(m_shortMonthNames,
              {u"sty", u"lut", u"mar", u"kwi", u"maj", u"cze", u"lip", u"sie", u"wrz", u"pa\u017a", u"lis", u"gru"});
    FillNames(m_dayNames,
              {u"niedziela", u"poniedzia\u0142ek", u"wtorek", u"\u015broda", u"czwartek", u"pi\u0105tek", u"sobota"});
    FillNames(m_shortDayNames, {u"nd", u"pn", u"wt", u"\u015br", u"cz", u"pt", u"sb"});
    m_strLetters = u"rmdhms";
    m_strYes = u"tak";
    m_strNo = u"nie";
    m_strCurrency = u"z\u0142";
    FillNumberSlots(m_formats, u",", kNoBreakSpace);
    FillDateSlots(m_formats,
                  {u"rrrr-mm-dd", u"dd.mm.rrrr", u"d mmm rrrr", u"d mmmm rrrr", u"rr-mm-dd", u"yy/mm/dd", u"mm/dd/yyyy",
                   u"mm.rrrr", u"hh:mm:ss", u"hh:mm:ss", u"h:mm:ss", u"rrrr-mm-dd hh:mm:ss", u"rrrr-mm-dd hh:mm:ss",
                   u"dddd, d mmmm rrrr hh:mm", u"tt.mm.jjjj, ss:mm:ss", u"mm/dd/yyyy, h:mm:ss AM/PM", u"hhh:mm:ss"});
}

CHungarianLanguage::CHungarianLanguage() : CLanguage(1038, u"Magyar", "hu_HU")
{
    FillNames(m_monthNames,
              {u"janu\u00e1r", u"febru\u00e1r", u"m\u00e1rcius", u"\u00e1prilis", u"m\u00e1jus", u"j\u00fanius",
               u"j\u00falius", u"augusztus", u"szeptember", u"okt\u00f3ber", u"november", u"december"});
    FillNames(m_shortMonthNames, {u"jan", u"febr", u"m\u00e1rc", u"\u00e1pr", u"m\u00e1j", u"j\u00fan", u"j\u00fal",
                                  u"aug", u"szept", u"okt", u"nov", u"dec"});
    FillNames(m_dayNames, {u"vas\u00e1rnap", u"h\u00e9tf\u0151", u"kedd", u"szerda", u"cs\u00fct\u00f6rt\u00f6k",
                           u"p\u00e9ntek", u"szombat"});
    FillNames(m_shortDayNames, {u"V", u"H", u"K", u"Sze", u"Cs", u"P", u"Szo"});
    m_strLetters = u"\u00e9hn\u00f3pm";
    m_strYes = u"igen";
    m_strNo = u"nem";
    m_strCurrency = u"Ft";
    FillNumberSlots(m_formats, u",", kNoBreakSpace);
    FillDateSlots(m_formats,
                  {u"\u00e9\u00e9\u00e9\u00e9.hh.nn.", u"\u00e9\u00e9\u00e9\u00e9. hh. nn.",
                   u"\u00e9\u00e9\u00e9\u00e9. hhh nn.", u"\u00e9\u00e9\u00e9\u00e9. hhhh nn.", u"\u00e9\u00e9.hh.nn.",
                   u"yy/mm/dd", u"mm/dd/yyyy", u"\u00e9\u00e9\u00e9\u00e9.hh.", u"\u00f3\u00f3:pp:mm",
                   u"\u00f3\u00f3:pp:mm", u"\u00f3:pp:mm", u"\u00e9\u00e9\u00e9\u00e9.hh.nn. \u00f3\u00f3:pp:mm",
                   u"\u00e9\u00e9\u00e9\u00e9.hh.nn. \u00f3\u00f3:pp:mm",
                   u"\u00e9\u00e9\u00e9\u00e9. hhhh nn. nnnn \u00f3\u00f3:pp", u"tt.mm.jjjj, ss:mm:ss",
                   u"mm/dd/yyyy, h:mm:ss AM/PM", u"\u00f3\u00f3\u00f3:pp:mm"});
}

// ---- regional settings ----

namespace regional
{
namespace
{
const CLanguage& Language(int languageId)
{
    return CLanguage::GetLanguageOrEnglish(languageId);
}

// The first character of a format string that is neither a letter of the language nor a space.
KString FirstSeparator(const CLanguage& language, const KString& format, char16_t fallback)
{
    for (char16_t c : format)
    {
        if (c != u' ' && language.GetLetters().find(text::FoldCase(c)) == KString::npos)
            return KString(1, c);
    }
    return KString(1, fallback);
}

bool TwelveHour(const CLanguage& language)
{
    return text::FindIgnoreCase(language.GetStandardFormat(SLOT_DATETIME), u"AM/PM") != KString::npos;
}
} // namespace

KString GetDecimalSeparator(int languageId)
{
    return KString(1, Language(languageId).GetDecimalSeparator());
}

KString GetThousandsSeparator(int languageId)
{
    return KString(1, Language(languageId).GetThousandsSeparator());
}

KString GetDateSeparator(int languageId)
{
    const CLanguage& language = Language(languageId);
    return FirstSeparator(language, language.GetStandardFormat(SLOT_DATE_2), u'/');
}

KString GetTimeSeparator(int languageId)
{
    const CLanguage& language = Language(languageId);
    return FirstSeparator(language, language.GetStandardFormat(SLOT_TIME), u':');
}

KString GetTimeType(int languageId)
{
    return TwelveHour(Language(languageId)) ? u"0" : u"1";
}

KString GetHourZeros(int languageId)
{
    const CLanguage& language = Language(languageId);
    const KString& time = language.GetStandardFormat(SLOT_DATETIME);
    const char16_t hour = language.GetLetter(LETTER_HOUR);
    // The hour element is the run of hour letters that the time separator follows.
    const size_t colon = time.find(u':');
    const bool twoDigits = colon != KString::npos && colon >= 2 && text::FoldCase(time[colon - 1]) == hour &&
                           text::FoldCase(time[colon - 2]) == hour;
    return twoDigits ? u"1" : u"0";
}

KString GetAMString(int languageId)
{
    return TwelveHour(Language(languageId)) ? u"AM" : u"";
}

KString GetPMString(int languageId)
{
    return TwelveHour(Language(languageId)) ? u"PM" : u"";
}

KString GetTimeMarkerPos(int languageId)
{
    (void)languageId; // every language writes its marker after the time
    return u"0";
}

KString GetDateFormatW(int languageId)
{
    return Language(languageId).GetStandardFormat(SLOT_DATE);
}

KString GetTimeFormatW(int languageId)
{
    return Language(languageId).GetStandardFormat(SLOT_TIME);
}
} // namespace regional
