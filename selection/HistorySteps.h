#pragma once
// The steps a user takes on a table's query and histories: zoom in, exclude, zoom out, reset, back, forward,
// rewind, fast forward, undo and redo, as the window's buttons and the korvalin command's verbs take them. A step
// that is not possible now is not taken and names the message that its greyed-out button stands for.
//
// Threading: the table's thread.

#include "platform/Text.h"

class CTableSelection;

namespace selection
{

enum class EStep : int
{
    ZoomIn,
    Exclude,
    ZoomOut,
    Reset,
    Back,
    Forward,
    Rewind,
    FastForward,
    Undo,
    Redo,
};

// What became of a step: m_nMessage 0 when it was taken, else the resource id of the message that tells why not
// (its %1 is m_strArgument).
struct SStepResult
{
    int m_nMessage = 0;
    KString m_strArgument;
    bool IsTaken() const { return m_nMessage == 0; }
};

// Whether the step is possible now (a reset always is).
bool IsStepPossible(CTableSelection& selection, EStep step);
// The caption of the step from the histories, with its '&' mnemonic ("&Zurück: Stadt = Bern"); empty for the zooms
// and the reset, whose captions are the window's, and for a history step that is not possible.
KString StepCaption(const CTableSelection& selection, EStep step);
// Takes the step when it is possible; a zoom keeps the selection.
SStepResult TakeStep(CTableSelection& selection, EStep step);
// Whether the step moves forward into a narrower query (zoom in, exclude): the refused records shrink away.
inline bool IsNarrowingStep(EStep step)
{
    return step == EStep::ZoomIn || step == EStep::Exclude;
}

} // namespace selection
