#pragma once
// The flat interface of libkorvalin.so. A host includes this header alone and links the shared library.
//
// Conventions
// - Handles. A table lives in a frame, CTableFrame*, made by CreateNewTable and ended by TableDestroy. Attributes
//   (CAttribute*) and records (CRecord*) are handed out by the interface itself. An attribute stays valid until it
//   is deleted or its table is cleared or destroyed; a record until its table is cleared or destroyed (a deleted
//   record stays readable). Destroyed frames, deleted attributes, attributes of another table, records that are not
//   the table's (of another table, or no record at all) and finished cursors are recognised and
//   give their status; any other stale pointer is a fault of the host.
// - Status. Every function except GetKorvalinVersion, GetLastErrorMessage and the String functions returns an
//   unsigned 16-bit status: 0 for success, else one of the API_ codes below. A function checks its frame (3), then
//   its attribute and record arguments (4, 5), then its out-parameters (17), then its own rules; the first failing
//   check decides and nothing is changed. No exception ever leaves the library.
// - Last error. A failing function stores the symbolic name of its status ("API_ILLEGAL_TABLE_ARGUMENT") as the
//   module's last-error message; a successful one leaves it as it was (except TableAddAttribute with an unknown
//   format, see there). GetLastErrorMessage returns a new copy each time.
// - Strings. Arguments are zero-terminated wchar_t strings that stay the host's (null counts as the empty string),
//   except the text of TableSetValue with its free flag set. Results (every wchar_t** out-parameter and
//   GetLastErrorMessage) are library strings: length-prefixed wchar_t strings made by the library, which the host
//   frees with StringFree, one call per result. Strings passed to the callbacks are library strings too, but they
//   stay the library's: it frees them when the callback returns. A field with a list of values reads in its bar
//   form "|a|b|".
// - Dates. An automation date is a double counting days from 30 December 1899 (1 January 2000 is 36526.0), with
//   the time as the fraction of the day; before 30 December 1899 the fraction counts forward from the day (-1.25 is
//   29 December 1899, 06:00).
// - Threading. Every function is called on the thread that called InitKorvalinRegularDll; the callbacks come on
//   that thread, from inside the function that caused them.

#include "StatusCodes.h"

#include <cstdint>

#if defined(KORVALIN_BUILDING_LIBRARY) || defined(korvalin_EXPORTS)
#define KORVALIN_API __attribute__((visibility("default")))
#else
#define KORVALIN_API
#endif

#define KORVALIN_VERSION_STRING "0.1.0"

// Exported classes of the library; the flat interface uses them only as handles.
class CTableFrame;
class CAttribute;
struct CRecord;

namespace TableExport
{

// The library's version, "major.minor.patch"; static storage, never freed.
KORVALIN_API const char* GetKorvalinVersion();

// ---------------------------------------------------------------------------------------------------------------
// Status codes, each with the last-error message of the same name ("API_ILLEGAL_TABLE_ARGUMENT"); what each means
// is written beside it in StatusCodes.h.
enum EApiStatus : uint16_t
{
    API_OK = 0,
#define KORVALIN_API_STATUS(NAME, Name, code) API_##NAME = code,
    KORVALIN_STATUS_CODES(KORVALIN_API_STATUS)
#undef KORVALIN_API_STATUS
};

// ---------------------------------------------------------------------------------------------------------------
// Library strings.

// A new library string holding text (null: the empty string); null only when memory ran out.
KORVALIN_API wchar_t* StringAllocate(const wchar_t* text);
// Frees a library string; null is ignored.
KORVALIN_API void StringFree(wchar_t* text);
// The length of a library string in wchar_t units (it may hold NUL characters); 0 for null.
KORVALIN_API uint32_t StringGetLength(const wchar_t* text);

// ---------------------------------------------------------------------------------------------------------------
// Objects passed to the host. They live only during the callback that receives them.

// The message the engine is about to show (see TableCallback::ReportMessage).
class CError;
// A key going down or up in the table window.
class CKeyEvent;
// A character typed in the table window.
class CKeyPressEvent;
// An iteration cursor over the attribute list, from TableStartAttributes to TableFinishAttributes.
class CPosition;

// The host's callback object, registered per frame with TableRegisterCallbacks. The library calls these virtual
// operations (in this slot order); each does nothing unless the host overrides it. The library never deletes the
// object. An exception leaving a callback is caught and ignored (for BeforeEvent it counts as a veto); a callback
// must not destroy or clear its own table (28).
class TableCallback
{
public:
    // Slot 0: an attribute was made, through the interface or by the engine; predecessor is the attribute it was
    // placed after (null when it is first).
    virtual void AttributeAdded(CAttribute* /*attribute*/, CAttribute* /*predecessor*/) {}
    // Slot 1: an attribute was moved; neighbour is the attribute now directly above it (null when it is first).
    virtual void AttributeMoved(CAttribute* /*attribute*/, CAttribute* /*neighbour*/) {}
    // Slot 2: an attribute is being deleted (also when the table is cleared); it is still readable.
    virtual void AttributeDeleted(CAttribute* /*attribute*/) {}
    // Slot 3: an action ("Command", "Undo", "GoBack" ...) is about to run. Setting *veto to -1 (all 16 bits set, the
    // automation true) cancels it; the library treats any non-zero value as a veto. *veto is 0 on entry.
    virtual void BeforeEvent(const wchar_t* /*eventName*/, const wchar_t* /*className*/, const wchar_t* /*commandText*/,
                             int32_t /*parameter*/, int16_t* /*veto*/)
    {
    }
    // Slot 4: the action ran.
    virtual void AfterEvent(const wchar_t* /*eventName*/, const wchar_t* /*className*/, const wchar_t* /*commandText*/,
                            int32_t /*parameter*/)
    {
    }
    // Slot 5: reserved; never called.
    virtual void Reserved() {}
    // Slot 6: the engine is about to show a message. Read it with ErrorGetMessage, ErrorGetCode and ErrorGetType;
    // clear the report flag (ErrorSetReport) and set ErrorSetSimulatedUserAction to answer it instead of the user.
    virtual void ReportMessage(CTableFrame* /*frame*/, CError* /*error*/) {}
    // Slots 7 and 8: a key went down or up in the table window; the table goes on with the key code the host leaves.
    virtual void KeyDown(CTableFrame* /*frame*/, CKeyEvent* /*event*/) {}
    virtual void KeyUp(CTableFrame* /*frame*/, CKeyEvent* /*event*/) {}
    // Slot 9: a character was typed; the table goes on with the character code the host leaves.
    virtual void KeyPress(CTableFrame* /*frame*/, CKeyPressEvent* /*event*/) {}
    // Slot 10: progress of a long operation, 0 ... 100.
    virtual void Progress(CTableFrame* /*frame*/, int32_t /*percent*/) {}

protected:
    TableCallback() = default;
    TableCallback(const TableCallback&) = default;
    TableCallback& operator=(const TableCallback&) = default;
    ~TableCallback() = default;
};

// ---------------------------------------------------------------------------------------------------------------
// Global functions.

// Once per process, before anything else: makes the module's option set (from the user's profile) and notes the
// calling thread. Later calls do nothing. Returns 0.
KORVALIN_API uint16_t InitKorvalinRegularDll();
// Runs the message loop of the table windows until the application quits; returns 0 at once while no table has a
// window.
KORVALIN_API uint16_t MainMessageLoop();
// Switches the user-interface language (1031 German, 1033 English). The texts are built into the library, so
// resourceLibrary is not read; a language whose texts the library does not carry gives 26. The live tables take
// over the new language; pageSetup is accepted for compatibility.
KORVALIN_API uint16_t SetLanguage(int32_t languageId, const wchar_t* resourceLibrary, bool pageSetup);
KORVALIN_API uint16_t GetLanguage(int32_t* languageId);
// A new copy of the last-error message ("" before the first failure); free it with StringFree.
KORVALIN_API wchar_t* GetLastErrorMessage();

// Makes a frame with an empty table. Without a parent window (null) the table has no window: window functions then
// give 23. Window handles are native handles; this build has no window system, so a parent window gives 2.
// recordCapacity > 0 makes room for that many records at once.
KORVALIN_API uint16_t CreateNewTable(CTableFrame** frame, void* parentWindow, void* viewWindow, int32_t width,
                                     int32_t height, int32_t recordCapacity, uint32_t windowStyle);
// Ends the frame and its table. Attributes, records and cursors of the table become invalid.
KORVALIN_API uint16_t TableDestroy(CTableFrame* frame);

// ---------------------------------------------------------------------------------------------------------------
// Callback, error and key-event objects.

// Stores the callback object in the frame (6 for null). The object must live until it is released or the frame is
// destroyed.
KORVALIN_API uint16_t TableRegisterCallbacks(CTableFrame* frame, TableCallback* callback);
// Clears the frame's callback object (6 for null or for an object that is not the registered one).
KORVALIN_API uint16_t TableReleaseCallbacks(CTableFrame* frame, TableCallback* callback);

// The error object of ReportMessage (34 for a null error). Code: the number of the message's string resource, the
// same in every language (0 for a text that is not one resource). Type: the buttons the message offers, as a
// message-box style (0 OK, 1 OK/cancel, 3 yes/no/cancel, 4 yes/no); setting it changes only how the message is
// shown. Report flag: 1 shows the message to the user afterwards, 0 takes the simulated user action as the answer
// (1 OK, 2 cancel, 6 yes, 7 no); an action that is not one of the message's buttons leaves the message's default
// answer. Other types and actions give 26.
KORVALIN_API uint16_t ErrorGetCode(CError* error, int32_t* code);
KORVALIN_API uint16_t ErrorGetType(CError* error, int32_t* type);
KORVALIN_API uint16_t ErrorGetMessage(CError* error, wchar_t** message);
KORVALIN_API uint16_t ErrorSetMessage(CError* error, const wchar_t* message);
KORVALIN_API uint16_t ErrorSetReport(CError* error, bool report);
KORVALIN_API uint16_t ErrorSetType(CError* error, int32_t type);
KORVALIN_API uint16_t ErrorSetSimulatedUserAction(CError* error, int32_t action);

// Key events (37 for a null event). Shift: the sum of 1 Shift, 2 Control, 4 Alt.
KORVALIN_API uint16_t KeyEventGetShift(CKeyEvent* event, int32_t* shift);
KORVALIN_API uint16_t KeyEventGetKeyCode(CKeyEvent* event, int32_t* keyCode);
KORVALIN_API uint16_t KeyEventSetKeyCode(CKeyEvent* event, int32_t keyCode);
KORVALIN_API uint16_t KeyPressEventGetCharCode(CKeyPressEvent* event, int32_t* charCode);
KORVALIN_API uint16_t KeyPressEventSetCharCode(CKeyPressEvent* event, int32_t charCode);

// ---------------------------------------------------------------------------------------------------------------
// The table.

// Makes the table consistent after records, values or attributes were added or records deleted: removes the
// records marked for deletion, gives every record without a value in some attribute the undefined value, recounts
// the qualified and shown records and re-sorts the values. Call it before reading counts or selecting.
KORVALIN_API uint16_t TableRefresh(CTableFrame* frame);
// Deletes every attribute (telling the callback) and every record.
KORVALIN_API uint16_t TableClear(CTableFrame* frame);
// Clears the format-warning flag of every attribute.
KORVALIN_API uint16_t TableRemoveFormatWarnings(CTableFrame* frame);
// The record capacity (room made for records); setting never drops records; a negative capacity gives 26.
KORVALIN_API uint16_t TableSetMaxSize(CTableFrame* frame, int32_t capacity);
KORVALIN_API uint16_t TableGetMaxSize(CTableFrame* frame, int32_t* capacity);
// The table's document name and the folder part of its path ("" when it has none).
KORVALIN_API uint16_t TableGetName(CTableFrame* frame, wchar_t** name);
KORVALIN_API uint16_t TableGetDirectory(CTableFrame* frame, wchar_t** directory);
// Counts: all attributes (headers included), the attributes that are not headers, all records (records marked for
// deletion count until TableRefresh), qualified records and selected records (both as of the last TableRefresh).
KORVALIN_API uint16_t TableGetAttributeCount(CTableFrame* frame, int32_t* count);
KORVALIN_API uint16_t TableGetLeafAttributeCount(CTableFrame* frame, int32_t* count);
KORVALIN_API uint16_t TableGetRecordCount(CTableFrame* frame, int32_t* count);
KORVALIN_API uint16_t TableGetQualifiedRecordCount(CTableFrame* frame, int32_t* count);
KORVALIN_API uint16_t TableGetSelectedRecordCount(CTableFrame* frame, int32_t* count);
// The attribute at a position of the list, from 0 (8 when out of range).
KORVALIN_API uint16_t TableGetAttribute(CTableFrame* frame, int32_t index, CAttribute** attribute);
// The lead of the attributes selected as rows; null when none is selected.
KORVALIN_API uint16_t TableGetSelectedAttribute(CTableFrame* frame, CAttribute** attribute);
// The first attribute (8 for a table without attributes).
KORVALIN_API uint16_t TableGetKeyAttribute(CTableFrame* frame, CAttribute** attribute);
// The first attribute, header or hidden attribute included, with this name or uuid (8 when there is none).
KORVALIN_API uint16_t TableFindAttribute(CTableFrame* frame, const wchar_t* name, CAttribute** attribute);
KORVALIN_API uint16_t TableFindAttributeByUuid(CTableFrame* frame, const wchar_t* uuid, CAttribute** attribute);
// The table's modified flag (set by every change through the interface).
KORVALIN_API uint16_t TableSetModified(CTableFrame* frame, bool modified);
KORVALIN_API uint16_t TableGetModified(CTableFrame* frame, bool* modified);
// The host application's name, kept by the frame.
KORVALIN_API uint16_t TableSetApplicationName(CTableFrame* frame, const wchar_t* name);
KORVALIN_API uint16_t TableGetApplicationName(CTableFrame* frame, wchar_t** name);
// The library version ("0.1.0"), the table file version written by default ("QTX2025/02/25") and the version of
// this interface ("1.0").
KORVALIN_API uint16_t TableGetProductVersion(CTableFrame* frame, wchar_t** version);
KORVALIN_API uint16_t TableGetDocumentVersion(CTableFrame* frame, wchar_t** version);
KORVALIN_API uint16_t TableGetTypeLibraryVersion(CTableFrame* frame, wchar_t** version);
// The table file the table was derived from, the file it was imported from and the frame's working directory.
KORVALIN_API uint16_t TableGetParentQtxFileName(CTableFrame* frame, wchar_t** fileName);
KORVALIN_API uint16_t TableSetParentQtxFileName(CTableFrame* frame, const wchar_t* fileName);
KORVALIN_API uint16_t TableGetImportFileName(CTableFrame* frame, wchar_t** fileName);
KORVALIN_API uint16_t TableSetImportFileName(CTableFrame* frame, const wchar_t* fileName);
KORVALIN_API uint16_t TableGetWorkingDirectory(CTableFrame* frame, wchar_t** directory);
KORVALIN_API uint16_t TableSetWorkingDirectory(CTableFrame* frame, const wchar_t* directory);

// The frame's settings for importing text files. Delimiter and quote are UTF-16 units (0: the default delimiter
// TAB, no quote); lines count from 1; maximum records -1 for all; encoding 0 code page, 1 UTF-8, 2/3 UTF-16 big/
// little endian, 4/5 UTF-32 big/little endian; transposed: one record per line. Out-of-range values and code pages
// that text cannot be converted from or to give 26.
KORVALIN_API uint16_t TableSetImportDelimiter(CTableFrame* frame, wchar_t delimiter);
KORVALIN_API uint16_t TableGetImportDelimiter(CTableFrame* frame, wchar_t* delimiter);
KORVALIN_API uint16_t TableSetImportQuote(CTableFrame* frame, wchar_t quote);
KORVALIN_API uint16_t TableGetImportQuote(CTableFrame* frame, wchar_t* quote);
KORVALIN_API uint16_t TableSetImportAttributeNames(CTableFrame* frame, bool present);
KORVALIN_API uint16_t TableGetImportAttributeNames(CTableFrame* frame, bool* present);
KORVALIN_API uint16_t TableSetImportAttributeLine(CTableFrame* frame, int32_t line);
KORVALIN_API uint16_t TableGetImportAttributeLine(CTableFrame* frame, int32_t* line);
KORVALIN_API uint16_t TableSetImportDataLine(CTableFrame* frame, int32_t line);
KORVALIN_API uint16_t TableGetImportDataLine(CTableFrame* frame, int32_t* line);
KORVALIN_API uint16_t TableSetImportMaxRecords(CTableFrame* frame, int32_t maxRecords);
KORVALIN_API uint16_t TableGetImportMaxRecords(CTableFrame* frame, int32_t* maxRecords);
KORVALIN_API uint16_t TableSetImportEncoding(CTableFrame* frame, int32_t encoding);
KORVALIN_API uint16_t TableGetImportEncoding(CTableFrame* frame, int32_t* encoding);
KORVALIN_API uint16_t TableSetImportCodePage(CTableFrame* frame, int32_t codePage);
KORVALIN_API uint16_t TableGetImportCodePage(CTableFrame* frame, int32_t* codePage);
KORVALIN_API uint16_t TableSetImportTransposed(CTableFrame* frame, bool transposed);
KORVALIN_API uint16_t TableGetImportTransposed(CTableFrame* frame, bool* transposed);
// The frame's settings for exporting text files (encodings 0 ... 3 as above).
KORVALIN_API uint16_t TableSetExportDelimiter(CTableFrame* frame, wchar_t delimiter);
KORVALIN_API uint16_t TableGetExportDelimiter(CTableFrame* frame, wchar_t* delimiter);
KORVALIN_API uint16_t TableSetExportQuote(CTableFrame* frame, wchar_t quote);
KORVALIN_API uint16_t TableGetExportQuote(CTableFrame* frame, wchar_t* quote);
KORVALIN_API uint16_t TableSetExportEncoding(CTableFrame* frame, int32_t encoding);
KORVALIN_API uint16_t TableGetExportEncoding(CTableFrame* frame, int32_t* encoding);
KORVALIN_API uint16_t TableSetExportCodePage(CTableFrame* frame, int32_t codePage);
KORVALIN_API uint16_t TableGetExportCodePage(CTableFrame* frame, int32_t* codePage);
KORVALIN_API uint16_t TableSetExportUseImportNames(CTableFrame* frame, bool useImportNames);
KORVALIN_API uint16_t TableGetExportUseImportNames(CTableFrame* frame, bool* useImportNames);
// The table's flags to write its file in partner or OEM form (OEM takes precedence).
KORVALIN_API uint16_t TableSetWriteVendrathFormat(CTableFrame* frame, bool on);
KORVALIN_API uint16_t TableGetWriteVendrathFormat(CTableFrame* frame, bool* on);
KORVALIN_API uint16_t TableSetWriteOEMFormat(CTableFrame* frame, bool on);
KORVALIN_API uint16_t TableGetWriteOEMFormat(CTableFrame* frame, bool* on);

// ---------------------------------------------------------------------------------------------------------------
// Table permissions. TableSetAllow/TableGetAllow write and read the table's own flag; DisableAllow withdraws the
// permission in the table's option set, which every table made by CreateNewTable shares. The user may do what both
// allow.
#define KORVALIN_TABLE_PERMISSION(Name)                                                                                \
    KORVALIN_API uint16_t TableSetAllow##Name(CTableFrame* frame, bool allow);                                         \
    KORVALIN_API uint16_t TableGetAllow##Name(CTableFrame* frame, bool* allow);                                        \
    KORVALIN_API uint16_t DisableAllow##Name(CTableFrame* frame);
KORVALIN_TABLE_PERMISSION(MoveAttributes)
KORVALIN_TABLE_PERMISSION(ChangeFormat)
KORVALIN_TABLE_PERMISSION(EditValues)
KORVALIN_TABLE_PERMISSION(InsertObjects)
KORVALIN_TABLE_PERMISSION(InsertAttributes)
KORVALIN_TABLE_PERMISSION(DeleteAttributes)
KORVALIN_TABLE_PERMISSION(InsertLink)
KORVALIN_TABLE_PERMISSION(EditComment)
KORVALIN_TABLE_PERMISSION(CreateQueries)
KORVALIN_TABLE_PERMISSION(DefineColorCoding)
KORVALIN_TABLE_PERMISSION(DetermineColumnWidth)
KORVALIN_TABLE_PERMISSION(InsertDerivedAttributes)
KORVALIN_TABLE_PERMISSION(RedefineDerivedAttributes)
KORVALIN_TABLE_PERMISSION(DefineCube)
KORVALIN_TABLE_PERMISSION(CreateDiagram)
#undef KORVALIN_TABLE_PERMISSION
KORVALIN_API uint16_t TableSetAllowInspectDefinitionOfDerivedAttributes(CTableFrame* frame, bool allow);
KORVALIN_API uint16_t TableGetAllowInspectDefinitionOfDerivedAttributes(CTableFrame* frame, bool* allow);

// ---------------------------------------------------------------------------------------------------------------
// Making attributes.

// A normal attribute placed after predecessor (null, or an attribute not in the table: after the last attribute).
// Its indent is the predecessor's, plus 1 when the predecessor is a header, minus levelsToClose (at least 0).
// format may be null (text). A format string that no family understands leaves the attribute text with its
// unclear-format flag set, stores "API_ILLEGAL_FORMAT" as the last-error message and still returns 0.
// expectedValues sizes the value storage. Negative levelsToClose or expectedValues give 26.
KORVALIN_API uint16_t TableAddAttribute(CTableFrame* frame, CAttribute** attribute, const wchar_t* name,
                                        CAttribute* predecessor, const wchar_t* format, int32_t levelsToClose,
                                        int32_t expectedValues);
// A header, placed and indented like TableAddAttribute; open: its subtree is shown expanded.
KORVALIN_API uint16_t TableAddHeader(CTableFrame* frame, CAttribute** attribute, const wchar_t* name,
                                     CAttribute* predecessor, int32_t levelsToClose, bool open);

// ---------------------------------------------------------------------------------------------------------------
// Records.

// A new record at the end of the table, without values until they are set (TableRefresh makes missing ones
// undefined).
KORVALIN_API uint16_t TableAddRecord(CTableFrame* frame, CRecord** record);
// Marks the record for deletion; TableRefresh removes it from the table.
KORVALIN_API uint16_t TableDeleteRecord(CTableFrame* frame, CRecord* record);
// Removes every record from the table and clears the selection of values.
KORVALIN_API uint16_t TableDeleteAllRecords(CTableFrame* frame);
// The record whose key value is text. The first attribute must be a key (35); 29 when no record has that value.
KORVALIN_API uint16_t TableGetRecordByKeyValue(CTableFrame* frame, const wchar_t* text, CRecord** record);

// ---------------------------------------------------------------------------------------------------------------
// Values. Setters need a normal attribute (15 for a header or derived attribute) and mark the table modified.
// Typed setters write the number with the attribute's format and store that text; an argument out of range stores
// the undefined value for the record and gives 26. Typed getters convert the stored number; an undefined value,
// a text value or a number out of the requested range gives 26.

// text: null for the undefined value; a list of values in bar form "|a|b|". With freeText set, text must be a
// library string (StringAllocate) and the library frees it, whatever the status.
KORVALIN_API uint16_t TableSetValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, wchar_t* text,
                                    bool freeText);
// NaN stores the undefined value; infinities give 26.
KORVALIN_API uint16_t TableSetDoubleValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, double value);
KORVALIN_API uint16_t TableSetIntValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int64_t value);
KORVALIN_API uint16_t TableSetDATEValue(CTableFrame* frame, CAttribute* attribute, CRecord* record,
                                        double automationDate);
// 1 <= year <= 9999, 1 <= month <= 12, 1 <= day <= days of the month (Gregorian leap years).
KORVALIN_API uint16_t TableSetDateValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t year,
                                        int32_t month, int32_t day);
// 0 <= hour <= 24, 0 <= minute, second < 60; 24 only as 24:00:00 (the time 1.0).
KORVALIN_API uint16_t TableSetTimeValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t hour,
                                        int32_t minute, int32_t second);
KORVALIN_API uint16_t TableSetDateTimeValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t year,
                                            int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second);
// sign < 0 makes the span negative; hours >= 0; 0 <= minutes, seconds < 60.
KORVALIN_API uint16_t TableSetTimeSpanValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int16_t sign,
                                            double hours, int32_t minutes, int32_t seconds);

// The field's text ("" when undefined; a list in bar form); free it with StringFree.
KORVALIN_API uint16_t TableGetValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, wchar_t** text);
// The stored number: NaN for text attributes and undefined values (status 0).
KORVALIN_API uint16_t TableGetDoubleValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, double* value);
// The stored number rounded to the nearest integer.
KORVALIN_API uint16_t TableGetIntValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int64_t* value);
// The stored number as an automation date (day number + 36526).
KORVALIN_API uint16_t TableGetDATEValue(CTableFrame* frame, CAttribute* attribute, CRecord* record,
                                        double* automationDate);
// Parts of the stored number, rounded to the nearest second. A time of 1.0 reads as 24:00:00.
KORVALIN_API uint16_t TableGetDateTimeValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t* year,
                                            int32_t* month, int32_t* day, int32_t* hour, int32_t* minute,
                                            int32_t* second);
KORVALIN_API uint16_t TableGetDateValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t* year,
                                        int32_t* month, int32_t* day);
KORVALIN_API uint16_t TableGetTimeValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int32_t* hour,
                                        int32_t* minute, int32_t* second);
KORVALIN_API uint16_t TableGetTimeSpanValue(CTableFrame* frame, CAttribute* attribute, CRecord* record, int16_t* sign,
                                            double* hours, int32_t* minutes, int32_t* seconds);
// Converters: read a text with the attribute's format, without a record. The double converter gives NaN for a
// text that is no number of the format; the others give 26.
KORVALIN_API uint16_t TableGetDoubleValue(CAttribute* attribute, const wchar_t* text, double* value);
KORVALIN_API uint16_t TableGetIntValue(CAttribute* attribute, const wchar_t* text, int64_t* value);
KORVALIN_API uint16_t TableGetDATEValue(CAttribute* attribute, const wchar_t* text, double* automationDate);

// ---------------------------------------------------------------------------------------------------------------
// Iteration. A Next function at the end sets its out-value to null and returns 0; a null, finished or foreign
// cursor gives 7. A cursor must not be used after its table changed; TableDestroy finishes the frame's cursors.

// The attribute list from the top; the leaf variant skips headers.
KORVALIN_API uint16_t TableStartAttributes(CTableFrame* frame, CPosition** position);
KORVALIN_API uint16_t TableNextAttribute(CTableFrame* frame, CPosition* position, CAttribute** attribute);
KORVALIN_API uint16_t TableNextLeafAttribute(CTableFrame* frame, CPosition* position, CAttribute** attribute);
KORVALIN_API uint16_t TableFinishAttributes(CTableFrame* frame, CPosition* position);
// Every record of the table in table order. The cursor is a counter holding the index of the next record.
KORVALIN_API uint16_t TableStartAllRecords(CTableFrame* frame, int32_t** counter);
KORVALIN_API uint16_t TableAllRecordsNext(CTableFrame* frame, int32_t* counter, CRecord** record);
KORVALIN_API uint16_t TableAllRecordsFinish(CTableFrame* frame, int32_t* counter);

// ---------------------------------------------------------------------------------------------------------------
// Attribute properties (4 for a null attribute, 17 for a null out-parameter). Setters of names, formats and
// definitions mark the table modified.

KORVALIN_API uint16_t AttributeGetName(CAttribute* attribute, wchar_t** name);
// An empty name gives 26; a drill-down attribute gives 38.
KORVALIN_API uint16_t AttributeSetName(CAttribute* attribute, const wchar_t* name);
KORVALIN_API uint16_t AttributeGetImportName(CAttribute* attribute, wchar_t** name);
KORVALIN_API uint16_t AttributeSetImportName(CAttribute* attribute, const wchar_t* name);
KORVALIN_API uint16_t AttributeGetImportIndex(CAttribute* attribute, int32_t* index);
KORVALIN_API uint16_t AttributeSetImportIndex(CAttribute* attribute, int32_t index);
KORVALIN_API uint16_t AttributeGetUuid(CAttribute* attribute, wchar_t** uuid);
KORVALIN_API uint16_t AttributeGetValueListTitle(CAttribute* attribute, wchar_t** title);
KORVALIN_API uint16_t AttributeSetValueListTitle(CAttribute* attribute, const wchar_t* title);
// A tag of the attribute's tag dictionary; an absent tag reads as "", and setting "" removes it.
KORVALIN_API uint16_t AttributeGetTag(CAttribute* attribute, const wchar_t* tagName, wchar_t** value);
KORVALIN_API uint16_t AttributeSetTag(CAttribute* attribute, const wchar_t* tagName, const wchar_t* value);
// The names of the headers above the attribute and its own, each followed by a backslash but the last:
// "Region\City\Inhabitants".
KORVALIN_API uint16_t AttributeGetPathName(CAttribute* attribute, wchar_t** pathName);
KORVALIN_API uint16_t AttributeGetComment(CAttribute* attribute, wchar_t** comment);
KORVALIN_API uint16_t AttributeSetComment(CAttribute* attribute, const wchar_t* comment);
// The definition of a derived attribute; "" for normal attributes and headers. Definitions of derived attributes
// are not kept by this version: 20 for them.
KORVALIN_API uint16_t AttributeGetFormulaDefinition(CAttribute* attribute, wchar_t** formula);
// "STRING", "INTEGER", "DOUBLE", "DATE", "TIME", "DATETIME" or "TIMESPAN".
KORVALIN_API uint16_t AttributeGetType(CAttribute* attribute, wchar_t** type);
// The format string ("" for text). Setting an unknown format gives 18 and leaves the attribute as it was.
KORVALIN_API uint16_t AttributeGetFormat(CAttribute* attribute, wchar_t** format);
KORVALIN_API uint16_t AttributeSetFormat(CAttribute* attribute, const wchar_t* format);
KORVALIN_API uint16_t AttributeGetUnclearFormat(CAttribute* attribute, bool* unclear);
KORVALIN_API uint16_t AttributeSetUnclearFormat(CAttribute* attribute, bool unclear);
// True only for an open header; setting on a non-header gives 14.
KORVALIN_API uint16_t AttributeHeaderGetOpen(CAttribute* attribute, bool* open);
KORVALIN_API uint16_t AttributeHeaderSetOpen(CAttribute* attribute, bool open);
KORVALIN_API uint16_t AttributeGetIndent(CAttribute* attribute, int32_t* indent);
// At least 1 (smaller values give 26).
KORVALIN_API uint16_t AttributeGetNrOfLines(CAttribute* attribute, int32_t* lines);
KORVALIN_API uint16_t AttributeSetNrOfLines(CAttribute* attribute, int32_t lines);
// Hiding sets hidden and clears shown (showing the reverse), for a header also on every attribute below it.
KORVALIN_API uint16_t AttributeGetHidden(CAttribute* attribute, bool* hidden);
KORVALIN_API uint16_t AttributeSetHidden(CAttribute* attribute, bool hidden);
KORVALIN_API uint16_t AttributeGetShown(CAttribute* attribute, bool* shown);
KORVALIN_API uint16_t AttributeSetShown(CAttribute* attribute, bool shown);
// Whether the attribute is selected as a row.
KORVALIN_API uint16_t AttributeGetSelected(CAttribute* attribute, bool* selected);
KORVALIN_API uint16_t AttributeSetSelected(CAttribute* attribute, bool selected);
// Whether the records are sorted by this attribute, and in reverse. Not kept by this version: 20.
KORVALIN_API uint16_t AttributeGetSorted(CAttribute* attribute, bool* sorted, bool* reverse);
// The leader of the attribute's coupled group and whether the attribute is coupled (the leader is null when not).
// Coupled groups are not kept by this version: 20, with the leader null.
KORVALIN_API uint16_t AttributeGetCoupledBlockLeader(CAttribute* attribute, CAttribute** leader, bool* coupled);
// When a derived attribute is recomputed: 0 by every recompute, 1 automatically, 2 by hand (F9), 3 once when it
// is defined, 4 after loading data. Any other value gives 26 and leaves the mode.
KORVALIN_API uint16_t AttributeGetEvalMode(CAttribute* attribute, int32_t* mode);
KORVALIN_API uint16_t AttributeSetEvalMode(CAttribute* attribute, int32_t mode);
KORVALIN_API uint16_t AttributeGetRegardUndefinedAsZero(CAttribute* attribute, bool* on);
KORVALIN_API uint16_t AttributeSetRegardUndefinedAsZero(CAttribute* attribute, bool on);
// The room made for distinct values; setting only ever makes more room (a negative size gives 26).
KORVALIN_API uint16_t AttributeGetMaxSize(CAttribute* attribute, int32_t* size);
KORVALIN_API uint16_t AttributeSetMaxSize(CAttribute* attribute, int32_t size);
// Colour coding: whether the attribute is colour-coded, and the colour (0x00BBGGRR) of one of its values. Colour
// coding is not kept by this version: both give 20 (the colour 0).
KORVALIN_API uint16_t AttributeGetColored(CAttribute* attribute, bool* colored);
KORVALIN_API uint16_t AttributeGetColor(CAttribute* attribute, const wchar_t* value, uint32_t* color);

// The eight permissions of an attribute. Inspect-definition reads true for attributes that are not derived or are
// links, whatever its flag.
KORVALIN_API uint16_t AttributeGetAllowEdit(CAttribute* attribute, bool* allow);
KORVALIN_API uint16_t AttributeSetAllowEdit(CAttribute* attribute, bool allow);
KORVALIN_API uint16_t AttributeGetAllowRename(CAttribute* attribute, bool* allow);
KORVALIN_API uint16_t AttributeSetAllowRename(CAttribute* attribute, bool allow);
KORVALIN_API uint16_t AttributeGetAllowDelete(CAttribute* attribute, bool* allow);
KORVALIN_API uint16_t AttributeSetAllowDelete(CAttribute* attribute, bool allow);
KORVALIN_API uint16_t AttributeGetAllowChangeFormat(CAttribute* attribute, bool* allow);
KORVALIN_API uint16_t AttributeSetAllowChangeFormat(CAttribute* attribute, bool allow);
KORVALIN_API uint16_t AttributeGetAllowMove(CAttribute* attribute, bool* allow);
KORVALIN_API uint16_t AttributeSetAllowMove(CAttribute* attribute, bool allow);
KORVALIN_API uint16_t AttributeGetAllowRedefine(CAttribute* attribute, bool* allow);
KORVALIN_API uint16_t AttributeSetAllowRedefine(CAttribute* attribute, bool allow);
KORVALIN_API uint16_t AttributeGetAllowInspectDefinition(CAttribute* attribute, bool* allow);
KORVALIN_API uint16_t AttributeSetAllowInspectDefinition(CAttribute* attribute, bool allow);
KORVALIN_API uint16_t AttributeGetAllowEditComment(CAttribute* attribute, bool* allow);
KORVALIN_API uint16_t AttributeSetAllowEditComment(CAttribute* attribute, bool allow);

// Kinds: header, normal, summary, expression, link, classification, case discrimination, drill-down (a link with a
// drill-down reference), derived (any of the computed kinds), OLAP dimension, analysis group (a header that a
// summary groups by); and whether some field holds a list of values, and whether the attribute is restricted.
// Where this version cannot tell, the answer is 20: drill-down for a link, analysis group for a header with a
// summary below it, and OLAP dimension always.
KORVALIN_API uint16_t AttributeIsHeader(CAttribute* attribute, bool* is);
KORVALIN_API uint16_t AttributeIsNormal(CAttribute* attribute, bool* is);
KORVALIN_API uint16_t AttributeIsSummary(CAttribute* attribute, bool* is);
KORVALIN_API uint16_t AttributeIsExpression(CAttribute* attribute, bool* is);
KORVALIN_API uint16_t AttributeIsLink(CAttribute* attribute, bool* is);
KORVALIN_API uint16_t AttributeIsClassification(CAttribute* attribute, bool* is);
KORVALIN_API uint16_t AttributeIsCaseDiscrimination(CAttribute* attribute, bool* is);
KORVALIN_API uint16_t AttributeIsDrillDown(CAttribute* attribute, bool* is);
KORVALIN_API uint16_t AttributeIsDerived(CAttribute* attribute, bool* is);
KORVALIN_API uint16_t AttributeIsDimension(CAttribute* attribute, bool* is);
KORVALIN_API uint16_t AttributeIsAnalysisGroup(CAttribute* attribute, bool* is);
KORVALIN_API uint16_t AttributeHasMultipleValues(CAttribute* attribute, bool* has);
KORVALIN_API uint16_t AttributeIsRestricted(CAttribute* attribute, bool* is);

} // namespace TableExport
