// The filter-expression parser: turns a dataset's filter text into the
// canonical expression buffer that filter evaluators read.
//
// Grammar (keywords and function names in any case; blanks and control
// characters separate tokens; one "/* ... */" comment may stand before a
// token, ending at the first "*", which must be followed by "/"):
//
//   Expr    = Expr2 { "OR" Expr2 }
//   Expr2   = Expr3 { "AND" Expr3 }
//   Expr3   = [ "NOT" ] Expr4
//   Expr4   = Expr5 [ CompOp Expr5 | "LIKE" Expr5 | "IS" "NULL" | "IS" "NOT" "NULL"
//                   | "IN" "(" Expr { "," Expr } ")" ]
//   CompOp  = "=" | "<>" | "<" | ">" | "<=" | ">="
//   Expr5   = Expr6 { ("+" | "-") Expr6 }            (arithmetic: poExtSyntax only)
//   Expr6   = Expr7 { ("*" | "/") Expr7 }            (arithmetic: poExtSyntax only)
//   Expr7   = Function "(" [ Expr { "," Expr } ] ")" (poExtSyntax only)
//           | "NULL" | "TRUE" | "FALSE" | Name | "[" any text but "]" "]"
//           | String | Number | "(" Expr ")"
//   Function = UPPER | LOWER | SUBSTRING | TRIM | TRIMLEFT | TRIMRIGHT | YEAR | MONTH
//           | DAY | HOUR | MINUTE | SECOND | GETDATE | DATE | TIME
//           | SUM | MIN | MAX | AVG | COUNT   (aggregates: poAggregate only; COUNT(*))
//   Name    = a letter, "_" or a byte >= 0x80, then letters, digits, "_", ".",
//             "[", "]" and bytes >= 0x80 (a field name)
//   String  = "'" characters with "''" for a quote "'"
//   Number  = "-" or a digit, then digits, the decimal separator of the format
//             settings, "e", "E", "+", "-" (read where no operand precedes;
//             elsewhere "-" is the minus operator)
//
// The text ends at its first zero byte. Names are looked up in the dataset
// (FieldByName); a constant compared with a field takes the field's type, and
// a text constant compared with a date, time or date-and-time value is read as
// one with the format settings. The whole expression must be Boolean
// ("Incorrectly formed filter expression" otherwise).
//
// Canonical expression buffer (all numbers little-endian):
//   header, 5 words: version 2, total size, 0xFFFF, node start 10,
//     literal-pool start (10 + size of the nodes)
//   nodes from byte 10, each referenced by its offset from byte 10; the root
//     is at offset 0. A node: int32 node class, int32 operator, then its
//     operand words.
//   literal pool: the data that nodes reference by offset from its start.
// Nodes (class / operator / operands):
//   nodeUNARY    coISBLANK, coNOTBLANK, coNOT: [operand node]
//   nodeBINARY   coEQ..coLE, coAND, coOR, coADD..coDIV, coLIKE, coASSIGN:
//                [left node, right node];
//                coIN: [left node, first list element]
//   nodeCOMPARE  coEQ, coNE, coLIKE: [case-insensitive 0/1, partial length in
//                characters (0: none), field node, text constant node]; made for
//                a field compared with a text constant when foCaseInsensitive is
//                set or the constant ends in "*" (removed) and
//                foNoPartialCompare is not set
//   nodeFIELD    coFIELD2: [mapped field type, pool offset of the name + zero]
//   nodeCONST    coCONST2: [mapped type, data size, pool offset of the data]
//   nodeFUNC     coFUNC2: [pool offset of the name + zero, first list element
//                or 0 without arguments]
//   nodeLISTELEM coLISTELEM2: [element node, next list element or 0]
// A field compared with NULL becomes coISBLANK ("=") or coNOTBLANK ("<>"). A
// Boolean field standing alone as an operand of AND, OR, NOT or as the whole
// expression becomes "field <> FALSE".
// Constant data by type: texts zero-terminated; small integer and word 16
// bits; integer and auto-increment 32 bits; large integer 64 bits; Boolean
// 16 bits (-1 true); float and currency 64-bit double; date int32 day number
// of a time stamp; time int32 milliseconds; date and time 64-bit double
// milliseconds since 0001-01-01; BCD 18 bytes (the TBcd header and 16 bytes
// of digits, at most 32 digits).
//
// Errors are EDatabaseError with the texts of DBConsts.h (SExpr...); texts
// and numbers that do not convert raise EConvertError. A buffer beyond 64 KB
// or an expression nested beyond MaxFilterDepth raises "Filter expression too
// complex".
#pragma once

#include <array>
#include <vector>

#include "platform/db/DB.h"

enum TParserOption { poExtSyntax, poAggregate, poDefaultExpr, poUseOrigNames, poFieldNameGiven, poFieldDepend };
using TParserOptions = Set<TParserOption>;

// The type code written into the buffer for each TFieldType ordinal.
using TFieldMap = std::array<Byte, FieldTypeCount>;
using TExprData = std::vector<Byte>;

enum TCANOperator {
  coNOTDEFINED,
  coISBLANK,
  coNOTBLANK,
  coEQ,
  coNE,
  coGT,
  coLT,
  coGE,
  coLE,
  coNOT,
  coAND,
  coOR,
  coTUPLE2,
  coFIELD2,
  coCONST2,
  coMINUS,
  coADD,
  coSUB,
  coMUL,
  coDIV,
  coMOD,
  coREM,
  coSUM,
  coCOUNT,
  coMIN,
  coMAX,
  coAVG,
  coCONT,
  coUDF2,
  coCONTINUE2,
  coLIKE,
  coIN,
  coLIST2,
  coUPPER,
  coLOWER,
  coFUNC2,
  coLISTELEM2,
  coASSIGN,
};

enum NODEClass {
  nodeNULL,
  nodeUNARY,
  nodeBINARY,
  nodeCOMPARE,
  nodeFIELD,
  nodeCONST,
  nodeTUPLE,
  nodeCONTINUE,
  nodeUDF,
  nodeLIST,
  nodeFUNC,
  nodeLISTELEM,
};

constexpr int CANEXPRSIZE = 10;
constexpr int CANHDRSIZE = 8;
constexpr int CANEXPRVERSION = 2;
// Deepest nesting of an expression tree.
constexpr int MaxFilterDepth = 256;

class TExprParser : public TObject {
 public:
  // Parses Text (when not empty). FieldName names the field of poFieldNameGiven
  // and poDefaultExpr; DepFields (may be null) gets true at FieldNo - 1 of
  // every field used with poFieldDepend.
  TExprParser(TDataSet* DataSet, const String& Text, TFilterOptions Options, TParserOptions ParserOptions,
              const String& FieldName, std::vector<bool>* DepFields, const TFieldMap& FieldMap);
  ~TExprParser() override;

  void SetExprParams(const String& Text, TFilterOptions Options, TParserOptions ParserOptions,
                     const String& FieldName);
  const TExprData& FilterData() const { return filter_data_; }
  int DataSize() const { return static_cast<int>(filter_data_.size()); }

 private:
  TDataSet* data_set_;
  std::vector<bool>* dep_fields_;
  TFieldMap field_map_;
  TExprData filter_data_;
};

// Size of a BCD constant's data in the literal pool: the TBcd header and the
// first 16 bytes of its digits (at most 32 digits).
constexpr int CANBCDCONSTSIZE = 18;
// The BCD constant whose data starts at byte Offset of Data (the rest of the
// digits zero). EDatabaseError SExprIncorrect when the data runs past the
// buffer.
TBcd ExprConstBcd(const TExprData& Data, size_t Offset);
