// The data layer's message texts, as the user reads them. "%s" marks an argument
// (FormatMessage); a message about a record set is prefixed with its name by DatabaseError.
//
// The texts are English; each reaches the user through FormatMessage, which translates it into
// the program's language before the arguments go in. A translation keeps every "%s" of its
// text, in the same order, since the arguments fill them in turn.
#pragma once

#include "base/translatable.h"

namespace msg {

inline constexpr const char* DataSetClosed =
    CLINIC_TEXT("Database", "Cannot perform this operation on a closed dataset");
inline constexpr const char* DataSetReadOnly =
    CLINIC_TEXT("Database", "Cannot modify a read-only dataset");
inline constexpr const char* NotEditing =
    CLINIC_TEXT("Database", "Dataset not in edit or insert mode");
inline constexpr const char* DataSetEmpty =
    CLINIC_TEXT("Database", "Cannot perform this operation on an empty dataset");
inline constexpr const char* FieldReadOnly =
    CLINIC_TEXT("Database", "Field '%s' cannot be modified");
inline constexpr const char* FieldRequired =
    CLINIC_TEXT("Database", "Field '%s' must have a value");
inline constexpr const char* InvalidIntegerForField =
    CLINIC_TEXT("Database", "'%s' is not a valid integer value for field '%s'");
inline constexpr const char* FieldRangeError = CLINIC_TEXT(
    "Database", "%s is not a valid value for field '%s'. The allowed range is %s to %s");
inline constexpr const char* InvalidDate = CLINIC_TEXT("Database", "'%s' is not a valid date");
inline constexpr const char* InvalidInteger =
    CLINIC_TEXT("Database", "'%s' is not a valid integer value");
inline constexpr const char* InvalidFieldValue =
    CLINIC_TEXT("Database", "Invalid value for field '%s'");
inline constexpr const char* FieldNotFound = CLINIC_TEXT("Database", "Field '%s' not found");
inline constexpr const char* FieldTypeMismatch =
    CLINIC_TEXT("Database", "Type mismatch for field '%s', expecting: %s actual: %s");
inline constexpr const char* FieldAccessMismatch =
    CLINIC_TEXT("Database", "Cannot access field '%s' as type %s");
inline constexpr const char* RecordNotFound = CLINIC_TEXT("Database", "Record not found");
inline constexpr const char* EngineStart = CLINIC_TEXT(
    "Database", "An error occurred while attempting to initialize the database engine (error $%s)");
inline constexpr const char* EngineError = CLINIC_TEXT("Database", "Database engine error $%s");
inline constexpr const char* FilterArithmetic =
    CLINIC_TEXT("Database", "Arithmetic in filter expressions not supported");
inline constexpr const char* FilterInvalidCharacter =
    CLINIC_TEXT("Database", "Invalid filter expression character: '%s'");
inline constexpr const char* FilterTerminated =
    CLINIC_TEXT("Database", "Filter expression incorrectly terminated");
inline constexpr const char* FilterTypeMismatch =
    CLINIC_TEXT("Database", "Type mismatch in expression");

}  // namespace msg
