// The logical functions: FILEEXISTS, IF, ILLEGAL, UNDEFINED.

#include "formula/BuiltinSupport.h"

#include "engine/Table.h"

#include <filesystem>
#include <system_error>

namespace formula
{

namespace
{

// The folder relative paths of FILEEXISTS are taken from: that of the file the current table was read from,
// else the working folder.
std::filesystem::path TableFolder()
{
    const CTable* table = GetCurrentTable();
    if (table)
    {
        const KString& file = table->GetImportSettings().m_strImportFileName;
        if (!file.empty())
            return std::filesystem::path(platform::ToUtf8(file)).parent_path();
    }
    return {};
}

int FileExists(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    r.Text().clear();
    if (n != 1)
        return PARSEVAL_ARGUMENT_COUNT;
    r.SetType(VALUE_TEXT, 0);
    if (check)
        return PARSEVAL_OK;
    KString scratch;
    const KString& path = TextOf(*a[0], formats, scratch);
    if (path.empty())
        return r.SetUndefined(), PARSEVAL_OK;
    const bool absolute = path.find(u":\\") != KString::npos || path.find(u":/") != KString::npos ||
                          path.starts_with(u"//") || path.starts_with(u"\\\\") || path.starts_with(u"/");
    std::filesystem::path file(platform::ToUtf8(path));
    if (!absolute)
        file = TableFolder() / file;
    std::error_code error;
    r.SetTruth(std::filesystem::exists(file, error) && !error);
    return PARSEVAL_OK;
}

int If(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.Text().clear();
    if (n != 3)
        return PARSEVAL_ARGUMENT_COUNT;
    if (!a[0]->IsText())
        return Reject(check, r, VALUE_TEXT);
    if (check)
    {
        const EValueType x = a[1]->GetValueType(), y = a[2]->GetValueType();
        if (IsNumberType(x) && IsNumberType(y) && x != y)
            r.SetType(VALUE_DOUBLE, x == VALUE_DOUBLE ? a[1]->GetFormatId() : a[2]->GetFormatId());
        else if (x == y)
            r.SetType(x, a[1]->GetFormatId() >= 0 ? a[1]->GetFormatId() : a[2]->GetFormatId());
        else
            r.SetType(VALUE_TEXT, 0);
        return PARSEVAL_OK;
    }
    const int test = ReadTruth(*a[0]);
    const CParsevalToken& chosen = test == 1 ? *a[1] : *a[2];
    r = chosen;
    if (test < 0)
        r.SetUndefined();
    return PARSEVAL_OK;
}

int Illegal(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.Text().clear();
    if (n != 1)
        return PARSEVAL_ARGUMENT_COUNT;
    r.SetType(VALUE_TEXT, 0);
    if (check)
        return PARSEVAL_OK;
    const CParsevalToken& v = *a[0];
    r.SetTruth(!v.GetText().empty() && (v.IsUndefined() || !v.IsValid()));
    return PARSEVAL_OK;
}

int Undefined(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    r.Text().clear();
    if (n != 1)
        return PARSEVAL_ARGUMENT_COUNT;
    r.SetType(VALUE_TEXT, 0);
    if (check)
        return PARSEVAL_OK;
    KString scratch;
    r.SetTruth(TextOf(*a[0], formats, scratch).empty());
    return PARSEVAL_OK;
}

} // namespace

void AppendLogicalFunctions(std::vector<SBuiltin>& out)
{
    const int g = kGroupLogic;
    out.push_back(Function(u"FILEEXISTS", FileExists, 2799, "fileexists_.html", g,
                           u"FILEEXISTS(\"/nonexistent/korvalin.qtx\")", u"no", TIME_CLOCK));
    out.push_back(Function(u"IF", If, 2808, "if_.html", g, u"IF(2 > 1, \"big\", \"small\")", u"big"));
    out.push_back(Function(u"ILLEGAL", Illegal, 2865, "illegal_.html", g, u"ILLEGAL(1 / 0)", u"no"));
    out.push_back(Function(u"UNDEFINED", Undefined, 2864, "undefined_.html", g, u"UNDEFINED(1 / 0)", u"yes"));
}

} // namespace formula
