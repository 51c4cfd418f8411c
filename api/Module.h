#pragma once
// The module-wide state of the flat interface and the one guard through which every exported function runs.
//
// The module keeps the option set shared by new frames, the last-error message, the live frames (in creation
// order; the module owns them), the live attributes of those frames and the live iteration cursors, so that a
// destroyed frame, a deleted attribute or a finished cursor is recognised instead of being used.
//
// An exported function reads: Guard([&] { checks in the interface's order; work; }). A check that fails throws
// a CKorvalinException with its status; Guard maps every exception to a status, stores the last-error message
// and returns the status, so nothing crosses the library boundary.
//
// Threading: the interface's one thread (the one that called InitKorvalinRegularDll).

#include "korvalin/TableExport.h"
#include "platform/Error.h"
#include "platform/Text.h"

#include <cstdint>
#include <new>
#include <string>

class CAttribute;
class COptionSet;
class CTable;
class CTableFrame;
struct CRecord;

namespace api
{

// ---- module state ----

// Makes the module's option set (from the user's profile) if it is not there yet. Returns it.
COptionSet& InitializeModule();
// The module's option set; null before InitializeModule.
COptionSet* GetModuleOptions();

// Makes a frame, owned by the module until DestroyFrame. Returns it.
CTableFrame& CreateFrame();
// Ends a live frame: forgets its cursors and destroys it with its table.
void DestroyFrame(CTableFrame& frame);
// True for a frame made by CreateFrame and not yet destroyed.
bool IsLiveFrame(const CTableFrame* frame);
// Calls f(frame) for every live frame, in creation order.
template <class F> void ForEachFrame(F&& f);

// Live attributes: registered by their frame when made, forgotten when deleted.
void RegisterAttribute(const CAttribute* attribute, CTableFrame* frame);
void ForgetAttribute(const CAttribute* attribute);
// The frame of a live attribute; null for any other pointer.
CTableFrame* FindAttributeFrame(const CAttribute* attribute);

// Live cursors: an attribute position or a record counter, each bound to its frame and freed with its release
// function by ReleaseCursor or when the frame is destroyed.
using CursorRelease = void (*)(const void* cursor);
void RegisterCursor(const void* cursor, CTableFrame* frame, CursorRelease release);
// Frees a live cursor and forgets it; returns false when it was not live.
bool ReleaseCursor(const void* cursor);
// The frame of a live cursor; null for any other pointer.
CTableFrame* FindCursorFrame(const void* cursor);

// ---- the last error ----

void SetLastError(EStatus status);
void SetLastErrorMessage(const char* message);
const std::string& GetLastError();

// ---- checks, in the interface's order ----

// Ends the running function with a status.
[[noreturn]] void Fail(EStatus status);
// A live frame with a table (3).
CTableFrame& CheckFrame(CTableFrame* frame);
// A live attribute (4).
CAttribute& CheckAttribute(CAttribute* attribute);
// A live attribute of the frame's table (4).
CAttribute& CheckAttribute(CTableFrame& frame, CAttribute* attribute);
// A record of the frame's table (5): null, a pointer into nothing and a record of another table are refused.
CRecord& CheckRecord(CTableFrame& frame, CRecord* record);
// A frame that has a window, for the window functions (23 for a table made without one).
CTableFrame& CheckWindow(CTableFrame& frame);
// An out-parameter (17).
template <class T> T& CheckResult(T* result)
{
    if (!result)
        Fail(EStatus::IllegalResultArgument);
    return *result;
}
// A condition on an argument's value (26).
inline void CheckValue(bool condition)
{
    if (!condition)
        Fail(EStatus::IllegalArgumentValue);
}

// ---- strings ----

// A host's zero-terminated argument as internal text; null gives "".
KString FromHost(const wchar_t* text);
// A new library string for a result.
wchar_t* ToHost(KStringView text);

// ---- the guard ----

// Maps the exception in flight to its status and stores the last-error message.
uint16_t HandleException() noexcept;

// Runs body and returns 0, or the status of the first failure. Never throws.
template <class F> uint16_t Guard(F&& body) noexcept
{
    try
    {
        body();
        return 0;
    }
    catch (...)
    {
        return HandleException();
    }
}

} // namespace api

// ---- template definitions ----

#include <memory>
#include <vector>

namespace api
{
// The live frames in creation order (module storage).
std::vector<std::unique_ptr<CTableFrame>>& LiveFrames();

template <class F> void ForEachFrame(F&& f)
{
    for (auto& frame : LiveFrames())
        f(*frame);
}
} // namespace api
