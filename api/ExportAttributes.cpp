// The flat interface: making attributes, attribute properties, kinds and attribute permissions.

#include "api/Module.h"
#include "api/TableFrame.h"
#include "engine/FormatFamily.h"
#include "korvalin/TableExport.h"
#include "selection/TableSelection.h"

using namespace api;

namespace
{

// The frame of a live attribute (the attribute was checked before).
CTableFrame& FrameOf(const CAttribute& attribute)
{
    return *FindAttributeFrame(&attribute);
}

// A drill-down attribute is a link with a drill-down reference. The engine keeps no link definitions yet: an
// attribute that is no link is none, and for a link the answer is not known (20).
bool IsDrillDown(const CAttribute& attribute)
{
    if (attribute.GetAttributeType() == ATTR_LINK)
        Fail(EStatus::NotYetImplemented);
    return false;
}

// An analysis group is a header with a summary among its children that groups by it. Summary definitions are not
// kept yet: a header without a summary below it is none, for one with a summary the answer is not known (20).
bool IsAnalysisGroup(const CAttribute& attribute)
{
    if (!attribute.IsHeader())
        return false;
    for (const CAttribute* child : attribute.GetChildren())
    {
        if (child->GetAttributeType() == ATTR_SUMMARY)
            Fail(EStatus::NotYetImplemented);
    }
    return false;
}

void CheckNotDrillDown(const CAttribute& attribute)
{
    if (IsDrillDown(attribute))
        Fail(EStatus::CannotModifyDrillDownAttribute);
}

// Format strings that mean text.
bool IsTextFormat(KStringView format)
{
    return format.empty() || format == u"String";
}

// A value of a checked attribute into a checked out-parameter.
template <class T, class F> uint16_t GetAttributeValue(CAttribute* attribute, T* result, F&& read)
{
    return Guard(
        [&]
        {
            CAttribute& a = CheckAttribute(attribute);
            CheckResult(result) = read(a);
        });
}

template <class F> uint16_t GetAttributeString(CAttribute* attribute, wchar_t** result, F&& read)
{
    return Guard(
        [&]
        {
            CAttribute& a = CheckAttribute(attribute);
            wchar_t*& out = CheckResult(result);
            out = ToHost(read(a));
        });
}

// Changes a checked attribute and marks its table modified.
template <class F> uint16_t ChangeAttribute(CAttribute* attribute, F&& change)
{
    return Guard(
        [&]
        {
            CAttribute& a = CheckAttribute(attribute);
            change(a);
            a.GetTable()->SetModified(true);
        });
}

// The flat interface numbers eval modes 0, 1, 2, 3, 4 as the engine's 0, 1, 3, 4, 2.
constexpr int32_t kEvalModeOfInterfaceValue[] = {0, 1, 3, 4, 2};

int32_t InterfaceValueOfEvalMode(int32_t mode)
{
    for (int32_t value = 0; value < 5; ++value)
    {
        if (kEvalModeOfInterfaceValue[value] == mode)
            return value;
    }
    return 1;
}

KString PathName(const CAttribute& attribute)
{
    KString path;
    for (CAttribute* parent = attribute.GetDirectParent(); parent; parent = parent->GetDirectParent())
        path.insert(0, parent->GetName() + u"\\");
    return path + attribute.GetName();
}

bool Is(const CAttribute& attribute, AttributeType type)
{
    return attribute.GetAttributeType() == type;
}

} // namespace

namespace TableExport
{

// ---- making attributes ----

uint16_t TableAddAttribute(CTableFrame* frame, CAttribute** attribute, const wchar_t* name, CAttribute* predecessor,
                           const wchar_t* format, int32_t levelsToClose, int32_t expectedValues)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CAttribute*& out = CheckResult(attribute);
            out = nullptr;
            CheckValue(levelsToClose >= 0 && expectedValues >= 0);
            CAttribute* made =
                live.MakeAttribute(ATTR_NORMAL, FromHost(name), predecessor, levelsToClose, expectedValues);
            const KString formatString = FromHost(format);
            bool formatUnknown = false;
            try
            {
                if (!IsTextFormat(formatString))
                    formatUnknown = !made->SetFormat(formatString);
            }
            catch (...)
            {
                live.DiscardAttribute(made);
                throw;
            }
            out = made;
            live.AnnounceAttribute(made, made->GetPrevious(false));
            live.MarkChanged();
            if (formatUnknown)
                SetLastError(EStatus::IllegalFormat); // the attribute stays text; the call still succeeds
        });
}

uint16_t TableAddHeader(CTableFrame* frame, CAttribute** attribute, const wchar_t* name, CAttribute* predecessor,
                        int32_t levelsToClose, bool open)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            CAttribute*& out = CheckResult(attribute);
            out = nullptr;
            CheckValue(levelsToClose >= 0);
            CAttribute* made = live.MakeAttribute(ATTR_HEADER, FromHost(name), predecessor, levelsToClose, 1);
            made->SetHeaderOpen(open);
            out = made;
            live.AnnounceAttribute(made, made->GetPrevious(false));
            live.MarkChanged();
        });
}

// ---- properties ----

uint16_t AttributeGetName(CAttribute* attribute, wchar_t** name)
{
    return GetAttributeString(attribute, name, [](CAttribute& a) { return a.GetName(); });
}

uint16_t AttributeSetName(CAttribute* attribute, const wchar_t* name)
{
    return ChangeAttribute(attribute,
                           [&](CAttribute& a)
                           {
                               const KString text = FromHost(name);
                               CheckValue(!text.empty());
                               CheckNotDrillDown(a);
                               a.SetName(text);
                           });
}

uint16_t AttributeGetImportName(CAttribute* attribute, wchar_t** name)
{
    return GetAttributeString(attribute, name, [](CAttribute& a) { return a.GetImportName(); });
}

uint16_t AttributeSetImportName(CAttribute* attribute, const wchar_t* name)
{
    return ChangeAttribute(attribute,
                           [&](CAttribute& a)
                           {
                               CheckNotDrillDown(a);
                               a.SetImportName(FromHost(name));
                           });
}

uint16_t AttributeGetImportIndex(CAttribute* attribute, int32_t* index)
{
    return GetAttributeValue(attribute, index, [](CAttribute& a) { return static_cast<int32_t>(a.GetImportIndex()); });
}

uint16_t AttributeSetImportIndex(CAttribute* attribute, int32_t index)
{
    return ChangeAttribute(attribute, [&](CAttribute& a) { a.SetImportIndex(index); });
}

uint16_t AttributeGetUuid(CAttribute* attribute, wchar_t** uuid)
{
    return GetAttributeString(attribute, uuid, [](CAttribute& a) { return a.GetUuid(); });
}

uint16_t AttributeGetValueListTitle(CAttribute* attribute, wchar_t** title)
{
    return GetAttributeString(attribute, title, [](CAttribute& a) { return a.GetValueListTitle(); });
}

uint16_t AttributeSetValueListTitle(CAttribute* attribute, const wchar_t* title)
{
    return ChangeAttribute(attribute, [&](CAttribute& a) { a.SetValueListTitle(FromHost(title)); });
}

uint16_t AttributeGetTag(CAttribute* attribute, const wchar_t* tagName, wchar_t** value)
{
    return GetAttributeString(attribute, value, [&](CAttribute& a) { return a.GetTag(FromHost(tagName)); });
}

uint16_t AttributeSetTag(CAttribute* attribute, const wchar_t* tagName, const wchar_t* value)
{
    return ChangeAttribute(attribute,
                           [&](CAttribute& a)
                           {
                               const KString name = FromHost(tagName);
                               CheckValue(!name.empty());
                               a.SetTag(name, FromHost(value));
                           });
}

uint16_t AttributeGetPathName(CAttribute* attribute, wchar_t** pathName)
{
    return GetAttributeString(attribute, pathName, [](CAttribute& a) { return PathName(a); });
}

uint16_t AttributeGetComment(CAttribute* attribute, wchar_t** comment)
{
    return GetAttributeString(attribute, comment, [](CAttribute& a) { return a.GetComment(); });
}

uint16_t AttributeSetComment(CAttribute* attribute, const wchar_t* comment)
{
    return ChangeAttribute(attribute, [&](CAttribute& a) { a.SetComment(FromHost(comment)); });
}

uint16_t AttributeGetFormulaDefinition(CAttribute* attribute, wchar_t** formula)
{
    // Normal attributes and headers have no definition; those of derived attributes are not kept yet (20).
    return GetAttributeString(attribute, formula,
                              [](CAttribute& a)
                              {
                                  if (a.IsDerived())
                                      Fail(EStatus::NotYetImplemented);
                                  return KString();
                              });
}

uint16_t AttributeGetType(CAttribute* attribute, wchar_t** type)
{
    return GetAttributeString(
        attribute, type,
        [](CAttribute& a) { return KString(GetValueTypeName(a.GetTable()->GetFormatRegistry().GetType(a.GetFormatId()))); });
}

uint16_t AttributeGetFormat(CAttribute* attribute, wchar_t** format)
{
    return GetAttributeString(attribute, format, [](CAttribute& a) { return a.GetFormatString(); });
}

uint16_t AttributeSetFormat(CAttribute* attribute, const wchar_t* format)
{
    return Guard(
        [&]
        {
            CAttribute& a = CheckAttribute(attribute);
            CheckNotDrillDown(a);
            KString text = FromHost(format);
            if (IsTextFormat(text))
                text.clear();
            // Ask the registry first, so that an unknown format leaves the attribute as it was.
            if (!a.GetTable()->GetFormatRegistry().AddFormatIfNew(text) || !a.SetFormat(text))
                Fail(EStatus::IllegalFormat);
            FrameOf(a).MarkChanged();
        });
}

uint16_t AttributeGetUnclearFormat(CAttribute* attribute, bool* unclear)
{
    return GetAttributeValue(attribute, unclear, [](CAttribute& a) { return a.HasUnclearFormat(); });
}

uint16_t AttributeSetUnclearFormat(CAttribute* attribute, bool unclear)
{
    return ChangeAttribute(attribute, [&](CAttribute& a) { a.GetFormat().SetUnclearFormat(unclear); });
}

uint16_t AttributeHeaderGetOpen(CAttribute* attribute, bool* open)
{
    return GetAttributeValue(attribute, open, [](CAttribute& a) { return a.IsHeader() && a.IsHeaderOpen(); });
}

uint16_t AttributeHeaderSetOpen(CAttribute* attribute, bool open)
{
    return ChangeAttribute(attribute,
                           [&](CAttribute& a)
                           {
                               if (!a.IsHeader())
                                   Fail(EStatus::NotAHeader);
                               a.SetHeaderOpen(open);
                           });
}

uint16_t AttributeGetIndent(CAttribute* attribute, int32_t* indent)
{
    return GetAttributeValue(attribute, indent, [](CAttribute& a) { return a.GetIndent(); });
}

uint16_t AttributeGetNrOfLines(CAttribute* attribute, int32_t* lines)
{
    return GetAttributeValue(attribute, lines, [](CAttribute& a) { return a.GetNrOfLines(); });
}

uint16_t AttributeSetNrOfLines(CAttribute* attribute, int32_t lines)
{
    return ChangeAttribute(attribute,
                           [&](CAttribute& a)
                           {
                               CheckValue(lines >= 1);
                               a.SetNrOfLines(lines);
                           });
}

uint16_t AttributeGetHidden(CAttribute* attribute, bool* hidden)
{
    return GetAttributeValue(attribute, hidden, [](CAttribute& a) { return a.IsHidden(); });
}

uint16_t AttributeSetHidden(CAttribute* attribute, bool hidden)
{
    return ChangeAttribute(attribute,
                           [&](CAttribute& a)
                           {
                               a.SetHidden(hidden);
                               a.SetShown(!hidden);
                               if (a.IsHeader())
                               {
                                   for (CAttribute* child : a.GetChildren())
                                   {
                                       child->SetHidden(hidden);
                                       child->SetShown(!hidden);
                                   }
                               }
                           });
}

uint16_t AttributeGetShown(CAttribute* attribute, bool* shown)
{
    return GetAttributeValue(attribute, shown, [](CAttribute& a) { return a.IsShown(); });
}

uint16_t AttributeSetShown(CAttribute* attribute, bool shown)
{
    return ChangeAttribute(attribute, [&](CAttribute& a) { a.SetShown(shown); });
}

uint16_t AttributeGetSelected(CAttribute* attribute, bool* selected)
{
    return GetAttributeValue(attribute, selected,
                             [](CAttribute& a) { return CTableSelection::Of(*a.GetTable()).IsSelected(&a); });
}

uint16_t AttributeSetSelected(CAttribute* attribute, bool selected)
{
    return Guard(
        [&]
        {
            CAttribute& a = CheckAttribute(attribute);
            if (selected)
                CTableSelection::Of(*a.GetTable()).SelectAttribute(&a, true);
            else
                CTableSelection::Of(*a.GetTable()).DeselectAttribute(&a);
        });
}

uint16_t AttributeGetSorted(CAttribute* attribute, bool* sorted, bool* reverse)
{
    return Guard(
        [&]
        {
            CheckAttribute(attribute);
            CheckResult(sorted);
            CheckResult(reverse);
            Fail(EStatus::NotYetImplemented); // the engine does not sort records by an attribute yet
        });
}

uint16_t AttributeGetCoupledBlockLeader(CAttribute* attribute, CAttribute** leader, bool* coupled)
{
    return Guard(
        [&]
        {
            CheckAttribute(attribute);
            CheckResult(leader) = nullptr;
            CheckResult(coupled);
            Fail(EStatus::NotYetImplemented); // the engine has no coupled groups yet
        });
}

uint16_t AttributeGetEvalMode(CAttribute* attribute, int32_t* mode)
{
    return GetAttributeValue(attribute, mode, [](CAttribute& a) { return InterfaceValueOfEvalMode(a.GetEvalMode()); });
}

uint16_t AttributeSetEvalMode(CAttribute* attribute, int32_t mode)
{
    return ChangeAttribute(attribute,
                           [&](CAttribute& a)
                           {
                               CheckValue(mode >= 0 && mode < static_cast<int32_t>(std::size(kEvalModeOfInterfaceValue)));
                               a.SetEvalMode(kEvalModeOfInterfaceValue[mode]);
                           });
}

uint16_t AttributeGetRegardUndefinedAsZero(CAttribute* attribute, bool* on)
{
    return GetAttributeValue(attribute, on, [](CAttribute& a) { return a.IsRegardUndefinedAsZero(); });
}

uint16_t AttributeSetRegardUndefinedAsZero(CAttribute* attribute, bool on)
{
    return ChangeAttribute(attribute, [&](CAttribute& a) { a.SetRegardUndefinedAsZero(on); });
}

uint16_t AttributeGetMaxSize(CAttribute* attribute, int32_t* size)
{
    return GetAttributeValue(
        attribute, size,
        [](CAttribute& a) { return static_cast<int32_t>(a.GetValueArray() ? a.GetValueArray()->GetCapacity() : 0); });
}

uint16_t AttributeSetMaxSize(CAttribute* attribute, int32_t size)
{
    return ChangeAttribute(attribute,
                           [&](CAttribute& a)
                           {
                               CheckValue(size >= 0);
                               if (a.GetValueArray())
                                   a.GetValueArray()->SetMaxSize(size, false);
                           });
}

uint16_t AttributeGetColored(CAttribute* attribute, bool* colored)
{
    // Colour coding is not kept by the engine yet.
    return GetAttributeValue(attribute, colored,
                             [](CAttribute&) -> bool { Fail(EStatus::NotYetImplemented); });
}

uint16_t AttributeGetColor(CAttribute* attribute, const wchar_t* value, uint32_t* color)
{
    return Guard(
        [&]
        {
            CheckAttribute(attribute);
            CheckResult(color) = 0;
            static_cast<void>(value);
            Fail(EStatus::NotYetImplemented); // colour coding is not kept by the engine yet
        });
}

// ---- attribute permissions ----

#define KORVALIN_ATTRIBUTE_PERMISSION(Name, Permission)                                                                \
    uint16_t AttributeGetAllow##Name(CAttribute* attribute, bool* allow)                                               \
    {                                                                                                                  \
        return GetAttributeValue(attribute, allow, [](CAttribute& a) { return a.GetPermission(Permission); });         \
    }                                                                                                                  \
    uint16_t AttributeSetAllow##Name(CAttribute* attribute, bool allow)                                                \
    {                                                                                                                  \
        return ChangeAttribute(attribute, [&](CAttribute& a) { a.SetPermission(Permission, allow); });                 \
    }

KORVALIN_ATTRIBUTE_PERMISSION(Edit, PERMIT_EDIT)
KORVALIN_ATTRIBUTE_PERMISSION(Rename, PERMIT_RENAME)
KORVALIN_ATTRIBUTE_PERMISSION(Delete, PERMIT_DELETE)
KORVALIN_ATTRIBUTE_PERMISSION(ChangeFormat, PERMIT_CHANGE_FORMAT)
KORVALIN_ATTRIBUTE_PERMISSION(Move, PERMIT_MOVE)
KORVALIN_ATTRIBUTE_PERMISSION(Redefine, PERMIT_REDEFINE)
KORVALIN_ATTRIBUTE_PERMISSION(EditComment, PERMIT_EDIT_COMMENT)
#undef KORVALIN_ATTRIBUTE_PERMISSION

uint16_t AttributeGetAllowInspectDefinition(CAttribute* attribute, bool* allow)
{
    return GetAttributeValue(attribute, allow,
                             [](CAttribute& a)
                             {
                                 // Only derived attributes other than links have a definition that may be hidden.
                                 if (!a.IsDerived() || a.GetAttributeType() == ATTR_LINK)
                                     return true;
                                 return a.GetPermission(PERMIT_INSPECT_DEFINITION);
                             });
}

uint16_t AttributeSetAllowInspectDefinition(CAttribute* attribute, bool allow)
{
    return ChangeAttribute(attribute, [&](CAttribute& a) { a.SetPermission(PERMIT_INSPECT_DEFINITION, allow); });
}

// ---- kinds ----

#define KORVALIN_ATTRIBUTE_QUERY(Function, Test)                                                                       \
    uint16_t Function(CAttribute* attribute, bool* result)                                                             \
    {                                                                                                                  \
        return GetAttributeValue(attribute, result, [](CAttribute& a) { return Test; });                               \
    }

KORVALIN_ATTRIBUTE_QUERY(AttributeIsHeader, a.IsHeader())
KORVALIN_ATTRIBUTE_QUERY(AttributeIsNormal, Is(a, ATTR_NORMAL))
KORVALIN_ATTRIBUTE_QUERY(AttributeIsSummary, Is(a, ATTR_SUMMARY))
KORVALIN_ATTRIBUTE_QUERY(AttributeIsExpression, Is(a, ATTR_EXPRESSION))
KORVALIN_ATTRIBUTE_QUERY(AttributeIsLink, Is(a, ATTR_LINK))
KORVALIN_ATTRIBUTE_QUERY(AttributeIsClassification, Is(a, ATTR_CLASSIFICATION))
KORVALIN_ATTRIBUTE_QUERY(AttributeIsCaseDiscrimination, Is(a, ATTR_CASE))
KORVALIN_ATTRIBUTE_QUERY(AttributeIsDrillDown, IsDrillDown(a))
KORVALIN_ATTRIBUTE_QUERY(AttributeIsDerived, a.IsDerived())
// OLAP dimensions are not kept by the engine yet (20).
KORVALIN_ATTRIBUTE_QUERY(AttributeIsDimension, (static_cast<void>(a), Fail(EStatus::NotYetImplemented), false))
KORVALIN_ATTRIBUTE_QUERY(AttributeIsAnalysisGroup, IsAnalysisGroup(a))
KORVALIN_ATTRIBUTE_QUERY(AttributeHasMultipleValues, a.HasMultipleValues())
KORVALIN_ATTRIBUTE_QUERY(AttributeIsRestricted, CAttributeSelection::Of(a).IsRestricted())
#undef KORVALIN_ATTRIBUTE_QUERY

} // namespace TableExport
