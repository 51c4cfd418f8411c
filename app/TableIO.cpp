// Reading and writing tables for the subcommands: settings as "name=value", the progress bar, the messages.

#include "app/Commands.h"

#include "engine/Table.h"
#include "exchange/SettingsText.h"
#include "files/QtcFile.h"
#include "options/OptionSet.h"
#include "platform/Error.h"
#include "platform/Profile.h"
#include "platform/Resources.h"
#include "platform/System.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>

namespace app
{

namespace
{

// A progress bar on standard error, drawn only when it is a terminal.
class CProgressBar
{
public:
    CProgressBar() : m_bActive(::isatty(STDERR_FILENO) != 0) {}
    ~CProgressBar() { Clear(); }
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

    bool Show(const std::string& label, double fraction, long records)
    {
        if (!m_bActive)
            return true;
        const uint64_t now = platform::GetTickCountMs();
        if (m_bShown && now - m_nLastDraw < 100)
            return true;
        m_nLastDraw = now;
        m_bShown = true;
        const int width = 30;
        const int filled = std::clamp(static_cast<int>(fraction * width), 0, width);
        std::cerr << '\r' << label << " [" << std::string(static_cast<size_t>(filled), '#')
                  << std::string(static_cast<size_t>(width - filled), ' ') << "] " << static_cast<int>(fraction * 100)
                  << "% " << Text(9018, {std::to_string(records)}) << std::flush;
        return true;
    }
    void Clear()
    {
        if (m_bShown)
            std::cerr << "\r\033[K" << std::flush;
        m_bShown = false;
    }

private:
    bool m_bActive;           // standard error is a terminal
    bool m_bShown = false;    // a bar is on the line
    uint64_t m_nLastDraw = 0; // tick of the last drawing
};

} // namespace

void ChooseMessageLanguage()
{
    int language = 0;
    try
    {
        const CProfile profile;
        language = COptionSet::ChooseLanguage(&profile);
    }
    catch (const CKorvalinException&)
    {
        language = COptionSet::ChooseLanguage(nullptr); // an unreadable profile chooses nothing
    }
    platform::SetResourceLanguage(platform::LanguageFromId(language));
}

std::string Text(int id, std::initializer_list<std::string_view> args)
{
    KString filled[3];
    size_t count = 0;
    for (std::string_view arg : args)
    {
        if (count < std::size(filled))
            filled[count++] = platform::FromUtf8(arg);
    }
    return platform::ToUtf8(FormatMessageText(LoadResourceString(id), {filled[0], filled[1], filled[2]}));
}

void ApplyReadSettings(const std::vector<std::string>& settings, files::SOpenRequest& request)
{
    try
    {
        exchange::ApplyImportSettings(settings, request.m_settings, &request.m_bDelimiterGiven);
    }
    catch (const CKorvalinException& e)
    {
        throw CUsageError(e.what());
    }
}

void ApplyExportSetting(const std::string& setting, exchange::SExportOptions& options)
{
    try
    {
        exchange::ApplyExportSetting(setting, options);
    }
    catch (const CKorvalinException& e)
    {
        throw CUsageError(e.what());
    }
}

namespace
{
// Prints a message of the table as a note on standard error.
void PrintNote(const KString& text)
{
    std::string message = platform::ToUtf8(text);
    size_t at = 0;
    while ((at = message.find('\n', at)) != std::string::npos)
    {
        message.insert(at + 1, "  ");
        at += 3;
    }
    std::cerr << "korvalin: note: " << message << '\n';
}
} // namespace

std::unique_ptr<CTable> MakeTable()
{
    auto table = std::make_unique<CTable>();
    table->SetMessageHandler(
        [](const KString& text, int answer)
        {
            PrintNote(text);
            return answer;
        });
    return table;
}

void ReadTableFile(CTable& table, const std::filesystem::path& path, files::SOpenRequest request)
{
    request.m_bExplicitImport = true;
    CProgressBar bar;
    const std::string label = path.filename().string();
    request.m_read.m_progress = [&bar, &label](double fraction, long records)
    { return bar.Show(label, fraction, records); };
    // The messages of the read are held back until it is over: a failure's message is then told once.
    std::vector<KString> notes;
    table.SetMessageHandler(
        [&notes](const KString& text, int answer)
        {
            notes.push_back(text);
            return answer;
        });
    auto restoreHandler = [&table]
    {
        table.SetMessageHandler(
            [](const KString& text, int answer)
            {
                PrintNote(text);
                return answer;
            });
    };
    try
    {
        files::ReadTable(table, path, request);
    }
    catch (const std::exception& e)
    {
        bar.Clear();
        restoreHandler();
        const std::string error = e.what();
        for (const KString& note : notes)
        {
            if (error.find(platform::ToUtf8(note)) == std::string::npos)
                PrintNote(note);
        }
        throw;
    }
    bar.Clear();
    restoreHandler();
    for (const KString& note : notes)
        PrintNote(note);
}

exchange::SExportOptions DefaultExportOptions(const std::filesystem::path& path)
{
    exchange::SExportOptions options;
    options.m_cDelimiter = exchange::ProposeDelimiter(path);
    options.m_nEncoding = ENCODING_UTF8;
    return options;
}

void WriteTableFile(CTable& table, const std::filesystem::path& path, const exchange::SExportOptions& options)
{
    switch (files::GetFileKind(path))
    {
    case files::FILE_QTC:
        files::WriteQtcFile(table, path, options.m_bAllRecords);
        return;
    case files::FILE_QTX:
        throw CKorvalinException(EStatus::NotYetImplemented, Text(9020, {path.string()}));
    case files::FILE_TEXT:
        exchange::WriteExportFile(table, path, options);
        return;
    }
}

} // namespace app
