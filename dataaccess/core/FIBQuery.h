// Statements.
#pragma once

#include <span>
#include <vector>

#include "dataaccess/core/SqlTxtRtns.h"
#include "platform/rtl/System.h"

// ---------------------------------------------------------------------------
// Parameter markers of an SQL text

// One marker found by ScanSQLParams. Positions are 1-based and inclusive.
struct TSQLParamMarker {
  // The name as written: without the quotes of a quoted name, without the
  // literal character and default text of a literal. Plain "?" markers are
  // named "?1", "?2", ... in order.
  String Name;
  Integer StartPos = 0;  // the ":", "?" or first literal character
  Integer EndPos = 0;    // the last character of the name (or the closing character)
  bool InWhereClause = false;
  // No "*", "+", "|" or arithmetic "-" or "/" follows the marker.
  bool StandsAlone = false;
  bool Quoted = false;   // a name in double quotes (keeps its case)
  bool Literal = false;  // written into the text before preparing
  bool QuotedLiteral = false;  // written as a quoted string
  String DefaultText;    // a literal's default text (without the "#" of a quoted one)
};

struct TSQLParamScan {
  std::vector<TSQLParamMarker> Markers;
  // The text with every parameter marker replaced by "?" ("? " for a quoted
  // name); literal markers stay as written.
  String Text;
  // False when a marker without name stopped the scan (only while loading).
  bool Complete = true;
};

// Finds the parameter markers of Text outside strings, quoted names and
// comments: ":NAME", ":"Name"", "?NAME", a plain "?", and the literal forms
// "@NAME%default" (up to the next blank or line end) and "@@NAME%default@"
// with LiteralChar "@" (0: no literals). Colon and question-mark markers
// count neither in DDL nor in an EXECUTE BLOCK's body (after its AS). With
// ServerMode the literals are left as text and not listed. Errors raise
// client error 51 naming StatementName: "EOF in comment detected", "EOF in
// string detected", "Parameter name expected" (with Loading, a missing name
// ends the scan silently instead).
void ScanSQLParams(const String& Text, TSQLKind Kind, char LiteralChar, bool ServerMode, bool Loading,
                   const String& StatementName, TSQLParamScan& Result);

// True when Text holds a ":", "?" or literal marker outside strings, quoted
// names and comments, from its second character on.
bool HasParamMarkers(const String& Text, TSQLKind Kind, char LiteralChar);

// One marker of the text handed to BuildExecSQLText.
struct TSQLTextParam {
  Integer StartPos = 0;
  Integer EndPos = 0;
  bool Literal = false;
  bool QuotedLiteral = false;
  String Value;  // a literal's value as text
  // The parameter is NULL, inside a WHERE clause and stands alone: its
  // comparison "= :P" becomes " IS NULL ", "<> :P" (and "!=", "^=", "~=")
  // " IS NOT NULL ".
  bool NullComparison = false;
  bool Written = false;  // out: the marker was replaced
};

// The text with literal values written in and NULL comparisons rewritten.
// Params are in the order of their markers.
String BuildExecSQLText(const String& Text, std::span<TSQLTextParam> Params);

// A literal value as an SQL string: "''" for an empty value; a value that is
// already one quoted string stays; otherwise a leading "#" is dropped and the
// value is enclosed in single quotes with its own quotes doubled.
String QuoteLiteralValue(const String& Value);
