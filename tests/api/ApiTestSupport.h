#pragma once
// Helpers for the tests of the flat interface. The tests are written as a host: they include only the public
// header and link only libkorvalin.so.

#include "korvalin/TableExport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

namespace apitest
{

using namespace TableExport;

// Takes a library string, frees it and returns its text; "<null>" for null.
inline std::wstring Take(wchar_t* text)
{
    if (!text)
        return L"<null>";
    std::wstring result(text, StringGetLength(text));
    StringFree(text);
    return result;
}

// What a getter gives for handle, expecting status 0 (a string is taken and freed): Got(TableGetName, frame).
template <class H, class T> T Got(uint16_t (*get)(H, T*), std::type_identity_t<H> handle)
{
    T value{};
    EXPECT_EQ(get(handle, &value), 0);
    return value;
}
template <class H> std::wstring Got(uint16_t (*get)(H, wchar_t**), std::type_identity_t<H> handle)
{
    wchar_t* text = nullptr;
    EXPECT_EQ(get(handle, &text), 0);
    return Take(text);
}

// Every test runs with the library in German, set as a host sets it; the api.language_* runs, which check the
// language the library starts in, leave it alone.
class CGermanLibrary : public testing::Environment
{
public:
    void SetUp() override
    {
        if (!std::getenv("KORVALIN_EXPECTED_LANGUAGE"))
        {
            ASSERT_EQ(InitKorvalinRegularDll(), 0);
            ASSERT_EQ(SetLanguage(1031, nullptr, false), 0);
        }
    }
};
inline const bool g_bGermanLibrary = (testing::AddGlobalTestEnvironment(new CGermanLibrary), true);

inline std::wstring LastError()
{
    return Take(GetLastErrorMessage());
}

// The status a call gave and the last-error message right after it, so that both are compared at once.
struct SOutcome
{
    uint16_t m_nStatus;
    std::wstring m_strLastError;
    bool operator==(const SOutcome&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const SOutcome& outcome)
{
    out << outcome.m_nStatus << " ";
    for (wchar_t c : outcome.m_strLastError)
        out << static_cast<char>(c < 128 ? c : '?');
    return out;
}

// Runs a call and reports its status with the last-error message.
template <class F> SOutcome Outcome(F&& call)
{
    const uint16_t status = call();
    return SOutcome{status, LastError()};
}

// A failure the way a host sees it: the status and its symbolic message.
inline SOutcome Failure(uint16_t status, const wchar_t* message)
{
    return SOutcome{status, message};
}

// A frame made and destroyed around a test.
class CTestTable
{
public:
    CTestTable() { EXPECT_EQ(CreateNewTable(&m_pFrame, nullptr, nullptr, 0, 0, 0, 0), 0); }
    ~CTestTable()
    {
        if (m_pFrame)
        {
            EXPECT_EQ(TableDestroy(m_pFrame), 0);
        }
    }
    CTestTable(const CTestTable&) = delete;
    CTestTable& operator=(const CTestTable&) = delete;

    CTableFrame* Get() const { return m_pFrame; }
    operator CTableFrame*() const { return m_pFrame; }

    // Adds a text attribute after predecessor (null: after the last one).
    CAttribute* Add(const wchar_t* name, CAttribute* predecessor = nullptr)
    {
        CAttribute* attribute = nullptr;
        EXPECT_EQ(TableAddAttribute(m_pFrame, &attribute, name, predecessor, nullptr, 0, 10), 0);
        return attribute;
    }
    CAttribute* AddHeader(const wchar_t* name, CAttribute* predecessor = nullptr)
    {
        CAttribute* attribute = nullptr;
        EXPECT_EQ(TableAddHeader(m_pFrame, &attribute, name, predecessor, 0, true), 0);
        return attribute;
    }
    CRecord* AddRecord()
    {
        CRecord* record = nullptr;
        EXPECT_EQ(TableAddRecord(m_pFrame, &record), 0);
        return record;
    }
    // Sets a value by text.
    void Set(CAttribute* attribute, CRecord* record, const wchar_t* text)
    {
        EXPECT_EQ(TableSetValue(m_pFrame, attribute, record, const_cast<wchar_t*>(text), false), 0);
    }
    std::wstring Get(CAttribute* attribute, CRecord* record)
    {
        wchar_t* text = nullptr;
        EXPECT_EQ(TableGetValue(m_pFrame, attribute, record, &text), 0);
        return Take(text);
    }
    // Names of the attributes in list order, each prefixed by a '>' per indent level: "A >B >>C".
    std::wstring Layout()
    {
        std::wstring result;
        for (int32_t i = 0, count = Got(TableGetAttributeCount, m_pFrame); i < count; ++i)
        {
            CAttribute* attribute = nullptr;
            EXPECT_EQ(TableGetAttribute(m_pFrame, i, &attribute), 0);
            result += (result.empty() ? L"" : L" ") +
                      std::wstring(static_cast<size_t>(Got(AttributeGetIndent, attribute)), L'>') +
                      Got(AttributeGetName, attribute);
        }
        return result;
    }

private:
    CTableFrame* m_pFrame = nullptr;
};

// Name of an attribute (for readable expectations).
inline std::wstring NameOf(CAttribute* attribute)
{
    return attribute ? Got(AttributeGetName, attribute) : L"<none>";
}

// A host that writes the calls it hears into one log line: "added(B after A) moved(C below B) ...".
class CLoggingHost : public TableCallback
{
public:
    void AttributeAdded(CAttribute* attribute, CAttribute* predecessor) override
    {
        Log(L"added(" + NameOf(attribute) + L" after " + NameOf(predecessor) + L")");
    }
    void AttributeMoved(CAttribute* attribute, CAttribute* neighbour) override
    {
        Log(L"moved(" + NameOf(attribute) + L" below " + NameOf(neighbour) + L")");
    }
    void Log(const std::wstring& entry) { m_strLog += (m_strLog.empty() ? L"" : L" ") + entry; }

    std::wstring m_strLog;
};

} // namespace apitest
