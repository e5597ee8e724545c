// libFuzzer target for the filter-expression parser.
// Input: one byte of options (bit 0 foCaseInsensitive, 1 foNoPartialCompare,
// 2 poExtSyntax, 3 poAggregate, 4 poDefaultExpr for field ID, 5 decimal
// separator ","), then the filter text. A parsed buffer must be well formed:
// header consistent, every node and literal inside it, node references
// ending (children after their parents, list elements in ascending order;
// an element's expression may precede its list element).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/db/DBCommon.h"
#include "platform/rtl/SysUtils.h"
#include "tests/fuzz/FilterFields.h"

namespace {

void Check(bool Condition) {
  if (!Condition) __builtin_trap();
}

// Fields to parse against; the dataset is never opened.
class TFuzzDataSet : public TDataSet {
 public:
  explicit TFuzzDataSet(TComponent* AOwner) : TDataSet(AOwner) {}

 protected:
  TRecordBuffer AllocRecordBuffer() override { return nullptr; }
  void FreeRecordBuffer(TRecordBuffer&) override {}
  void GetBookmarkData(TRecordBuffer, void*) override {}
  void SetBookmarkData(TRecordBuffer, const void*) override {}
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer) override { return bfCurrent; }
  void SetBookmarkFlag(TRecordBuffer, TBookmarkFlag) override {}
  TGetResult GetRecord(TRecordBuffer, TGetMode, bool) override { return grEOF; }
  int GetRecordSize() override { return 0; }
  void InternalAddRecord(const void*, bool) override {}
  void InternalClose() override {}
  void InternalDelete() override {}
  void InternalFirst() override {}
  void InternalGotoBookmark(const void*) override {}
  void InternalHandleException() override {}
  void InternalInitFieldDefs() override {}
  void InternalInitRecord(TRecordBuffer) override {}
  void InternalLast() override {}
  void InternalOpen() override {}
  void InternalSetToRecord(TRecordBuffer) override {}
  bool IsCursorOpen() override { return false; }
};

TFuzzDataSet* g_ds = nullptr;
TFieldMap g_map{};

struct Walker {
  const TExprData& d;
  int lit;

  int W(int at) const {
    Check(at >= 0 && static_cast<size_t>(at) + 2 <= d.size());
    return d[static_cast<size_t>(at)] | (d[static_cast<size_t>(at) + 1] << 8);
  }
  int32_t I(int at) const {
    Check(at >= 0 && static_cast<size_t>(at) + 4 <= d.size());
    int32_t v;
    std::memcpy(&v, &d[static_cast<size_t>(at)], 4);
    return v;
  }
  void Text(int at) const {
    Check(at >= lit && static_cast<size_t>(at) < d.size());
    Check(std::memchr(&d[static_cast<size_t>(at)], 0, d.size() - static_cast<size_t>(at)) != nullptr);
  }

  int depth = 0;

  void Node(int off) {
    Check(++depth <= MaxFilterDepth * 4);
    int n = CANEXPRSIZE + off;
    int cls = I(n);
    int ops = 0;
    switch (cls) {
      case nodeUNARY: ops = 1; break;
      case nodeBINARY: case nodeFIELD: case nodeFUNC: case nodeLISTELEM: ops = 2; break;
      case nodeCOMPARE: ops = 4; break;
      case nodeCONST: ops = 3; break;
      default: Check(false);
    }
    Check(n + CANHDRSIZE + 2 * ops <= lit);
    int op = I(n + 4);
    auto child = [&](int i) {
      int c = W(n + CANHDRSIZE + 2 * i);
      Check(c > off);
      return c;
    };
    switch (cls) {
      case nodeUNARY:
        Node(child(0));
        break;
      case nodeBINARY:
        Node(child(0));
        if (op == coIN) List(child(1));
        else Node(child(1));
        break;
      case nodeCOMPARE:
        Node(child(2));
        Node(child(3));
        break;
      case nodeFIELD:
        Text(lit + W(n + 10));
        break;
      case nodeCONST:
        Check(lit + W(n + 12) + W(n + 10) <= static_cast<int>(d.size()));
        break;
      case nodeFUNC:
        Text(lit + W(n + 8));
        if (W(n + 10) != 0) List(child(1));
        break;
      default:
        Check(false);
    }
    --depth;
  }

  void List(int off) {
    while (off != 0) {
      int n = CANEXPRSIZE + off;
      Check(I(n) == nodeLISTELEM && I(n + 4) == coLISTELEM2);
      int elem = W(n + 8), next = W(n + 10);
      Check(elem > 0 && elem != off && (next == 0 || next > off));
      Node(elem);
      off = next;
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_ds = new TFuzzDataSet(nullptr);
  g_ds->SetName("Fuzz");
  TFieldDefs* defs = g_ds->FieldDefs();
  AddFilterFieldDefs(defs);
  defs->Add("NOTE", ftMemo);
  defs->Add("Full Name", ftString, 10);
  for (int i = 0; i < defs->Count(); ++i) defs->Items(i)->CreateField(g_ds);
  TField* calc = new TIntegerField(g_ds);
  calc->SetFieldName("CALC");
  calc->SetCalculated(true);
  calc->SetDataSet(g_ds);
  for (int i = 0; i < FieldTypeCount; ++i) g_map[static_cast<size_t>(i)] = static_cast<Byte>(i);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  uint8_t bits = Data[0];
  std::string text(reinterpret_cast<const char*>(Data + 1), Size - 1);
  TFilterOptions options;
  if (bits & 1) options.Include(foCaseInsensitive);
  if (bits & 2) options.Include(foNoPartialCompare);
  TParserOptions parser;
  if (bits & 4) parser.Include(poExtSyntax);
  if (bits & 8) parser.Include(poAggregate);
  if (bits & 16) parser.Include(poDefaultExpr);
  char separator = FormatSettings.DecimalSeparator;
  FormatSettings.DecimalSeparator = (bits & 32) ? ',' : '.';
  try {
    TExprParser p(g_ds, text, options, parser, "ID", nullptr, g_map);
    const TExprData& d = p.FilterData();
    if (!d.empty()) {
      Check(d.size() >= static_cast<size_t>(CANEXPRSIZE) && d.size() <= 0xFFFF);
      Walker w{d, 0};
      Check(w.W(0) == CANEXPRVERSION && w.W(2) == static_cast<int>(d.size()) && w.W(6) == CANEXPRSIZE);
      w.lit = w.W(8);
      Check(w.lit > CANEXPRSIZE && w.lit <= static_cast<int>(d.size()));
      w.Node(0);
    }
  } catch (Exception&) {
    // Malformed texts and constants raise the system's errors.
  }
  FormatSettings.DecimalSeparator = separator;
  return 0;
}
