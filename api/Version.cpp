#include "korvalin/TableExport.h"

namespace TableExport
{

const char* GetKorvalinVersion()
{
    return KORVALIN_VERSION_STRING;
}

} // namespace TableExport
