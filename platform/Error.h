#pragma once
// The one exception hierarchy of the engine. Every exception carries a status
// whose number is the flat interface's status code, so the interface maps an
// exception to its status without a table of its own. Throw only when an
// operation must end; expected outcomes ("not found") are return values.

#include "korvalin/StatusCodes.h"

#include <cstdint>
#include <exception>
#include <string>

enum class EStatus : uint16_t
{
    Ok = 0,
#define KORVALIN_ENGINE_STATUS(NAME, Name, code) Name = code,
    KORVALIN_STATUS_CODES(KORVALIN_ENGINE_STATUS)
#undef KORVALIN_ENGINE_STATUS
};

// The symbolic last-error name of a status ("API_ILLEGAL_TABLE_ARGUMENT"); "" for Ok, and
// "API_CANNOT_EXECUTE_FUNCTION" for a number that is no status.
const char* StatusName(EStatus status);

// Base of all engine exceptions. what() is a readable message for people.
class CKorvalinException : public std::exception
{
public:
    CKorvalinException(EStatus status, std::string message) : m_status(status), m_message(std::move(message)) {}
    EStatus GetStatus() const { return m_status; }
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    EStatus m_status;      // the flat interface's status for this failure
    std::string m_message; // UTF-8 text for people
};

// Storage could not be allocated. The operation is abandoned; callers that
// appended data restore their checkpoint.
class COutOfMemoryException : public CKorvalinException
{
public:
    explicit COutOfMemoryException(size_t requestedBytes);
    size_t GetRequestedBytes() const { return m_requestedBytes; }

private:
    size_t m_requestedBytes; // size of the request that failed
};

// Reading a file failed: names the file and, where known, line and column (from 1; 0 when unknown).
class CArchiveException : public CKorvalinException
{
public:
    CArchiveException(std::string file, long line, long column, const std::string& what);
    const std::string& GetFile() const { return m_file; }
    long GetLine() const { return m_line; }
    long GetColumn() const { return m_column; }

private:
    std::string m_file; // path of the file being read
    long m_line;        // line from 1, 0 when unknown
    long m_column;      // column from 1, 0 when unknown
};

// The user cancelled, or the failure has already been reported: end the operation quietly.
class CUserException : public CKorvalinException
{
public:
    CUserException() : CKorvalinException(EStatus::CannotExecuteFunction, "cancelled") {}
};
