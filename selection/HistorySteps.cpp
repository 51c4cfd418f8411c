// The user's steps on the query and the histories, shared by the window's buttons and the command's verbs.

#include "selection/HistorySteps.h"

#include "engine/Table.h"
#include "platform/Resources.h"
#include "selection/CommandHistory.h"
#include "selection/TableSelection.h"

namespace selection
{

namespace
{
constexpr int kCannotGoBack = 3905;
constexpr int kCannotGoForward = 3906;
constexpr int kCannotUndo = 3907;
constexpr int kCannotRedo = 3908;
constexpr int kCannotZoomIn = 3909;
constexpr int kCannotExclude = 3910;
constexpr int kCannotZoomOut = 3911;
constexpr int kNotExecuted = 3912;  // "Das Kommando '%1' wurde nicht ausgeführt."
constexpr int kStepNotTaken = 3913; // "Der Schritt '%1' wurde nicht ausgeführt."
constexpr int kResetName = 2558;    // "Reset"

int ImpossibleMessage(EStep step)
{
    switch (step)
    {
    case EStep::ZoomIn:
        return kCannotZoomIn;
    case EStep::Exclude:
        return kCannotExclude;
    case EStep::ZoomOut:
        return kCannotZoomOut;
    case EStep::Back:
    case EStep::Rewind:
        return kCannotGoBack;
    case EStep::Forward:
    case EStep::FastForward:
        return kCannotGoForward;
    case EStep::Undo:
        return kCannotUndo;
    case EStep::Redo:
        return kCannotRedo;
    case EStep::Reset:
        break;
    }
    return 0;
}
} // namespace

bool IsStepPossible(CTableSelection& selection, EStep step)
{
    const CCommandHistory& history = selection.GetHistory();
    switch (step)
    {
    case EStep::ZoomIn:
        return selection.ZoomInPossible();
    case EStep::Exclude:
        return selection.ExcludePossible();
    case EStep::ZoomOut:
        return selection.ZoomOutPossible();
    case EStep::Reset:
        return true;
    case EStep::Back:
        return history.GoBackPossible();
    case EStep::Forward:
        return history.GoForwardPossible();
    case EStep::Rewind:
        return history.RewindPossible();
    case EStep::FastForward:
        return history.FastForwardPossible();
    case EStep::Undo:
        return history.UndoPossible();
    case EStep::Redo:
        return history.RedoPossible();
    }
    return false;
}

KString StepCaption(const CTableSelection& selection, EStep step)
{
    const CCommandHistory& history = selection.GetHistory();
    switch (step)
    {
    case EStep::Back:
        return history.GetBackCaption();
    case EStep::Forward:
        return history.GetForwardCaption();
    case EStep::Undo:
        return history.GetUndoCaption();
    case EStep::Redo:
        return history.GetRedoCaption();
    case EStep::Rewind:
        return CCommandHistory::GetOperationCaption(CCommandHistory::OP_REWIND);
    case EStep::FastForward:
        return CCommandHistory::GetOperationCaption(CCommandHistory::OP_FAST_FORWARD);
    default:
        return {};
    }
}

SStepResult TakeStep(CTableSelection& selection, EStep step)
{
    if (!IsStepPossible(selection, step))
        return {ImpossibleMessage(step), {}};
    CCommandHistory& history = selection.GetHistory();
    const KString caption = StepCaption(selection, step);
    switch (step)
    {
    case EStep::ZoomIn:
        return selection.ZoomIn() ? SStepResult{} : SStepResult{kNotExecuted, u"Zoom-in"};
    case EStep::Exclude:
        return selection.Exclude() ? SStepResult{} : SStepResult{kNotExecuted, u"Exclude"};
    case EStep::ZoomOut:
        return selection.ZoomOut() ? SStepResult{} : SStepResult{kNotExecuted, u"Zoom-out"};
    case EStep::Reset:
        return selection.SubmitReset() ? SStepResult{} : SStepResult{kNotExecuted, LoadResourceString(kResetName)};
    case EStep::Back:
        return history.GoBack() ? SStepResult{} : SStepResult{kStepNotTaken, caption};
    case EStep::Forward:
        return history.GoForward() ? SStepResult{} : SStepResult{kStepNotTaken, caption};
    case EStep::Rewind:
        return history.Rewind() ? SStepResult{} : SStepResult{kStepNotTaken, caption};
    case EStep::FastForward:
        return history.FastForward() ? SStepResult{} : SStepResult{kStepNotTaken, caption};
    case EStep::Undo:
        return history.Undo() ? SStepResult{} : SStepResult{kStepNotTaken, caption};
    case EStep::Redo:
        return history.Redo() ? SStepResult{} : SStepResult{kStepNotTaken, caption};
    }
    return {};
}

} // namespace selection
