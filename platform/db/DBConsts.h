// Message texts of the dataset layer. Texts with "%s"/"%d"/"%g" are Format
// patterns; DatabaseError prefixes "<component name>: " when given a named
// component.
#pragma once

// Datasets
inline constexpr const char SDataSetOpen[] = "Cannot perform this operation on an open dataset";
inline constexpr const char SDataSetClosed[] = "Cannot perform this operation on a closed dataset";
inline constexpr const char SDataSetEmpty[] = "Cannot perform this operation on an empty dataset";
inline constexpr const char SDataSetReadOnly[] = "Cannot modify a read-only dataset";
inline constexpr const char SDataSetUnidirectional[] = "Operation not allowed on a unidirectional dataset";
inline constexpr const char SNotEditing[] = "Dataset not in edit or insert mode";
inline constexpr const char SRecordNotFound[] = "Record not found";
inline constexpr const char SCircularDataLink[] = "Circular datalinks are not allowed";
inline constexpr const char SDataSourceChange[] = "DataSource cannot be changed";
inline constexpr const char SDataSourceFixed[] = "Operation not allowed in a DBCtrlGrid";
inline constexpr const char SPropDefByLookup[] = "Property already defined by lookup field";
inline constexpr const char SInvalidBookmark[] = "Invalid bookmark";
inline constexpr const char SProviderSQLNotSupported[] = "SQL not supported";
inline constexpr const char SProviderExecuteNotSupported[] = "Execute not supported";

// Fields and field definitions
inline constexpr const char SFieldNotFound[] = "Field '%s' not found";
inline constexpr const char SFieldNameMissing[] = "Field name missing";
inline constexpr const char SDuplicateFieldName[] = "Duplicate field name '%s'";
inline constexpr const char SFieldRequired[] = "Field '%s' must have a value";
inline constexpr const char SFieldReadOnly[] = "Field '%s' cannot be modified";
inline constexpr const char SFieldAccessError[] = "Cannot access field '%s' as type %s";
inline constexpr const char SFieldRangeError[] = "%g is not a valid value for field '%s'. The allowed range is %g to %g";
inline constexpr const char SFieldOutOfRange[] = "Value of field '%s' is out of range";
inline constexpr const char SInvalidIntegerValue[] = "'%s' is not a valid integer value for field '%s'";
inline constexpr const char SInvalidFloatValue[] = "'%s' is not a valid floating point value for field '%s'";
inline constexpr const char SInvalidBoolValue[] = "'%s' is not a valid boolean value for field '%s'";
inline constexpr const char SInvalidFieldSize[] = "Invalid field size";
inline constexpr const char SInvalidFieldKind[] = "Invalid FieldKind";
inline constexpr const char SUnknownFieldType[] = "Field '%s' is of an unknown type";
inline constexpr const char SFieldTypeMismatch[] = "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char SFieldSizeMismatch[] = "Size mismatch for field '%s', expecting: %d actual: %d";
inline constexpr const char SInvalidCalcType[] = "Field '%s' cannot be a calculated or lookup field";
inline constexpr const char SDataSetMissing[] = "Field '%s' has no dataset";
inline constexpr const char SLookupInfoError[] = "Lookup information for field '%s' is incomplete";
inline constexpr const char SFieldIndexError[] = "Field index out of range";
inline constexpr const char SBCDOverflow[] = "(Overflow)";
inline constexpr const char STextTrue[] = "True";
inline constexpr const char STextFalse[] = "False";

// Parameters
inline constexpr const char SParameterNotFound[] = "Parameter '%s' not found";
inline constexpr const char SInvalidParamFieldType[] = "Must have a valid field type selected";
inline constexpr const char SParamTooBig[] = "Parameter '%s', cannot save data larger than %d bytes";

// Filter expressions
inline constexpr const char SExprTermination[] = "Filter expression incorrectly terminated";
inline constexpr const char SExprNameError[] = "Unterminated field name";
inline constexpr const char SExprStringError[] = "Unterminated string constant";
inline constexpr const char SExprInvalidChar[] = "Invalid filter expression character: '%s'";
inline constexpr const char SExprNoLParen[] = "'(' expected but %s found";
inline constexpr const char SExprNoRParen[] = "')' expected but %s found";
inline constexpr const char SExprNoRParenOrComma[] = "')' or ',' expected but %s found";
inline constexpr const char SExprExpected[] = "Expression expected but %s found";
inline constexpr const char SExprBadField[] = "Field '%s' cannot be used in a filter expression";
inline constexpr const char SExprBadNullTest[] = "NULL only allowed with '=' and '<>'";
inline constexpr const char SExprRangeError[] = "Constant out of range";
inline constexpr const char SExprIncorrect[] = "Incorrectly formed filter expression";
inline constexpr const char SExprNothing[] = "nothing";
inline constexpr const char SExprTypeMis[] = "Type mismatch in expression";
inline constexpr const char SExprBadScope[] = "Operation cannot mix aggregate value with record-varying value";
inline constexpr const char SExprNoArith[] = "Arithmetic in filter expressions not supported";
inline constexpr const char SExprNotAgg[] = "Expression is not an aggregate expression";
inline constexpr const char SExprBadConst[] = "Constant is not correct type %s";
inline constexpr const char SExprNoAggFilter[] = "Aggregate expressions not allowed in filters";
inline constexpr const char SExprEmptyInList[] = "IN predicate list may not be empty";
inline constexpr const char SExprTooComplex[] = "Filter expression too complex";
inline constexpr const char SExprNoAggOnCalcs[] =
    "Field '%s' is of the wrong type for calculated field to be used in an aggregate, use an internalcalc";
inline constexpr const char SInvalidKeywordUse[] = "Invalid use of keyword";
