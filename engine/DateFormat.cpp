#include "engine/DateFormat.h"

#include "engine/Calendar.h"
#include "engine/Languages.h"
#include "engine/TextFold.h"
#include "platform/PaddedText.h"

#include <algorithm>
#include <cmath>
#include <span>


namespace
{
// Bits of the element groups a format may hold once each.
enum : unsigned
{
    GROUP_YEAR = 1,
    GROUP_MONTH = 2,
    GROUP_DAY = 4,
    GROUP_DAY_NAME = 8,
    GROUP_HOUR = 16,
    GROUP_MINUTE = 32,
    GROUP_SECOND = 64,
    GROUPS_DATE = GROUP_YEAR | GROUP_MONTH | GROUP_DAY | GROUP_DAY_NAME,
    GROUPS_TIME = GROUP_HOUR | GROUP_MINUTE | GROUP_SECOND,
};

unsigned GroupOf(EDateItem kind)
{
    switch (kind)
    {
    case DATE_ITEM_YEAR:
        return GROUP_YEAR;
    case DATE_ITEM_MONTH:
    case DATE_ITEM_MONTH_NAME:
        return GROUP_MONTH;
    case DATE_ITEM_DAY:
        return GROUP_DAY;
    case DATE_ITEM_DAY_NAME:
        return GROUP_DAY_NAME;
    case DATE_ITEM_HOUR:
    case DATE_ITEM_SPAN_HOURS:
        return GROUP_HOUR;
    case DATE_ITEM_MINUTE:
        return GROUP_MINUTE;
    case DATE_ITEM_SECOND:
        return GROUP_SECOND;
    default:
        return 0;
    }
}

bool ValidLength(EDateItem kind, size_t run)
{
    switch (kind)
    {
    case DATE_ITEM_YEAR:
        return run == 2 || run == 4;
    case DATE_ITEM_MONTH:
    case DATE_ITEM_DAY:
    case DATE_ITEM_HOUR:
    case DATE_ITEM_MINUTE:
    case DATE_ITEM_SECOND:
        return run <= 2;
    case DATE_ITEM_MONTH_NAME:
    case DATE_ITEM_DAY_NAME:
        return run == 3 || run == 4;
    case DATE_ITEM_SPAN_HOURS:
        return run == 3;
    default:
        return false;
    }
}

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Reads minDigits..maxDigits digits at p.
bool ReadDigits(KStringView text, size_t& p, size_t minDigits, size_t maxDigits, int64_t& out)
{
    size_t count = 0;
    int64_t value = 0;
    while (p < text.size() && count < maxDigits && IsDigit(text[p]))
    {
        value = value * 10 + (text[p] - u'0');
        ++p;
        ++count;
    }
    out = value;
    return count >= minDigits;
}

// The longest of the names (long and short, index 0..count-1) that text continues with at p; -1 when none.
template <class NameOf> int MatchName(KStringView text, size_t& p, int count, const NameOf& nameOf)
{
    int best = -1;
    size_t bestLength = 0;
    const KStringView rest = text.substr(p);
    for (int i = 0; i < count; ++i)
    {
        for (bool shortName : {false, true})
        {
            const KString& name = nameOf(i, shortName);
            if (name.size() > bestLength && text::StartsWithIgnoreCase(rest, name))
            {
                best = i;
                bestLength = name.size();
            }
        }
    }
    p += bestLength;
    return best;
}

void AppendNumber(KString& text, int64_t value, int minDigits)
{
    KString digits = platform::ToKString(value);
    if (static_cast<int>(digits.size()) < minDigits)
        digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), u'0');
    text += digits;
}

int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Formats in neutral letters (Y year, M month, D day, H hour, N minute, S second) that the date
// families propose for samples besides their standard formats.
const char16_t* const kProposalTemplates[] = {
    u"YYYY-MM-DD",
    u"YYYY-MM-DD HH:NN:SS",
    u"YYYY-MM-DD HH:NN",
    u"YYYY-MM-DD\"T\"HH:NN:SS",
    u"YYYY/MM/DD",
    u"YYYY/MM/DD HH:NN:SS",
    u"YYYY.MM.DD",
    u"DD.MM.YYYY",
    u"D.M.YYYY",
    u"DD.MM.YYYY HH:NN:SS",
    u"DD.MM.YYYY HH:NN",
    u"DD.MM.YY",
    u"DD/MM/YYYY",
    u"D/M/YYYY",
    u"DD/MM/YYYY HH:NN:SS",
    u"DD/MM/YYYY HH:NN",
    u"DD/MM/YY",
    u"MM/DD/YYYY",
    u"M/D/YYYY",
    u"MM/DD/YYYY HH:NN:SS",
    u"MM/DD/YYYY HH:NN",
    u"MM/DD/YY",
    u"MM/DD/YYYY H:NN:SS AM/PM",
    u"MM/DD/YYYY H:NN AM/PM",
    u"MM/DD/YYYY, H:NN:SS AM/PM",
    u"DD-MM-YYYY",
    u"D-M-YYYY",
    u"DD-MM-YYYY HH:NN:SS",
    u"DD-MMM-YYYY",
    u"DD-MMM-YY",
    u"D. MMMM YYYY",
    u"D. MMM YYYY",
    u"D MMMM YYYY",
    u"D MMM YYYY",
    u"MMMM D, YYYY",
    u"MMM D, YYYY",
    u"DDDD, MMMM D, YYYY",
    u"MM/YYYY",
    u"MM.YYYY",
    u"YYYY-MM",
    u"MMMM YYYY",
    u"MMM YYYY",
    u"HH:NN:SS",
    u"H:NN:SS",
    u"HH:NN",
    u"H:NN",
    u"H:NN:SS AM/PM",
    u"H:NN AM/PM",
    u"HHH:NN:SS",
    u"HHH:NN",
};

// A template in the letters of a language (quoted text and "AM/PM" stay as they are).
KString Translate(KStringView pattern, const CLanguage& language)
{
    static const KStringView neutral = u"YMDHNS";
    KString out;
    char16_t quote = 0;
    for (size_t i = 0; i < pattern.size(); ++i)
    {
        const char16_t c = pattern[i];
        if (quote)
        {
            out += c;
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == u'"' || c == u'\'')
        {
            quote = c;
            out += c;
            continue;
        }
        if (pattern.substr(i, 5) == u"AM/PM")
        {
            out += u"AM/PM";
            i += 4;
            continue;
        }
        const size_t which = neutral.find(c);
        out += which == KStringView::npos ? c : language.GetLetter(static_cast<EFormatLetter>(which));
    }
    return out;
}
} // namespace

// ---- SDateFormat ----

bool SDateFormat::Has(EDateItem kind) const
{
    return std::any_of(items.begin(), items.end(), [kind](const SDateFormatItem& item) { return item.eKind == kind; });
}

namespace
{
// Makes SDateFormat::strLayout and anLayoutAt from the items.
void MakeLayout(SDateFormat& format)
{
    KString layout;
    for (const SDateFormatItem& item : format.items)
    {
        int field = -1;
        size_t digits = 2;
        switch (item.eKind)
        {
        case DATE_ITEM_SPACE:
            layout += u' ';
            continue;
        case DATE_ITEM_SEPARATOR:
            if (IsDigit(item.strText[0]) || item.strText[0] == u' ')
                return;
            layout += item.strText[0];
            continue;
        case DATE_ITEM_YEAR:
            field = 0;
            digits = static_cast<size_t>(item.nCount);
            format.nLayoutYearDigits = static_cast<int8_t>(item.nCount);
            break;
        case DATE_ITEM_MONTH:
            field = 1;
            break;
        case DATE_ITEM_DAY:
            field = 2;
            break;
        case DATE_ITEM_HOUR:
            field = 3;
            break;
        case DATE_ITEM_MINUTE:
            field = 4;
            break;
        case DATE_ITEM_SECOND:
            field = 5;
            break;
        default:
            return;
        }
        if (format.anLayoutAt[field] >= 0 || layout.size() > 100)
            return; // a field twice: the items decide
        format.anLayoutAt[field] = static_cast<int8_t>(layout.size());
        layout.append(digits, u'9');
    }
    if (layout.empty() || layout[0] == u' ')
        return;
    format.strLayoutLow = layout;
    std::replace(format.strLayoutLow.begin(), format.strLayoutLow.end(), u'9', u'0');
    format.strLayout = std::move(layout);
}

// Whether text (as long as the layout at least) starts as laid out: each unit between the layout's low and
// high one (a digit where the layout has '9', else the layout's own unit); eight units at a time where the
// processor allows.
bool StartsAsLaidOut(const char16_t* text, const KString& low, const KString& high)
{
    return platform::UnitsWithin(text, low.data(), high.data(), high.size());
}
} // namespace

std::optional<SDateFormat> SDateFormat::Parse(KStringView format, const CLanguage& language)
{
    std::optional<SDateFormat> parsed = ParseItems(format, language);
    if (parsed)
        MakeLayout(*parsed);
    return parsed;
}

std::optional<SDateFormat> SDateFormat::ParseItems(KStringView format, const CLanguage& language)
{
    if (format.empty() || format.size() > 100)
        return std::nullopt;
    SDateFormat parsed;
    parsed.strFormat = KString(format);
    if (text::EqualsIgnoreCase(format, u"jjjj-mm-tt"))
    {
        // Known to every date family: year-month-day with a four-digit year.
        parsed.items = {{DATE_ITEM_YEAR, 4, {}},
                        {DATE_ITEM_SEPARATOR, 1, u"-"},
                        {DATE_ITEM_MONTH, 2, {}},
                        {DATE_ITEM_SEPARATOR, 1, u"-"},
                        {DATE_ITEM_DAY, 2, {}}};
        parsed.eType = VALUE_DATE;
        parsed.nRank = 187;
        return parsed;
    }

    const KString& letters = language.GetLetters();
    const char16_t yearLetter = letters[LETTER_YEAR], monthLetter = letters[LETTER_MONTH];
    const char16_t dayLetter = letters[LETTER_DAY], hourLetter = letters[LETTER_HOUR];
    const char16_t minuteLetter = letters[LETTER_MINUTE], secondLetter = letters[LETTER_SECOND];
    bool hasPrevious = false;
    EDateItem previous = DATE_ITEM_SPACE; // the last element read
    bool separatorAllowed = false;        // a separator may stand here (directly after an element)
    unsigned groups = 0;
    const size_t n = format.size();
    size_t i = 0;
    while (i < n)
    {
        const char16_t c = format[i];
        if (c == u' ')
        {
            size_t run = 0;
            while (i < n && format[i] == u' ')
                ++i, ++run;
            parsed.items.push_back({DATE_ITEM_SPACE, static_cast<int>(run), {}});
            separatorAllowed = false;
            continue;
        }
        if (c == u'"' || c == u'\'')
        {
            const size_t close = format.find(c, i + 1);
            if (close == KStringView::npos)
                return std::nullopt;
            if (close > i + 1)
                parsed.items.push_back({DATE_ITEM_TEXT, 0, KString(format.substr(i + 1, close - i - 1))});
            separatorAllowed = true;
            i = close + 1;
            continue;
        }
        const bool afterTime =
            hasPrevious && (previous == DATE_ITEM_HOUR || previous == DATE_ITEM_MINUTE || previous == DATE_ITEM_SECOND);
        if (afterTime && text::StartsWithIgnoreCase(format.substr(i), u"AM/PM"))
        {
            if (parsed.bTwelveHour)
                return std::nullopt;
            parsed.items.push_back({DATE_ITEM_AMPM, 0, KString(format.substr(i, 5))});
            parsed.bTwelveHour = true;
            separatorAllowed = true;
            i += 5;
            continue;
        }
        const char16_t letter = text::FoldCase(c);
        if (letters.find(letter) == KString::npos)
        {
            // Any other character: a single separator directly after an element.
            if (!separatorAllowed)
                return std::nullopt;
            parsed.items.push_back({DATE_ITEM_SEPARATOR, 1, KString(1, c)});
            separatorAllowed = false;
            ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < n && text::FoldCase(format[i + run]) == letter)
            ++run;
        const char16_t after = i + run < n ? format[i + run] : 0;
        EDateItem kind;
        if (letter == minuteLetter &&
            ((hasPrevious && (previous == DATE_ITEM_HOUR || previous == DATE_ITEM_SPAN_HOURS)) ||
             (run <= 2 && after == u':')))
            kind = DATE_ITEM_MINUTE;
        else if (letter == secondLetter && hasPrevious && previous == DATE_ITEM_MINUTE)
            kind = DATE_ITEM_SECOND;
        else if (letter == hourLetter)
            kind = run == 3 ? DATE_ITEM_SPAN_HOURS : DATE_ITEM_HOUR;
        else if (letter == yearLetter)
            kind = DATE_ITEM_YEAR;
        else if (letter == monthLetter)
            kind = run >= 3 ? DATE_ITEM_MONTH_NAME : DATE_ITEM_MONTH;
        else if (letter == dayLetter)
            kind = run >= 3 ? DATE_ITEM_DAY_NAME : DATE_ITEM_DAY;
        else
            return std::nullopt;
        if (!ValidLength(kind, run))
            return std::nullopt;
        const unsigned group = GroupOf(kind);
        if (groups & group)
            return std::nullopt;
        groups |= group;
        parsed.items.push_back({kind, static_cast<int>(run), {}});
        previous = kind;
        hasPrevious = true;
        separatorAllowed = true;
        i += run;
    }

    const bool span = parsed.Has(DATE_ITEM_SPAN_HOURS);
    const bool date = (groups & GROUPS_DATE) != 0;
    const bool time = (groups & GROUPS_TIME) != 0;
    if (!date && !time)
        return std::nullopt;
    if (span && (date || parsed.bTwelveHour))
        return std::nullopt;
    if (parsed.bTwelveHour && !(groups & GROUP_HOUR))
        return std::nullopt;
    if ((groups & GROUP_MINUTE) && !(groups & (GROUP_HOUR | GROUP_SECOND)))
        return std::nullopt;
    // A date needs its year; a day needs its month; a day name needs the whole date.
    if (date && !(groups & GROUP_YEAR))
        return std::nullopt;
    if ((groups & GROUP_DAY) && !(groups & GROUP_MONTH))
        return std::nullopt;
    if ((groups & GROUP_DAY_NAME) && !(groups & GROUP_DAY))
        return std::nullopt;

    const bool seconds = (groups & GROUP_SECOND) != 0;
    if (span)
    {
        parsed.eType = VALUE_TIMESPAN;
        parsed.nRank = 198 + (seconds ? 0 : 1);
    }
    else if (date && time)
    {
        parsed.eType = VALUE_DATETIME;
        parsed.nRank = 182 + (seconds ? 0 : 1) + (parsed.bTwelveHour ? 2 : 0) + ((groups & GROUP_DAY_NAME) ? 1 : 0);
    }
    else if (date)
    {
        const bool shortYear =
            std::any_of(parsed.items.begin(), parsed.items.end(),
                        [](const SDateFormatItem& item) { return item.eKind == DATE_ITEM_YEAR && item.nCount == 2; });
        parsed.eType = VALUE_DATE;
        parsed.nRank =
            187 + (shortYear ? 1 : 0) + (parsed.Has(DATE_ITEM_MONTH_NAME) ? 2 : 0) + ((groups & GROUP_DAY) ? 0 : 3);
    }
    else
    {
        parsed.eType = VALUE_TIME;
        parsed.nRank = 194 + (seconds ? 0 : 1) + (parsed.bTwelveHour ? 2 : 0);
    }
    return parsed;
}

bool SDateFormat::Read(KStringView text, const CLanguage& language, double& value, size_t& used) const
{
    const size_t n = text.size();
    size_t p = 0;
    while (p < n && text[p] == u' ')
        ++p;
    int64_t year = -1, month = -1, day = -1, dayOfWeek = -1, hours = -1, minute = -1, second = -1;
    int meridiem = -1; // 0 AM, 1 PM
    bool negative = false;
    bool ok = true;
    // A text that starts with the layout holds every number at its longest: read by position, it gives what the
    // items give, as each of them would take just those digits.
    const bool laidOut =
        !strLayout.empty() && n - p >= strLayout.size() && StartsAsLaidOut(text.data() + p, strLayoutLow, strLayout);
    if (laidOut)
    {
        auto field = [&](int which, size_t digits) -> int64_t
        {
            if (anLayoutAt[which] < 0)
                return -1;
            int64_t value = 0;
            for (size_t k = 0; k < digits; ++k)
                value = value * 10 + (text[p + static_cast<size_t>(anLayoutAt[which]) + k] - u'0');
            return value;
        };
        year = field(0, static_cast<size_t>(nLayoutYearDigits));
        if (year >= 0 && nLayoutYearDigits == 2)
            year += year < 30 ? 2000 : 1900;
        month = field(1, 2);
        day = field(2, 2);
        hours = field(3, 2);
        minute = field(4, 2);
        second = field(5, 2);
        p += strLayout.size();
    }
    for (const SDateFormatItem& item : laidOut ? std::span<const SDateFormatItem>() : std::span(items))
    {
        switch (item.eKind)
        {
        case DATE_ITEM_SPACE:
            while (p < n && text[p] == u' ')
                ++p;
            break;
        case DATE_ITEM_SEPARATOR:
            if (p < n && (text[p] == item.strText[0] || text::FoldCase(text[p]) == text::FoldCase(item.strText[0])))
                ++p;
            else
                ok = false;
            break;
        case DATE_ITEM_TEXT:
            if (text::StartsWithIgnoreCase(text.substr(p), item.strText))
                p += item.strText.size();
            else
                ok = false;
            break;
        case DATE_ITEM_YEAR:
        {
            const size_t digits = static_cast<size_t>(item.nCount);
            ok = ReadDigits(text, p, digits, digits, year);
            if (ok && digits == 2)
                year += year < 30 ? 2000 : 1900;
            break;
        }
        case DATE_ITEM_MONTH:
            ok = ReadDigits(text, p, 1, 2, month);
            break;
        case DATE_ITEM_DAY:
            ok = ReadDigits(text, p, 1, 2, day);
            break;
        case DATE_ITEM_HOUR:
            ok = ReadDigits(text, p, 1, 2, hours);
            break;
        case DATE_ITEM_MINUTE:
            ok = ReadDigits(text, p, 1, 2, minute);
            break;
        case DATE_ITEM_SECOND:
            ok = ReadDigits(text, p, 1, 2, second);
            break;
        case DATE_ITEM_SPAN_HOURS:
            if (p < n && (text[p] == u'-' || text[p] == u'+'))
                negative = text[p++] == u'-';
            ok = ReadDigits(text, p, 1, 9, hours);
            break;
        case DATE_ITEM_MONTH_NAME:
        {
            const int found = MatchName(text, p, 12,
                                        [&](int i, bool shortName) -> const KString&
                                        { return language.GetMonthName(i + 1, shortName); });
            month = found + 1;
            ok = found >= 0;
            break;
        }
        case DATE_ITEM_DAY_NAME:
        {
            dayOfWeek = MatchName(
                text, p, 7, [&](int i, bool shortName) -> const KString& { return language.GetDayName(i, shortName); });
            ok = dayOfWeek >= 0;
            break;
        }
        case DATE_ITEM_AMPM:
            if (text::StartsWithIgnoreCase(text.substr(p), u"AM"))
                meridiem = 0;
            else if (text::StartsWithIgnoreCase(text.substr(p), u"PM"))
                meridiem = 1;
            else
                ok = false;
            if (ok)
                p += 2;
            break;
        }
        if (!ok)
        {
            used = p;
            return false;
        }
    }
    while (p < n && text[p] == u' ')
        ++p;
    used = p;

    const int64_t m = minute < 0 ? 0 : minute;
    const int64_t s = second < 0 ? 0 : second;
    if (m > 59 || s > 59)
        return false;
    if (eType == VALUE_TIMESPAN)
    {
        const double magnitude = calendar::TimeFraction(hours, static_cast<int>(m), static_cast<int>(s));
        value = negative ? -magnitude : magnitude;
        return true;
    }
    double result = 0;
    if (eType == VALUE_DATE || eType == VALUE_DATETIME)
    {
        const int64_t mo = month < 0 ? 1 : month;
        const int64_t d = day < 0 ? 1 : day;
        if (year > calendar::kMaxYear ||
            !calendar::IsValidDate(static_cast<int>(year), static_cast<int>(mo), static_cast<int>(d)))
            return false;
        const int64_t dayNumber =
            calendar::DayNumber(static_cast<int>(year), static_cast<int>(mo), static_cast<int>(d));
        if (dayOfWeek >= 0 && calendar::DayOfWeek(dayNumber) != dayOfWeek)
            return false;
        result = static_cast<double>(dayNumber);
    }
    if (eType == VALUE_TIME || eType == VALUE_DATETIME)
    {
        int64_t h = hours < 0 ? 0 : hours;
        if (bTwelveHour)
        {
            if (h < 1 || h > 12)
                return false;
            h = meridiem == 0 ? (h == 12 ? 0 : h) : (h == 12 ? 12 : h + 12);
        }
        if (h > 24 || (h == 24 && (m != 0 || s != 0)))
            return false;
        result += calendar::TimeFraction(h, static_cast<int>(m), static_cast<int>(s));
    }
    value = result;
    return true;
}

bool SDateFormat::Write(double value, const CLanguage& language, KString& text) const
{
    const std::optional<int64_t> total = calendar::ToSeconds(value);
    if (!total)
        return false;
    int64_t seconds = *total;
    int64_t day = 0;
    int64_t secondOfDay = 0;
    bool negative = false;
    switch (eType)
    {
    case VALUE_TIMESPAN:
        negative = seconds < 0;
        secondOfDay = negative ? -seconds : seconds;
        break;
    case VALUE_TIME:
        // 24:00:00 is the end of the day (1.0); other values show their time of day.
        secondOfDay = (seconds >= 0 && seconds <= calendar::kSecondsPerDay)
                          ? seconds
                          : seconds - FloorDiv(seconds, calendar::kSecondsPerDay) * calendar::kSecondsPerDay;
        break;
    default:
        day = FloorDiv(seconds, calendar::kSecondsPerDay);
        secondOfDay = seconds - day * calendar::kSecondsPerDay;
        break;
    }
    calendar::SDate date;
    if (eType == VALUE_DATE || eType == VALUE_DATETIME)
    {
        const std::optional<calendar::SDate> found = calendar::DateOfDay(day);
        if (!found)
            return false;
        date = *found;
    }
    const int64_t hours = secondOfDay / 3600;
    const int64_t minutes = secondOfDay / 60 % 60;
    const int64_t secs = secondOfDay % 60;

    KString out;
    for (const SDateFormatItem& item : items)
    {
        switch (item.eKind)
        {
        case DATE_ITEM_SPACE:
            out.append(static_cast<size_t>(item.nCount), u' ');
            break;
        case DATE_ITEM_SEPARATOR:
        case DATE_ITEM_TEXT:
            out += item.strText;
            break;
        case DATE_ITEM_YEAR:
            AppendNumber(out, item.nCount == 2 ? date.nYear % 100 : date.nYear, item.nCount);
            break;
        case DATE_ITEM_MONTH:
            AppendNumber(out, date.nMonth, item.nCount);
            break;
        case DATE_ITEM_MONTH_NAME:
            out += language.GetMonthName(date.nMonth, item.nCount == 3);
            break;
        case DATE_ITEM_DAY:
            AppendNumber(out, date.nDay, item.nCount);
            break;
        case DATE_ITEM_DAY_NAME:
            out += language.GetDayName(calendar::DayOfWeek(day), item.nCount == 3);
            break;
        case DATE_ITEM_HOUR:
        {
            int64_t h = hours;
            if (bTwelveHour)
                h = h % 12 == 0 ? 12 : h % 12;
            AppendNumber(out, h, item.nCount);
            break;
        }
        case DATE_ITEM_SPAN_HOURS:
            if (negative)
                out += u'-';
            AppendNumber(out, hours, 1);
            break;
        case DATE_ITEM_MINUTE:
            AppendNumber(out, minutes, item.nCount);
            break;
        case DATE_ITEM_SECOND:
            AppendNumber(out, secs, item.nCount);
            break;
        case DATE_ITEM_AMPM:
        {
            const bool lower = !item.strText.empty() && item.strText[0] == u'a';
            const bool pm = hours % 24 >= 12;
            out += pm ? (lower ? u"pm" : u"PM") : (lower ? u"am" : u"AM");
            break;
        }
        }
    }
    text = std::move(out);
    return true;
}

// ---- DF_DateFormat ----

int DF_DateFormat::AddFormat(KStringView format)
{
    for (size_t i = 0; i < m_formats.size(); ++i)
    {
        if (m_formats[i].strFormat == format)
            return static_cast<int>(i);
    }
    std::optional<SDateFormat> parsed = SDateFormat::Parse(format, m_language);
    if (!parsed)
        return -1;
    m_formats.push_back(std::move(*parsed));
    return static_cast<int>(m_formats.size()) - 1;
}

void DF_DateFormat::RemoveFormat(int index)
{
    if (index >= 0 && index < GetCount())
        m_formats.erase(m_formats.begin() + index);
}

bool DF_DateFormat::ReadValue(int index, KStringView text, double& value, size_t& used) const
{
    return m_formats[index].Read(text, m_language, value, used);
}

bool DF_DateFormat::WriteValue(int index, double value, KString& text) const
{
    return m_formats[index].Write(value, m_language, text);
}

EValueType DF_DateFormat::GetTypeOfFormat(KStringView format) const
{
    const std::optional<SDateFormat> parsed = SDateFormat::Parse(format, m_language);
    return parsed ? parsed->eType : VALUE_UNKNOWN;
}

namespace
{
// One format that a date family proposes for samples, parsed once for the whole process.
struct SProposal
{
    SDateFormat format;        // in the letters of its language
    bool bOwn = true;          // English neither proposes a format reading alike nor reads the string otherwise
    bool bNeedsLetter = false; // every text it reads holds a letter (a name, AM or PM, quoted text)
};

bool IsLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c >= 0x80;
}

bool HasLetter(KStringView text)
{
    return std::any_of(text.begin(), text.end(), IsLetter);
}

bool NamesMonthOrDay(const SDateFormat& format)
{
    return format.Has(DATE_ITEM_MONTH_NAME) || format.Has(DATE_ITEM_DAY_NAME);
}

bool NeedsLetter(const SDateFormat& format)
{
    return std::any_of(format.items.begin(), format.items.end(),
                       [](const SDateFormatItem& item)
                       {
                           return item.eKind == DATE_ITEM_MONTH_NAME || item.eKind == DATE_ITEM_DAY_NAME ||
                                  item.eKind == DATE_ITEM_AMPM ||
                                  (item.eKind == DATE_ITEM_TEXT && HasLetter(item.strText));
                       });
}

// True when two formats read and write every value alike: the same items, and no names unless of one language.
bool SameReading(const SDateFormat& a, const CLanguage& languageA, const SDateFormat& b, const CLanguage& languageB)
{
    return a.items == b.items && (&languageA == &languageB || !NamesMonthOrDay(a));
}

// The language's standard date and time formats, then the templates in its letters, without repetitions or
// strings that are no formats of the language.
std::vector<SProposal> MakeProposals(const CLanguage& language)
{
    std::vector<KString> strings;
    auto propose = [&](KString format)
    {
        if (std::find(strings.begin(), strings.end(), format) == strings.end())
            strings.push_back(std::move(format));
    };
    for (int slot = SLOT_DATE; slot <= SLOT_TIMESPAN; ++slot)
        propose(language.GetStandardFormat(slot));
    for (const char16_t* pattern : kProposalTemplates)
        propose(Translate(pattern, language));
    std::vector<SProposal> proposals;
    for (const KString& string : strings)
    {
        if (std::optional<SDateFormat> format = SDateFormat::Parse(string, language))
        {
            SProposal proposal;
            proposal.bNeedsLetter = NeedsLetter(*format);
            proposal.format = std::move(*format);
            proposals.push_back(std::move(proposal));
        }
    }
    return proposals;
}

// The proposals of a language. A proposal of another language than English is its own unless English proposes a
// format reading alike (its counts would repeat the English one's) or English reads the string itself with other
// names (English is asked before the language, so the registry would never read it as proposed).
const std::vector<SProposal>& ProposalsOf(const CLanguage& language)
{
    static const std::vector<std::vector<SProposal>> all = []
    {
        const CLanguage& english = CLanguage::GetLanguageOrEnglish(1033);
        const std::vector<SProposal> englishProposals = MakeProposals(english);
        std::vector<std::vector<SProposal>> made;
        for (const CLanguage* other : CLanguage::GetLanguages())
        {
            std::vector<SProposal> proposals = MakeProposals(*other);
            for (SProposal& proposal : proposals)
            {
                if (other == &english)
                    continue;
                const SDateFormat& format = proposal.format;
                const bool proposedAlike =
                    std::any_of(englishProposals.begin(), englishProposals.end(),
                                [&](const SProposal& e) { return SameReading(format, *other, e.format, english); });
                const std::optional<SDateFormat> inEnglish = SDateFormat::Parse(format.strFormat, english);
                const bool readOtherwise = inEnglish && !SameReading(format, *other, *inEnglish, english);
                proposal.bOwn = !proposedAlike && !readOtherwise;
            }
            made.push_back(std::move(proposals));
        }
        return made;
    }();
    const std::vector<const CLanguage*>& languages = CLanguage::GetLanguages();
    return all[static_cast<size_t>(std::find(languages.begin(), languages.end(), &language) - languages.begin())];
}
} // namespace

std::vector<KString> DF_DateFormat::GetProposals() const
{
    std::vector<KString> strings;
    for (const SProposal& proposal : ProposalsOf(m_language))
        strings.push_back(proposal.format.strFormat);
    return strings;
}

bool DF_DateFormat::ReadsAlike(KStringView format, const DF_DateFormat& other) const
{
    if (&other == this)
        return true;
    const std::optional<SDateFormat> mine = SDateFormat::Parse(format, m_language);
    const std::optional<SDateFormat> theirs = SDateFormat::Parse(format, other.m_language);
    return mine && theirs && SameReading(*mine, m_language, *theirs, other.m_language);
}

void DF_DateFormat::Recognize(const std::vector<KStringView>& samples, const SRecognitionHints& hints, bool ownOnly,
                              std::vector<SFormatCandidate>& out) const
{
    // Formats that need a letter in every text cannot reach the minimum when too few samples hold one.
    const bool lettersEnough = std::count_if(samples.begin(), samples.end(), HasLetter) >= hints.nMinReads;
    for (const SProposal& proposal : ProposalsOf(m_language))
    {
        if ((ownOnly && !proposal.bOwn) || (proposal.bNeedsLetter && !lettersEnough))
            continue;
        const SDateFormat& format = proposal.format;
        SFormatCandidate candidate;
        candidate.strFormat = format.strFormat;
        const bool enough = CountSamples(
            samples, hints.nMinReads,
            [&](KStringView text, double& value, size_t& used) { return format.Read(text, m_language, value, used); },
            [&](double value, KString& text) { return format.Write(value, m_language, text); }, candidate);
        if (enough)
            out.push_back(std::move(candidate));
    }
}

void DF_DateFormat::RecognizeFormats(const std::vector<KStringView>& samples, const SRecognitionHints& hints,
                                     std::vector<SFormatCandidate>& out) const
{
    Recognize(samples, hints, false, out);
}

void DF_DateFormat::RecognizeOwnFormats(const std::vector<KStringView>& samples, const SRecognitionHints& hints,
                                        std::vector<SFormatCandidate>& out) const
{
    Recognize(samples, hints, true, out);
}
