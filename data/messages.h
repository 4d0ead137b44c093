// The data layer's message texts, as the user reads them. "%s" marks an argument
// (FormatMessage); a message about a record set is prefixed with its name by DatabaseError.
#pragma once

namespace msg {

inline constexpr const char* DataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* DataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* NotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* DataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* FieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* FieldRequired = "Field '%s' must have a value";
inline constexpr const char* InvalidIntegerForField =
    "'%s' is not a valid integer value for field '%s'";
inline constexpr const char* FieldRangeError =
    "%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr const char* InvalidDate = "'%s' is not a valid date";
inline constexpr const char* InvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char* InvalidFieldValue = "Invalid value for field '%s'";
inline constexpr const char* FieldNotFound = "Field '%s' not found";
inline constexpr const char* FieldTypeMismatch =
    "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* FieldAccessMismatch = "Cannot access field '%s' as type %s";
inline constexpr const char* RecordNotFound = "Record not found";
inline constexpr const char* EngineStart =
    "An error occurred while attempting to initialize the database engine (error $%s)";
inline constexpr const char* EngineError = "Database engine error $%s";
inline constexpr const char* FilterArithmetic = "Arithmetic in filter expressions not supported";
inline constexpr const char* FilterInvalidCharacter = "Invalid filter expression character: '%s'";
inline constexpr const char* FilterTerminated = "Filter expression incorrectly terminated";
inline constexpr const char* FilterTypeMismatch = "Type mismatch in expression";

}  // namespace msg
