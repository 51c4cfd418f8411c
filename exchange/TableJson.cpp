#include "exchange/TableJson.h"

#include "engine/Table.h"

#include <ostream>
#include <vector>

namespace exchange
{

namespace
{
void AppendJsonString(std::string& out, KStringView text)
{
    static const char* const kHex = "0123456789abcdef";
    const std::string utf8 = platform::ToUtf8(text);
    out += '"';
    for (unsigned char c : utf8)
    {
        switch (c)
        {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F)
            {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
            else
            {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}
} // namespace

void WriteJsonString(std::ostream& out, KStringView text)
{
    std::string buffer;
    AppendJsonString(buffer, text);
    out << buffer;
}

void WriteTableJson(CTable& table, std::ostream& out, bool qualifiedOnly)
{
    const long qualified = table.CountQualRecords();
    std::vector<CRecord*> records;
    for (long i = 0; i < table.GetRecordCount(); ++i)
    {
        CRecord* record = table.GetRecord(i);
        if (!qualifiedOnly || record->m_bQualified)
            records.push_back(record);
    }
    out << "{\"records\": " << table.GetRecordCount() << ", \"qualified\": " << qualified << ", \"attributes\": [";
    std::string line;
    for (long a = 0; a < table.GetAttributeCount(); ++a)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(a);
        line.assign(a > 0 ? ",\n  " : "\n  ");
        line += "{\"name\": ";
        AppendJsonString(line, attribute->GetName());
        line += ", \"kind\": " + std::to_string(static_cast<int>(attribute->GetAttributeType()));
        line += ", \"level\": " + std::to_string(attribute->GetIndent());
        line += ", \"type\": " +
                std::to_string(static_cast<int>(table.GetFormatRegistry().GetType(attribute->GetFormatId())));
        line += ", \"format\": ";
        AppendJsonString(line, attribute->GetFormatString());
        line += ", \"values\": [";
        if (!attribute->IsHeader())
        {
            for (size_t r = 0; r < records.size(); ++r)
            {
                if (r > 0)
                    line += ", ";
                AppendJsonString(line, attribute->GetFieldText(records[r]));
            }
        }
        line += "]}";
        out << line;
    }
    out << (table.GetAttributeCount() > 0 ? "\n]}\n" : "]}\n");
}

} // namespace exchange
