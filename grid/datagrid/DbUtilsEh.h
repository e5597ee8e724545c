// The simple filter of a grid column and the dataset-feature registry.
//
// A filter text as a user types it into a column's filter cell ("> 100",
// "~ab", "In (1,2,3)", "<> Null", "=5 | =7") is parsed into a
// TSTFilterExpressionEh of at most two conditions joined by AND or OR, and
// written back as text with the same operator signs. Quoted values take a
// doubled quote as one quote ('O''Brien'); the writer doubles inner quotes.
//
// Dataset-feature handlers apply a grid's filter and sorting to a dataset of
// the class they are registered for; the handler of the nearest registered
// ancestor class serves a dataset.
#pragma once

#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"
#include "platform/rtl/Variants.h"

class TClassInfo;
class TDataSet;
class TCustomDBGridEh;

// Initialization creates the dataset-feature registry; finalization frees
// it with every handler in it.
extern const TUnit unit_DbUtilsEh;

// Kind of a column's values, set by the caller before parsing.
enum TSTOperandTypeEh : Byte { botNon, botString, botNumber, botDateTime, botBoolean };

// Operator codes: the filter's operators, the relations and foValue (an
// operand, not an operator).
enum TSTFilterOperatorEh : Byte {
  foNon,
  foEqual,
  foNotEqual,
  foGreaterThan,
  foLessThan,
  foGreaterOrEqual,
  foLessOrEqual,
  foLike,
  foNotLike,
  foIn,
  foNotIn,
  foNull,
  foNotNull,
  foAND,
  foOR,
  foValue,
};

// Filter-text signs and SQL texts of the operator codes.
inline constexpr const char* STFilterOperatorsStrMapEh[16] = {
    "", "=", "<>", ">", "<", ">=", "<=", "~", "!~", "In", "!In", "Null", "Null", "AND", "OR", ""};
inline constexpr const char* STFilterOperatorsSQLStrMapEh[16] = {
    "", "=", "<>", ">", "<", ">=", "<=", "LIKE", "NOT LIKE", "IN", "NOT IN", "IS NULL", "IS NOT NULL", "AND", "OR", ""};
// Marks the place of a grid's filter in an SQL text.
inline constexpr char SQLFilterMarker[] = "/*FILTER*/";

// A parsed column filter. Operands of In and Not In are variant arrays (or
// one value); after parsing, operands of a number column are Doubles, of a
// date column dates, otherwise strings; operators without an operand have
// a Null one.
struct TSTFilterExpressionEh {
  TSTOperandTypeEh OperandType = botNon;
  TSTFilterOperatorEh Operator1 = foNon;
  Variant Operand1 = Null();
  TSTFilterOperatorEh Relation = foNon;  // foNon, foAND or foOR
  TSTFilterOperatorEh Operator2 = foNon;
  Variant Operand2 = Null();
};

// Parses Text into Expression (all but OperandType, which it reads). True
// only when two conditions were parsed. A malformed text raises Exception
// with one of "Quote is absent: ", "'(' expected: ", "')' expected: ",
// "Error in expression: ", "Unexpected expression before Null: ",
// "Unexpected expression after operator: ", "Incorrect expression: " or
// "Unexpected AND or OR: " followed by the trimmed text; an operand that is
// not a number or date of its column raises the conversion's error. The
// expression may be partly filled when an error is raised.
bool ParseSTFilterExpression(const String& Text, TSTFilterExpressionEh& Expression);
// Operators and relation foNon, operands Null; OperandType is kept.
void ClearSTFilterExpression(TSTFilterExpressionEh& Expression);
// The expression as filter text ("" without an operand type or a first
// operator): "=Null", "<>Null", "In (a,b)", or the sign, a blank and the
// operand, each condition so, joined by " AND " or " OR ". Floats and dates
// are written with the format settings, other values in single quotes with
// inner quotes doubled; the values of an array are joined by commas, and a
// number or date whose text holds a comma that would split it when read is
// quoted too. Parsing the text gives the expression back.
String STFilterExpressionAsText(const TSTFilterExpressionEh& Expression);

// ---------------------------------------------------------------------------
// Dataset features

// Applies a grid's sorting and filter to datasets of one class (and its
// descendants without a handler of their own). Handlers are host code's.
class TDatasetFeaturesEh : public TObject {
 public:
  TDatasetFeaturesEh() = default;
  TDatasetFeaturesEh(const TDatasetFeaturesEh&) = delete;
  TDatasetFeaturesEh& operator=(const TDatasetFeaturesEh&) = delete;

  virtual void ApplySorting(TCustomDBGridEh* Grid, TDataSet* DataSet, bool IsReopen) = 0;
  virtual void ApplyFilter(TCustomDBGridEh* Grid, TDataSet* DataSet, bool IsReopen) = 0;

  // The class it is registered for (nullptr until registered).
  const TClassInfo* DataSetClass() const { return dataset_class_; }

 private:
  friend void RegisterDatasetFeaturesEh(TDatasetFeaturesEh* Features, const TClassInfo* DataSetClass);
  const TClassInfo* dataset_class_ = nullptr;
};

// Registers Features (the registry owns it from now on) for DataSetClass; a
// handler registered earlier for that class is freed. Raises
// EInvalidOperation before the unit's initialization or without a class.
void RegisterDatasetFeaturesEh(TDatasetFeaturesEh* Features, const TClassInfo* DataSetClass);
// Frees the handler registered for DataSetClass, if any.
void UnregisterDatasetFeaturesEh(const TClassInfo* DataSetClass);
// The handler of DataSetClass or of its nearest registered ancestor; nullptr
// when none (also before the unit's initialization).
TDatasetFeaturesEh* GetDatasetFeaturesForClass(const TClassInfo* DataSetClass);
// The same for the dataset's class (nullptr for no dataset).
TDatasetFeaturesEh* GetDatasetFeaturesForDataSet(TDataSet* DataSet);
// Steps from AClass up its ancestors to the class named ClassName (ASCII
// case ignored): 0 for AClass itself, the largest Integer when none.
Integer GetClassDistance(const TClassInfo* AClass, const String& ClassName);
