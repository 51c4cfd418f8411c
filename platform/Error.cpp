#include "Error.h"

#include <cstdio>

const char* StatusName(EStatus status)
{
    switch (status)
    {
    case EStatus::Ok: return "";
#define KORVALIN_STATUS_NAME(NAME, Name, code)                                                                          \
    case EStatus::Name: return "API_" #NAME;
        KORVALIN_STATUS_CODES(KORVALIN_STATUS_NAME)
#undef KORVALIN_STATUS_NAME
    }
    return "API_CANNOT_EXECUTE_FUNCTION";
}

static std::string DescribeMemory(size_t bytes)
{
    char text[96];
    std::snprintf(text, sizeof text, "not enough memory for a contiguous area of %.3f MB", bytes / 1e6);
    return text;
}

COutOfMemoryException::COutOfMemoryException(size_t requestedBytes)
    : CKorvalinException(EStatus::CannotExecuteFunction, DescribeMemory(requestedBytes)), m_requestedBytes(requestedBytes)
{
}

static std::string DescribeLocation(const std::string& file, long line, long column, const std::string& what)
{
    std::string text = file;
    if (line > 0)
        text += ":" + std::to_string(line);
    if (column > 0)
        text += ":" + std::to_string(column);
    return text + ": " + what;
}

CArchiveException::CArchiveException(std::string file, long line, long column, const std::string& what)
    : CKorvalinException(EStatus::CannotOpenFile, DescribeLocation(file, line, column, what)), m_file(std::move(file)),
      m_line(line), m_column(column)
{
}
