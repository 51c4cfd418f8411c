#pragma once
// The commands that arrange the display without restricting anything: sorting the records by an attribute
// (CSortCommand) and switching the view mode (CModeSwitchCommand). Both are query commands: they go into the
// back list and a stored query repeats them.
//
// Going back over a sort resets the table (which sorts the records by the first attribute again and clears
// every reverse flag) and replays the rest of the query, so the order is the one the earlier sorts gave.
// Going back over a mode switch switches straight back to the mode before it.
//
// Threading: the table's thread.

#include "selection/Command.h"

class CSortCommand final : public CCommand
{
public:
    // An empty sort for the factory.
    explicit CSortCommand(CTable* table);
    // A sort by attribute (reverse: the attribute's direction is turned round first). Clears the table's row
    // selection, as the click that makes it does.
    CSortCommand(CTable* table, CAttribute* attribute, bool reverse);
    void CopyFrom(const CCommand& other) override;
    // "Sortieren nach '%1'" (2710) or, reversing, "Die Sortierung von '%1' umkehren" (2574); the attribute name
    // cut to 30 characters in the short form, 200 in the long one.
    void ComputeName(int form) override;
    void Prepare() override { ComputeName(0); }
    bool ChangesMoreThanRestrictions() const override { return true; }
    // Turns the direction when reversing, then sorts (CTableSort::SortColumns with mode 3).
    bool Do() override;
    void Undo() override;

    bool m_bReverse = false; // toggle the attribute's reverse flag before sorting
};

class CModeSwitchCommand final : public CCommand
{
public:
    // An empty switch (to the full table) for the factory.
    explicit CModeSwitchCommand(CTable* table);
    // A switch to mode (1 full table, 2 compressed table, 3 overview); doNotRemember: even right after a
    // reset the mode does not become the one resets restore.
    CModeSwitchCommand(CTable* table, int mode, bool doNotRemember = false);
    void CopyFrom(const CCommand& other) override;
    // 2756 "Tabelle breit anzeigen", 2754 "In die komprimierte Tabelle wechseln", 2758 "In die Übersicht
    // wechseln".
    void ComputeName(int form) override;
    // Records the current mode as the previous one and whether the back list is empty or ends with a reset.
    void Prepare() override;
    bool IsValid() const override { return true; }
    bool IsApplicable(bool) override { return true; }
    bool ChangesMoreThanRestrictions() const override { return true; }
    bool Do() override;
    // Switches straight back to the previous mode (no replay).
    void Undo() override;
    KString GetDisplayClassName() const override { return u"Switch View"; }
    // "Table -> Compressed" and the like.
    KString GetLogName() override;

    int m_nNewMode = 1;            // the mode switched to: 1, 2 or 3
    int m_nPreviousMode = 1;       // the mode before, recorded by Prepare
    bool m_bDoNotRemember = false; // never becomes the remembered view mode
    bool m_bFollowsReset = false;  // the back list was empty or ended with a reset when it was prepared
};
