#pragma once
// The status codes of the flat interface, written once. TableExport.h makes the public enumeration EApiStatus of
// them, the engine its exception statuses (platform/Error.h) and the last-error names; the tests walk the same list.
//
// KORVALIN_STATUS_CODES(X) calls X(NAME, Name, code) for every failure status: API_NAME is the public constant
// and the last-error message, EStatus::Name the engine's status. 0 (success) is not in the list. Codes are fixed
// forever; a new status takes a new number.

#define KORVALIN_STATUS_CODES(X)                                                                                       \
    /* the frame window or the table view could not be created */                                                    \
    X(CANNOT_CREATE_TABLE, CannotCreateTable, 2)                                                                       \
    /* null frame, destroyed frame, or a frame without a table */                                                    \
    X(ILLEGAL_TABLE_ARGUMENT, IllegalTableArgument, 3)                                                                 \
    /* null, deleted or foreign attribute */                                                                         \
    X(ILLEGAL_ATTRIBUTE_ARGUMENT, IllegalAttributeArgument, 4)                                                         \
    /* null record, or a record that is not one of the table's */                                                   \
    X(ILLEGAL_RECORD_ARGUMENT, IllegalRecordArgument, 5)                                                               \
    /* null callback object, or releasing one that is not registered */                                              \
    X(ILLEGAL_CALLBACK_ARGUMENT, IllegalCallbackArgument, 6)                                                           \
    /* null, finished or foreign iteration cursor */                                                                 \
    X(ILLEGAL_POSITION_ARGUMENT, IllegalPositionArgument, 7)                                                           \
    /* no attribute with the given name, uuid or index */                                                            \
    X(ATTRIBUTE_NOT_FOUND, AttributeNotFound, 8)                                                                       \
    /* an attribute with lists of values where single values are needed */                                          \
    X(ILLEGAL_MULTIPLE_VALUE_ATTRIBUTE, IllegalMultipleValueAttribute, 9)                                              \
    /* a summary given the same attribute twice */                                                                   \
    X(MUST_SUPPLY_TWO_DIFFERENT_ATTRIBUTES, MustSupplyTwoDifferentAttributes, 10)                                      \
    /* the key attribute where a summary forbids it */                                                               \
    X(KEY_NOT_ALLOWED, KeyNotAllowed, 11)                                                                              \
    /* unknown summary function */                                                                                   \
    X(ILLEGAL_SUMMARY_TYPE, IllegalSummaryType, 12)                                                                    \
    /* a file could not be opened or read */                                                                         \
    X(CANNOT_OPEN_FILE, CannotOpenFile, 13)                                                                            \
    /* a header operation on a non-header */                                                                         \
    X(NOT_A_HEADER, NotAHeader, 14)                                                                                    \
    /* setting a value of a header or derived attribute */                                                           \
    X(SETTING_VALUE_NOT_ALLOWED, SettingValueNotAllowed, 15)                                                           \
    /* reading a packaged table file through the interface */                                                        \
    X(READING_QTP_FILE_NOT_ALLOWED, ReadingQtpFileNotAllowed, 16)                                                      \
    /* null out-parameter */                                                                                         \
    X(ILLEGAL_RESULT_ARGUMENT, IllegalResultArgument, 17)                                                              \
    /* a format string that no format family understands */                                                          \
    X(ILLEGAL_FORMAT, IllegalFormat, 18)                                                                               \
    /* a formula that does not compile */                                                                            \
    X(ILLEGAL_EXPRESSION, IllegalExpression, 19)                                                                       \
    /* a function (or this case of it) that this version cannot carry out yet */                                     \
    X(NOT_YET_IMPLEMENTED, NotYetImplemented, 20)                                                                      \
    /* an attribute name in a formula matches several attributes */                                                  \
    X(AMBIGUOUS_ATTRIBUTE_NAME, AmbiguousAttributeName, 21)                                                            \
    /* a derived attribute cannot be placed first */                                                                 \
    X(DERIVED_ATTRIBUTE_NOT_ALLOWED_FIRST, DerivedAttributeNotAllowedFirst, 22)                                        \
    /* a window function on a table made without a window */                                                        \
    X(TABLE_HAS_NO_WINDOW, TableHasNoWindow, 23)                                                                       \
    /* the table file could not be written in the requested format */                                                \
    X(ILLEGAL_QTX_FORMAT, IllegalQtxFormat, 24)                                                                        \
    /* an argument out of range (an hour of 25, a month of 13 ...) */                                                \
    X(ILLEGAL_ARGUMENT_VALUE, IllegalArgumentValue, 26)                                                                \
    /* a command was refused or vetoed */                                                                            \
    X(CANNOT_EXECUTE_COMMAND, CannotExecuteCommand, 27)                                                                \
    /* not possible in the table's state, or out of memory */                                                        \
    X(CANNOT_EXECUTE_FUNCTION, CannotExecuteFunction, 28)                                                              \
    /* the value is not a value of the attribute */                                                                  \
    X(VALUE_NOT_FOUND, ValueNotFound, 29)                                                                              \
    /* a bar function before the first TableRefresh */                                                               \
    X(MUST_CALL_TABLEREFRESH_FIRST, MustCallTableRefreshFirst, 31)                                                     \
    /* a second print or preview while one is open */                                                                \
    X(ONLY_ONE_PRINT_OR_PREVIEW_ALLOWED, OnlyOnePrintOrPreviewAllowed, 32)                                             \
    /* a command on an empty table */                                                                                \
    X(FUNCTION_NOT_ALLOWED_IN_EMPTY_TABLE, FunctionNotAllowedInEmptyTable, 33)                                         \
    /* null error object */                                                                                          \
    X(ILLEGAL_ERROR_ARGUMENT, IllegalErrorArgument, 34)                                                                \
    /* the first attribute is not a key where one is needed */                                                       \
    X(ATTRIBUTE_IS_NOT_A_KEY, AttributeIsNotAKey, 35)                                                                  \
    /* reading a protected table file through the interface */                                                       \
    X(READING_PROTECTED_FILE_NOT_ALLOWED, ReadingProtectedFileNotAllowed, 36)                                          \
    /* null key event */                                                                                             \
    X(ILLEGAL_KEYEVENT_ARGUMENT, IllegalKeyEventArgument, 37)                                                          \
    /* renaming or reformatting a drill-down attribute */                                                            \
    X(CANNOT_MODIFY_DRILLDOWN_ATTRIBUTE, CannotModifyDrillDownAttribute, 38)
