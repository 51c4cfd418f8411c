// Data-driven tests of the flat interface: every file in tests/api/cases/ is a list of calls, one a line, run in
// order as a host runs them:
//
//   # a comment
//   FUNCTION ARG ... [=> EXPECTED]
//   layout FRAME [=> EXPECTED]             the attributes in list order, '>' per indent level: "A >B >>C"
//   lasterror [=> EXPECTED]                the last-error message
//
// Arguments are read by the type of the parameter: numbers, true/false, null, "text" (a bare word is text too),
// a name bound before for a handle or cursor, ? for an out-parameter whose result is shown, >NAME for a handle
// out-parameter that binds NAME. What a call gives is its status, for a failure the last-error message, then each
// ? result: texts in quotes, handles by their name. Without => the call must give 0. The name callback is bound to
// a host object that does nothing. Frames made by the file are destroyed at its end. Failures are reported at the
// line of the call.

#include "ApiTestSupport.h"
#include "../CaseFiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <list>
#include <map>
#include <stdexcept>
#include <tuple>

using namespace apitest;

namespace
{

const std::filesystem::path kCases = KORVALIN_API_CASES;

struct SWord
{
    std::string m_strText;
    bool m_bQuoted = false; // written in quotes: always text
};

std::vector<SWord> SplitWords(const std::string& line)
{
    std::vector<SWord> words;
    for (size_t i = 0; i < line.size();)
    {
        if (line[i] == ' ')
        {
            ++i;
            continue;
        }
        SWord word;
        if (line[i] == '"')
        {
            word.m_bQuoted = true;
            for (++i; i < line.size() && line[i] != '"'; ++i)
                word.m_strText += line[i] == '\\' && i + 1 < line.size() ? line[++i] : line[i];
            if (i == line.size())
                throw std::runtime_error("unterminated quoted word");
            ++i;
        }
        else
        {
            for (; i < line.size() && line[i] != ' '; ++i)
                word.m_strText += line[i];
        }
        words.push_back(word);
    }
    return words;
}

std::wstring Wide(const std::string& utf8)
{
    std::wstring out;
    for (size_t i = 0; i < utf8.size();)
    {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        wchar_t code = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out += code;
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t w : text)
    {
        const uint32_t c = static_cast<uint32_t>(w);
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

template <class N> N ParseNumber(const std::string& text)
{
    if constexpr (std::is_floating_point_v<N>)
    {
        if (text == "nan")
            return std::nan("");
        if (text == "inf" || text == "-inf")
            return text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    N value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw std::runtime_error("not a number: " + text);
    return value;
}

template <class N> std::string NumberText(N value)
{
    if constexpr (std::is_same_v<N, bool>)
        return value ? "true" : "false";
    else if constexpr (std::is_floating_point_v<N>)
    {
        if (std::isnan(value))
            return "nan";
        char digits[64];
        return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    }
    else
        return std::to_string(static_cast<int64_t>(value));
}

// The handles and cursors a file has bound, by name.
class CBindings
{
public:
    void Bind(const std::string& name, void* pointer) { m_names[name] = pointer; }
    void* Find(const std::string& name) const
    {
        const auto it = m_names.find(name);
        if (it == m_names.end())
            throw std::runtime_error("unknown name: " + name);
        return it->second;
    }
    std::string NameOf(const void* pointer) const
    {
        if (!pointer)
            return "null";
        for (const auto& [name, bound] : m_names)
        {
            if (bound == pointer)
                return name;
        }
        return "unnamed";
    }
    // Texts handed to calls, kept alive until the file ends.
    wchar_t* Keep(const std::string& utf8) { return m_texts.emplace_back(Wide(utf8)).data(); }

private:
    std::map<std::string, void*> m_names;
    std::list<std::wstring> m_texts;
};

// A sentinel that an out-parameter holds until the call writes it.
template <class P> P Unset()
{
    return reinterpret_cast<P>(static_cast<uintptr_t>(1));
}

// One argument of type T: parsed from its word, and rendered after the call when it is a ? result.
template <class T> struct SArg
{
    using P = std::remove_cv_t<std::remove_pointer_t<T>>;
    static constexpr bool kValueOut = std::is_pointer_v<T> && std::is_arithmetic_v<P>;
    static constexpr bool kPointerOut = std::is_pointer_v<T> && std::is_pointer_v<P>;

    T m_value{};
    std::conditional_t<kValueOut || kPointerOut, P, char> m_storage{};
    bool m_bShown = false;
    std::string m_strBind;

    void Parse(CBindings& names, const SWord& word)
    {
        const std::string& w = word.m_strText;
        if constexpr (std::is_arithmetic_v<T>)
        {
            if constexpr (std::is_same_v<T, bool>)
                m_value = w == "true" ? true : w == "false" ? false : throw std::runtime_error("not a flag: " + w);
            else if constexpr (std::is_same_v<T, wchar_t>)
                m_value = word.m_bQuoted ? Wide(w).at(0) : static_cast<wchar_t>(ParseNumber<int64_t>(w));
            else
                m_value = ParseNumber<T>(w);
        }
        else if (!word.m_bQuoted && w == "null")
            m_value = nullptr;
        else if constexpr (std::is_same_v<P, wchar_t>)
        {
            if (std::is_same_v<T, wchar_t*> && !word.m_bQuoted && w == "?")
            {
                m_bShown = true;
                m_value = const_cast<T>(&m_storage);
            }
            else
                m_value = names.Keep(w);
        }
        else if constexpr (kValueOut || kPointerOut)
        {
            if (w == "?" || (kPointerOut && w[0] == '>'))
            {
                m_bShown = w == "?";
                m_strBind = w.substr(1);
                if constexpr (kPointerOut)
                    m_storage = std::is_same_v<P, wchar_t*> ? nullptr : Unset<P>();
                m_value = &m_storage;
            }
            else
                m_value = static_cast<T>(names.Find(w));
        }
        else if constexpr (std::is_void_v<P>)
            m_value = reinterpret_cast<T>(ParseNumber<uintptr_t>(w)); // a window handle
        else
            m_value = static_cast<T>(names.Find(w));
    }

    // Values and texts are shown after success only; handles always (a failure must set them to null).
    void Render(CBindings& names, uint16_t status, std::string& out)
    {
        if constexpr (kPointerOut)
        {
            if (!m_bShown && !m_strBind.empty())
                names.Bind(m_strBind, m_storage);
        }
        if (!m_bShown || (status != 0 && (!kPointerOut || std::is_same_v<P, wchar_t*>)))
            return;
        out += " ";
        if constexpr (std::is_same_v<P, wchar_t*>)
            out += m_storage ? "\"" + Narrow(Take(m_storage)) + "\"" : "null";
        else if constexpr (kPointerOut)
            out += m_storage == Unset<P>() ? "unset" : names.NameOf(m_storage);
        else if constexpr (kValueOut || std::is_same_v<T, wchar_t*>)
            out += NumberText(m_storage);
    }
};

using FCall = std::function<std::string(CBindings&, const std::vector<SWord>&)>;

template <class... A, size_t... I>
std::string Invoke(uint16_t (*fn)(A...), CBindings& names, const std::vector<SWord>& words, std::index_sequence<I...>)
{
    std::tuple<SArg<A>...> args;
    (std::get<I>(args).Parse(names, words[I]), ...);
    const uint16_t status = fn(std::get<I>(args).m_value...);
    std::string out = std::to_string(status);
    if (status != 0)
        out += " " + Narrow(LastError());
    (std::get<I>(args).Render(names, status, out), ...);
    return out;
}

// The functions a file may call, by name and number of arguments.
class CRegistry
{
public:
    template <class... A> void Add(const char* name, uint16_t (*fn)(A...))
    {
        m_calls[{name, sizeof...(A)}] = [fn](CBindings& names, const std::vector<SWord>& words)
        { return Invoke(fn, names, words, std::index_sequence_for<A...>{}); };
    }
    const FCall* Find(const std::string& name, size_t arity) const
    {
        const auto it = m_calls.find({name, arity});
        return it == m_calls.end() ? nullptr : &it->second;
    }

private:
    std::map<std::pair<std::string, size_t>, FCall> m_calls;
};

#define ADD(fn) registry.Add(#fn, fn)

const CRegistry& Registry()
{
    static const CRegistry instance = []
    {
        CRegistry registry;
        ADD(CreateNewTable), ADD(TableDestroy), ADD(TableRefresh), ADD(TableClear), ADD(GetLanguage);
        ADD(TableAddAttribute), ADD(TableAddHeader), ADD(TableAddRecord), ADD(TableDeleteRecord);
        ADD(TableDeleteAllRecords), ADD(TableGetAttribute), ADD(TableFindAttribute), ADD(TableFindAttributeByUuid);
        ADD(TableGetAttributeCount), ADD(TableGetLeafAttributeCount), ADD(TableGetRecordCount);
        ADD(TableGetQualifiedRecordCount), ADD(TableGetSelectedRecordCount), ADD(TableGetSelectedAttribute);
        ADD(TableGetKeyAttribute), ADD(TableGetRecordByKeyValue), ADD(TableSetModified), ADD(TableGetModified);
        ADD(TableSetMaxSize), ADD(TableGetMaxSize), ADD(TableGetName), ADD(TableGetDirectory);
        ADD(TableGetApplicationName), ADD(TableGetProductVersion), ADD(TableGetDocumentVersion);
        ADD(TableGetTypeLibraryVersion), ADD(TableSetWorkingDirectory), ADD(TableGetWorkingDirectory);
        ADD(TableRemoveFormatWarnings), ADD(TableStartAttributes), ADD(TableNextAttribute);
        ADD(TableNextLeafAttribute), ADD(TableFinishAttributes), ADD(TableStartAllRecords), ADD(TableAllRecordsNext);
        ADD(TableAllRecordsFinish), ADD(TableSetValue), ADD(TableGetValue), ADD(TableSetIntValue);
        ADD(TableSetDoubleValue), ADD(TableSetDATEValue), ADD(TableSetDateValue), ADD(TableSetTimeValue);
        ADD(TableSetDateTimeValue), ADD(TableSetTimeSpanValue), ADD(TableGetDateValue), ADD(TableGetTimeValue);
        ADD(TableGetDateTimeValue), ADD(TableGetTimeSpanValue);
        using FFrame = uint16_t (*)(CTableFrame*, CAttribute*, CRecord*, double*);
        using FFrameInt = uint16_t (*)(CTableFrame*, CAttribute*, CRecord*, int64_t*);
        using FText = uint16_t (*)(CAttribute*, const wchar_t*, double*);
        registry.Add("TableGetDoubleValue", static_cast<FFrame>(TableGetDoubleValue));
        registry.Add("TableGetDoubleValue", static_cast<FText>(TableGetDoubleValue));
        registry.Add("TableGetDATEValue", static_cast<FFrame>(TableGetDATEValue));
        registry.Add("TableGetDATEValue", static_cast<FText>(TableGetDATEValue));
        registry.Add("TableGetIntValue", static_cast<FFrameInt>(TableGetIntValue));
        registry.Add("TableGetIntValue", static_cast<uint16_t (*)(CAttribute*, const wchar_t*, int64_t*)>(
                                             TableGetIntValue));
        ADD(AttributeGetName), ADD(AttributeSetName), ADD(AttributeGetImportName), ADD(AttributeGetUuid);
        ADD(AttributeGetPathName), ADD(AttributeGetFormulaDefinition), ADD(AttributeGetTag), ADD(AttributeSetTag);
        ADD(AttributeGetType), ADD(AttributeGetFormat), ADD(AttributeSetFormat), ADD(AttributeGetUnclearFormat);
        ADD(AttributeSetUnclearFormat), ADD(AttributeHeaderGetOpen), ADD(AttributeHeaderSetOpen);
        ADD(AttributeGetIndent), ADD(AttributeGetNrOfLines), ADD(AttributeSetNrOfLines), ADD(AttributeGetHidden);
        ADD(AttributeSetHidden), ADD(AttributeGetShown), ADD(AttributeSetShown), ADD(AttributeGetSelected);
        ADD(AttributeSetSelected), ADD(AttributeGetSorted), ADD(AttributeGetCoupledBlockLeader);
        ADD(AttributeGetColored), ADD(AttributeGetColor), ADD(AttributeGetEvalMode), ADD(AttributeSetEvalMode);
        ADD(AttributeGetRegardUndefinedAsZero), ADD(AttributeSetRegardUndefinedAsZero), ADD(AttributeGetMaxSize);
        ADD(AttributeSetMaxSize), ADD(AttributeSetAllowInspectDefinition), ADD(AttributeGetAllowInspectDefinition);
        ADD(AttributeIsHeader);
        ADD(AttributeGetAllowEdit), ADD(AttributeGetAllowMove), ADD(AttributeGetComment);
        ADD(AttributeGetImportIndex), ADD(AttributeGetValueListTitle), ADD(AttributeHasMultipleValues);
        ADD(AttributeIsAnalysisGroup), ADD(AttributeIsDrillDown), ADD(AttributeIsNormal), ADD(AttributeIsRestricted);
        ADD(AttributeIsSummary), ADD(AttributeSetAllowEdit), ADD(AttributeSetAllowEditComment);
        ADD(AttributeSetComment), ADD(AttributeSetImportIndex), ADD(AttributeSetImportName);
        ADD(AttributeSetValueListTitle), ADD(DisableAllowEditValues), ADD(TableGetAllowDefineCube);
        ADD(TableGetAllowEditValues), ADD(TableGetExportCodePage), ADD(TableGetExportDelimiter);
        ADD(TableGetExportEncoding), ADD(TableGetExportQuote), ADD(TableGetExportUseImportNames);
        ADD(TableGetImportAttributeLine), ADD(TableGetImportAttributeNames), ADD(TableGetImportCodePage);
        ADD(TableGetImportDataLine), ADD(TableGetImportDelimiter), ADD(TableGetImportEncoding);
        ADD(TableGetImportFileName), ADD(TableGetImportMaxRecords), ADD(TableGetImportQuote);
        ADD(TableGetImportTransposed), ADD(TableGetParentQtxFileName), ADD(TableGetWriteOEMFormat);
        ADD(TableGetWriteVendrathFormat), ADD(TableRegisterCallbacks), ADD(TableReleaseCallbacks);
        ADD(TableSetAllowEditValues), ADD(TableSetAllowInspectDefinitionOfDerivedAttributes);
        ADD(TableSetApplicationName), ADD(TableSetExportCodePage), ADD(TableSetExportDelimiter);
        ADD(TableSetExportEncoding), ADD(TableSetExportQuote), ADD(TableSetExportUseImportNames);
        ADD(TableSetImportAttributeLine), ADD(TableSetImportAttributeNames), ADD(TableSetImportCodePage);
        ADD(TableSetImportDataLine), ADD(TableSetImportDelimiter), ADD(TableSetImportEncoding);
        ADD(TableSetImportFileName), ADD(TableSetImportMaxRecords), ADD(TableSetImportQuote);
        ADD(TableSetImportTransposed), ADD(TableSetParentQtxFileName), ADD(TableSetWriteOEMFormat);
        ADD(TableSetWriteVendrathFormat);
        ADD(AttributeIsCaseDiscrimination), ADD(AttributeIsClassification), ADD(AttributeIsDerived);
        ADD(AttributeIsDimension), ADD(AttributeIsExpression), ADD(AttributeIsLink), ADD(ErrorGetCode), ADD(ErrorGetType);
        ADD(ErrorGetMessage), ADD(ErrorSetMessage), ADD(ErrorSetReport), ADD(ErrorSetSimulatedUserAction);
        ADD(ErrorSetType), ADD(KeyEventGetKeyCode), ADD(KeyEventGetShift), ADD(KeyEventSetKeyCode);
        ADD(KeyPressEventGetCharCode), ADD(KeyPressEventSetCharCode);
        return registry;
    }();
    return instance;
}

// The attributes of frame in list order, each prefixed by a '>' per indent level.
std::string Layout(CTableFrame* frame)
{
    std::string out;
    for (int32_t i = 0, count = Got(TableGetAttributeCount, frame); i < count; ++i)
    {
        CAttribute* attribute = nullptr;
        EXPECT_EQ(TableGetAttribute(frame, i, &attribute), 0);
        out += (out.empty() ? "" : " ") + std::string(static_cast<size_t>(Got(AttributeGetIndent, attribute)), '>') +
               Narrow(Got(AttributeGetName, attribute));
    }
    return out;
}

class ApiCases : public testing::TestWithParam<std::string>
{
};

TEST_P(ApiCases, EveryCallGivesItsResult)
{
    const std::filesystem::path file = kCases / GetParam();
    struct SSilentHost : TableCallback
    {
    } host;
    CBindings names;
    names.Bind("callback", &host);
    std::vector<std::string> frames;
    int calls = 0;
    for (const auto& [number, line] : ReadCaseLines(file))
    {
        const size_t arrow = line.find(" => ");
        const std::string expected = arrow == std::string::npos ? "0" : line.substr(arrow + 4);
        std::string actual;
        try
        {
            const std::vector<SWord> words = SplitWords(line.substr(0, arrow));
            const std::vector<SWord> args(words.begin() + 1, words.end());
            if (words[0].m_strText == "lasterror" && args.empty())
                actual = Narrow(LastError());
            else if (words[0].m_strText == "layout" && args.size() == 1)
                actual = Layout(static_cast<CTableFrame*>(names.Find(args[0].m_strText)));
            else if (const FCall* call = Registry().Find(words[0].m_strText, args.size()))
                actual = (*call)(names, args);
            else
                throw std::runtime_error("no such function with " + std::to_string(args.size()) + " arguments");
            if (words[0].m_strText == "CreateNewTable" && args[0].m_strText[0] == '>')
                frames.push_back(args[0].m_strText.substr(1));
        }
        catch (const std::exception& e)
        {
            actual = std::string("cannot run: ") + e.what();
        }
        ++calls;
        if (actual != expected)
            ADD_FAILURE_AT(file.string().c_str(), number) << line << "\n  gives: " << actual;
    }
    for (const std::string& frame : frames)
        TableDestroy(static_cast<CTableFrame*>(names.Find(frame))); // 3 for one the file destroyed itself
    EXPECT_GT(calls, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, ApiCases, testing::ValuesIn(ListCaseFiles(kCases)), CaseTestName);

} // namespace
