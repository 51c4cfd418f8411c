// The flat interface: records, values and iteration.

#include "api/FlatObjects.h"
#include "api/Module.h"
#include "api/TableFrame.h"
#include "engine/Calendar.h"
#include "korvalin/TableExport.h"
#include "platform/Automation.h"
#include "selection/TableSelection.h"

#include <cmath>
#include <limits>
#include <optional>

using namespace api;

namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The longest text a typed setter may store for its number.
constexpr size_t kMaxNumberText = 412;

// The checked arguments of a value function.
struct SField
{
    CTableFrame& m_frame;
    CAttribute& m_attribute;
    CRecord& m_record;
};

SField CheckField(CTableFrame* frame, CAttribute* attribute, CRecord* record)
{
    CTableFrame& live = CheckFrame(frame);
    CAttribute& checked = CheckAttribute(live, attribute);
    return SField{live, checked, CheckRecord(live, record)};
}

// Values are set only in normal attributes (15 for headers and derived attributes).
void CheckSettable(const CAttribute& attribute)
{
    if (attribute.GetAttributeType() != ATTR_NORMAL)
        Fail(EStatus::SettingValueNotAllowed);
}

// Stores number as the record's value, written with the attribute's format. nullopt (an argument out of range)
// and a number that the format cannot write in at most 412 characters store the undefined value and give 26.
void StoreNumber(SField field, std::optional<double> number)
{
    CAttribute& attribute = field.m_attribute;
    field.m_frame.MarkChanged();
    KString text;
    if (number && !std::isnan(*number))
    {
        // A text attribute has no number format: its numbers are written as plain floating numbers.
        const CFormatRegistry& formats = attribute.GetTable()->GetFormatRegistry();
        const int format = attribute.IsNumeric() ? attribute.GetFormatId() : formats.GetFormatID(u"####.");
        if (std::isfinite(*number))
            text = formats.WriteNumber(format, *number);
        if (text.empty() || text.size() > kMaxNumberText)
            number.reset(); // infinite, or the format cannot write it
    }
    if (!number)
    {
        attribute.AddValue(&field.m_record, KStringView());
        Fail(EStatus::IllegalArgumentValue);
    }
    attribute.AddValue(&field.m_record, text);
}

// Runs a typed setter: checks, then stores what compute() gives.
template <class F> uint16_t SetTypedValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, F&& compute)
{
    return Guard(
        [&]
        {
            const SField field = CheckField(frame, attribute, record);
            CheckSettable(field.m_attribute);
            StoreNumber(field, compute());
        });
}

// The stored number of the record's value; NaN for text attributes, headers, lists and undefined values.
double StoredNumber(const SField& field)
{
    CAttribute& attribute = field.m_attribute;
    if (attribute.IsHeader() || !attribute.IsNumeric())
        return kNaN;
    const long index = attribute.GetFieldValueIndex(&field.m_record);
    return index < 0 ? kNaN : attribute.GetNumericValue(index);
}

// A number that must be defined (26 otherwise).
double CheckDefined(double number)
{
    CheckValue(!std::isnan(number));
    return number;
}

// Date and time of a number, rounded to the nearest second (26 outside the calendar).
struct SDateTimeParts
{
    calendar::SDate m_date;
    int64_t m_nSecondOfDay; // 0 ... 86399
};

SDateTimeParts SplitDateTime(double number)
{
    const std::optional<int64_t> seconds = calendar::ToSeconds(CheckDefined(number));
    CheckValue(seconds.has_value());
    int64_t day = *seconds / calendar::kSecondsPerDay;
    int64_t rest = *seconds % calendar::kSecondsPerDay;
    if (rest < 0)
    {
        rest += calendar::kSecondsPerDay;
        --day;
    }
    const std::optional<calendar::SDate> date = calendar::DateOfDay(day);
    CheckValue(date.has_value());
    return SDateTimeParts{*date, rest};
}

// The date of the parts into the results of a getter (checked before).
void WriteDate(const SDateTimeParts& parts, int32_t& year, int32_t& month, int32_t& day)
{
    year = parts.m_date.nYear;
    month = parts.m_date.nMonth;
    day = parts.m_date.nDay;
}

// The day number of a date; nullopt when the date does not exist.
std::optional<double> DayOf(int32_t year, int32_t month, int32_t day)
{
    if (!calendar::IsValidDate(year, month, day))
        return std::nullopt;
    return static_cast<double>(calendar::DayNumber(year, month, day));
}

// The time of day; nullopt out of range (24 only as 24:00:00, the time 1.0).
std::optional<double> TimeOf(int32_t hour, int32_t minute, int32_t second)
{
    if (hour < 0 || hour > 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60)
        return std::nullopt;
    if (hour == 24 && (minute != 0 || second != 0))
        return std::nullopt;
    return calendar::TimeFraction(hour, minute, second);
}

// Integer number to a checked out-parameter (26 for NaN and numbers beyond 64 bits).
int64_t ToInteger(double number)
{
    CheckValue(!std::isnan(number) && std::fabs(number) < 9.2e18);
    return static_cast<int64_t>(std::llround(number));
}

double ToAutomationDate(double dayNumber)
{
    return platform::AutomationDateFromDayNumber(CheckDefined(dayNumber));
}

// Runs a Next function over the frame's attribute list.
uint16_t NextAttribute(CTableFrame* frame, TableExport::CPosition* position, CAttribute** attribute, bool leavesOnly)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            if (!position || FindCursorFrame(position) != &live)
                Fail(EStatus::IllegalPositionArgument);
            CAttribute*& out = CheckResult(attribute);
            out = nullptr;
            CTable& table = live.GetTable();
            while (position->m_nNext < table.GetAttributeCount())
            {
                CAttribute* candidate = table.FindAttributeFromIndex(position->m_nNext++);
                if (!leavesOnly || !candidate->IsHeader())
                {
                    out = candidate;
                    return;
                }
            }
        });
}

// A record counter of the frame (7 for anything else).
int32_t& CheckCounter(CTableFrame& frame, int32_t* counter)
{
    if (!counter || FindCursorFrame(counter) != &frame)
        Fail(EStatus::IllegalPositionArgument);
    return *counter;
}

// Frees a library string handed over with its free flag when the call ends, whatever happened in it.
class CHandedOverString
{
public:
    CHandedOverString(wchar_t* text, bool owned) : m_pText(owned ? text : nullptr) {}
    ~CHandedOverString() { platform::FreeAutomationString(m_pText); }
    CHandedOverString(const CHandedOverString&) = delete;
    CHandedOverString& operator=(const CHandedOverString&) = delete;

private:
    wchar_t* m_pText; // freed at the end; null when the host keeps the string
};

} // namespace

namespace TableExport
{

// ---- records ----

uint16_t TableAddRecord(CTableFrame* frame, CRecord** record)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CRecord*& out = CheckResult(record);
            out = live.GetTable().AddRecord();
            live.MarkChanged();
        });
}

uint16_t TableDeleteRecord(CTableFrame* frame, CRecord* record)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            const CRecord& checked = CheckRecord(live, record);
            live.MarkRecordForDeletion(&checked);
            live.GetTable().GetRecords().InvalidateValueIndexMap();
            live.MarkChanged();
        });
}

uint16_t TableDeleteAllRecords(CTableFrame* frame)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CTable& table = live.GetTable();
            CTableSelection::Of(table).DeselectAllValues();
            table.GetAllRecords().RemoveAll();
            table.GetShownRecords().RemoveAll();
            table.GetRecords().InvalidateValueIndexMap();
            table.InvalidateSortedRecords();
            live.ClearRecordsToDelete();
            live.MarkChanged();
        });
}

uint16_t TableGetRecordByKeyValue(CTableFrame* frame, const wchar_t* text, CRecord** record)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CRecord*& out = CheckResult(record);
            out = nullptr;
            CTable& table = live.GetTable();
            CAttribute* key = table.GetKeyAttribute();
            if (!key || !key->IsKey())
                Fail(EStatus::AttributeIsNotAKey);
            const long index = key->FindValueIndex(FromHost(text));
            CRecord* found = index < 0 ? nullptr : table.GetRecords().FindRecordByKeyIndex(index);
            if (!found)
                Fail(EStatus::ValueNotFound);
            out = found;
        });
}

// ---- setting values ----

uint16_t TableSetValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, wchar_t* text, bool freeText)
{
    const CHandedOverString handedOver(text, freeText);
    return Guard(
        [&]
        {
            const SField field = CheckField(frame, attribute, record);
            CheckSettable(field.m_attribute);
            const KString value = FromHost(text);
            field.m_frame.MarkChanged();
            field.m_attribute.AddValue(&field.m_record, value);
        });
}

uint16_t TableSetDoubleValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, double value)
{
    return SetTypedValue(frame, attribute, record, [&]() -> std::optional<double> { return value; });
}

uint16_t TableSetIntValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int64_t value)
{
    return Guard(
        [&]
        {
            const SField field = CheckField(frame, attribute, record);
            CheckSettable(field.m_attribute);
            if (field.m_attribute.IsNumeric())
            {
                StoreNumber(field, static_cast<double>(value));
                return;
            }
            // A text attribute keeps every digit of the integer.
            field.m_frame.MarkChanged();
            field.m_attribute.AddValue(&field.m_record, platform::ToKString(value));
        });
}

uint16_t TableSetDATEValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, double automationDate)
{
    return SetTypedValue(frame, attribute, record,
                         [&]() -> std::optional<double>
                         {
                             if (!std::isfinite(automationDate))
                                 return std::nullopt;
                             const double day = platform::DayNumberFromAutomationDate(automationDate);
                             if (std::floor(day) < calendar::kMinDay || std::floor(day) > calendar::kMaxDay)
                                 return std::nullopt;
                             return day;
                         });
}

uint16_t TableSetDateValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t year, int32_t month,
                           int32_t day)
{
    return SetTypedValue(frame, attribute, record, [&] { return DayOf(year, month, day); });
}

uint16_t TableSetTimeValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t hour, int32_t minute,
                           int32_t second)
{
    return SetTypedValue(frame, attribute, record, [&] { return TimeOf(hour, minute, second); });
}

uint16_t TableSetDateTimeValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t year, int32_t month,
                               int32_t day, int32_t hour, int32_t minute, int32_t second)
{
    return SetTypedValue(frame, attribute, record,
                         [&]() -> std::optional<double>
                         {
                             const std::optional<double> date = DayOf(year, month, day);
                             const std::optional<double> time = TimeOf(hour, minute, second);
                             if (!date || !time)
                                 return std::nullopt;
                             return *date + *time;
                         });
}

uint16_t TableSetTimeSpanValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int16_t sign, double hours,
                               int32_t minutes, int32_t seconds)
{
    return SetTypedValue(frame, attribute, record,
                         [&]() -> std::optional<double>
                         {
                             if (!std::isfinite(hours) || hours < 0 || minutes < 0 || minutes >= 60 || seconds < 0 ||
                                 seconds >= 60)
                                 return std::nullopt;
                             const double days = (hours * 3600.0 + minutes * 60.0 + seconds) /
                                                 static_cast<double>(calendar::kSecondsPerDay);
                             return sign < 0 ? -days : days;
                         });
}

// ---- reading values ----

uint16_t TableGetValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, wchar_t** text)
{
    return Guard(
        [&]
        {
            const SField field = CheckField(frame, attribute, record);
            wchar_t*& out = CheckResult(text);
            out = ToHost(field.m_attribute.GetFieldText(&field.m_record));
        });
}

uint16_t TableGetDoubleValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, double* value)
{
    return Guard(
        [&]
        {
            const SField field = CheckField(frame, attribute, record);
            CheckResult(value) = StoredNumber(field);
        });
}

uint16_t TableGetIntValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int64_t* value)
{
    return Guard(
        [&]
        {
            const SField field = CheckField(frame, attribute, record);
            int64_t& out = CheckResult(value);
            out = ToInteger(StoredNumber(field));
        });
}

uint16_t TableGetDATEValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, double* automationDate)
{
    return Guard(
        [&]
        {
            const SField field = CheckField(frame, attribute, record);
            double& out = CheckResult(automationDate);
            out = ToAutomationDate(StoredNumber(field));
        });
}

uint16_t TableGetDateTimeValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t* year,
                               int32_t* month, int32_t* day, int32_t* hour, int32_t* minute, int32_t* second)
{
    return Guard(
        [&]
        {
            const SField field = CheckField(frame, attribute, record);
            int32_t& y = CheckResult(year);
            int32_t& mo = CheckResult(month);
            int32_t& d = CheckResult(day);
            int32_t& h = CheckResult(hour);
            int32_t& mi = CheckResult(minute);
            int32_t& s = CheckResult(second);
            const SDateTimeParts parts = SplitDateTime(StoredNumber(field));
            WriteDate(parts, y, mo, d);
            h = static_cast<int32_t>(parts.m_nSecondOfDay / 3600);
            mi = static_cast<int32_t>(parts.m_nSecondOfDay / 60 % 60);
            s = static_cast<int32_t>(parts.m_nSecondOfDay % 60);
        });
}

uint16_t TableGetDateValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t* year, int32_t* month,
                           int32_t* day)
{
    return Guard(
        [&]
        {
            const SField field = CheckField(frame, attribute, record);
            int32_t& y = CheckResult(year);
            int32_t& mo = CheckResult(month);
            int32_t& d = CheckResult(day);
            WriteDate(SplitDateTime(StoredNumber(field)), y, mo, d);
        });
}

uint16_t TableGetTimeValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t* hour, int32_t* minute,
                           int32_t* second)
{
    return Guard(
        [&]
        {
            const SField field = CheckField(frame, attribute, record);
            int32_t& h = CheckResult(hour);
            int32_t& mi = CheckResult(minute);
            int32_t& s = CheckResult(second);
            const double number = CheckDefined(StoredNumber(field));
            const std::optional<int64_t> seconds = calendar::ToSeconds(number);
            CheckValue(seconds.has_value());
            if (*seconds == calendar::kSecondsPerDay && number <= 1.0)
            {
                h = 24; // the end of the day, 24:00:00
                mi = s = 0;
                return;
            }
            const SDateTimeParts parts = SplitDateTime(number);
            h = static_cast<int32_t>(parts.m_nSecondOfDay / 3600);
            mi = static_cast<int32_t>(parts.m_nSecondOfDay / 60 % 60);
            s = static_cast<int32_t>(parts.m_nSecondOfDay % 60);
        });
}

uint16_t TableGetTimeSpanValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int16_t* sign, double* hours,
                               int32_t* minutes, int32_t* seconds)
{
    return Guard(
        [&]
        {
            const SField field = CheckField(frame, attribute, record);
            int16_t& sg = CheckResult(sign);
            double& h = CheckResult(hours);
            int32_t& mi = CheckResult(minutes);
            int32_t& s = CheckResult(seconds);
            const double number = CheckDefined(StoredNumber(field));
            const std::optional<int64_t> total = calendar::ToSeconds(std::fabs(number));
            CheckValue(total.has_value());
            sg = number < 0 && *total != 0 ? -1 : 1;
            h = static_cast<double>(*total / 3600);
            mi = static_cast<int32_t>(*total / 60 % 60);
            s = static_cast<int32_t>(*total % 60);
        });
}

// ---- converters ----

uint16_t TableGetDoubleValue(CAttribute* attribute, const wchar_t* text, double* value)
{
    return Guard(
        [&]
        {
            CAttribute& checked = CheckAttribute(attribute);
            CheckResult(value) = checked.ReadNumber(FromHost(text));
        });
}

uint16_t TableGetIntValue(CAttribute* attribute, const wchar_t* text, int64_t* value)
{
    return Guard(
        [&]
        {
            CAttribute& checked = CheckAttribute(attribute);
            int64_t& out = CheckResult(value);
            out = ToInteger(checked.ReadNumber(FromHost(text)));
        });
}

uint16_t TableGetDATEValue(CAttribute* attribute, const wchar_t* text, double* automationDate)
{
    return Guard(
        [&]
        {
            CAttribute& checked = CheckAttribute(attribute);
            double& out = CheckResult(automationDate);
            out = ToAutomationDate(checked.ReadNumber(FromHost(text)));
        });
}

// ---- iteration ----

uint16_t TableStartAttributes(CTableFrame* frame, CPosition** position)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CPosition*& out = CheckResult(position);
            auto made = std::make_unique<CPosition>(&live);
            RegisterCursor(made.get(), &live, [](const void* cursor) { delete static_cast<const CPosition*>(cursor); });
            out = made.release();
        });
}

uint16_t TableNextAttribute(CTableFrame* frame, CPosition* position, CAttribute** attribute)
{
    return NextAttribute(frame, position, attribute, false);
}

uint16_t TableNextLeafAttribute(CTableFrame* frame, CPosition* position, CAttribute** attribute)
{
    return NextAttribute(frame, position, attribute, true);
}

uint16_t TableFinishAttributes(CTableFrame* frame, CPosition* position)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            if (!position || FindCursorFrame(position) != &live)
                Fail(EStatus::IllegalPositionArgument);
            ReleaseCursor(position);
        });
}

uint16_t TableStartAllRecords(CTableFrame* frame, int32_t** counter)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            int32_t*& out = CheckResult(counter);
            auto made = std::make_unique<int32_t>(0);
            RegisterCursor(made.get(), &live, [](const void* cursor) { delete static_cast<const int32_t*>(cursor); });
            out = made.release();
        });
}

uint16_t TableAllRecordsNext(CTableFrame* frame, int32_t* counter, CRecord** record)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            int32_t& next = CheckCounter(live, counter);
            CRecord*& out = CheckResult(record);
            const CRecordArray& records = live.GetTable().GetAllRecords();
            if (next >= 0 && next < records.GetSize())
                out = records.GetRecord(next++);
            else
                out = nullptr;
        });
}

uint16_t TableAllRecordsFinish(CTableFrame* frame, int32_t* counter)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CheckCounter(live, counter);
            ReleaseCursor(counter);
        });
}

} // namespace TableExport
