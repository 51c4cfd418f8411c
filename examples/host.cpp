// A small host of libkorvalin.so: it uses only the public header. It builds a table of three orders with an
// attribute of every value type, fills it through the typed setters, reads every value back (as text and through
// the typed getters) and prints the table transposed, one line per attribute. Exits non-zero when a call fails.

#include "korvalin/TableExport.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace TableExport;

namespace
{

// UTF-8 of a wide string (UTF-32 on this platform).
std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (wchar_t wc : text)
    {
        const auto c = static_cast<uint32_t>(wc);
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800)
            out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        else if (c < 0x10000)
            out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        else
            out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
                    static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    return out;
}

// Takes a string result of the library and frees it.
std::wstring Take(wchar_t* text)
{
    std::wstring result = text ? std::wstring(text, StringGetLength(text)) : std::wstring();
    StringFree(text);
    return result;
}

// Stops the program when a call failed, naming the call and the library's last-error message.
void Check(uint16_t status, const char* call)
{
    if (status == 0)
        return;
    std::fprintf(stderr, "%s failed with status %u (%s)\n", call, status, Utf8(Take(GetLastErrorMessage())).c_str());
    std::exit(1);
}

// Tells the library's messages and attribute events to the terminal.
class CPrintingHost : public TableCallback
{
public:
    void AttributeAdded(CAttribute* /*attribute*/, CAttribute* /*predecessor*/) override { ++m_nAdded; }
    void ReportMessage(CTableFrame* /*frame*/, CError* error) override
    {
        wchar_t* text = nullptr;
        if (ErrorGetMessage(error, &text) == 0)
            std::fprintf(stderr, "message: %s\n", Utf8(Take(text)).c_str());
        ErrorSetReport(error, false); // answered here: OK
    }

    int m_nAdded = 0; // attributes announced so far
};

struct SOrder
{
    int64_t m_nNumber;
    const wchar_t* m_pCustomer;
    double m_dAmount;
    int32_t m_anDate[3];      // year, month, day
    int32_t m_anTime[3];      // hour, minute, second
    int32_t m_anDateTime[6];  // shipped
    double m_dHours;          // handling time
    double m_dAutomationDate; // invoiced, as an automation date
};

} // namespace

int main()
{
    Check(InitKorvalinRegularDll(), "InitKorvalinRegularDll");
    CTableFrame* frame = nullptr;
    Check(CreateNewTable(&frame, nullptr, nullptr, 0, 0, 100, 0), "CreateNewTable");
    CPrintingHost host;
    Check(TableRegisterCallbacks(frame, &host), "TableRegisterCallbacks");

    // The attributes: a key, a text, a number and a group of dates and times under a header.
    CAttribute* key = nullptr;
    CAttribute* customer = nullptr;
    CAttribute* amount = nullptr;
    CAttribute* dates = nullptr;
    CAttribute* ordered = nullptr;
    CAttribute* time = nullptr;
    CAttribute* shipped = nullptr;
    CAttribute* handling = nullptr;
    CAttribute* invoiced = nullptr;
    CAttribute* tags = nullptr;
    Check(TableAddAttribute(frame, &key, L"Kennung", nullptr, L"####", 0, 10), "TableAddAttribute Kennung");
    Check(TableAddAttribute(frame, &customer, L"Kunde", key, nullptr, 0, 10), "TableAddAttribute Kunde");
    Check(TableAddAttribute(frame, &amount, L"Betrag", customer, L"####.", 0, 10), "TableAddAttribute Betrag");
    Check(TableAddHeader(frame, &dates, L"Termine", amount, 0, true), "TableAddHeader Termine");
    Check(TableAddAttribute(frame, &ordered, L"Bestellt", dates, L"jjjj-mm-tt", 0, 10), "TableAddAttribute Bestellt");
    Check(TableAddAttribute(frame, &time, L"Uhrzeit", ordered, L"hh:mm:ss", 0, 10), "TableAddAttribute Uhrzeit");
    Check(TableAddAttribute(frame, &shipped, L"Versandt", time, L"yyyy-mm-dd hh:mm:ss", 0, 10),
          "TableAddAttribute Versandt");
    Check(TableAddAttribute(frame, &handling, L"Bearbeitung", shipped, L"hhh:mm:ss", 0, 10),
          "TableAddAttribute Bearbeitung");
    Check(TableAddAttribute(frame, &invoiced, L"Rechnung", handling, L"yyyy-mm-dd hh:mm", 0, 10),
          "TableAddAttribute Rechnung");
    Check(TableAddAttribute(frame, &tags, L"Merkmale", invoiced, nullptr, 1, 10), "TableAddAttribute Merkmale");

    const SOrder orders[] = {
        {1001, L"Müller & Söhne", 1250.5, {2024, 2, 29}, {9, 30, 0}, {2024, 3, 1, 14, 5, 0}, 28.5, 45353.5},
        {1002, L"Café Ørsted", 99.95, {2024, 3, 15}, {24, 0, 0}, {2024, 3, 18, 8, 0, 30}, 1.25, 45370.0},
        {1003, L"Łódź Handel", -20, {1999, 12, 31}, {0, 0, 1}, {2000, 1, 1, 0, 0, 0}, 0, -1.25},
    };
    for (const SOrder& order : orders)
    {
        CRecord* record = nullptr;
        Check(TableAddRecord(frame, &record), "TableAddRecord");
        Check(TableSetIntValue(frame, key, record, order.m_nNumber), "TableSetIntValue");
        Check(TableSetValue(frame, customer, record, StringAllocate(order.m_pCustomer), true), "TableSetValue");
        Check(TableSetDoubleValue(frame, amount, record, order.m_dAmount), "TableSetDoubleValue");
        Check(TableSetDateValue(frame, ordered, record, order.m_anDate[0], order.m_anDate[1], order.m_anDate[2]),
              "TableSetDateValue");
        Check(TableSetTimeValue(frame, time, record, order.m_anTime[0], order.m_anTime[1], order.m_anTime[2]),
              "TableSetTimeValue");
        const int32_t* s = order.m_anDateTime;
        Check(TableSetDateTimeValue(frame, shipped, record, s[0], s[1], s[2], s[3], s[4], s[5]),
              "TableSetDateTimeValue");
        Check(TableSetTimeSpanValue(frame, handling, record, 1, order.m_dHours, 0, 0), "TableSetTimeSpanValue");
        Check(TableSetDATEValue(frame, invoiced, record, order.m_dAutomationDate), "TableSetDATEValue");
    }
    // A list of values for the first order only; the others get the undefined value from TableRefresh.
    CRecord* first = nullptr;
    Check(TableGetRecordByKeyValue(frame, L"1001", &first), "TableGetRecordByKeyValue");
    Check(TableSetValue(frame, tags, first, const_cast<wchar_t*>(L"|eilig|Stammkunde|"), false), "TableSetValue");
    Check(TableRefresh(frame), "TableRefresh");

    // Print the table transposed: one line per attribute, one column per record.
    wchar_t* name = nullptr;
    Check(TableGetName(frame, &name), "TableGetName");
    std::printf("%s (%d attributes announced)\n", Utf8(Take(name)).c_str(), host.m_nAdded);
    CPosition* position = nullptr;
    Check(TableStartAttributes(frame, &position), "TableStartAttributes");
    for (;;)
    {
        CAttribute* attribute = nullptr;
        Check(TableNextAttribute(frame, position, &attribute), "TableNextAttribute");
        if (!attribute)
            break;
        int32_t indent = 0;
        wchar_t* type = nullptr;
        Check(AttributeGetName(attribute, &name), "AttributeGetName");
        Check(AttributeGetIndent(attribute, &indent), "AttributeGetIndent");
        Check(AttributeGetType(attribute, &type), "AttributeGetType");
        std::string line =
            std::string(static_cast<size_t>(indent) * 2, ' ') + Utf8(Take(name)) + " (" + Utf8(Take(type)) + ")";
        bool header = false;
        Check(AttributeIsHeader(attribute, &header), "AttributeIsHeader");
        int32_t* counter = nullptr;
        Check(TableStartAllRecords(frame, &counter), "TableStartAllRecords");
        for (CRecord* record = nullptr; !header;)
        {
            Check(TableAllRecordsNext(frame, counter, &record), "TableAllRecordsNext");
            if (!record)
                break;
            wchar_t* text = nullptr;
            Check(TableGetValue(frame, attribute, record, &text), "TableGetValue");
            line += " | " + Utf8(Take(text));
        }
        Check(TableAllRecordsFinish(frame, counter), "TableAllRecordsFinish");
        std::printf("%s\n", line.c_str());
    }
    Check(TableFinishAttributes(frame, position), "TableFinishAttributes");

    // Read the typed values of the first order back.
    int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    int64_t number = 0;
    double value = 0;
    double automation = 0;
    int16_t sign = 0;
    double hours = 0;
    Check(TableGetIntValue(frame, key, first, &number), "TableGetIntValue");
    Check(TableGetDoubleValue(frame, amount, first, &value), "TableGetDoubleValue");
    std::printf("order %lld: amount %.2f\n", static_cast<long long>(number), value);
    Check(TableGetDateValue(frame, ordered, first, &y, &mo, &d), "TableGetDateValue");
    std::printf("ordered %04d-%02d-%02d\n", y, mo, d);
    Check(TableGetTimeValue(frame, time, first, &h, &mi, &sec), "TableGetTimeValue");
    std::printf("at %02d:%02d:%02d\n", h, mi, sec);
    Check(TableGetDateTimeValue(frame, shipped, first, &y, &mo, &d, &h, &mi, &sec), "TableGetDateTimeValue");
    std::printf("shipped %04d-%02d-%02d %02d:%02d:%02d\n", y, mo, d, h, mi, sec);
    Check(TableGetTimeSpanValue(frame, handling, first, &sign, &hours, &mi, &sec), "TableGetTimeSpanValue");
    std::printf("handled in %s%.0f:%02d:%02d\n", sign < 0 ? "-" : "", hours, mi, sec);
    Check(TableGetDATEValue(frame, invoiced, first, &automation), "TableGetDATEValue");
    std::printf("invoiced %.2f (automation date)\n", automation);

    Check(TableDestroy(frame), "TableDestroy");
    std::printf("all values read back\n");
    return 0;
}
