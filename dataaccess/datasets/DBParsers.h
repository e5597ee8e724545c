// The local filter evaluator: a dataset's Filter text tested against one
// record at a time, on the client.
//
// TExpressionParser parses the text with the platform's TExprParser (the
// canonical expression buffer, platform/db/DBCommon.h) and evaluates that
// buffer against the dataset's current record, reading fields by name
// (FieldByName, cached by name). LIKE goes to the LIKE callback ("%" any run,
// "_" one character), two-argument DATE(text, format) to the date callback.
//
//   TExpressionParser p(ds, "NAME like 'A%' and YEAR(BORN) > 1990", {}, {poExtSyntax},
//                       "", nullptr, DataSetFieldMap(), StrToDateFmt, SQLMaskCompareStr);
//   if (p.IsTrue()) ...   // the record the dataset's fields read now passes
//
// Values are variants; a node that gives nothing is unassigned:
//   - IS NULL / IS NOT NULL: unassigned and Null are blank;
//   - =, <>, <, >, <=, >= compare with the platform's variant operators (Null
//     equals only Null and sorts below every value);
//   - AND, OR evaluate their right operand only when it decides;
//   - +, -, * the variant arithmetic; / real division; MOD and REM the
//     integer remainder;
//   - a field compared with a text constant under foCaseInsensitive or with a
//     trailing "*" (a compare node): exactly one Null gives true only for
//     "<>", two Nulls are equal; otherwise both sides upper-cased (case-
//     insensitive) and then cut to the partial length in characters;
//   - IN: equality with one value, or with the list's elements in order up
//     to the first unassigned one;
//   - a list of arguments is a variant array of 51 elements (0..50), or its
//     only value; more values raise the variant-array bounds error.
// Functions (names in any case): DAY, MONTH, YEAR, HOUR, MINUTE, SECOND of
// a date-time; DATE(x) the whole day number, DATE(text, format) through the
// date callback; GETDATE; UPPER, LOWER under the user's locale; TRIM (bytes
// below 33 at both ends); TRIMLEFT, TRIMRIGHT; SUBSTRING(text, start,
// count) or SUBSTRING(text, 'start,count') in characters from 1. A Null
// argument gives Null for the date functions (the record does not match
// instead of raising); texts of Null are empty.
//
// Errors: a text that does not parse raises the parser's error with
// "Can't parse Filter for: " and CRLF in front of its message; a malformed
// buffer (a wrong operator for a node, an unknown constant type, LIKE or
// DATE(text, format) without callback, a reference outside the buffer or a
// nesting beyond the parser's) raises EDatabaseError "Incorrectly formed
// filter expression"; an unknown function "Expression expected but NAME
// found"; conversions raise the platform's conversion errors. The parser
// stays usable for the next record after any of them.
#pragma once

#include <memory>

#include "platform/db/DBCommon.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Variants.h"

// Text and format -> date and time (the dataset passes StrToDateFmt).
using TStrToDateFmt = TDateTime (*)(const String& S, const String& Format);
// Value text and SQL mask -> match (the dataset passes SQLMaskCompareStr).
using TSQLMaskCompare = bool (*)(const String& Text, const String& Mask);

// What a dataset writes into the buffer for each TFieldType ordinal: 0..6,
// 8..13, 25..27 and 35 as themselves; currency as float, auto-increment as
// integer, the BLOB kinds as BLOB, fixed char and wide string as string;
// every other type 0.
const TFieldMap& DataSetFieldMap();

class TExpressionParser : public TExprParser {
 public:
  TExpressionParser(TDataSet* DataSet, const String& Text, TFilterOptions Options, TParserOptions ParserOptions,
                    const String& FieldName, std::vector<bool>* DepFields, const TFieldMap& FieldMap,
                    TStrToDateFmt DateConvert, TSQLMaskCompare LikeCompare);
  ~TExpressionParser() override;

  const String& FilterText() const { return filter_text_; }
  TDataSet* DataSet() const { return data_set_; }

  // The value of the whole expression for the record the fields read now.
  Variant Evaluate();
  // Evaluate as a Boolean (a value that does not convert raises).
  bool IsTrue();
  // Forgets the fields found by name (their dataset changed its fields).
  void ClearFieldCache();
  // The field of Name: cached, else FieldByName (its error when missing).
  TField* GetField(const String& Name);

 private:
  Variant Node(int Offset, int Depth);
  Variant Unary(int At, int Op, int Depth);
  Variant Binary(int At, int Op, int Depth);
  Variant Compare(int At, int Op, int Depth);
  Variant Field(int At, int Op);
  Variant Constant(int At, int Op);
  Variant Function(int At, int Op, int Depth);
  Variant List(int At, int Op, int Depth);
  bool Like(const Variant& Value, const Variant& Mask);
  // Reading the buffer; a read outside it is a malformed expression.
  int Word16(int At) const;
  int Int32(int At) const;
  int NodeAt(int Offset) const;
  String PoolText(int Offset) const;

  String filter_text_;
  TDataSet* data_set_;
  TStrToDateFmt date_convert_;
  TSQLMaskCompare like_compare_;
  std::unique_ptr<TStringList> field_cache_;
  int pool_ = 0;  // start of the literal pool
};
