// The flat interface: library strings, global functions, table creation and destruction, callbacks, the error
// object and key events.

#include "api/FlatObjects.h"
#include "api/Module.h"
#include "api/TableFrame.h"
#include "api/WindowFactory.h"
#include "korvalin/TableExport.h"
#include "options/OptionSet.h"
#include "platform/Automation.h"
#include "platform/Resources.h"

#include <cwchar>

using namespace api;

// The public status codes are the engine's statuses: both come from the one list of StatusCodes.h.
#define KORVALIN_SAME_STATUS(NAME, Name, code)                                                                         \
    static_assert(TableExport::API_##NAME == static_cast<uint16_t>(EStatus::Name));
KORVALIN_STATUS_CODES(KORVALIN_SAME_STATUS)
#undef KORVALIN_SAME_STATUS

namespace TableExport
{

// ---- library strings ----

wchar_t* StringAllocate(const wchar_t* text)
{
    try
    {
        return platform::AllocAutomationString(std::wstring_view(text ? text : L""));
    }
    catch (...)
    {
        return nullptr;
    }
}

void StringFree(wchar_t* text)
{
    platform::FreeAutomationString(text);
}

uint32_t StringGetLength(const wchar_t* text)
{
    return platform::AutomationStringLength(text);
}

// ---- global functions ----

uint16_t InitKorvalinRegularDll()
{
    return Guard([&] { InitializeModule(); });
}

uint16_t MainMessageLoop()
{
    return Guard(
        [&]
        {
            InitializeModule();
            // Without a window factory no table has a window, and there are no messages to wait for.
            if (api::CWindowFactory* factory = api::GetWindowFactory())
                factory->RunMessageLoop();
        });
}

uint16_t SetLanguage(int32_t languageId, const wchar_t* resourceLibrary, bool pageSetup)
{
    return Guard(
        [&]
        {
            // The German and English texts are built in; there is no resource library to load for any other language.
            CheckValue(languageId == static_cast<int32_t>(ELanguage::German) ||
                       languageId == static_cast<int32_t>(ELanguage::English));
            COptionSet& options = InitializeModule();
            options.m_nLanguage = languageId;
            platform::SetResourceLanguage(platform::LanguageFromId(languageId));
            ForEachFrame([&](CTableFrame& frame) { frame.GetTable().GetOptions().m_nLanguage = languageId; });
        });
}

uint16_t GetLanguage(int32_t* languageId)
{
    return Guard([&] { CheckResult(languageId) = InitializeModule().m_nLanguage; });
}

wchar_t* GetLastErrorMessage()
{
    try
    {
        return ToHost(platform::FromUtf8(GetLastError()));
    }
    catch (...)
    {
        return nullptr;
    }
}

uint16_t CreateNewTable(CTableFrame** frame, void* parentWindow, void* viewWindow, int32_t width, int32_t height,
                        int32_t recordCapacity, uint32_t windowStyle)
{
    return Guard(
        [&]
        {
            CTableFrame*& result = CheckResult(frame);
            result = nullptr;
            api::CWindowFactory* factory = api::GetWindowFactory();
            if (parentWindow && !factory)
                Fail(EStatus::CannotCreateTable); // no window system: neither frame window nor view can be made
            CTableFrame& made = CreateFrame();
            try
            {
                if (recordCapacity > 0)
                {
                    made.GetTable().GetAllRecords().SetMaxSize(recordCapacity);
                    made.GetTable().GetShownRecords().SetMaxSize(recordCapacity);
                }
                if (parentWindow)
                {
                    std::unique_ptr<api::CFrameWindow> window =
                        factory->MakeFrameWindow(made, parentWindow, viewWindow, width, height, windowStyle);
                    if (!window)
                        Fail(EStatus::CannotCreateTable);
                    made.SetWindow(std::move(window));
                }
            }
            catch (...)
            {
                DestroyFrame(made);
                throw;
            }
            result = &made;
        });
}

uint16_t TableDestroy(CTableFrame* frame)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            if (live.IsInCallback())
                Fail(EStatus::CannotExecuteFunction); // the frame is still working for the host
            DestroyFrame(live);
        });
}

// ---- callback, error and key-event objects ----

uint16_t TableRegisterCallbacks(CTableFrame* frame, TableCallback* callback)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            if (!callback)
                Fail(EStatus::IllegalCallbackArgument);
            live.SetCallback(callback);
        });
}

uint16_t TableReleaseCallbacks(CTableFrame* frame, TableCallback* callback)
{
    return Guard(
        [&]
        {
            CTableFrame& live = CheckFrame(frame);
            // Only the registered object can be released: another one would silently cut off the host that is.
            if (!callback || callback != live.GetCallback())
                Fail(EStatus::IllegalCallbackArgument);
            live.SetCallback(nullptr);
        });
}

namespace
{

CError& CheckError(CError* error)
{
    if (!error)
        Fail(EStatus::IllegalErrorArgument);
    return *error;
}

template <class TEvent> TEvent& CheckKeyEvent(TEvent* event)
{
    if (!event)
        Fail(EStatus::IllegalKeyEventArgument);
    return *event;
}

} // namespace

uint16_t ErrorGetCode(CError* error, int32_t* code)
{
    return Guard(
        [&]
        {
            CError& e = CheckError(error);
            CheckResult(code) = e.m_nCode;
        });
}

uint16_t ErrorGetType(CError* error, int32_t* type)
{
    return Guard(
        [&]
        {
            CError& e = CheckError(error);
            CheckResult(type) = e.m_nType;
        });
}

uint16_t ErrorGetMessage(CError* error, wchar_t** message)
{
    return Guard(
        [&]
        {
            CError& e = CheckError(error);
            CheckResult(message) = ToHost(e.m_strMessage);
        });
}

uint16_t ErrorSetMessage(CError* error, const wchar_t* message)
{
    return Guard([&] { CheckError(error).m_strMessage = FromHost(message); });
}

uint16_t ErrorSetReport(CError* error, bool report)
{
    return Guard([&] { CheckError(error).m_bReport = report ? 1 : 0; });
}

uint16_t ErrorSetType(CError* error, int32_t type)
{
    return Guard(
        [&]
        {
            CError& e = CheckError(error);
            CheckValue(type == MESSAGE_OK || type == MESSAGE_OK_CANCEL || type == MESSAGE_YES_NO_CANCEL ||
                       type == MESSAGE_YES_NO);
            e.m_nType = type;
        });
}

uint16_t ErrorSetSimulatedUserAction(CError* error, int32_t action)
{
    return Guard(
        [&]
        {
            CError& e = CheckError(error);
            CheckValue(action == ANSWER_OK || action == ANSWER_CANCEL || action == ANSWER_YES || action == ANSWER_NO);
            e.m_nSimulatedUserAction = action;
        });
}

uint16_t KeyEventGetShift(CKeyEvent* event, int32_t* shift)
{
    return Guard(
        [&]
        {
            CKeyEvent& e = CheckKeyEvent(event);
            CheckResult(shift) = e.m_nShift;
        });
}

uint16_t KeyEventGetKeyCode(CKeyEvent* event, int32_t* keyCode)
{
    return Guard(
        [&]
        {
            CKeyEvent& e = CheckKeyEvent(event);
            CheckResult(keyCode) = e.m_nKeyCode;
        });
}

uint16_t KeyEventSetKeyCode(CKeyEvent* event, int32_t keyCode)
{
    return Guard([&] { CheckKeyEvent(event).m_nKeyCode = keyCode; });
}

uint16_t KeyPressEventGetCharCode(CKeyPressEvent* event, int32_t* charCode)
{
    return Guard(
        [&]
        {
            CKeyPressEvent& e = CheckKeyEvent(event);
            CheckResult(charCode) = e.m_nCharCode;
        });
}

uint16_t KeyPressEventSetCharCode(CKeyPressEvent* event, int32_t charCode)
{
    return Guard([&] { CheckKeyEvent(event).m_nCharCode = charCode; });
}

} // namespace TableExport
