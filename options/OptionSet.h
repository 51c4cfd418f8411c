#pragma once
// The user's application options and their entries in the application profile.

#include "options/ColorScheme.h"
#include "options/TablePermissions.h"
#include "platform/Text.h"

#include <array>
#include <cstdint>

class CProfile;

// The application options: table colour schemes, chart colours, behaviour flags of the
// table view, import and report defaults, paths and the table-server settings. One set is
// loaded from the profile and handed to every table, which reads the public fields. Each
// persisted field has one profile entry named like the field without its prefix, in
// section Flags (colours and shading flags in section Color). Copying is intended: it is a
// plain record. Not thread-safe: change it on the user-interface thread only while no
// engine work reads it.
class COptionSet
{
public:
    // Every field at its default, scheme 4 active.
    COptionSet();

    // Restores every default (the reset button of the options dialog). The user-interface
    // language is kept: it is chosen through the language selection, not the options.
    void ResetDefaults();

    // Reads every entry from the profile. An absent or malformed entry leaves the field as it
    // is; afterwards NrOfRecentlyUsedFiles and PromptFieldWidth are clamped to their ranges, and
    // a value outside its range of the other checked fields keeps the previous value.
    void LoadOptions(const CProfile& profile);

    // Writes every entry that LoadOptions reads, plus Language, into the profile (in memory;
    // the caller writes the file with CProfile::Save).
    void SaveOptions(CProfile& profile) const;

    // Scheme number 1, 2, 3, 4 or 256; nullptr for any other number. Borrowed from this set.
    CColorScheme* GetColorScheme(int number);
    const CColorScheme* GetColorScheme(int number) const;

    // The scheme chosen by m_nColorSchemeNr2011.
    const CColorScheme& GetActiveColorScheme() const { return *GetColorScheme(m_nColorSchemeNr2011); }

    // Whether languageId is one of the user-interface languages (1031, 1033, 1036, ...).
    static bool IsKnownLanguage(int languageId);

    // The user-interface language the user chose: the profile's Language entry when it holds a known language,
    // else that of the locale (platform::LanguageFromEnvironment): 1031 for German, 1033 for English. A null
    // profile (an unreadable one) leaves the locale.
    static int ChooseLanguage(const CProfile* profile);

    bool operator==(const COptionSet&) const = default;

    static constexpr int nChartingColors = 12;
    static constexpr int nMaxRecentlyUsedFiles = 15;
    static constexpr int nMaxPromptFieldWidth = 10000;

    // Colours (section Color)
    CColorScheme m_colorScheme1;   // scheme 1, persisted
    CColorScheme m_colorScheme2;   // scheme 2, persisted
    CColorScheme m_colorScheme3;   // scheme 3, persisted
    CColorScheme m_colorScheme4;   // scheme 4, the default scheme; never read from or written to the profile
    CColorScheme m_colorScheme256; // scheme 256, persisted
    std::array<uint32_t, nChartingColors> m_aChartingColors{}; // chart series colours 1 ... 12, each 0x00BBGGRR
    uint32_t m_nChartingOthersColor = 0;                       // chart colour for "others", 0x00BBGGRR

    // Behaviour, import and report options (section Flags)
    int m_nColorSchemeNr2011 = 4;                // active scheme: always 1, 2, 3, 4 or 256
    int m_nAnimated = 2;                         // animation speed 0 off, 1 slow, 2 medium, 3 fast
    int m_nNrOfRecentlyUsedFiles = 6;            // 0 ... 15
    int m_nPromptFieldWidth = 350;               // 0 ... 10000
    bool m_bPopupHelp = true;                    // show pop-up help
    bool m_bSortValuesByFrequency = false;       // sort values by frequency
    bool m_bAutoCoupling = true;                 // couple attributes automatically
    bool m_bBoldHeaderNames = false;             // draw header names bold
    bool m_bWriteCharOrder = false;              // write the character order with tables
    bool m_bReadCharOrder = false;               // read the character order from tables
    bool m_bSimpleAttributeUndefined = false;    // simple display of undefined values
    bool m_bSymbolTexts = true;                  // show texts under the toolbar symbols
    bool m_bOLAPBar = false;                     // show the OLAP bar
    bool m_bSingleClickMode = false;             // a single click zooms
    bool m_bUseImportNames = true;               // match reloaded data by import names
    bool m_bCheckFormatsAtImport = true;         // check formats when importing
    bool m_bAppendNewAttributes = true;          // reloading appends new attributes
    bool m_bReplaceInsertedRecords = true;       // reloading replaces inserted records
    bool m_bDeleteOldRecords = false;            // reloading deletes old records
    bool m_bAppendNewRecords = true;             // reloading appends new records
    bool m_bGuessFormatsAtImport = true;         // guess formats when importing
    bool m_bWarnSaveQtp = true;                  // warn before saving a protected table
    bool m_bWarnReload = true;                   // warn before reloading
    bool m_bWarnDeleteRecords = true;            // ask before deleting records
    bool m_bWarnProjection = false;              // warn when saving makes a projection
    bool m_bWarnSavingHistory = true;            // warn when saving a long current query
    bool m_bWarnLongHistory = true;              // warn when the current query grows long
    bool m_bShowStartDialog = true;              // show the start dialog
    KString m_strWorkPath;                       // working folder; empty for none
    KString m_strTemplatePath;                   // template folder; empty for none
    int m_nToolbarStyle = 0;                     // toolbar style
    int m_nReportApplication = 0;                // application for reports
    int m_nChartApplication = 0;                 // application for charts
    KString m_strTextReportExtension = u"txt";   // file extension of text reports
    KString m_strTextReportDelimiter = u"\t";    // delimiter of text reports
    bool m_bAutoUpdateReports = true;            // update reports automatically
    bool m_bAutoAddFrequency = false;            // add a frequency column to reports
    bool m_bReportWarnClipboard = true;          // warn before copying a report to the clipboard
    bool m_bCirclesForYesNo = true;              // draw yes/no values as circles
    bool m_bSkipEnumeration = true;              // skip enumerations
    bool m_bUnderlineURLs = true;                // underline URLs
    bool m_bDrawPictures = true;                 // draw pictures
    bool m_bTestMenu = false;                    // show the test menu
    bool m_bUseMulticores = true;                // the engine may use several processor cores
    KString m_strLogFilePath;                    // path of the action log; empty for none
    bool m_bLogfileActiveAtProgramStart = false; // the action log runs from the program start
    int m_nLanguageReportCells = 0;              // language id of report cells, 0 ... 65535
    bool m_bEnableAeroTheme = true;              // use the desktop theme
    int m_nInternalChartTheme = 1;               // 0 ... 12
    int m_nInternalChartPalette = 2;             // 0 ... 18
    KString m_strAuthenticationProxyUrl = u"http://localhost:8080/authproxy"; // endpoint of the authentication proxy
    int m_nAuthenticationProxyDisplayMode = 0; // how the authentication proxy shows itself
    KString m_strKorvalinServerUrl = u"http://localhost:9000/tableRepository"; // endpoint of the table server
    KString m_strKorvalinServerTableClass;          // table class on the table server; empty for none
    KString m_strKorvalinServerName = u"localhost"; // host name of the table server
    int m_nKorvalinServerPort = 9000;               // port of the table server, 1 ... 65535
    int m_nKorvalinServerAuthenticationType = 0;    // authentication type of the table server
    int m_nDefaultQtxFormat = 0;                    // default table file format
    int m_nLanguage = 1031;                         // user-interface language id, always a known language
    CTablePermissions m_tablePermissions; // permissions a host withdrew from every table; not in the profile
};
