#pragma once
// The few things the display asks of a table and its attributes, in one place.
//
// The layout reads plain engine data only (record flags, the shown records, an attribute's values and its
// records ordered by value) and changes nothing but the view-mode flags, the open flags and the shown flags of
// refused records. Keeping every such call here means that a change of the engine's interface touches this
// file and no other file of display/. Threading: the table's thread.

#include "platform/Text.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CAttribute;
class CTable;
struct CRecord;

namespace display::access
{

// The records with the shown flag, in table order. Borrowed from the table; valid until its records change.
CRecord* const* ShownRecords(CTable& table, long* count);
// An attribute's shown records ordered by its values, ties in table order. Borrowed; valid until the next
// change of the shown records.
const std::vector<CRecord*>& SortedShownRecords(CAttribute& attribute);

// Grows with every reordering of the table's records (a sort), so that positions are looked up again.
uint64_t RecordOrderGeneration(const CTable& table);

// Routes the table's view-mode switches (those of commands, resets and going back) through switchMode(mode,
// notify) for as long as the returned link lives; the latest link of a table wins. The link may outlive the
// table (it then does nothing).
class CViewModeLink;
std::unique_ptr<CViewModeLink, void (*)(CViewModeLink*)> FollowViewModes(CTable& table,
                                                                         std::function<void(int, bool)> switchMode);
// The mode a reset restores (1, 2 or 3).
void SetRememberedViewMode(CTable& table, int mode);
// Submits the command that switches the table to mode (1, 2 or 3) as a step of the query; the table's layout
// carries it out. False when nothing was submitted (no attributes, already in the mode) or the step was refused.
bool SubmitViewMode(CTable& table, int mode);

bool IsCompressed(const CTable& table);
void SetCompressedFlag(CTable& table, bool on);
bool IsSortAll(const CTable& table);
void SetSortAllFlag(CTable& table, bool on);

// The width attribute of the table; null when none.
CAttribute* WidthAttribute(const CTable& table);
void SetWidthAttribute(CTable& table, CAttribute* attribute);

bool IsHeaderAttribute(const CAttribute& attribute);
// The record's number read with the attribute's format; NaN when it has none (text, undefined, no value).
double NumericValue(CAttribute& attribute, const CRecord* record);
// The record's value index in the attribute (-1 when none).
long ValueIndex(CAttribute& attribute, const CRecord* record);

// Clears every open flag of the table.
void CloseAllRecords(CTable& table);
// Opens or closes one record's column (the table keeps its count of open records).
void SetRecordOpen(CTable& table, CRecord* record, bool open);
// Takes the shown flag from every refused record (closing it) and rebuilds the shown records.
void HideRefusedRecords(CTable& table);

// The table's kept counts of qualified and of open records (a cheap check that the flags changed).
long NumberQualified(const CTable& table);
long NumberOpen(const CTable& table);
// The option Animated of the table's option set (0 off, 1 slow, 2 medium, 3 fast).
int AnimatedOption(const CTable& table);

// Sets two text lines for every attribute that shows one line, has more than 20 distinct values, is not a
// header and has no numeric format. Returns how many attributes changed.
long GuessTwoLineCompression(CTable& table);

// Tells the user through the table's message path.
void ShowMessage(CTable& table, const KString& text);

// The attributes of the table in list order (headers included). Borrowed.
std::vector<CAttribute*> Attributes(const CTable& table);

} // namespace display::access
