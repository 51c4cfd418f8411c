#pragma once
// Import and export settings by readable names ("delimiter=;", "encoding=utf-16le", "names=no"), as scripts,
// the korvalin command and the tests give them. Every function throws CKorvalinException
// (IllegalArgumentValue) with a one-line message for a bad name or value. Threading: any thread.

#include "engine/ImportSettings.h"
#include "exchange/TextExporter.h"

#include <string>
#include <vector>

namespace exchange
{

// A character by word: tab (or \t), comma, semicolon, space (blank), pipe (bar), or any single character.
// what names the setting in the message.
char16_t ParseCharacterName(const std::string& word, const char* what);

// An encoding by word: codepage (ansi, 0), utf-8 (1), utf-16be (2), utf-16le (utf-16, 3), utf-32be (4),
// utf-32le (5).
int ParseEncodingName(const std::string& word);

// Applies "name=value" import settings in order: delimiter, quote (a character, double, single or none),
// encoding, codepage (sets encoding 0), names, nameline, dataline, maxrecords (-1 for all), transposed,
// fixedwidth, widths (N,N,...; sets fixed width), replacebars. Flags take yes/no. Without dataline the data
// start on the line after the names line (line 1 without names). *delimiterGiven tells whether a delimiter
// was set (may be null).
void ApplyImportSettings(const std::vector<std::string>& settings, CImportSettings& target, bool* delimiterGiven);

// Applies one "name=value" export setting: delimiter, quote, encoding (no UTF-32), codepage (sets encoding
// 0), bom, names, importlayout.
void ApplyExportSetting(const std::string& setting, SExportOptions& options);

} // namespace exchange
