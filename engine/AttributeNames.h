#pragma once
// CAttributeNames: what identifies an attribute and what is written about it:
// its name (and the unique name the table makes of it), its id and sequence
// number in the table, its uuid, its name and column in the import source, its
// comment, the title of its value list and the free tags.
//
// Owned by its CAttribute, by value: plain data. Threading: the table's
// thread; reading from parallel tasks is safe while nothing is set.

#include "platform/Text.h"

#include <cstdint>
#include <functional>
#include <map>

class CAttributeNames
{
public:
    // name: the displayed name, also the unique and the import name at first; uuid: made by the owner.
    CAttributeNames(KStringView name, KStringView uuid)
        : m_strName(name), m_strUniqueName(name), m_strUuid(uuid), m_strImportName(name)
    {
    }

    const KString& GetName() const { return m_strName; }
    void SetName(KStringView name) { m_strName = name; }
    const KString& GetUniqueName() const { return m_strUniqueName; }
    void SetUniqueName(KStringView name) { m_strUniqueName = name; }
    const KString& GetUuid() const { return m_strUuid; }
    void SetUuid(KStringView uuid) { m_strUuid = uuid; }
    const KString& GetImportName() const { return m_strImportName; }
    void SetImportName(KStringView name) { m_strImportName = name; }
    const KString& GetImportNameOrName() const { return m_strImportName.empty() ? m_strName : m_strImportName; }
    const KString& GetComment() const { return m_strComment; }
    void SetComment(KStringView comment) { m_strComment = comment; }
    long GetImportIndex() const { return m_nImportIndex; }
    void SetImportIndex(long index) { m_nImportIndex = index; }
    const KString& GetValueListTitle() const { return m_strValueListTitle; }
    void SetValueListTitle(KStringView title) { m_strValueListTitle = title; }
    // The tag dictionary: free name/value pairs. An absent tag reads as ""; setting "" removes the tag.
    KString GetTag(KStringView name) const
    {
        const auto it = m_tags.find(name);
        return it == m_tags.end() ? KString() : it->second;
    }
    void SetTag(KStringView name, KStringView value)
    {
        if (value.empty())
        {
            const auto it = m_tags.find(name);
            if (it != m_tags.end())
                m_tags.erase(it);
        }
        else
        {
            m_tags.insert_or_assign(KString(name), KString(value));
        }
    }
    const std::map<KString, KString, std::less<>>& GetTags() const { return m_tags; }
    int32_t GetId() const { return m_nId; }
    void SetId(int32_t id) { m_nId = id; }
    int32_t GetSequenceNumber() const { return m_nSequenceNumber; }
    void SetSequenceNumber(int32_t n) { m_nSequenceNumber = n; }

private:
    KString m_strName;                              // displayed name, never empty
    KString m_strUniqueName;                        // unique among non-hidden attributes after SetUniqueAttributeNames
    KString m_strUuid;                              // made at construction
    KString m_strComment;                           // free text
    KString m_strImportName;                        // column name in the import source
    long m_nImportIndex = -1;                       // column number in the import source
    KString m_strValueListTitle;                    // title of the attribute's value list window; may be empty
    std::map<KString, KString, std::less<>> m_tags; // tag dictionary; no tag maps to ""
    int32_t m_nId = 0;                              // from the table's id counter; -1 for headers
    int32_t m_nSequenceNumber = 0;                  // sequence counter after this attribute was counted; 0 for headers
};
