// Data-driven tests of the formats and languages: every file of tests/engine/data/formats is one parameterised test
// or one test, every failing line is reported as file:line.

#include "FormatTestSupport.h"
#include "TableTestSupport.h"

#include "engine/Collation.h"
#include "engine/FormatRegistry.h"
#include "engine/Languages.h"
#include "engine/Table.h"
#include "options/OptionSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

namespace
{
std::string Utf8(KStringView text)
{
    return platform::ToUtf8(text);
}

std::string TestName(const ::testing::TestParamInfo<const char*>& info)
{
    std::string name = info.param;
    for (char& c : name)
    {
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name;
}
} // namespace

// ---- values: format | text | expected number | text written back ----

class CValueFileTest : public ::testing::TestWithParam<const char*>
{
};

TEST_P(CValueFileTest, ReadsAndWritesEveryLine)
{
    const std::vector<SFormatCase> cases = ReadFormatCases(GetParam());
    ASSERT_FALSE(cases.empty());
    // A registry per language: a format string is registered once, with the family of the language that
    // understood it first.
    auto registryOwner = std::make_unique<CFormatRegistry>();
    int checked = 0;
    for (const SFormatCase& c : cases)
    {
        if (c.strDirective == "language")
        {
            registryOwner = std::make_unique<CFormatRegistry>();
            registryOwner->SetLanguage(std::stoi(c.strDirectiveValue));
            continue;
        }
        CFormatRegistry& registry = *registryOwner;
        if (c.fields.size() < 3)
        {
            CASE_FAILURE(c) << "malformed line: " << c.strRaw;
            continue;
        }
        const KString& format = c.fields[0];
        const KString& text = c.fields[1];
        const std::string expected = Utf8(c.fields[2]);
        const KString written = c.fields.size() > 3 ? c.fields[3] : KString();
        if (!registry.AddFormatIfNew(format))
        {
            CASE_FAILURE(c) << "format not understood: " << c.strRaw;
            continue;
        }
        const int id = registry.GetFormatID(format);
        ++checked;
        if (text == u"(write)")
        {
            const std::optional<double> number = ParseExpectedNumber(expected);
            if (!number)
            {
                CASE_FAILURE(c) << "bad expected number: " << c.strRaw;
                continue;
            }
            KString out;
            const bool ok = registry.Write(id, *number, out);
            if (written == u"-")
            {
                if (ok)
                    CASE_FAILURE(c) << "written as \"" << Utf8(out) << "\": " << c.strRaw;
            }
            else if (!ok || out != written)
            {
                CASE_FAILURE(c) << (ok ? "written as \"" + Utf8(out) + "\"" : std::string("not written")) << ": "
                                << c.strRaw;
            }
            continue;
        }
        const double value = registry.ReadNumber(id, text);
        if (expected == "fail")
        {
            if (!std::isnan(value))
                CASE_FAILURE(c) << "read as " << value << ": " << c.strRaw;
            continue;
        }
        const std::optional<double> number = ParseExpectedNumber(expected);
        if (!number)
        {
            CASE_FAILURE(c) << "bad expected number: " << c.strRaw;
            continue;
        }
        if (!SameNumber(value, *number))
        {
            CASE_FAILURE(c) << "read as " << value << ", expected " << *number << ": " << c.strRaw;
            continue;
        }
        if (c.fields.size() > 3)
        {
            const KString want = written == u"=" ? text : written;
            const KString out = registry.WriteNumber(id, value);
            if (out != want)
                CASE_FAILURE(c) << "written back as \"" << Utf8(out) << "\": " << c.strRaw;
        }
    }
    EXPECT_GT(checked, 10);
}

INSTANTIATE_TEST_SUITE_P(Files, CValueFileTest,
                         ::testing::Values("numbers.txt", "dates.txt", "times.txt", "datetimes.txt", "spans.txt"),
                         TestName);

// ---- format strings: format | type name or "invalid" | rank (optional) ----

TEST(FormatStringFile, EveryStringHasItsType)
{
    const std::vector<SFormatCase> cases = ReadFormatCases("format-strings.txt");
    ASSERT_FALSE(cases.empty());
    int languageId = 1033;
    for (const SFormatCase& c : cases)
    {
        if (c.strDirective == "language")
        {
            languageId = std::stoi(c.strDirectiveValue);
            continue;
        }
        ASSERT_TRUE(c.fields.size() == 2 || c.fields.size() == 3) << c.Where();
        CFormatRegistry registry;
        registry.SetLanguage(languageId);
        const EValueType type = registry.GetTypeOfFormat(c.fields[0]);
        const std::string actual = type == VALUE_UNKNOWN ? "invalid" : Utf8(GetValueTypeName(type));
        if (actual != Utf8(c.fields[1]))
        {
            CASE_FAILURE(c) << "type " << actual << ": " << c.strRaw;
            continue;
        }
        // The registry adds exactly the strings some family understands, with the same type.
        const bool added = registry.AddFormatIfNew(c.fields[0]);
        if (added != (type != VALUE_UNKNOWN))
            CASE_FAILURE(c) << "added: " << added << ": " << c.strRaw;
        else if (added && registry.GetType(registry.GetFormatID(c.fields[0])) != type)
            CASE_FAILURE(c) << "registered with another type: " << c.strRaw;
        else if (c.fields.size() == 3 &&
                 std::to_string(registry.GetRank(registry.GetFormatID(c.fields[0]))) != Utf8(c.fields[2]))
            CASE_FAILURE(c) << "rank " << registry.GetRank(registry.GetFormatID(c.fields[0])) << ": " << c.strRaw;
    }
}

// ---- truth values: language | text | 1, 0 or -1 ----

TEST(TruthValueFile, YesAndNoWordsOfEveryLanguage)
{
    const std::vector<SFormatCase> cases = ReadFormatCases("truth.txt");
    ASSERT_FALSE(cases.empty());
    for (const SFormatCase& c : cases)
    {
        ASSERT_EQ(c.fields.size(), 3u) << c.Where();
        const CLanguage* language = CLanguage::FindLanguage(std::stoi(Utf8(c.fields[0])));
        if (!language)
        {
            CASE_FAILURE(c) << "unknown language: " << c.strRaw;
            continue;
        }
        const int actual = language->ReadTruthValue(c.fields[1]);
        if (actual != std::stoi(Utf8(c.fields[2])))
            CASE_FAILURE(c) << "read as " << actual << ": " << c.strRaw;
    }
}

// ---- order: a < b < c within one attribute ----

TEST(OrderFile, EveryChainIsAscendingAndSortsSo)
{
    const std::vector<SFormatCase> cases = ReadFormatCases("order.txt", " < ");
    ASSERT_FALSE(cases.empty());
    CSortModeGuard guard;
    int mode = SORT_COLLATION;
    int languageId = 1031;
    KString format;
    int chains = 0;
    for (const SFormatCase& c : cases)
    {
        if (c.strDirective == "mode")
            mode = std::stoi(c.strDirectiveValue);
        else if (c.strDirective == "language")
            languageId = std::stoi(c.strDirectiveValue);
        else if (c.strDirective == "format")
            format = c.strDirectiveValue == "(none)" ? KString() : platform::FromUtf8(c.strDirectiveValue);
        if (!c.strDirective.empty())
            continue;
        ++chains;
        COptionSet options;
        options.m_nLanguage = COptionSet::IsKnownLanguage(languageId) ? languageId : 1033;
        CTable table(&options);
        table.SortCharacterSet(1252, languageId);
        CCollation::SetSortMode(mode);
        CAttribute* attribute = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 10, true);
        ASSERT_EQ(attribute->SetFormatString(format), 1) << c.Where();
        // Added in reverse, so that sorting has to reorder them.
        for (size_t i = c.fields.size(); i-- > 0;)
            attribute->AddValue(table.AddRecord(), c.fields[i]);
        std::vector<long> indices;
        for (const KString& value : c.fields)
            indices.push_back(attribute->FindValueIndex(value));
        bool ordered = true;
        for (size_t i = 0; i < indices.size() && ordered; ++i)
        {
            for (size_t j = i + 1; j < indices.size() && ordered; ++j)
            {
                const int forward = attribute->CompareValueIndices(indices[i], indices[j]);
                const int backward = attribute->CompareValueIndices(indices[j], indices[i]);
                if (forward != -1 || backward != 1)
                {
                    CASE_FAILURE(c) << "\"" << Utf8(c.fields[i]) << "\" vs \"" << Utf8(c.fields[j]) << "\" compares "
                                    << forward << "/" << backward << ": " << c.strRaw;
                    ordered = false;
                }
            }
        }
        if (!ordered)
            continue;
        attribute->RecomputeSortedValues();
        long previous = -1;
        for (const KString& value : c.fields)
        {
            const long index = attribute->FindValueIndex(value);
            if (index <= previous)
                CASE_FAILURE(c) << "after sorting \"" << Utf8(value) << "\" is out of order";
            previous = index;
        }
    }
    EXPECT_GT(chains, 20);
}

// ---- attribute types: format | type name and the predicates that hold ----

TEST(AttributeTypeFile, ThePredicatesFollowTheFormat)
{
    const std::vector<SFormatCase> cases = ReadFormatCases("attribute-types.txt");
    ASSERT_FALSE(cases.empty());
    STableInLanguage t(1033);
    CAttribute* a = t.table->CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 10, true);
    const char* const names[] = {"Numeric",     "Number", "Date", "Time", "DateTime", "TimeSpan", "DateOrDateTimeOnly",
                                 "DateTimeOnly"};
    for (const SFormatCase& c : cases)
    {
        ASSERT_EQ(c.fields.size(), 2u) << c.Where();
        ASSERT_EQ(a->SetFormatString(c.fields[0]), 1) << c.Where();
        const bool holds[] = {a->IsNumeric(),
                              a->GetFormat().IsNumber(),
                              a->GetFormat().IsDate(),
                              a->GetFormat().IsTime(),
                              a->GetFormat().IsDateTime(),
                              a->GetFormat().IsTimeSpan(),
                              a->GetFormat().IsDateOrDateTimeOnly(),
                              a->GetFormat().IsDateTimeOnly()};
        std::string actual = Utf8(GetValueTypeName(a->GetType()));
        for (size_t i = 0; i < std::size(names); ++i)
            actual += holds[i] ? std::string(" ") + names[i] : std::string();
        if (actual != Utf8(c.fields[1]))
            CASE_FAILURE(c) << "is " << actual << ": " << c.strRaw;
    }
    EXPECT_EQ(a->GetLanguageID(), 1033);
}

// ---- languages: language | property [number] | expected text ----

TEST(LanguageFile, WordsFormatsRegionalSettingsAndLargeIntegers)
{
    const std::vector<SFormatCase> cases = ReadFormatCases("languages.txt");
    ASSERT_FALSE(cases.empty());
    for (const SFormatCase& c : cases)
    {
        ASSERT_EQ(c.fields.size(), 3u) << c.Where();
        const int id = std::stoi(Utf8(c.fields[0]));
        std::istringstream request(Utf8(c.fields[1]));
        std::string property;
        long long number = 0;
        request >> property >> number;
        const CLanguage& language = CLanguage::GetLanguageOrEnglish(id);
        // The string of a format id that a new table in the language picks.
        auto tableFormat = [&](const std::function<int(const CFormatRegistry&)>& pick)
        {
            const STableInLanguage t(id);
            return t.table->GetFormatRegistry().GetFormat(pick(t.table->GetFormatRegistry()));
        };
        // The word and regional tables themselves live in Languages.cpp; what follows from them is checked here.
        const std::map<std::string, std::function<KString()>> settings = {
            {"found", [&] { return KString(CLanguage::FindLanguage(id) ? u"yes" : u"no"); }},
            {"or-english", [&] { return platform::ToKString(language.GetLanguageId()); }},
            {"decimal", [&] { return regional::GetDecimalSeparator(id); }},
            {"thousands", [&] { return regional::GetThousandsSeparator(id); }},
            {"integer", [&] { return STableInLanguage(id).table->LargeIntegerString(number); }},
            {"default-format",
             [&] { return tableFormat([&](auto& r) { return r.GetDefaultFormatID(EValueType(number)); }); }},
            {"integer-format", [&] { return tableFormat([](auto& r) { return r.GetIntegerFormatId(); }); }},
            {"floating-format", [&] { return tableFormat([](auto& r) { return r.GetFloatingFormatId(); }); }},
        };
        const auto it = settings.find(property);
        if (it == settings.end())
            CASE_FAILURE(c) << "unknown property: " << c.strRaw;
        else if (const KString actual = it->second(); actual != c.fields[2])
            CASE_FAILURE(c) << "gives \"" << Utf8(actual) << "\": " << c.strRaw;
    }
}
