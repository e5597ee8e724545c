// Form resources in the text form format, read into component trees through
// the property registry (TypInfo.h), and written back.
//
//   object Form1: TForm1            ("inherited" / "inline" instead of "object";
//     Left = 595                     "object TClass" for an unnamed component;
//     Caption = 'Tree'#13'view'      "[n]" after the class: position, ignored)
//     Font.Name = 'Tahoma'           dotted names reach sub-objects
//     Anchors = [akLeft, akBottom]   sets
//     Lines.Strings = ('Memo1' 'x')  lists
//     Columns = <item Width = 5 end> collections
//     Data = {0A0B}                  binary
//     OnCreate = FormCreate          events name published methods of the root
//     object Button1: TButton ... end
//   end
//
// Values: integers (decimal, $hex, signed), floats (with "." or exponent,
// and the suffix "s" for single, "c" for currency or "d" for a date),
// identifiers (True, False, nil, enumeration names, named constants,
// component references, dotted "Form2.Button1"), strings in quotes with ''
// for a quote, #nnn character codes (UTF-16 units, surrogate pairs joined)
// adjoining them, and "+" joining string parts across lines. Text is UTF-8.
//
// Reading (ReadComponentFromText): csLoading and csReading are set on every
// component read; each nested object is created by its registered class name
// with the root as owner (the owner of an "inline" component's children is
// that component), its parent set through SetParentComponent before its
// properties; component references and events are resolved once the whole
// tree is read (references by name among the root's components, qualified
// ones through FindGlobalComponent); the root's published fields are then
// bound by name, and Loaded() runs on every component read, the root first.
// Errors: EParserError for malformed text ("... on line N"), EClassNotFound
// "Class %s not found", and EReadError "Error reading %s.%s: %s" (component
// name, property name, reason such as "Property %s does not exist" or
// "Invalid property value") followed by " (line N)".
//
// Writing (WriteComponentToText): the root and the components it owns, each
// under its parent component (components without a parent under the root),
// in creation order; only stored, non-default properties.
//
// Variant properties (tkVariant) are written by the value's type: integers
// as integers, Double as a float, Single, Currency and dates as floats with
// their suffix, texts as strings, Booleans as True/False, Null as "Null",
// Unassigned as "nil", one-dimensional arrays as lists "(1 'a')" of their
// elements; other arrays raise EWriteError "Stream write error". Reading
// gives the same types back: integers are Integer within 32 bits, else Int64;
// a list is a variant array of Variants from index 0.
#pragma once

#include "platform/rtl/Component.h"
#include "platform/rtl/TypInfo.h"

#include <cstdint>
#include <functional>
#include <vector>

enum TValueType {
  vaNull,
  vaInt,
  vaExtended,
  vaString,
  vaIdent,
  vaSet,
  vaList,
  vaCollection,
  vaBinary,
};

struct TPropertyNode;

// One value of the text format.
struct TValueNode {
  TValueType Type = vaNull;
  int64_t Int = 0;
  double Float = 0;
  char Suffix = 0;                     // vaExtended: 0, 's', 'c' or 'd'
  String Str;                          // vaString (UTF-8), vaIdent
  std::vector<String> SetItems;        // vaSet
  std::vector<TValueNode> Items;       // vaList
  std::vector<std::vector<TPropertyNode>> Collection;  // vaCollection: items
  std::vector<uint8_t> Bytes;          // vaBinary
  int Line = 0;

  static TValueNode Integer(int64_t v);
  static TValueNode Floating(double v);
  static TValueNode Text(String v);
  static TValueNode Ident(String v);
};

struct TPropertyNode {
  String Name;  // may be dotted
  TValueNode Value;
  int Line = 0;
};

enum TObjectNodeKind { okObject, okInherited, okInline };

struct TObjectNode {
  TObjectNodeKind Kind = okObject;
  String Name;
  String ClassName;
  int Position = -1;
  std::vector<TPropertyNode> Props;
  std::vector<TObjectNode> Children;
  int Line = 0;
};

// Text <-> node tree.
TObjectNode ParseFormText(const String& Text);
String FormatFormText(const TObjectNode& Root);
// Reads the first "object Name: TClass" header only (class of a resource).
String FormTextClassName(const String& Text);

// Reads a defined property's value (handed to TDefinedProperty::Read).
class TReader {
 public:
  TReader(const TValueNode& Value, TComponent* Root);
  // Used by the form reader: collections read inside a tree share its fixups.
  TReader(const TValueNode& Value, TComponent* Root,
          std::function<void(TObject*, const TValueNode&)> CollectionReader);

  TComponent* Root() const { return root_; }
  TValueType NextValue() const;
  bool ReadBoolean();
  int32_t ReadInteger();
  int64_t ReadInt64();
  double ReadFloat();
  String ReadString();
  // A value of any type as a Variant (see above).
  Variant ReadVariant();
  String ReadIdent();
  std::vector<uint8_t> ReadBinary();
  // Lists: ReadListBegin, then values until EndOfList, then ReadListEnd.
  void ReadListBegin();
  bool EndOfList() const;
  void ReadListEnd();
  // Clears the collection and reads its items.
  void ReadCollection(TObject* Collection);

 private:
  const TValueNode& Next();
  const TValueNode& Peek() const;

  TComponent* root_;
  struct Level {
    const std::vector<TValueNode>* items;
    size_t pos;
  };
  std::vector<TValueNode> top_;
  std::vector<Level> levels_;
  std::function<void(TObject*, const TValueNode&)> collection_reader_;
};

// Produces a defined property's value (handed to TDefinedProperty::Write).
class TWriter {
 public:
  explicit TWriter(TComponent* Root);

  TComponent* Root() const { return root_; }
  void WriteBoolean(bool Value);
  void WriteInteger(int64_t Value);
  void WriteFloat(double Value);
  void WriteString(const String& Value);
  void WriteVariant(const Variant& Value);
  void WriteIdent(const String& Value);
  void WriteBinary(const std::vector<uint8_t>& Value);
  void WriteListBegin();
  void WriteListEnd();
  void WriteCollection(TObject* Collection);

  // The value written (one value, or the list written).
  TValueNode Result() const;

 private:
  void Put(TValueNode v);

  TComponent* root_;
  std::vector<TValueNode> stack_;  // open lists; stack_[0] collects top values
};

// Finds a root component by name for qualified references ("Form2.Button1");
// the GUI layer installs one that searches the application's forms.
extern TComponent* (*FindGlobalComponent)(const String& Name);

// Reads form text into Root (its own class's resource, or an inherited one),
// creating the nested components.
void ReadComponentFromText(TComponent* Root, const String& Text);
// Creates a component of the text's root class with Owner and reads it.
TComponent* CreateComponentFromText(const String& Text, TComponent* Owner);
// The node tree / text of a component and what it owns.
TObjectNode ComponentToNode(TComponent* Root);
String WriteComponentToText(TComponent* Root);

// Registered properties of an object as nodes (used for sub-objects and
// collection items); Root resolves references and method names.
std::vector<TPropertyNode> PersistentToNodes(TObject* Obj, TComponent* Root);
