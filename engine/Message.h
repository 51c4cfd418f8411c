#pragma once
// A message for the user as the table shows it: its text, the number of the string resource it was made from,
// the buttons it offers and the answer taken when nobody answers. The flat interface hands these to the host as
// its error object (code, type); the korvalin command prints them as notes.

#include "platform/Text.h"

// Answers of message boxes.
enum EMessageAnswer : int
{
    ANSWER_OK = 1,
    ANSWER_CANCEL = 2,
    ANSWER_YES = 6,
    ANSWER_NO = 7,
};

// The buttons of a message, numbered as message-box styles.
enum EMessageType : int
{
    MESSAGE_OK = 0,            // a notice: OK
    MESSAGE_OK_CANCEL = 1,     // OK or Cancel
    MESSAGE_YES_NO_CANCEL = 3, // a question: Yes, No or Cancel
    MESSAGE_YES_NO = 4,        // a question: Yes or No
};

// Whether answer is one of the buttons of a message of type.
constexpr bool IsAnswerOf(int type, int answer)
{
    switch (type)
    {
    case MESSAGE_OK: return answer == ANSWER_OK;
    case MESSAGE_OK_CANCEL: return answer == ANSWER_OK || answer == ANSWER_CANCEL;
    case MESSAGE_YES_NO_CANCEL: return answer == ANSWER_YES || answer == ANSWER_NO || answer == ANSWER_CANCEL;
    case MESSAGE_YES_NO: return answer == ANSWER_YES || answer == ANSWER_NO;
    default: return false;
    }
}

struct SMessage
{
    KString m_strText;                     // the text shown
    int m_nCode = 0;                       // number of the text's string resource; 0 for a text made otherwise
    int m_nType = MESSAGE_OK;              // the buttons offered
    int m_nDefaultAnswer = ANSWER_OK;      // the answer when nobody answers; one of the type's buttons
};
