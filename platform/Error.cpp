#include "Error.h"

#include <cstdio>

const char* StatusName(EStatus status)
{
    switch (status)
    {
    case EStatus::Ok: return "";
    case EStatus::CannotCreateTable: return "API_CANNOT_CREATE_TABLE";
    case EStatus::IllegalTableArgument: return "API_ILLEGAL_TABLE_ARGUMENT";
    case EStatus::IllegalAttributeArgument: return "API_ILLEGAL_ATTRIBUTE_ARGUMENT";
    case EStatus::IllegalRecordArgument: return "API_ILLEGAL_RECORD_ARGUMENT";
    case EStatus::IllegalCallbackArgument: return "API_ILLEGAL_CALLBACK_ARGUMENT";
    case EStatus::IllegalPositionArgument: return "API_ILLEGAL_POSITION_ARGUMENT";
    case EStatus::AttributeNotFound: return "API_ATTRIBUTE_NOT_FOUND";
    case EStatus::IllegalMultipleValueAttribute: return "API_ILLEGAL_MULTIPLE_VALUE_ATTRIBUTE";
    case EStatus::MustSupplyTwoDifferentAttributes: return "API_MUST_SUPPLY_TWO_DIFFERENT_ATTRIBUTES";
    case EStatus::KeyNotAllowed: return "API_KEY_NOT_ALLOWED";
    case EStatus::IllegalSummaryType: return "API_ILLEGAL_SUMMARY_TYPE";
    case EStatus::CannotOpenFile: return "API_CANNOT_OPEN_FILE";
    case EStatus::NotAHeader: return "API_NOT_A_HEADER";
    case EStatus::SettingValueNotAllowed: return "API_SETTING_VALUE_NOT_ALLOWED";
    case EStatus::ReadingQtpFileNotAllowed: return "API_READING_QTP_FILE_NOT_ALLOWED";
    case EStatus::IllegalResultArgument: return "API_ILLEGAL_RESULT_ARGUMENT";
    case EStatus::IllegalFormat: return "API_ILLEGAL_FORMAT";
    case EStatus::IllegalExpression: return "API_ILLEGAL_EXPRESSION";
    case EStatus::NotYetImplemented: return "API_NOT_YET_IMPLEMENTED";
    case EStatus::AmbiguousAttributeName: return "API_AMBIGUOUS_ATTRIBUTE_NAME";
    case EStatus::DerivedAttributeNotAllowedFirst: return "API_DERIVED_ATTRIBUTE_NOT_ALLOWED_FIRST";
    case EStatus::TableHasNoWindow: return "API_TABLE_HAS_NO_WINDOW";
    case EStatus::IllegalQtxFormat: return "API_ILLEGAL_QTX_FORMAT";
    case EStatus::IllegalArgumentValue: return "API_ILLEGAL_ARGUMENT_VALUE";
    case EStatus::CannotExecuteCommand: return "API_CANNOT_EXECUTE_COMMAND";
    case EStatus::CannotExecuteFunction: return "API_CANNOT_EXECUTE_FUNCTION";
    case EStatus::ValueNotFound: return "API_VALUE_NOT_FOUND";
    case EStatus::MustCallTableRefreshFirst: return "API_MUST_CALL_TABLEREFRESH_FIRST";
    case EStatus::OnlyOnePrintOrPreviewAllowed: return "API_ONLY_ONE_PRINT_OR_PREVIEW_ALLOWED";
    case EStatus::FunctionNotAllowedInEmptyTable: return "API_FUNCTION_NOT_ALLOWED_IN_EMPTY_TABLE";
    case EStatus::IllegalErrorArgument: return "API_ILLEGAL_ERROR_ARGUMENT";
    case EStatus::AttributeIsNotAKey: return "API_ATTRIBUTE_IS_NOT_A_KEY";
    case EStatus::ReadingProtectedFileNotAllowed: return "API_READING_PROTECTED_FILE_NOT_ALLOWED";
    case EStatus::IllegalKeyEventArgument: return "API_ILLEGAL_KEYEVENT_ARGUMENT";
    case EStatus::CannotModifyDrillDownAttribute: return "API_CANNOT_MODIFY_DRILLDOWN_ATTRIBUTE";
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
