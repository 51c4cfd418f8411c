#include "api/Module.h"

#include "api/TableFrame.h"
#include "options/OptionSet.h"
#include "platform/Automation.h"
#include "platform/Profile.h"
#include "platform/Resources.h"

#include <algorithm>
#include <exception>
#include <unordered_map>

namespace api
{

namespace
{

// A live cursor: its frame and how to free it.
struct SCursor
{
    CTableFrame* m_pFrame;   // the frame the cursor walks
    CursorRelease m_release; // frees the cursor
};

// Everything the module keeps between calls. Frames are destroyed before the option set they share.
struct SModule
{
    std::unique_ptr<COptionSet> m_pOptions;                           // null until InitializeModule
    int m_nTablesMade = 0;                                            // numbers the default table names
    std::string m_strLastError;                                       // symbolic name of the last failure
    std::unordered_map<const CAttribute*, CTableFrame*> m_attributes; // live attributes -> their frame
    std::unordered_map<const void*, SCursor> m_cursors;               // live cursors
    std::vector<std::unique_ptr<CTableFrame>> m_frames;               // live frames, creation order

    ~SModule()
    {
        // The frames' tables tell nobody when the process ends; drop them before the options they use.
        for (auto& [cursor, live] : m_cursors)
            live.m_release(cursor);
        m_cursors.clear();
        m_frames.clear();
    }
};

SModule& Module()
{
    static SModule module;
    return module;
}

} // namespace

std::vector<std::unique_ptr<CTableFrame>>& LiveFrames()
{
    return Module().m_frames;
}

// ---- module state ----

COptionSet& InitializeModule()
{
    SModule& module = Module();
    if (!module.m_pOptions)
    {
        auto options = std::make_unique<COptionSet>();
        try
        {
            const CProfile profile;
            options->LoadOptions(profile);
            options->m_nLanguage = COptionSet::ChooseLanguage(&profile);
        }
        catch (const CKorvalinException&)
        {
            // An unreadable profile leaves the defaults, in the language of the locale.
            options->m_nLanguage = COptionSet::ChooseLanguage(nullptr);
        }
        platform::SetResourceLanguage(platform::LanguageFromId(options->m_nLanguage));
        module.m_pOptions = std::move(options);
    }
    return *module.m_pOptions;
}

COptionSet* GetModuleOptions()
{
    return Module().m_pOptions.get();
}

CTableFrame& CreateFrame()
{
    SModule& module = Module();
    COptionSet& options = InitializeModule();
    const KString title = FormatResource(3000, {platform::ToKString(module.m_nTablesMade + 1)});
    module.m_frames.reserve(module.m_frames.size() + 1);
    auto frame = std::make_unique<CTableFrame>(options, title);
    CTableFrame& result = *frame;
    module.m_frames.push_back(std::move(frame));
    ++module.m_nTablesMade;
    return result;
}

void DestroyFrame(CTableFrame& frame)
{
    SModule& module = Module();
    for (auto it = module.m_cursors.begin(); it != module.m_cursors.end();)
    {
        if (it->second.m_pFrame == &frame)
        {
            it->second.m_release(it->first);
            it = module.m_cursors.erase(it);
        }
        else
        {
            ++it;
        }
    }
    auto it = std::find_if(module.m_frames.begin(), module.m_frames.end(),
                           [&](const auto& live) { return live.get() == &frame; });
    if (it == module.m_frames.end())
        return;
    std::unique_ptr<CTableFrame> owned = std::move(*it);
    module.m_frames.erase(it);
    owned.reset();
}

bool IsLiveFrame(const CTableFrame* frame)
{
    const auto& frames = Module().m_frames;
    return frame && std::any_of(frames.begin(), frames.end(), [&](const auto& live) { return live.get() == frame; });
}

void RegisterAttribute(const CAttribute* attribute, CTableFrame* frame)
{
    Module().m_attributes[attribute] = frame;
}

void ForgetAttribute(const CAttribute* attribute)
{
    Module().m_attributes.erase(attribute);
}

CTableFrame* FindAttributeFrame(const CAttribute* attribute)
{
    const auto& attributes = Module().m_attributes;
    const auto it = attributes.find(attribute);
    return it == attributes.end() ? nullptr : it->second;
}

void RegisterCursor(const void* cursor, CTableFrame* frame, CursorRelease release)
{
    Module().m_cursors[cursor] = SCursor{frame, release};
}

bool ReleaseCursor(const void* cursor)
{
    auto& cursors = Module().m_cursors;
    const auto it = cursors.find(cursor);
    if (it == cursors.end())
        return false;
    const CursorRelease release = it->second.m_release;
    cursors.erase(it);
    release(cursor);
    return true;
}

CTableFrame* FindCursorFrame(const void* cursor)
{
    const auto& cursors = Module().m_cursors;
    const auto it = cursors.find(cursor);
    return it == cursors.end() ? nullptr : it->second.m_pFrame;
}

// ---- the last error ----

void SetLastError(EStatus status)
{
    SetLastErrorMessage(StatusName(status));
}

void SetLastErrorMessage(const char* message)
{
    Module().m_strLastError = message;
}

const std::string& GetLastError()
{
    return Module().m_strLastError;
}

// ---- checks ----

void Fail(EStatus status)
{
    throw CKorvalinException(status, StatusName(status));
}

CTableFrame& CheckFrame(CTableFrame* frame)
{
    if (!IsLiveFrame(frame))
        Fail(EStatus::IllegalTableArgument);
    return *frame;
}

CAttribute& CheckAttribute(CAttribute* attribute)
{
    if (!attribute || !FindAttributeFrame(attribute))
        Fail(EStatus::IllegalAttributeArgument);
    return *attribute;
}

CAttribute& CheckAttribute(CTableFrame& frame, CAttribute* attribute)
{
    if (!attribute || FindAttributeFrame(attribute) != &frame)
        Fail(EStatus::IllegalAttributeArgument);
    return *attribute;
}

CRecord& CheckRecord(CTableFrame& frame, CRecord* record)
{
    if (!record || !frame.GetTable().ContainsRecord(record))
        Fail(EStatus::IllegalRecordArgument);
    return *record;
}

CTableFrame& CheckWindow(CTableFrame& frame)
{
    if (!frame.HasWindow())
        Fail(EStatus::TableHasNoWindow);
    return frame;
}

// ---- strings ----

KString FromHost(const wchar_t* text)
{
    return text ? platform::FromWide(std::wstring_view(text)) : KString();
}

wchar_t* ToHost(KStringView text)
{
    return platform::AllocAutomationString(text);
}

// ---- the guard ----

uint16_t HandleException() noexcept
{
    EStatus status = EStatus::CannotExecuteFunction;
    try
    {
        throw;
    }
    catch (const CKorvalinException& e)
    {
        if (e.GetStatus() != EStatus::Ok)
            status = e.GetStatus();
    }
    catch (const std::bad_alloc&)
    {
        status = EStatus::CannotExecuteFunction;
    }
    catch (const std::exception&)
    {
        status = EStatus::CannotExecuteFunction;
    }
    catch (...)
    {
        status = EStatus::CannotExecuteFunction;
    }
    try
    {
        SetLastError(status);
    }
    catch (...)
    {
        // Not even the message could be stored; the status still tells.
    }
    return static_cast<uint16_t>(status);
}

} // namespace api
