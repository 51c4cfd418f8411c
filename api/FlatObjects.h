#pragma once
// The objects that the flat interface hands to hosts as opaque pointers: the error object of a message, the key
// events and the attribute cursor. Hosts reach their fields only through the Error..., KeyEvent... and
// KeyPressEvent... functions. Threading: the table's thread; each lives for one callback or one iteration.

#include "korvalin/TableExport.h"
#include "platform/Text.h"

#include <cstdint>

namespace TableExport
{

// A message the engine is about to show, offered to the host's ReportMessage callback.
class CError
{
public:
    CError(KStringView message, int32_t type, int32_t code) : m_strMessage(message), m_nType(type), m_nCode(code) {}

    KString m_strMessage;               // the text shown; the host may replace it
    uint8_t m_bReport = 1;              // 1: show the message afterwards; 0: answer with m_nSimulatedUserAction
    int32_t m_nSimulatedUserAction = 1; // the answer when not shown (1 OK, 2 cancel, 6 yes, 7 no)
    int32_t m_nType;                    // message-box style (0 OK, 1 OK/cancel, 3 yes/no/cancel, 4 yes/no): the
                                        // buttons of the question; the host may change how it is shown
    int32_t m_nCode;                    // number of the message's string resource; 0 for a text made otherwise
};

// A key going down or up.
class CKeyEvent
{
public:
    CKeyEvent(int32_t keyCode, int32_t shift) : m_nKeyCode(keyCode), m_nShift(shift) {}

    int32_t m_nKeyCode; // the key; the host may change it, the table goes on with what is left
    int32_t m_nShift;   // sum of 1 Shift, 2 Control, 4 Alt, taken when the event was made
};

// A character typed.
class CKeyPressEvent
{
public:
    explicit CKeyPressEvent(int32_t charCode) : m_nCharCode(charCode) {}

    int32_t m_nCharCode; // the character; the host may change it
};

// A position in a frame's attribute list, from TableStartAttributes to TableFinishAttributes.
class CPosition
{
public:
    explicit CPosition(CTableFrame* frame) : m_pFrame(frame) {}

    CTableFrame* m_pFrame; // the frame whose list is walked
    long m_nNext = 0;      // index of the next attribute to examine
};

} // namespace TableExport
