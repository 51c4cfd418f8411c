// Formats of attributes: setting formats, reading numbers, values that do not fit, writing values, round trips
// through every standard format, and malformed input. Types and type predicates: data/formats/attribute-types.txt.

#include "TableTestSupport.h"

#include "engine/Calendar.h"
#include "engine/DateFormat.h"
#include "engine/Languages.h"
#include "engine/Table.h"
#include "options/OptionSet.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

TEST(AttributeFormat, StringAndEmptyMakeTextUnknownFormatsAreToldOnce)
{
    STableInLanguage t(1033);
    CTable& table = *t.table;
    CAttribute* a = AddColumn(table, u"Alpha", {u"1", u"2"});
    CAttribute* b = AddColumn(table, u"Beta", {u"x"});
    ASSERT_EQ(a->SetFormatString(u"####"), 1);
    EXPECT_EQ(a->SetFormatString(u"String"), 1);
    EXPECT_FALSE(a->IsNumeric());
    EXPECT_EQ(a->GetFormatString(), u"");
    EXPECT_FALSE(a->HasUnclearFormat());

    EXPECT_EQ(a->SetFormatString(u"bogus"), 0);
    EXPECT_EQ(a->GetFormatId(), 0);
    EXPECT_TRUE(a->HasUnclearFormat());
    EXPECT_FALSE(b->SetFormat(u"nonsense"));
    EXPECT_TRUE(b->HasUnclearFormat());
    ASSERT_EQ(table.GetMessageLog().size(), 1u);
    EXPECT_EQ(table.GetMessageLog()[0], FormatResource(2988, {u"bogus", u"Alpha"}));
    EXPECT_EQ(table.AddFormatIfNew(u"bogus", false), 0);

    EXPECT_EQ(a->SetFormatString(u"####."), 1);
    EXPECT_FALSE(a->HasUnclearFormat());
    EXPECT_EQ(a->GetFormatId(), table.GetFormatID(u"####."));
}

TEST(AttributeFormat, ImportFormats)
{
    STableInLanguage t(1033);
    CAttribute* a = t.table->CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 10, true);
    EXPECT_EQ(a->GetFormat().SetImportFormatString(u"yyyy-mm-dd"), 1);
    EXPECT_EQ(a->GetFormat().GetImportFormatID(), t.table->GetFormatID(u"yyyy-mm-dd"));
    EXPECT_EQ(a->GetFormat().SetImportFormatString(u"weird"), 0);
    EXPECT_EQ(a->GetFormat().GetImportFormatString(), u"weird");
    EXPECT_EQ(a->GetFormat().GetImportFormatID(), -1);
    EXPECT_EQ(a->GetFormat().SetImportFormatString(u""), 1);
    EXPECT_EQ(a->GetFormat().GetImportFormatID(), 0);
    EXPECT_FALSE(a->IsNumeric()); // the import format does not change the format
}

TEST(AttributeFormat, ComputeNumericValueReportsWhatItRead)
{
    STableInLanguage t(1033);
    CAttribute* a = t.table->CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 10, true);
    size_t used = 99;
    bool ok = true;
    EXPECT_TRUE(std::isnan(a->GetFormat().ComputeNumericValue(u"12", &used, &ok))); // text attribute
    EXPECT_FALSE(ok);
    EXPECT_EQ(used, 0u);
    ASSERT_EQ(a->SetFormatString(u"####"), 1);
    EXPECT_EQ(a->GetFormat().ComputeNumericValue(u"12", &used, &ok), 12);
    EXPECT_TRUE(ok);
    EXPECT_EQ(used, 2u);
    EXPECT_EQ(a->GetFormat().ComputeNumericValue(u"12abc", &used, &ok), 12); // characters may remain
    EXPECT_TRUE(ok);
    EXPECT_EQ(used, 2u);
    EXPECT_FALSE(a->HasFormatWarning());
    EXPECT_TRUE(std::isnan(a->GetFormat().ComputeNumericValue(u"abc", &used, &ok)));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(a->HasFormatWarning());
    EXPECT_TRUE(std::isnan(a->GetFormat().ComputeNumericValue(u"", &used, &ok)));
    EXPECT_TRUE(std::isnan(a->ReadNumber(u"12abc"))); // stored numbers need the whole text
    EXPECT_EQ(a->ReadNumber(u"12"), 12);
}

TEST(AttributeFormat, ValuesThatDoNotFitKeepTheirTextAndSortAfterNumbers)
{
    STableInLanguage t(1033);
    CTable& table = *t.table;
    CAttribute* a = AddColumn(table, u"A", {u"5", u"x5", u"", u"40", u"3.5"});
    ASSERT_EQ(a->SetFormatString(u"####"), 1);
    EXPECT_EQ(SortedValues(a), "5 40 3.5 x5 _");
    EXPECT_EQ(RenderTable(table), "A(1)=5,x5,,40,3.5; records=5");
    EXPECT_TRUE(std::isnan(a->GetNumericValue(a->FindValueIndex(u"x5"))));
    EXPECT_EQ(a->CheckFormat(), 0);
    EXPECT_TRUE(a->HasFormatWarning());
    EXPECT_EQ(a->DetermineNoOfIllegalValues(), 2);
    table.RemoveFormatWarnings();
    EXPECT_FALSE(a->HasFormatWarning());
    // Changing the format reads the numbers again.
    ASSERT_EQ(a->SetFormatString(u"####."), 1);
    EXPECT_EQ(SortedValues(a), "3.5 5 40 x5 _");
    EXPECT_EQ(a->GetNumericValue(a->FindValueIndex(u"3.5")), 3.5);
    EXPECT_EQ(a->DetermineNoOfIllegalValues(), 1);
    ASSERT_EQ(a->SetFormatString(u""), 1);
    EXPECT_EQ(SortedValues(a), "3.5 40 5 x5 _");
    EXPECT_TRUE(std::isnan(a->GetNumericValue(0)));
    EXPECT_EQ(a->DetermineNoOfIllegalValues(), 0);
}

TEST(AttributeFormat, CheckFormatPassesTextListsAndDerivedAttributes)
{
    STableInLanguage t(1033);
    CTable& table = *t.table;
    CAttribute* lists = AddColumn(table, u"L", {u"|1|x|", u"2"});
    ASSERT_EQ(lists->SetFormatString(u"####"), 1);
    lists->GetFormat().SetFormatWarning(true);
    EXPECT_EQ(lists->CheckFormat(), 1);
    EXPECT_FALSE(lists->HasFormatWarning());
    CAttribute* derived = AddColumn(table, u"D", {u"x"});
    ASSERT_EQ(derived->SetFormatString(u"####"), 1);
    derived->SetAttributeType(ATTR_EXPRESSION);
    EXPECT_EQ(derived->CheckFormat(), 1);
    EXPECT_EQ(table.GetStatusMessages().size(), 0u);
}

TEST(AttributeFormat, LargeChecksGiveTheSameResultInParallel)
{
    for (bool multicores : {true, false})
    {
        STableInLanguage t(1033);
        t.options.m_bUseMulticores = multicores;
        std::vector<std::u16string> values;
        for (int i = 0; i < 30000; ++i)
            values.push_back(i % 10000 == 1234 ? u"bad" + platform::ToKString(i) : platform::ToKString(i));
        CAttribute* a = AddColumn(*t.table, u"A", values);
        ASSERT_EQ(a->SetFormatString(u"####"), 1);
        EXPECT_EQ(a->CheckFormat(), 0) << multicores;
        EXPECT_EQ(a->DetermineNoOfIllegalValues(), 3) << multicores;
        // Stored in bulk under the format, as an import stores them: the numbers are read by the first count.
        CAttribute* b = t.table->CreateNewAttribute(ATTR_NORMAL, false, u"B", nullptr, 10, true);
        ASSERT_EQ(b->SetFormatString(u"####"), 1);
        const std::vector<KStringView> views(values.begin(), values.end());
        const std::vector<CRecord*> records(values.size(), nullptr);
        b->GetValues().AddValues(records.data(), views.data(), views.size());
        b->GetValues().AddValues(records.data(), std::vector<KStringView>{u"", u"|1|x|"}.data(), 2);
        // The list itself and the empty value are not counted; its part "x", a value of its own, is.
        EXPECT_EQ(b->DetermineNoOfIllegalValues(), 4) << multicores;
        EXPECT_EQ(b->GetNumericValue(b->FindValueIndex(u"29999")), 29999) << multicores;
    }
}

TEST(AttributeFormat, DatesAreWrittenFromTheirNumbers)
{
    STableInLanguage t(1033);
    CAttribute* dates = AddColumn(*t.table, u"D", {u"12/31/1999", u"01/01/2000", u"07/04/2024", u"02/29/2000"});
    ASSERT_EQ(dates->SetFormatString(u"mm/dd/yyyy"), 1); // their order, and that of spans: order.txt
    EXPECT_EQ(dates->GetNumericValue(0), -1);
    EXPECT_EQ(dates->GetNumericValue(1), 0);
    EXPECT_EQ(dates->GetFormat().GetAsDisplayString(8951), u"07/04/2024");
    EXPECT_EQ(dates->GetFormat().GetAsDisplayString(std::nan("")), u"NAN");
    EXPECT_EQ(dates->GetFormat().GetAsDisplayString(1e9), u""); // beyond the calendar
    CAttribute* text = AddColumn(*t.table, u"T", {u"a"});
    EXPECT_EQ(text->GetFormat().GetAsDisplayString(2.5), u"2.5");
    EXPECT_EQ(text->GetFormat().GetAsDisplayString(std::nan("")), u"");
}

// Every standard format of every language writes a value so that reading it gives the value back (whole seconds,
// and the day when the format has one), and writing that again gives the same text.
TEST(RoundTrip, EveryStandardDateFormatReadsWhatItWrites)
{
    for (const CLanguage* language : CLanguage::GetLanguages())
    {
        for (int slot = SLOT_DATE; slot <= SLOT_TIMESPAN; ++slot)
        {
            const std::optional<SDateFormat> format = SDateFormat::Parse(language->GetStandardFormat(slot), *language);
            if (!format)
                continue; // written in another language's letters
            const bool shortYear =
                std::any_of(format->items.begin(), format->items.end(),
                            [](const auto& item) { return item.eKind == DATE_ITEM_YEAR && item.nCount == 2; });
            const bool exact =
                format->Has(DATE_ITEM_SECOND) &&
                (format->eType == VALUE_TIMESPAN || format->eType == VALUE_TIME || format->Has(DATE_ITEM_DAY));
            const bool exactDate = format->eType == VALUE_DATE && format->Has(DATE_ITEM_DAY);
            std::mt19937 random(static_cast<unsigned>(slot * 1000 + language->GetLanguageId()));
            for (int k = 0; k < 400; ++k)
            {
                const int64_t firstDay = shortYear ? calendar::DayNumber(1930, 1, 1) : calendar::kMinDay;
                const int64_t lastDay = shortYear ? calendar::DayNumber(2029, 12, 31) : calendar::kMaxDay;
                const int64_t day =
                    firstDay + static_cast<int64_t>(random() % static_cast<uint32_t>(lastDay - firstDay + 1));
                const int64_t second = random() % 86400;
                double value = static_cast<double>(day);
                if (format->eType == VALUE_TIME)
                    value = second / 86400.0;
                else if (format->eType == VALUE_DATETIME)
                    value = static_cast<double>(day) + second / 86400.0;
                else if (format->eType == VALUE_TIMESPAN)
                    value = (static_cast<double>(random() % 2000000) - 1000000.0) / 86400.0;
                KString text;
                ASSERT_TRUE(format->Write(value, *language, text))
                    << platform::ToUtf8(format->strFormat) << " " << value;
                double read = 0;
                size_t used = 0;
                ASSERT_TRUE(format->Read(text, *language, read, used) && used == text.size())
                    << platform::ToUtf8(format->strFormat) << " \"" << platform::ToUtf8(text) << "\"";
                KString again;
                ASSERT_TRUE(format->Write(read, *language, again));
                ASSERT_EQ(again, text) << platform::ToUtf8(format->strFormat);
                if (exact || exactDate)
                {
                    ASSERT_EQ(calendar::ToSeconds(read), calendar::ToSeconds(value))
                        << platform::ToUtf8(format->strFormat) << " \"" << platform::ToUtf8(text) << "\"";
                }
            }
        }
    }
}

// Random text never crashes a reader, and whatever a format reads whole it writes so that it reads the same again.
TEST(MalformedInput, NeverCrashesAndReadsConsistently)
{
    const KString alphabet = u"0123456789-+.,:/ aApPmM'\"#T\u00a0\u00e4\u2019|Jjuly";
    std::mt19937 random(20240601);
    for (const CLanguage* language : CLanguage::GetLanguages())
    {
        CFormatRegistry registry;
        registry.SetLanguage(language->GetLanguageId());
        std::vector<int> ids;
        for (int slot = 1; slot <= STANDARD_FORMAT_COUNT; ++slot)
        {
            ASSERT_TRUE(registry.AddFormatIfNew(language->GetStandardFormat(slot)));
            ids.push_back(registry.GetFormatID(language->GetStandardFormat(slot)));
        }
        for (int k = 0; k < 3000; ++k)
        {
            KString text;
            const size_t length = random() % 14;
            for (size_t i = 0; i < length; ++i)
                text += alphabet[random() % alphabet.size()];
            for (int id : ids)
            {
                const double value = registry.ReadNumber(id, text);
                if (std::isnan(value))
                    continue;
                ASSERT_TRUE(std::isfinite(value));
                const KString written = registry.WriteNumber(id, value);
                ASSERT_FALSE(written.empty())
                    << platform::ToUtf8(registry.GetFormat(id)) << " " << platform::ToUtf8(text);
                ASSERT_EQ(registry.ReadNumber(id, written), value)
                    << platform::ToUtf8(registry.GetFormat(id)) << " \"" << platform::ToUtf8(text) << "\" -> \""
                    << platform::ToUtf8(written) << "\"";
            }
        }
    }
}

TEST(AttributeFormat, TransformAndInterpretAskForOneKindOfStoredValues)
{
    STableInLanguage t(1033);
    CTable& table = *t.table;
    CAttribute* whole = AddColumn(table, u"N", {u"5", u"40"});
    CAttribute* decimals = AddColumn(table, u"M", {u"3.5", u"1"});
    CAttribute* dates = AddColumn(table, u"D", {u"2007-10-17", u"2020-02-29"});
    CAttribute* times = AddColumn(table, u"T", {u"10:15", u"23:59"});
    CAttribute* text = AddColumn(table, u"X", {u"a", u"b"});
    CAttribute* lists = AddColumn(table, u"L", {u"|1|2|", u"3"});
    ASSERT_EQ(whole->SetFormatString(u"####"), 1);
    ASSERT_EQ(decimals->SetFormatString(u"####.##"), 1);
    ASSERT_EQ(dates->SetFormatString(u"yyyy-mm-dd"), 1);
    ASSERT_EQ(times->SetFormatString(u"hh:mm"), 1);
    ASSERT_EQ(lists->SetFormatString(u"####"), 1);
    ASSERT_EQ(whole->GetType(), VALUE_INTEGER);
    ASSERT_EQ(decimals->GetType(), VALUE_DOUBLE);
    ASSERT_EQ(dates->GetType(), VALUE_DATE);
    ASSERT_EQ(times->GetType(), VALUE_TIME);

    EXPECT_FALSE(table.TransformPossible({}));
    EXPECT_TRUE(table.TransformPossible({whole, decimals})); // integers and decimals are both numbers
    EXPECT_TRUE(table.TransformPossible({dates}));
    EXPECT_FALSE(table.TransformPossible({whole, dates})); // no one format fits both
    EXPECT_FALSE(table.TransformPossible({dates, times}));
    EXPECT_FALSE(table.TransformPossible({text}));
    EXPECT_FALSE(table.TransformPossible({lists}));
    whole->AddValue(table.AddRecord(), u"x5"); // a value the format cannot read would be lost
    EXPECT_FALSE(table.TransformPossible({whole, decimals}));

    EXPECT_FALSE(table.InterpretPossible({}));
    EXPECT_TRUE(table.InterpretPossible({whole, dates, text}));
    EXPECT_FALSE(table.InterpretPossible({text, lists}));
    text->SetAttributeType(ATTR_EXPRESSION); // derived values come from their formula, not from texts
    EXPECT_FALSE(table.InterpretPossible({text}));
    EXPECT_FALSE(table.InterpretPossible({table.CreateNewAttribute(ATTR_HEADER, false, u"H", nullptr, 0, false)}));
}
