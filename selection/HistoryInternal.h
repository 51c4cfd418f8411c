#pragma once
// What the history's source files share: the resources of its messages and captions and small helpers.
// Internal to selection/.

#include "platform/Text.h"
#include "selection/Command.h"

#include <algorithm>
#include <memory>

namespace history
{
// Message and caption resources.
constexpr int kCommandFailed = 1117;        // "Dieses Kommando konnte nicht ausgeführt werden:\n%1\n\nGrund: %2"
constexpr int kInternalError = 1128;        // "Interner Programmfehler ... %1 dennoch fortzusetzen?"
constexpr int kSkipped = 1314;              // forward or redo of an inapplicable command
constexpr int kSkippedBack = 1316;          // back over an inapplicable command
constexpr int kSkippedUndo = 1317;          // undo of an inapplicable command
constexpr int kLongQuery = 3066;            // the long-query warning
constexpr int kModificationsSinceReset = 1791; // asks before a save
constexpr int kBackCaption = 1062;          // "&Zurück: %1"
constexpr int kForwardCaption = 1818;       // "&Vor: %1"
constexpr int kJumpBackCaption = 1060;      // "Zurück"
constexpr int kJumpForwardCaption = 1816;   // "Vor"
constexpr int kRewindCaption = 2578;        // "Zum Anfang der Anfrage"
constexpr int kFastForwardCaption = 1706;   // "Zum Ende der Anfrage"
constexpr int kNextQueryCaption = 1708;     // "Zur nächsten Anfrage gehen"
constexpr int kPreviousQueryCaption = 2366; // "Zur vorherigen Anfrage gehen"
constexpr int kUndoCaption = 3903;          // "Rückgängig: %1"
constexpr int kRedoCaption = 3904;          // "Wiederholen: %1"

inline bool IsReset(const std::shared_ptr<CCommand>& command)
{
    return command->IsKindOf(u"CResetCommand");
}

// Without the ampersand that marks a menu's access key.
inline KString WithoutAccessKey(KString text)
{
    text.erase(std::remove(text.begin(), text.end(), u'&'), text.end());
    return text;
}

// Control characters (line breaks in names) as blanks.
inline KString WithoutControls(KString text)
{
    for (char16_t& c : text)
    {
        if (c < 0x20)
            c = u' ';
    }
    return text;
}
} // namespace history
