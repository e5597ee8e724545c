#include "platform/rtl/FormStream.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/rtl/SysUtils.h"

TComponent* (*FindGlobalComponent)(const String& Name) = nullptr;

TValueNode TValueNode::Integer(int64_t v) {
  TValueNode n;
  n.Type = vaInt;
  n.Int = v;
  return n;
}
TValueNode TValueNode::Floating(double v) {
  TValueNode n;
  n.Type = vaExtended;
  n.Float = v;
  return n;
}
TValueNode TValueNode::Text(String v) {
  TValueNode n;
  n.Type = vaString;
  n.Str = std::move(v);
  return n;
}
TValueNode TValueNode::Ident(String v) {
  TValueNode n;
  n.Type = vaIdent;
  n.Str = std::move(v);
  return n;
}

namespace {

bool SameAscii(const String& a, const String& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

void AppendUtf8(String& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// ---------------------------------------------------------------------------
// Parser

class Parser {
 public:
  explicit Parser(const String& text) : s_(text) {}

  TObjectNode ParseRoot() {
    SkipBlanks();
    TObjectNode root = ParseObject();
    SkipBlanks();
    if (p_ < s_.size()) Error("End of text expected");
    return root;
  }

  String RootClassName() {
    SkipBlanks();
    TObjectNode node;
    ParseHeader(node);
    return node.ClassName;
  }

 private:
  [[noreturn]] void Error(const String& what) const {
    throw EParserError("%s on line %d", {what, line_});
  }

  void SkipBlanks() {
    while (p_ < s_.size()) {
      char c = s_[p_];
      if (c == '\n') {
        ++line_;
        ++p_;
      } else if (static_cast<unsigned char>(c) <= ' ') {
        ++p_;
      } else {
        break;
      }
    }
  }

  bool AtIdent() const { return p_ < s_.size() && IsIdentStart(s_[p_]); }

  // An identifier; with dots when Dotted ("Font.Name", "Form2.Button1").
  String Ident(bool dotted) {
    SkipBlanks();
    if (!AtIdent()) Error("Identifier expected");
    size_t b = p_;
    while (p_ < s_.size()) {
      if (IsIdentChar(s_[p_])) {
        ++p_;
      } else if (dotted && s_[p_] == '.' && p_ + 1 < s_.size() && IsIdentStart(s_[p_ + 1])) {
        ++p_;
      } else {
        break;
      }
    }
    return s_.substr(b, p_ - b);
  }

  bool PeekKeyword(const char* kw) {
    SkipBlanks();
    size_t n = std::strlen(kw);
    if (p_ + n > s_.size()) return false;
    if (!SameAscii(s_.substr(p_, n), kw)) return false;
    return p_ + n == s_.size() || !IsIdentChar(s_[p_ + n]);
  }

  void Expect(char c) {
    SkipBlanks();
    if (p_ >= s_.size() || s_[p_] != c) Error(Format("'%s' expected", {String(1, c)}));
    ++p_;
  }

  bool Accept(char c) {
    SkipBlanks();
    if (p_ < s_.size() && s_[p_] == c) {
      ++p_;
      return true;
    }
    return false;
  }

  void ParseHeader(TObjectNode& node) {
    node.Line = line_;
    if (PeekKeyword("object")) node.Kind = okObject;
    else if (PeekKeyword("inherited")) node.Kind = okInherited;
    else if (PeekKeyword("inline")) node.Kind = okInline;
    else Error("'object' expected");
    Ident(false);
    String first = Ident(false);
    if (Accept(':')) {
      node.Name = first;
      node.ClassName = Ident(false);
    } else {
      node.ClassName = first;
    }
    if (Accept('[')) {
      node.Position = static_cast<int>(ParseInteger());
      Expect(']');
    }
  }

  TObjectNode ParseObject() {
    TObjectNode node;
    ParseHeader(node);
    for (;;) {
      SkipBlanks();
      if (p_ >= s_.size()) Error("'end' expected");
      if (PeekKeyword("end")) {
        Ident(false);
        break;
      }
      if (PeekKeyword("object") || PeekKeyword("inherited") || PeekKeyword("inline")) {
        node.Children.push_back(ParseObject());
      } else {
        node.Props.push_back(ParseProperty());
      }
    }
    return node;
  }

  TPropertyNode ParseProperty() {
    TPropertyNode prop;
    SkipBlanks();
    prop.Line = line_;
    prop.Name = Ident(true);
    Expect('=');
    prop.Value = ParseValue();
    return prop;
  }

  int64_t ParseInteger() {
    SkipBlanks();
    TValueNode v = ParseNumber();
    if (v.Type != vaInt) Error("Integer expected");
    return v.Int;
  }

  TValueNode ParseNumber() {
    TValueNode v;
    v.Line = line_;
    bool negative = false;
    if (s_[p_] == '-' || s_[p_] == '+') {
      negative = s_[p_] == '-';
      ++p_;
    }
    if (p_ < s_.size() && s_[p_] == '$') {
      ++p_;
      size_t b = p_;
      while (p_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[p_]))) ++p_;
      if (b == p_) Error("Number expected");
      uint64_t u = 0;
      auto r = std::from_chars(s_.data() + b, s_.data() + p_, u, 16);
      if (r.ec != std::errc()) Error("Number out of range");
      v.Type = vaInt;
      v.Int = negative ? -static_cast<int64_t>(u) : static_cast<int64_t>(u);
      return v;
    }
    size_t b = p_;
    while (p_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[p_]))) ++p_;
    if (b == p_) Error("Number expected");
    bool isFloat = false;
    if (p_ + 1 < s_.size() && s_[p_] == '.' && std::isdigit(static_cast<unsigned char>(s_[p_ + 1]))) {
      isFloat = true;
      ++p_;
      while (p_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[p_]))) ++p_;
    }
    if (p_ < s_.size() && (s_[p_] == 'e' || s_[p_] == 'E')) {
      size_t q = p_ + 1;
      if (q < s_.size() && (s_[q] == '+' || s_[q] == '-')) ++q;
      if (q < s_.size() && std::isdigit(static_cast<unsigned char>(s_[q]))) {
        isFloat = true;
        p_ = q;
        while (p_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[p_]))) ++p_;
      }
    }
    String digits = s_.substr(b, p_ - b);
    if (isFloat) {
      // Single, currency and date suffixes of the format.
      if (p_ < s_.size() && (s_[p_] == 's' || s_[p_] == 'c' || s_[p_] == 'd') &&
          (p_ + 1 == s_.size() || !IsIdentChar(s_[p_ + 1])))
        v.Suffix = s_[p_++];
      double d = 0;
      auto r = std::from_chars(digits.data(), digits.data() + digits.size(), d);
      if (r.ec != std::errc()) Error("Invalid number");
      v.Type = vaExtended;
      v.Float = negative ? -d : d;
    } else {
      uint64_t u = 0;
      auto r = std::from_chars(digits.data(), digits.data() + digits.size(), u);
      if (r.ec != std::errc() || u > static_cast<uint64_t>(INT64_MAX) + (negative ? 1 : 0))
        Error("Number out of range");
      v.Type = vaInt;
      v.Int = negative ? static_cast<int64_t>(0 - u) : static_cast<int64_t>(u);
    }
    if (p_ < s_.size() && IsIdentChar(s_[p_])) Error("Invalid number");
    return v;
  }

  // One string token: quoted parts and #nnn codes with nothing between them.
  String StringToken() {
    String out;
    uint32_t pendingHigh = 0;
    auto flushHigh = [&] {
      if (pendingHigh) AppendUtf8(out, 0xFFFD);
      pendingHigh = 0;
    };
    bool any = false;
    while (p_ < s_.size()) {
      char c = s_[p_];
      if (c == '\'') {
        flushHigh();
        any = true;
        ++p_;
        for (;;) {
          if (p_ >= s_.size() || s_[p_] == '\n' || s_[p_] == '\r') Error("Unterminated string");
          if (s_[p_] == '\'') {
            if (p_ + 1 < s_.size() && s_[p_ + 1] == '\'') {
              out += '\'';
              p_ += 2;
              continue;
            }
            ++p_;
            break;
          }
          out += s_[p_++];
        }
      } else if (c == '#') {
        any = true;
        ++p_;
        uint64_t code = 0;
        size_t b = p_;
        std::from_chars_result r{};
        if (p_ < s_.size() && s_[p_] == '$') {
          ++p_;
          b = p_;
          while (p_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[p_]))) ++p_;
          r = std::from_chars(s_.data() + b, s_.data() + p_, code, 16);
        } else {
          while (p_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[p_]))) ++p_;
          r = std::from_chars(s_.data() + b, s_.data() + p_, code);
        }
        if (b == p_ || r.ec != std::errc() || code > 0x10FFFF) Error("Invalid character code");
        auto cp = static_cast<uint32_t>(code);
        if (cp >= 0xD800 && cp < 0xDC00) {
          flushHigh();
          pendingHigh = cp;
        } else if (cp >= 0xDC00 && cp < 0xE000) {
          if (pendingHigh) {
            AppendUtf8(out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (cp - 0xDC00));
            pendingHigh = 0;
          } else {
            AppendUtf8(out, 0xFFFD);
          }
        } else {
          flushHigh();
          AppendUtf8(out, cp);
        }
      } else {
        break;
      }
    }
    flushHigh();
    if (!any) Error("String expected");
    return out;
  }

  bool AtString() const { return p_ < s_.size() && (s_[p_] == '\'' || s_[p_] == '#'); }

  TValueNode ParseValue() {
    SkipBlanks();
    if (p_ >= s_.size()) Error("Value expected");
    TValueNode v;
    v.Line = line_;
    char c = s_[p_];
    if (AtString()) {
      v.Type = vaString;
      v.Str = StringToken();
      // "+" joins string parts, also across lines.
      for (;;) {
        size_t save = p_;
        int saveLine = line_;
        if (Accept('+')) {
          SkipBlanks();
          if (!AtString()) Error("String expected");
          v.Str += StringToken();
        } else {
          p_ = save;
          line_ = saveLine;
          break;
        }
      }
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '$' || c == '-' || c == '+') {
      v = ParseNumber();
    } else if (IsIdentStart(c)) {
      v.Type = vaIdent;
      v.Str = Ident(true);
    } else if (c == '[') {
      ++p_;
      v.Type = vaSet;
      if (!Accept(']')) {
        do {
          v.SetItems.push_back(Ident(false));
        } while (Accept(','));
        Expect(']');
      }
    } else if (c == '(') {
      ++p_;
      v.Type = vaList;
      while (!Accept(')')) {
        if (p_ >= s_.size()) Error("')' expected");
        v.Items.push_back(ParseValue());
      }
    } else if (c == '<') {
      ++p_;
      v.Type = vaCollection;
      while (!Accept('>')) {
        if (!PeekKeyword("item")) Error("'item' expected");
        Ident(false);
        if (Accept('[')) {
          ParseInteger();
          Expect(']');
        }
        std::vector<TPropertyNode> item;
        while (!PeekKeyword("end")) {
          if (p_ >= s_.size()) Error("'end' expected");
          item.push_back(ParseProperty());
        }
        Ident(false);
        v.Collection.push_back(std::move(item));
      }
    } else if (c == '{') {
      ++p_;
      v.Type = vaBinary;
      int high = -1;
      for (;;) {
        SkipBlanks();
        if (p_ >= s_.size()) Error("'}' expected");
        char h = s_[p_++];
        if (h == '}') break;
        if (!std::isxdigit(static_cast<unsigned char>(h))) Error("Invalid binary value");
        int d = std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (std::toupper(h) - 'A' + 10);
        if (high < 0) {
          high = d;
        } else {
          v.Bytes.push_back(static_cast<uint8_t>(high * 16 + d));
          high = -1;
        }
      }
      if (high >= 0) Error("Invalid binary value");
    } else {
      Error("Invalid property value");
    }
    return v;
  }

  const String& s_;
  size_t p_ = 0;
  int line_ = 1;
};

// ---------------------------------------------------------------------------
// Text output

void Indent(String& out, int level) { out.append(static_cast<size_t>(level) * 2, ' '); }

String QuoteString(const String& s) {
  if (s.empty()) return "''";
  String out;
  bool inQuote = false;
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    if (u < 32) {
      if (inQuote) out += '\'';
      inQuote = false;
      out += '#';
      out += std::to_string(u);
    } else {
      if (!inQuote) out += '\'';
      inQuote = true;
      if (c == '\'') out += "''";
      else out += c;
    }
  }
  if (inQuote) out += '\'';
  return out;
}

String FloatText(double d) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof(buf), d);
  String s(buf, r.ptr);
  if (s.find_first_of(".eEn") == String::npos) s += ".0";  // "n": nan/inf stay as they are
  return s;
}

void FormatValue(String& out, const TValueNode& v, int level);

void FormatProps(String& out, const std::vector<TPropertyNode>& props, int level) {
  for (const TPropertyNode& p : props) {
    Indent(out, level);
    out += p.Name;
    out += " = ";
    FormatValue(out, p.Value, level);
    out += '\n';
  }
}

void FormatValue(String& out, const TValueNode& v, int level) {
  switch (v.Type) {
    case vaNull:
      out += "nil";
      break;
    case vaInt:
      out += std::to_string(v.Int);
      break;
    case vaExtended:
      out += FloatText(v.Float);
      if (v.Suffix != 0) out += v.Suffix;
      break;
    case vaString:
      out += QuoteString(v.Str);
      break;
    case vaIdent:
      out += v.Str;
      break;
    case vaSet:
      out += '[';
      for (size_t i = 0; i < v.SetItems.size(); ++i) {
        if (i) out += ", ";
        out += v.SetItems[i];
      }
      out += ']';
      break;
    case vaList:
      out += '(';
      for (const TValueNode& item : v.Items) {
        out += '\n';
        Indent(out, level + 1);
        FormatValue(out, item, level + 1);
      }
      out += ')';
      break;
    case vaCollection:
      out += '<';
      for (const auto& item : v.Collection) {
        out += '\n';
        Indent(out, level + 1);
        out += "item\n";
        FormatProps(out, item, level + 2);
        Indent(out, level + 1);
        out += "end";
      }
      out += '>';
      break;
    case vaBinary: {
      static const char hex[] = "0123456789ABCDEF";
      out += '{';
      for (size_t i = 0; i < v.Bytes.size(); ++i) {
        if (i % 32 == 0) {
          out += '\n';
          Indent(out, level + 1);
        }
        out += hex[v.Bytes[i] >> 4];
        out += hex[v.Bytes[i] & 15];
      }
      out += '}';
      break;
    }
  }
}

void FormatObject(String& out, const TObjectNode& node, int level) {
  Indent(out, level);
  out += node.Kind == okInherited ? "inherited " : node.Kind == okInline ? "inline " : "object ";
  if (!node.Name.empty()) out += node.Name + ": ";
  out += node.ClassName;
  if (node.Position >= 0) out += " [" + std::to_string(node.Position) + "]";
  out += '\n';
  FormatProps(out, node.Props, level + 1);
  for (const TObjectNode& child : node.Children) FormatObject(out, child, level + 1);
  Indent(out, level);
  out += "end\n";
}

// ---------------------------------------------------------------------------
// Variant values

Variant VariantOfNode(const TValueNode& v) {
  switch (v.Type) {
    case vaInt:
      if (v.Int >= INT32_MIN && v.Int <= INT32_MAX) return Variant(static_cast<int32_t>(v.Int));
      return Variant(static_cast<long long>(v.Int));
    case vaExtended:
      switch (v.Suffix) {
        case 's': return Variant(static_cast<float>(v.Float));
        case 'c': return Variant(Currency::FromDouble(v.Float));
        case 'd': return VarFromDateTime(v.Float);
        default: return Variant(v.Float);
      }
    case vaString:
      return Variant(v.Str);
    case vaIdent:
      if (SameAscii(v.Str, "Null")) return Null();
      if (SameAscii(v.Str, "nil")) return Unassigned();
      if (SameAscii(v.Str, "True")) return Variant(true);
      if (SameAscii(v.Str, "False")) return Variant(false);
      break;
    case vaList: {
      Variant a = VarArrayCreate({0, static_cast<Integer>(v.Items.size()) - 1}, varVariant);
      for (size_t i = 0; i < v.Items.size(); ++i) VarArrayPut(a, VariantOfNode(v.Items[i]), static_cast<Integer>(i));
      return a;
    }
    default:
      break;
  }
  throw EPropertyError("Invalid property value");
}

TValueNode NodeOfVariant(const Variant& value) {
  if (VarIsArray(value)) {
    if (VarArrayDimCount(value) != 1) throw EWriteError("Stream write error");
    TValueNode list;
    list.Type = vaList;
    for (Integer i = VarArrayLowBound(value, 1); i <= VarArrayHighBound(value, 1); ++i)
      list.Items.push_back(NodeOfVariant(VarArrayGet(value, i)));
    return list;
  }
  TValueNode n;
  switch (value.VarType()) {
    case varEmpty: return TValueNode::Ident("nil");
    case varNull: return TValueNode::Ident("Null");
    case varBoolean: return TValueNode::Ident(value.AsBoolean() ? "True" : "False");
    case varShortInt:
    case varByte:
    case varSmallint:
    case varWord:
    case varInteger:
    case varLongWord:
    case varInt64: return TValueNode::Integer(value.AsInt64());
    case varSingle:
      n = TValueNode::Floating(value.AsDouble());
      n.Suffix = 's';
      return n;
    case varDouble: return TValueNode::Floating(value.AsDouble());
    case varCurrency:
      n = TValueNode::Floating(value.AsCurrency().ToDouble());
      n.Suffix = 'c';
      return n;
    case varDate:
      n = TValueNode::Floating(value.AsDateTime());
      n.Suffix = 'd';
      return n;
    case varString:
    case varOleStr: return TValueNode::Text(value.AsString());
    default: throw EWriteError("Stream write error");
  }
}

// ---------------------------------------------------------------------------
// Reading into components

const char* const kInvalidValue = "Invalid property value";

// A reading error that already names the component and property.
class EReadErrorAt : public EReadError {
 public:
  using EReadError::EReadError;
};

class Loader {
 public:
  explicit Loader(TComponent* root) : root_(root) {}

  // A root read again under the same owner (a second window of one class)
  // is named Name_1, Name_2, ...
  String UniqueRootName(const String& Name) const {
    TComponent* owner = root_->Owner();
    if (owner == nullptr) return Name;
    String result = Name;
    for (int i = 1; owner->FindComponent(result) != nullptr && owner->FindComponent(result) != root_; ++i)
      result = Name + "_" + std::to_string(i);
    return result;
  }

  void Load(const TObjectNode& node) {
    StateGuard guard(*this);
    Begin(root_);
    if (!node.Name.empty() && node.Name != root_->Name()) root_->SetName(UniqueRootName(node.Name));
    ReadProps(root_, root_, node.Props);
    for (const TObjectNode& child : node.Children) ReadChild(child, root_, root_);
    Fixups();
    BindFields();
    guard.Release();
    for (TComponent* c : loaded_) c->SetReading(false);
    for (TComponent* c : loaded_) c->Loaded();
  }

 private:
  struct Fixup {
    TObject* obj;
    const TPropInfo* prop;
    TComponent* comp;     // for error texts
    TComponent* lookup;   // root used to resolve the name
    String path;          // property path for error texts
    String value;
    int line;
  };

  // Clears csLoading/csReading on every component read if reading fails.
  struct StateGuard {
    explicit StateGuard(Loader& l) : loader(&l) {}
    ~StateGuard() {
      if (loader == nullptr) return;
      for (TComponent* c : loader->loaded_) {
        c->SetReading(false);
        c->SetLoading(false);
      }
    }
    void Release() { loader = nullptr; }
    Loader* loader;
  };

  void Begin(TComponent* c) {
    c->SetLoading(true);
    c->SetReading(true);
    if (std::find(loaded_.begin(), loaded_.end(), c) == loaded_.end()) loaded_.push_back(c);
  }

  [[noreturn]] static void ReadError(TComponent* comp, const String& path, const String& reason, int line) {
    String name = comp->Name().empty() ? comp->ClassName() : comp->Name();
    String msg = Format("Error reading %s.%s: %s", {name, path, reason});
    if (line > 0) msg += Format(" (line %d)", {line});
    throw EReadErrorAt(msg);
  }

  void ReadChild(const TObjectNode& node, TComponent* parent, TComponent* owner) {
    TComponent* comp = nullptr;
    if (node.Kind != okObject && !node.Name.empty()) comp = owner->FindComponent(node.Name);
    if (comp == nullptr) {
      if (node.Kind == okInherited)
        throw EReadError(Format("Ancestor for '%s' not found", {node.Name}) + Format(" (line %d)", {node.Line}));
      const TClassInfo* info = FindClass(node.ClassName);
      if (!info->CanCreate())
        throw EReadError(Format("Cannot create an instance of %s", {node.ClassName}) +
                         Format(" (line %d)", {node.Line}));
      comp = info->CreateInstance(owner);
      Begin(comp);
      try {
        comp->SetName(node.Name);
      } catch (const Exception& e) {
        throw EReadError(e.Message() + Format(" (line %d)", {node.Line}));
      }
    } else {
      Begin(comp);
    }
    comp->SetParentComponent(parent);
    TComponent* childOwner = node.Kind == okInline ? comp : owner;
    ReadProps(comp, childOwner, node.Props);
    for (const TObjectNode& child : node.Children) ReadChild(child, comp, childOwner);
  }

  void ReadProps(TComponent* comp, TComponent* lookup, const std::vector<TPropertyNode>& props) {
    for (const TPropertyNode& p : props) ReadProp(comp, comp, lookup, p.Name, p);
  }

  // Sets one (possibly dotted) property of obj, which belongs to comp.
  void ReadProp(TComponent* comp, TObject* obj, TComponent* lookup, const String& prefix, const TPropertyNode& p) {
    try {
      TObject* target = obj;
      String rest = p.Name;
      size_t dot;
      while ((dot = rest.find('.')) != String::npos) {
        String head = rest.substr(0, dot);
        const TPropInfo* prop = GetPropInfo(target, head);
        if (prop == nullptr) throw EPropertyError("Property %s does not exist", {head});
        if (prop->Kind() != tkClass) throw EPropertyError("Invalid property path");
        target = prop->GetObj(target);
        if (target == nullptr) throw EPropertyError("Invalid property path");
        rest = rest.substr(dot + 1);
      }
      SetValue(comp, target, lookup, prefix, rest, p.Value);
    } catch (const EReadErrorAt&) {
      throw;
    } catch (const EClassNotFound&) {
      throw;
    } catch (const Exception& e) {
      ReadError(comp, prefix, e.Message(), p.Value.Line ? p.Value.Line : p.Line);
    }
  }

  void SetValue(TComponent* comp, TObject* obj, TComponent* lookup, const String& path, const String& name,
                const TValueNode& v) {
    const TPropInfo* prop = GetPropInfo(obj, name);
    if (prop == nullptr) {
      const TClassInfo* info = GetClassInfo(obj);
      const TDefinedProperty* def = info ? info->FindDefined(name) : nullptr;
      if (def == nullptr) throw EPropertyError("Property %s does not exist", {name});
      TReader reader(v, lookup, [this, comp, lookup, path](TObject* coll, const TValueNode& items) {
        ReadCollectionItems(comp, coll, lookup, path, items);
      });
      def->Read(obj, reader);
      return;
    }
    switch (prop->Kind()) {
      case tkInteger:
      case tkInt64:
      case tkChar:
        if (v.Type == vaInt) {
          if (prop->Kind() != tkInt64 && (v.Int < INT32_MIN || v.Int > UINT32_MAX))
            throw EPropertyError(kInvalidValue);
          prop->SetOrd(obj, v.Int);
        } else if (v.Type == vaIdent) {
          int64_t value = 0;
          if (!IdentToInt(prop->PropType(), v.Str, value)) throw EPropertyError(kInvalidValue);
          prop->SetOrd(obj, value);
        } else {
          throw EPropertyError(kInvalidValue);
        }
        break;
      case tkEnumeration: {
        if (v.Type != vaIdent) throw EPropertyError(kInvalidValue);
        int value = GetEnumValue(prop->PropType(), v.Str);
        if (value < 0) throw EPropertyError(kInvalidValue);
        prop->SetOrd(obj, value);
        break;
      }
      case tkSet: {
        if (v.Type != vaSet) throw EPropertyError(kInvalidValue);
        uint64_t bits = 0;
        for (const String& item : v.SetItems) {
          int value = GetEnumValue(prop->PropType()->CompType, item);
          if (value < 0) throw EPropertyError(kInvalidValue);
          bits |= uint64_t{1} << value;
        }
        prop->SetOrd(obj, static_cast<int64_t>(bits));
        break;
      }
      case tkFloat:
        if (v.Type == vaExtended) prop->SetFloat(obj, v.Float);
        else if (v.Type == vaInt && prop->PropType()->FloatType == ftCurr)
          prop->SetCurrency(obj, Currency::FromInt(v.Int));
        else if (v.Type == vaInt) prop->SetFloat(obj, static_cast<double>(v.Int));
        else throw EPropertyError(kInvalidValue);
        break;
      case tkLString:
      case tkWString:
        if (v.Type != vaString) throw EPropertyError(kInvalidValue);
        prop->SetStr(obj, v.Str);
        break;
      case tkClass:
        if (v.Type == vaIdent) {
          if (SameAscii(v.Str, "nil")) prop->SetObj(obj, nullptr);
          else fixups_.push_back({obj, prop, comp, lookup, path, v.Str, v.Line});
        } else if (v.Type == vaCollection) {
          TObject* coll = prop->GetObj(obj);
          const TClassInfo* info = GetClassInfo(coll);
          if (coll == nullptr || info == nullptr || info->Collection() == nullptr)
            throw EPropertyError(kInvalidValue);
          ReadCollectionItems(comp, coll, lookup, path, v);
        } else {
          throw EPropertyError(kInvalidValue);
        }
        break;
      case tkVariant:
        prop->SetVariant(obj, VariantOfNode(v));
        break;
      case tkMethod:
        if (v.Type != vaIdent) throw EPropertyError(kInvalidValue);
        if (SameAscii(v.Str, "nil")) prop->ClearMethod(obj);
        else methods_.push_back({obj, prop, comp, lookup, path, v.Str, v.Line});
        break;
      default:
        throw EPropertyError(kInvalidValue);
    }
  }

 public:
  // Reads a collection outside a tree (a TReader made by hand).
  void ReadCollectionAlone(TObject* coll, const TValueNode& v) {
    ReadCollectionItems(root_, coll, root_, GetClassInfo(coll)->ClassName(), v);
    Fixups();
  }

  void ReadCollectionItems(TComponent* comp, TObject* coll, TComponent* lookup, const String& path,
                           const TValueNode& v) {
    const TCollectionOps* ops = GetClassInfo(coll)->Collection();
    ops->BeginUpdate(coll);
    try {
      ops->Clear(coll);
      for (const auto& item : v.Collection) {
        TPersistent* obj = ops->Add(coll);
        for (const TPropertyNode& p : item) ReadProp(comp, obj, lookup, path + "." + p.Name, p);
      }
    } catch (...) {
      ops->EndUpdate(coll);
      throw;
    }
    ops->EndUpdate(coll);
  }

 private:
  static TComponent* FindByName(TComponent* lookup, const String& name) {
    if (SameAscii(lookup->Name(), name)) return lookup;
    if (TComponent* c = lookup->FindComponent(name)) return c;
    size_t dot = name.find('.');
    if (dot == String::npos) return nullptr;
    String head = name.substr(0, dot), rest = name.substr(dot + 1);
    TComponent* start = nullptr;
    if (SameAscii(lookup->Name(), head)) start = lookup;
    else if (TComponent* owned = lookup->FindComponent(head)) start = owned;
    else if (FindGlobalComponent != nullptr) start = FindGlobalComponent(head);
    while (start != nullptr && !rest.empty()) {
      dot = rest.find('.');
      String part = dot == String::npos ? rest : rest.substr(0, dot);
      rest = dot == String::npos ? String() : rest.substr(dot + 1);
      start = start->FindComponent(part);
    }
    return start;
  }

  void Fixups() {
    for (const Fixup& f : fixups_) {
      TComponent* target = FindByName(f.lookup, f.value);
      if (target == nullptr || !f.prop->AcceptsObject(target)) ReadError(f.comp, f.path, kInvalidValue, f.line);
      try {
        f.prop->SetObj(f.obj, target);
      } catch (const Exception& e) {
        ReadError(f.comp, f.path, e.Message(), f.line);
      }
    }
    for (const Fixup& f : methods_) {
      const TClassInfo* info = GetClassInfo(f.lookup);
      const TMethodInfo* m = info ? info->FindMethod(f.value) : nullptr;
      if (m == nullptr) ReadError(f.comp, f.path, kInvalidValue, f.line);
      try {
        f.prop->SetMethod(f.obj, *m, f.lookup);
      } catch (const Exception& e) {
        ReadError(f.comp, f.path, e.Message(), f.line);
      }
    }
  }

  void BindFields() {
    const TClassInfo* info = GetClassInfo(root_);
    if (info == nullptr) return;
    for (const TFieldInfo* field : info->Fields()) {
      TComponent* comp = root_->FindComponent(field->Name);
      if (comp == nullptr) continue;
      if (!field->Set(root_, comp))
        throw EReadError(Format("Field %s.%s has an incompatible class %s",
                                {root_->ClassName(), field->Name, comp->ClassName()}));
    }
  }

  TComponent* root_;
  std::vector<TComponent*> loaded_;
  std::vector<Fixup> fixups_;
  std::vector<Fixup> methods_;
};

// ---------------------------------------------------------------------------
// Writing

String ReferenceName(TComponent* value, TComponent* root) {
  if (value == root) return root->Name();
  if (value->Owner() == root || value->Owner() == nullptr) return value->Name();
  String path = value->Name();
  for (TComponent* o = value->Owner(); o != nullptr && o != root; o = o->Owner()) {
    if (o->Name().empty()) return String();
    path = o->Name() + "." + path;
  }
  return path;
}

void AppendNodes(std::vector<TPropertyNode>& out, TObject* obj, TComponent* root, const String& prefix);

TValueNode CollectionNode(TObject* coll, TComponent* root) {
  const TCollectionOps* ops = GetClassInfo(coll)->Collection();
  TValueNode v;
  v.Type = vaCollection;
  int n = ops->Count(coll);
  for (int i = 0; i < n; ++i) {
    std::vector<TPropertyNode> item;
    AppendNodes(item, ops->Item(coll, i), root, String());
    v.Collection.push_back(std::move(item));
  }
  return v;
}

void AppendNodes(std::vector<TPropertyNode>& out, TObject* obj, TComponent* root, const String& prefix) {
  const TClassInfo* info = GetClassInfo(obj);
  if (info == nullptr) return;
  for (const TPropInfo* prop : info->Props()) {
    if (!prop->IsStored(obj)) continue;
    String name = prefix + prop->Name();
    switch (prop->Kind()) {
      case tkClass: {
        TObject* value = prop->GetObj(obj);
        if (value == nullptr) break;
        auto* comp = dynamic_cast<TComponent*>(value);
        const TClassInfo* vinfo = GetClassInfo(value);
        if (comp != nullptr && prop->Writable()) {
          String ref = ReferenceName(comp, root);
          if (!ref.empty()) out.push_back({name, TValueNode::Ident(ref), 0});
        } else if (vinfo != nullptr && vinfo->Collection() != nullptr) {
          out.push_back({name, CollectionNode(value, root), 0});
        } else {
          AppendNodes(out, value, root, name + ".");
        }
        break;
      }
      case tkMethod: {
        if (!prop->MethodAssigned(obj)) break;
        const TClassInfo* rinfo = GetClassInfo(root);
        if (rinfo == nullptr) break;
        for (const TMethodInfo* m : rinfo->Methods()) {
          if (prop->MethodIs(obj, *m, root)) {
            out.push_back({name, TValueNode::Ident(m->Name), 0});
            break;
          }
        }
        break;
      }
      default: {
        if (prop->IsDefault(obj)) break;
        TValueNode v;
        switch (prop->Kind()) {
          case tkInteger:
          case tkChar:
          case tkInt64: {
            int64_t value = prop->GetOrd(obj);
            String ident;
            v = IntToIdent(prop->PropType(), value, ident) ? TValueNode::Ident(ident) : TValueNode::Integer(value);
            break;
          }
          case tkEnumeration:
            v = TValueNode::Ident(GetEnumName(prop->PropType(), static_cast<int>(prop->GetOrd(obj))));
            break;
          case tkSet: {
            v.Type = vaSet;
            auto bits = static_cast<uint64_t>(prop->GetOrd(obj));
            const TTypeInfo* elem = prop->PropType()->CompType;
            for (size_t i = 0; i < elem->Names.size() && i < 64; ++i) {
              if (bits & (uint64_t{1} << i)) v.SetItems.push_back(elem->Names[i]);
            }
            break;
          }
          case tkFloat:
            v = TValueNode::Floating(prop->GetFloat(obj));
            break;
          case tkLString:
          case tkWString:
            v = TValueNode::Text(prop->GetStr(obj));
            break;
          case tkVariant:
            v = NodeOfVariant(prop->GetVariant(obj));
            break;
          default:
            continue;
        }
        out.push_back({name, std::move(v), 0});
      }
    }
  }
  for (const TDefinedProperty* d : info->DefinedProps()) {
    if (!d->Write || !d->HasData(obj)) continue;
    TWriter writer(root);
    d->Write(obj, writer);
    out.push_back({prefix + d->Name, writer.Result(), 0});
  }
}

bool IsChildOf(TComponent* c, TComponent* parent, TComponent* root) {
  TComponent* p = c->GetParentComponent();
  if (p == parent) return true;
  return parent == root && (!c->HasParent() || p == nullptr);
}

void AppendChildren(TObjectNode& node, TComponent* parent, TComponent* root) {
  for (int i = 0; i < root->ComponentCount(); ++i) {
    TComponent* c = root->Components(i);
    if (c == parent || !IsChildOf(c, parent, root)) continue;
    TObjectNode child;
    const TClassInfo* info = GetClassInfo(c);
    if (info == nullptr) throw EWriteError("Class %s is not registered", {c->ClassName()});
    child.Name = c->Name();
    child.ClassName = info->ClassName();
    AppendNodes(child.Props, c, root, String());
    AppendChildren(child, c, root);
    node.Children.push_back(std::move(child));
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public entry points

TObjectNode ParseFormText(const String& Text) { return Parser(Text).ParseRoot(); }

String FormTextClassName(const String& Text) { return Parser(Text).RootClassName(); }

String FormatFormText(const TObjectNode& Root) {
  String out;
  FormatObject(out, Root, 0);
  return out;
}

void ReadComponentFromText(TComponent* Root, const String& Text) {
  TObjectNode node = ParseFormText(Text);
  Loader(Root).Load(node);
}

TComponent* CreateComponentFromText(const String& Text, TComponent* Owner) {
  TObjectNode node = ParseFormText(Text);
  const TClassInfo* info = FindClass(node.ClassName);
  TComponent* root = info->CreateInstance(Owner);
  try {
    root->SetName(node.Name);
    Loader(root).Load(node);
  } catch (...) {
    delete root;
    throw;
  }
  return root;
}

std::vector<TPropertyNode> PersistentToNodes(TObject* Obj, TComponent* Root) {
  std::vector<TPropertyNode> out;
  AppendNodes(out, Obj, Root, String());
  return out;
}

TObjectNode ComponentToNode(TComponent* Root) {
  const TClassInfo* info = GetClassInfo(Root);
  if (info == nullptr) throw EWriteError("Class %s is not registered", {Root->ClassName()});
  TObjectNode node;
  node.Name = Root->Name();
  node.ClassName = info->ClassName();
  AppendNodes(node.Props, Root, Root, String());
  AppendChildren(node, Root, Root);
  return node;
}

String WriteComponentToText(TComponent* Root) { return FormatFormText(ComponentToNode(Root)); }

// ---------------------------------------------------------------------------
// TReader / TWriter

TReader::TReader(const TValueNode& Value, TComponent* Root) : root_(Root) {
  top_.push_back(Value);
  levels_.push_back({&top_, 0});
}

TReader::TReader(const TValueNode& Value, TComponent* Root,
                 std::function<void(TObject*, const TValueNode&)> CollectionReader)
    : TReader(Value, Root) {
  collection_reader_ = std::move(CollectionReader);
}

const TValueNode& TReader::Peek() const {
  const Level& l = levels_.back();
  if (l.pos >= l.items->size()) throw EReadError("Invalid property value");
  return (*l.items)[l.pos];
}

const TValueNode& TReader::Next() {
  const TValueNode& v = Peek();
  ++levels_.back().pos;
  return v;
}

TValueType TReader::NextValue() const { return Peek().Type; }

bool TReader::ReadBoolean() {
  const TValueNode& v = Next();
  if (v.Type == vaIdent && SameAscii(v.Str, "True")) return true;
  if (v.Type == vaIdent && SameAscii(v.Str, "False")) return false;
  throw EReadError("Invalid property value");
}

int32_t TReader::ReadInteger() {
  int64_t v = ReadInt64();
  if (v < INT32_MIN || v > INT32_MAX) throw EReadError("Invalid property value");
  return static_cast<int32_t>(v);
}

int64_t TReader::ReadInt64() {
  const TValueNode& v = Next();
  if (v.Type != vaInt) throw EReadError("Invalid property value");
  return v.Int;
}

double TReader::ReadFloat() {
  const TValueNode& v = Next();
  if (v.Type == vaExtended) return v.Float;
  if (v.Type == vaInt) return static_cast<double>(v.Int);
  throw EReadError("Invalid property value");
}

String TReader::ReadString() {
  const TValueNode& v = Next();
  if (v.Type != vaString) throw EReadError("Invalid property value");
  return v.Str;
}

Variant TReader::ReadVariant() {
  const TValueNode& v = Next();
  try {
    return VariantOfNode(v);
  } catch (const EPropertyError&) {
    throw EReadError("Invalid property value");
  }
}

String TReader::ReadIdent() {
  const TValueNode& v = Next();
  if (v.Type != vaIdent) throw EReadError("Invalid property value");
  return v.Str;
}

std::vector<uint8_t> TReader::ReadBinary() {
  const TValueNode& v = Next();
  if (v.Type != vaBinary) throw EReadError("Invalid property value");
  return v.Bytes;
}

void TReader::ReadListBegin() {
  const TValueNode& v = Next();
  if (v.Type != vaList) throw EReadError("Invalid property value");
  levels_.push_back({&v.Items, 0});
}

bool TReader::EndOfList() const {
  const Level& l = levels_.back();
  return l.pos >= l.items->size();
}

void TReader::ReadListEnd() {
  if (levels_.size() <= 1 || !EndOfList()) throw EReadError("Invalid property value");
  levels_.pop_back();
}

void TReader::ReadCollection(TObject* Collection) {
  const TValueNode& v = Next();
  const TClassInfo* info = GetClassInfo(Collection);
  if (v.Type != vaCollection || info == nullptr || info->Collection() == nullptr)
    throw EReadError("Invalid property value");
  if (collection_reader_) collection_reader_(Collection, v);
  else Loader(root_).ReadCollectionAlone(Collection, v);
}

TWriter::TWriter(TComponent* Root) : root_(Root) {
  TValueNode top;
  top.Type = vaList;
  stack_.push_back(std::move(top));
}

void TWriter::Put(TValueNode v) { stack_.back().Items.push_back(std::move(v)); }
void TWriter::WriteBoolean(bool Value) { Put(TValueNode::Ident(Value ? "True" : "False")); }
void TWriter::WriteInteger(int64_t Value) { Put(TValueNode::Integer(Value)); }
void TWriter::WriteFloat(double Value) { Put(TValueNode::Floating(Value)); }
void TWriter::WriteString(const String& Value) { Put(TValueNode::Text(Value)); }
void TWriter::WriteIdent(const String& Value) { Put(TValueNode::Ident(Value)); }
void TWriter::WriteVariant(const Variant& Value) { Put(NodeOfVariant(Value)); }

void TWriter::WriteBinary(const std::vector<uint8_t>& Value) {
  TValueNode v;
  v.Type = vaBinary;
  v.Bytes = Value;
  Put(std::move(v));
}

void TWriter::WriteListBegin() {
  TValueNode v;
  v.Type = vaList;
  stack_.push_back(std::move(v));
}

void TWriter::WriteListEnd() {
  if (stack_.size() <= 1) throw EWriteError("Stream write error");
  TValueNode list = std::move(stack_.back());
  stack_.pop_back();
  Put(std::move(list));
}

void TWriter::WriteCollection(TObject* Collection) {
  const TClassInfo* info = GetClassInfo(Collection);
  if (info == nullptr || info->Collection() == nullptr) throw EWriteError("Stream write error");
  Put(CollectionNode(Collection, root_));
}

TValueNode TWriter::Result() const {
  const TValueNode& top = stack_.front();
  if (stack_.size() != 1 || top.Items.size() != 1) throw EWriteError("Stream write error");
  return top.Items.front();
}
