#pragma once
// CAttributeStatistics: the cached figures of one attribute's values: the
// minimum, maximum and average number and the longest value, over all records
// and over the shown records, and the most parts of a list.
//
// Owned by its CAttribute, by value; the attribute passes itself to the
// getters, which compute what is out of date from its values and the table's
// records. Any change of values or records invalidates the figures (Invalidate
// is inline: it runs for every value added).
//
// Threading: the table's thread.

class CAttribute;

class CAttributeStatistics
{
public:
    double GetAbsoluteMinimum(CAttribute& attribute);
    double GetAbsoluteMaximum(CAttribute& attribute);
    double GetAbsoluteAverage(CAttribute& attribute);
    long GetAbsoluteMaxValueLength(CAttribute& attribute);
    double GetShownMinimum(CAttribute& attribute);
    double GetShownMaximum(CAttribute& attribute);
    double GetShownAverage(CAttribute& attribute);
    long GetShownMaxValueLength(CAttribute& attribute);
    // The most parts of any list among the values (0 without lists).
    int GetMaxMultipleValues(const CAttribute& attribute);
    // Computes the figures over all records (shownOnly: over the shown records) now.
    void Compute(CAttribute& attribute, bool shownOnly);

    // The figures are out of date (the values or the records changed).
    void Invalidate()
    {
        InvalidateFigures();
        m_nMaxMultipleValues = -1;
    }
    // Only the figures over the records (not the lists' parts).
    void InvalidateFigures() { m_bAbsoluteValid = m_bShownValid = false; }
    void InvalidateMaxMultipleValues() { m_nMaxMultipleValues = -1; }

private:
    bool m_bAbsoluteValid = false;
    double m_dAbsoluteMin = 0, m_dAbsoluteMax = 0, m_dAbsoluteAverage = 0;
    long m_nAbsoluteMaxLength = 0;
    bool m_bShownValid = false;
    double m_dShownMin = 0, m_dShownMax = 0, m_dShownAverage = 0;
    long m_nShownMaxLength = 0;
    int m_nMaxMultipleValues = -1; // -1 when not computed
};
