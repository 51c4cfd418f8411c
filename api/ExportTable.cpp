// The flat interface: table-level functions, the interface's settings and the table permissions.

#include "api/Module.h"
#include "api/TableFrame.h"
#include "exchange/TextEncoding.h"
#include "korvalin/TableExport.h"
#include "options/OptionSet.h"
#include "selection/TableSelection.h"

using namespace api;

namespace
{

// The table file version written by default.
constexpr char16_t kDocumentVersion[] = u"QTX2025/02/25";
// The version of the flat interface.
constexpr char16_t kTypeLibraryVersion[] = u"1.0";

// Runs body(frame) for a live frame.
template <class F> uint16_t WithFrame(CTableFrame* frame, F&& body)
{
    return Guard([&] { body(CheckFrame(frame)); });
}

// Reads a value of a live frame into a checked out-parameter.
template <class T, class F> uint16_t GetFromFrame(CTableFrame* frame, T* result, F&& read)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CheckResult(result) = read(live);
        });
}

// A string result of a live frame.
template <class F> uint16_t GetStringFromFrame(CTableFrame* frame, wchar_t** result, F&& read)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            wchar_t*& out = CheckResult(result);
            out = ToHost(read(live));
        });
}

// A UTF-16 unit from a host's wchar_t (26 beyond U+FFFF).
char16_t CheckUnit(wchar_t c)
{
    CheckValue(static_cast<uint32_t>(c) <= 0xFFFF);
    return static_cast<char16_t>(c);
}

// A code page that text can be read and written in (26 for one the conversion does not know, such as 4242).
void CheckCodePage(int32_t codePage)
{
    CheckValue(codePage >= 0 && codePage <= 65535 && exchange::IsKnownCodePage(codePage));
}

// The part of a document path after its last separator, and the part before it.
KString FileNamePart(const KString& path)
{
    const size_t slash = path.find_last_of(u"/\\");
    return slash == KString::npos ? path : path.substr(slash + 1);
}

KString DirectoryPart(const KString& path)
{
    const size_t slash = path.find_last_of(u"/\\");
    return slash == KString::npos ? KString() : path.substr(0, slash);
}

} // namespace

namespace TableExport
{

uint16_t TableRefresh(CTableFrame* frame)
{
    return WithFrame(frame, [](CTableFrame& live) { live.Refresh(); });
}

uint16_t TableClear(CTableFrame* frame)
{
    return WithFrame(frame,
                     [](CTableFrame& live)
                     {
                         if (live.IsInCallback())
                             Fail(EStatus::CannotExecuteFunction); // the host is inside a callback about this table
                         live.ClearRecordsToDelete();
                         live.GetTable().ClearTable();
                         live.MarkChanged();
                     });
}

uint16_t TableRemoveFormatWarnings(CTableFrame* frame)
{
    return WithFrame(frame,
                     [](CTableFrame& live)
                     {
                         CTable& table = live.GetTable();
                         for (long i = 0; i < table.GetAttributeCount(); ++i)
                             table.FindAttributeFromIndex(i)->GetFormat().SetFormatWarning(false);
                     });
}

uint16_t TableSetMaxSize(CTableFrame* frame, int32_t capacity)
{
    return WithFrame(frame,
                     [&](CTableFrame& live)
                     {
                         CheckValue(capacity >= 0);
                         live.GetTable().GetAllRecords().SetMaxSize(capacity);
                         live.GetTable().GetShownRecords().SetMaxSize(capacity);
                     });
}

uint16_t TableGetMaxSize(CTableFrame* frame, int32_t* capacity)
{
    return GetFromFrame(frame, capacity,
                        [](CTableFrame& live)
                        { return static_cast<int32_t>(live.GetTable().GetAllRecords().GetCapacity()); });
}

uint16_t TableGetName(CTableFrame* frame, wchar_t** name)
{
    return GetStringFromFrame(frame, name, [](CTableFrame& live) { return FileNamePart(live.GetTable().GetTitle()); });
}

uint16_t TableGetDirectory(CTableFrame* frame, wchar_t** directory)
{
    return GetStringFromFrame(frame, directory,
                              [](CTableFrame& live) { return DirectoryPart(live.GetTable().GetTitle()); });
}

uint16_t TableGetAttributeCount(CTableFrame* frame, int32_t* count)
{
    return GetFromFrame(frame, count,
                        [](CTableFrame& live) { return static_cast<int32_t>(live.GetTable().GetAttributeCount()); });
}

uint16_t TableGetLeafAttributeCount(CTableFrame* frame, int32_t* count)
{
    return GetFromFrame(frame, count,
                        [](CTableFrame& live)
                        {
                            CTable& table = live.GetTable();
                            int32_t leaves = 0;
                            for (long i = 0; i < table.GetAttributeCount(); ++i)
                                leaves += table.FindAttributeFromIndex(i)->IsHeader() ? 0 : 1;
                            return leaves;
                        });
}

uint16_t TableGetRecordCount(CTableFrame* frame, int32_t* count)
{
    return GetFromFrame(frame, count,
                        [](CTableFrame& live) { return static_cast<int32_t>(live.GetTable().GetRecordCount()); });
}

uint16_t TableGetQualifiedRecordCount(CTableFrame* frame, int32_t* count)
{
    return GetFromFrame(
        frame, count, [](CTableFrame& live) { return static_cast<int32_t>(live.GetTable().CountQualifiedRecords()); });
}

uint16_t TableGetSelectedRecordCount(CTableFrame* frame, int32_t* count)
{
    return GetFromFrame(frame, count,
                        [](CTableFrame& live) { return static_cast<int32_t>(CTableSelection::Of(live.GetTable()).CountSelectedRecords()); });
}

uint16_t TableGetAttribute(CTableFrame* frame, int32_t index, CAttribute** attribute)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CAttribute*& out = CheckResult(attribute);
            out = nullptr;
            CAttribute* found = live.GetTable().FindAttributeFromIndex(index);
            if (!found)
                Fail(EStatus::AttributeNotFound);
            out = found;
        });
}

uint16_t TableGetSelectedAttribute(CTableFrame* frame, CAttribute** attribute)
{
    return GetFromFrame(frame, attribute, [](CTableFrame& live) { return CTableSelection::Of(live.GetTable()).GetAttributeRows().GetLeadAttribute(); });
}

uint16_t TableGetKeyAttribute(CTableFrame* frame, CAttribute** attribute)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CAttribute*& out = CheckResult(attribute);
            out = live.GetTable().GetKeyAttribute();
            if (!out)
                Fail(EStatus::AttributeNotFound);
        });
}

uint16_t TableFindAttribute(CTableFrame* frame, const wchar_t* name, CAttribute** attribute)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CAttribute*& out = CheckResult(attribute);
            out = live.GetTable().FindAttribute(FromHost(name), nullptr, true, true);
            if (!out)
                Fail(EStatus::AttributeNotFound);
        });
}

uint16_t TableFindAttributeByUuid(CTableFrame* frame, const wchar_t* uuid, CAttribute** attribute)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CAttribute*& out = CheckResult(attribute);
            const KString key = FromHost(uuid);
            out = key.empty() ? nullptr : live.GetTable().FindAttributeByUuid(key, true);
            if (!out)
                Fail(EStatus::AttributeNotFound);
        });
}

uint16_t TableSetModified(CTableFrame* frame, bool modified)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.GetTable().SetModified(modified); });
}

uint16_t TableGetModified(CTableFrame* frame, bool* modified)
{
    return GetFromFrame(frame, modified, [](CTableFrame& live) { return live.GetTable().IsModified(); });
}

uint16_t TableSetApplicationName(CTableFrame* frame, const wchar_t* name)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.SetApplicationName(FromHost(name)); });
}

uint16_t TableGetApplicationName(CTableFrame* frame, wchar_t** name)
{
    return GetStringFromFrame(frame, name, [](CTableFrame& live) { return live.GetApplicationName(); });
}

uint16_t TableGetProductVersion(CTableFrame* frame, wchar_t** version)
{
    return GetStringFromFrame(frame, version, [](CTableFrame&) { return KString(u"" KORVALIN_VERSION_STRING); });
}

uint16_t TableGetDocumentVersion(CTableFrame* frame, wchar_t** version)
{
    return GetStringFromFrame(frame, version, [](CTableFrame&) { return KString(kDocumentVersion); });
}

uint16_t TableGetTypeLibraryVersion(CTableFrame* frame, wchar_t** version)
{
    return GetStringFromFrame(frame, version, [](CTableFrame&) { return KString(kTypeLibraryVersion); });
}

uint16_t TableGetParentQtxFileName(CTableFrame* frame, wchar_t** fileName)
{
    return GetStringFromFrame(frame, fileName,
                              [](CTableFrame& live) { return live.GetTable().GetParentQtxFileName(); });
}

uint16_t TableSetParentQtxFileName(CTableFrame* frame, const wchar_t* fileName)
{
    return WithFrame(frame,
                     [&](CTableFrame& live)
                     {
                         live.GetTable().SetParentQtxFileName(FromHost(fileName));
                         live.GetTable().SetModified(true);
                     });
}

uint16_t TableGetImportFileName(CTableFrame* frame, wchar_t** fileName)
{
    return GetStringFromFrame(
        frame, fileName, [](CTableFrame& live) { return live.GetTable().GetImportSettings().m_strImportFileName; });
}

uint16_t TableSetImportFileName(CTableFrame* frame, const wchar_t* fileName)
{
    return WithFrame(frame,
                     [&](CTableFrame& live)
                     {
                         live.GetTable().GetImportSettings().m_strImportFileName = FromHost(fileName);
                         live.GetTable().SetModified(true);
                     });
}

uint16_t TableGetWorkingDirectory(CTableFrame* frame, wchar_t** directory)
{
    return GetStringFromFrame(frame, directory, [](CTableFrame& live) { return live.GetWorkingDirectory(); });
}

uint16_t TableSetWorkingDirectory(CTableFrame* frame, const wchar_t* directory)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.SetWorkingDirectory(FromHost(directory)); });
}

// ---- import and export settings ----

uint16_t TableSetImportDelimiter(CTableFrame* frame, wchar_t delimiter)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.GetImportSettings().m_cDelimiter = CheckUnit(delimiter); });
}

uint16_t TableGetImportDelimiter(CTableFrame* frame, wchar_t* delimiter)
{
    return GetFromFrame(frame, delimiter,
                        [](CTableFrame& live) { return static_cast<wchar_t>(live.GetImportSettings().m_cDelimiter); });
}

uint16_t TableSetImportQuote(CTableFrame* frame, wchar_t quote)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.GetImportSettings().m_cQuote = CheckUnit(quote); });
}

uint16_t TableGetImportQuote(CTableFrame* frame, wchar_t* quote)
{
    return GetFromFrame(frame, quote,
                        [](CTableFrame& live) { return static_cast<wchar_t>(live.GetImportSettings().m_cQuote); });
}

uint16_t TableSetImportAttributeNames(CTableFrame* frame, bool present)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.GetImportSettings().m_bAttributeNames = present; });
}

uint16_t TableGetImportAttributeNames(CTableFrame* frame, bool* present)
{
    return GetFromFrame(frame, present, [](CTableFrame& live) { return live.GetImportSettings().m_bAttributeNames; });
}

uint16_t TableSetImportAttributeLine(CTableFrame* frame, int32_t line)
{
    return WithFrame(frame,
                     [&](CTableFrame& live)
                     {
                         CheckValue(line >= 1);
                         live.GetImportSettings().m_nAttributeNameLine = line;
                     });
}

uint16_t TableGetImportAttributeLine(CTableFrame* frame, int32_t* line)
{
    return GetFromFrame(frame, line, [](CTableFrame& live) { return live.GetImportSettings().m_nAttributeNameLine; });
}

uint16_t TableSetImportDataLine(CTableFrame* frame, int32_t line)
{
    return WithFrame(frame,
                     [&](CTableFrame& live)
                     {
                         CheckValue(line >= 1);
                         live.GetImportSettings().m_nFirstDataLine = line;
                     });
}

uint16_t TableGetImportDataLine(CTableFrame* frame, int32_t* line)
{
    return GetFromFrame(frame, line, [](CTableFrame& live) { return live.GetImportSettings().m_nFirstDataLine; });
}

uint16_t TableSetImportMaxRecords(CTableFrame* frame, int32_t maxRecords)
{
    return WithFrame(frame,
                     [&](CTableFrame& live)
                     {
                         CheckValue(maxRecords >= -1);
                         live.GetImportSettings().m_nMaxRecords = maxRecords;
                     });
}

uint16_t TableGetImportMaxRecords(CTableFrame* frame, int32_t* maxRecords)
{
    return GetFromFrame(frame, maxRecords, [](CTableFrame& live) { return live.GetImportSettings().m_nMaxRecords; });
}

uint16_t TableSetImportEncoding(CTableFrame* frame, int32_t encoding)
{
    return WithFrame(frame,
                     [&](CTableFrame& live)
                     {
                         CheckValue(encoding >= ENCODING_CODE_PAGE && encoding <= ENCODING_UTF32_LE);
                         live.GetImportSettings().m_nEncoding = encoding;
                     });
}

uint16_t TableGetImportEncoding(CTableFrame* frame, int32_t* encoding)
{
    return GetFromFrame(frame, encoding, [](CTableFrame& live) { return live.GetImportSettings().m_nEncoding; });
}

uint16_t TableSetImportCodePage(CTableFrame* frame, int32_t codePage)
{
    return WithFrame(frame,
                     [&](CTableFrame& live)
                     {
                         CheckCodePage(codePage);
                         live.GetImportSettings().m_nCodePage = codePage;
                     });
}

uint16_t TableGetImportCodePage(CTableFrame* frame, int32_t* codePage)
{
    return GetFromFrame(frame, codePage, [](CTableFrame& live) { return live.GetImportSettings().m_nCodePage; });
}

uint16_t TableSetImportTransposed(CTableFrame* frame, bool transposed)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.GetImportSettings().m_bTransposed = transposed; });
}

uint16_t TableGetImportTransposed(CTableFrame* frame, bool* transposed)
{
    return GetFromFrame(frame, transposed, [](CTableFrame& live) { return live.GetImportSettings().m_bTransposed; });
}

uint16_t TableSetExportDelimiter(CTableFrame* frame, wchar_t delimiter)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.GetExportSettings().m_cDelimiter = CheckUnit(delimiter); });
}

uint16_t TableGetExportDelimiter(CTableFrame* frame, wchar_t* delimiter)
{
    return GetFromFrame(frame, delimiter,
                        [](CTableFrame& live) { return static_cast<wchar_t>(live.GetExportSettings().m_cDelimiter); });
}

uint16_t TableSetExportQuote(CTableFrame* frame, wchar_t quote)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.GetExportSettings().m_cQuote = CheckUnit(quote); });
}

uint16_t TableGetExportQuote(CTableFrame* frame, wchar_t* quote)
{
    return GetFromFrame(frame, quote,
                        [](CTableFrame& live) { return static_cast<wchar_t>(live.GetExportSettings().m_cQuote); });
}

uint16_t TableSetExportEncoding(CTableFrame* frame, int32_t encoding)
{
    return WithFrame(frame,
                     [&](CTableFrame& live)
                     {
                         CheckValue(encoding >= ENCODING_CODE_PAGE && encoding <= ENCODING_UTF16_LE);
                         live.GetExportSettings().m_nEncoding = encoding;
                     });
}

uint16_t TableGetExportEncoding(CTableFrame* frame, int32_t* encoding)
{
    return GetFromFrame(frame, encoding, [](CTableFrame& live) { return live.GetExportSettings().m_nEncoding; });
}

uint16_t TableSetExportCodePage(CTableFrame* frame, int32_t codePage)
{
    return WithFrame(frame,
                     [&](CTableFrame& live)
                     {
                         CheckCodePage(codePage);
                         live.GetExportSettings().m_nCodePage = codePage;
                     });
}

uint16_t TableGetExportCodePage(CTableFrame* frame, int32_t* codePage)
{
    return GetFromFrame(frame, codePage, [](CTableFrame& live) { return live.GetExportSettings().m_nCodePage; });
}

uint16_t TableSetExportUseImportNames(CTableFrame* frame, bool useImportNames)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.GetExportSettings().m_bUseImportNames = useImportNames; });
}

uint16_t TableGetExportUseImportNames(CTableFrame* frame, bool* useImportNames)
{
    return GetFromFrame(frame, useImportNames,
                        [](CTableFrame& live) { return live.GetExportSettings().m_bUseImportNames; });
}

uint16_t TableSetWriteVendrathFormat(CTableFrame* frame, bool on)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.GetTable().SetWriteVendrathFormat(on); });
}

uint16_t TableGetWriteVendrathFormat(CTableFrame* frame, bool* on)
{
    return GetFromFrame(frame, on, [](CTableFrame& live) { return live.GetTable().GetWriteVendrathFormat(); });
}

uint16_t TableSetWriteOEMFormat(CTableFrame* frame, bool on)
{
    return WithFrame(frame, [&](CTableFrame& live) { live.GetTable().SetWriteOEMFormat(on); });
}

uint16_t TableGetWriteOEMFormat(CTableFrame* frame, bool* on)
{
    return GetFromFrame(frame, on, [](CTableFrame& live) { return live.GetTable().GetWriteOEMFormat(); });
}

// ---- table permissions ----

#define KORVALIN_TABLE_PERMISSION_FUNCTIONS(Name, Permission)                                                          \
    uint16_t TableSetAllow##Name(CTableFrame* frame, bool allow)                                                       \
    {                                                                                                                  \
        return WithFrame(frame,                                                                                        \
                         [&](CTableFrame& live)                                                                        \
                         {                                                                                             \
                             live.GetTable().GetPermissions().SetAllowed(Permission, allow);                           \
                             live.GetTable().SetModified(true);                                                        \
                         });                                                                                           \
    }                                                                                                                  \
    uint16_t TableGetAllow##Name(CTableFrame* frame, bool* allow)                                                      \
    {                                                                                                                  \
        return GetFromFrame(frame, allow,                                                                              \
                            [](CTableFrame& live) { return live.GetTable().GetPermissions().IsAllowed(Permission); }); \
    }

#define KORVALIN_TABLE_PERMISSION(Name, Permission)                                                                    \
    KORVALIN_TABLE_PERMISSION_FUNCTIONS(Name, Permission)                                                              \
    uint16_t DisableAllow##Name(CTableFrame* frame)                                                                    \
    {                                                                                                                  \
        return WithFrame(frame, [](CTableFrame& live)                                                                  \
                         { live.GetTable().GetOptions().m_tablePermissions.SetAllowed(Permission, false); });          \
    }

KORVALIN_TABLE_PERMISSION(MoveAttributes, TABLE_ALLOW_MOVE_ATTRIBUTES)
KORVALIN_TABLE_PERMISSION(ChangeFormat, TABLE_ALLOW_CHANGE_FORMAT)
KORVALIN_TABLE_PERMISSION(EditValues, TABLE_ALLOW_EDIT_VALUES)
KORVALIN_TABLE_PERMISSION(InsertObjects, TABLE_ALLOW_INSERT_OBJECTS)
KORVALIN_TABLE_PERMISSION(InsertAttributes, TABLE_ALLOW_INSERT_ATTRIBUTES)
KORVALIN_TABLE_PERMISSION(DeleteAttributes, TABLE_ALLOW_DELETE_ATTRIBUTES)
KORVALIN_TABLE_PERMISSION(InsertLink, TABLE_ALLOW_INSERT_LINK)
KORVALIN_TABLE_PERMISSION(EditComment, TABLE_ALLOW_EDIT_COMMENT)
KORVALIN_TABLE_PERMISSION(CreateQueries, TABLE_ALLOW_CREATE_QUERIES)
KORVALIN_TABLE_PERMISSION(DefineColorCoding, TABLE_ALLOW_DEFINE_COLOR_CODING)
KORVALIN_TABLE_PERMISSION(DetermineColumnWidth, TABLE_ALLOW_DETERMINE_COLUMN_WIDTH)
KORVALIN_TABLE_PERMISSION(InsertDerivedAttributes, TABLE_ALLOW_INSERT_DERIVED_ATTRIBUTES)
KORVALIN_TABLE_PERMISSION(RedefineDerivedAttributes, TABLE_ALLOW_REDEFINE_DERIVED_ATTRIBUTES)
KORVALIN_TABLE_PERMISSION(DefineCube, TABLE_ALLOW_DEFINE_CUBE)
KORVALIN_TABLE_PERMISSION(CreateDiagram, TABLE_ALLOW_CREATE_DIAGRAM)
KORVALIN_TABLE_PERMISSION_FUNCTIONS(InspectDefinitionOfDerivedAttributes,
                                    TABLE_ALLOW_INSPECT_DEFINITION_OF_DERIVED_ATTRIBUTES)

#undef KORVALIN_TABLE_PERMISSION
#undef KORVALIN_TABLE_PERMISSION_FUNCTIONS

} // namespace TableExport
