#include "framework/B_Regist.h"

#include "framework/B_PF.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/SysUtils.h"

namespace {

String HistoryValueName(int Position, const String& Name) { return IntToStr(Position) + "_" + Name; }

String ReadHistoryText(TB_Registry* Registry, const String& Key, int Position, const String& Name) {
  Variant value;
  ReadRegistryValue(Registry, Key, HistoryValueName(Position, Name), String(), b_rkString, value);
  return VarToStr(value);
}

// "PopupList" and the current date and time with every non-digit made "0";
// a name the owner already has gets "_1", "_2" ... appended.
String PopupName(TComponent* Owner) {
  String stamp = FloatToStr(Now());
  for (char& c : stamp) {
    if (c < '0' || c > '9') c = '0';
  }
  String name = "PopupList" + stamp;
  if (Owner == nullptr) return name;
  String unique = name;
  for (int n = 1; Owner->FindComponent(unique) != nullptr; ++n) unique = name + "_" + IntToStr(n);
  return unique;
}

}  // namespace

void TB_StorageNodeLink::Set(IB_StorageNode* Node) {
  if (Node == node_) return;
  if (node_ != nullptr) std::erase(node_->links_, this);
  node_ = Node;
  if (node_ != nullptr) node_->links_.push_back(this);
}

IB_StorageNode::~IB_StorageNode() {
  for (TB_StorageNodeLink* link : links_) link->node_ = nullptr;
}

bool TB_Registry::ReadValue(const String& Name, TB_RegValueKind Kind, const Variant& Default, Variant& Value) {
  Value = Default;
  if (on_read_.Assigned()) {
    on_read_(Name, Kind, Value);
    return true;
  }
  if (!ValueExists(Name)) return false;
  switch (Kind) {
    case b_rkCurrency: Value = ReadCurrency(Name); break;
    case b_rkBoolean: Value = ReadBool(Name); break;
    case b_rkDate: Value = VarFromDateTime(ReadDate(Name)); break;
    case b_rkDateTime: Value = VarFromDateTime(ReadDateTime(Name)); break;
    case b_rkFloat: Value = ReadFloat(Name); break;
    case b_rkInteger: Value = ReadInteger(Name); break;
    case b_rkString: Value = ReadString(Name); break;
    case b_rkTime: Value = VarFromDateTime(ReadTime(Name)); break;
  }
  return true;
}

void TB_Registry::WriteValue(const String& Name, TB_RegValueKind Kind, const Variant& Value) {
  if (on_write_.Assigned()) {
    on_write_(Name, Kind, Value);
    return;
  }
  switch (Kind) {
    case b_rkCurrency: WriteCurrency(Name, Value.AsCurrency()); break;
    case b_rkBoolean: WriteBool(Name, Value.AsBoolean()); break;
    case b_rkDate: WriteDate(Name, Value.AsDateTime()); break;
    case b_rkDateTime: WriteDateTime(Name, Value.AsDateTime()); break;
    case b_rkFloat: WriteFloat(Name, Value.AsDouble()); break;
    case b_rkInteger: WriteInteger(Name, Value.AsInteger()); break;
    case b_rkString: WriteString(Name, VarToStr(Value)); break;
    case b_rkTime: WriteTime(Name, Value.AsDateTime()); break;
  }
}

TB_Registry* GetNodeRegistry(IB_StorageNode* Node) {
  if (Node == nullptr) return nullptr;
  std::unique_ptr<TB_Registry>& own = Node->NodeRegistry();
  if (Node->OwnRegistry()) {
    if (own == nullptr) own = std::make_unique<TB_Registry>();
    return own.get();
  }
  own.reset();
  return GetNodeRegistry(Node->ParentNode());
}

String GetNodeKeyPath(IB_StorageNode* Node) {
  if (Node == nullptr) return String();
  IB_StorageNode* parent = Node->ParentNode();
  if (parent == nullptr) return Node->NodeName();
  String path = GetNodeKeyPath(parent);
  String name = Node->NodeName();
  return name.empty() ? path : path + "\\" + name;
}

bool ReadRegistryValue(TB_Registry* Registry, const String& Key, const String& Name, const Variant& Default,
                       TB_RegValueKind Kind, Variant& Value) {
  Value = Default;
  if (Registry == nullptr || !Registry->OpenKey(Key, false)) return false;
  bool read = false;
  try {
    read = Registry->ReadValue(Name, Kind, Default, Value);
  } catch (...) {
    Registry->CloseKey();
    throw;
  }
  Registry->CloseKey();
  return read;
}

void WriteRegistryValue(TB_Registry* Registry, const String& Key, const String& Name, const Variant& Value,
                        TB_RegValueKind Kind) {
  if (Registry == nullptr || !Registry->OpenKey(Key, true)) return;
  try {
    Registry->WriteValue(Name, Kind, Value);
  } catch (...) {
    Registry->CloseKey();
    throw;
  }
  Registry->CloseKey();
}

void ReadHistoryItem(IB_StorageNode* Node, const String& Name, int Position, String& Text) {
  Text = ReadHistoryText(GetNodeRegistry(Node), GetNodeKeyPath(Node), Position, Name);
}

void AddHistoryItem(IB_StorageNode* Node, const String& Name, int Position, const String& Text) {
  if (Node == nullptr || (Text.empty() && !Node->KeepEmptyValues())) return;
  TB_Registry* registry = GetNodeRegistry(Node);
  String key = GetNodeKeyPath(Node);
  const int count = Node->HistoryCount();
  if (Position < 0 || Position >= count) return;
  std::vector<Variant> entries(static_cast<size_t>(count));
  std::vector<bool> present(static_cast<size_t>(count));
  for (int p = count - 1; p >= 0; --p) {
    present[p] = ReadRegistryValue(registry, key, HistoryValueName(p, Name), String(), b_rkString, entries[p]);
    if (present[p] && VarToStr(entries[p]) == Text) return;
  }
  // One write of the settings file for the whole move. A file that cannot
  // be written keeps the history in memory; the user's action goes on, and
  // the failure is reported once until a save succeeds again.
  static bool failure_reported = false;
  if (registry == nullptr) return;
  registry->BeginUpdate();
  try {
    try {
      for (int p = count - 2; p >= Position; --p) {
        if (present[p]) WriteRegistryValue(registry, key, HistoryValueName(p + 1, Name), entries[p], b_rkString);
      }
      WriteRegistryValue(registry, key, HistoryValueName(Position, Name), Text, b_rkString);
    } catch (...) {
      try {
        registry->EndUpdate();
      } catch (const ERegistryException&) {
      }
      throw;
    }
    registry->EndUpdate();
    failure_reported = false;
  } catch (const ERegistryException&) {
    if (failure_reported) return;
    failure_reported = true;
    if (Application != nullptr) Application->HandleException(registry);
  }
}

TPopupMenu* BuildHistoryPopup(IB_StorageNode* Node, TComponent* Owner, const String& Name, int FieldIndex,
                              TNotifyEvent OnClick) {
  TB_Registry* registry = GetNodeRegistry(Node);
  String key = GetNodeKeyPath(Node);
  TPopupMenu* popup = nullptr;
  const int count = Node == nullptr ? 0 : Node->HistoryCount();
  for (int p = 0; p < count; ++p) {
    String entry = ReadHistoryText(registry, key, p, Name);
    if (entry.empty()) break;
    if (popup == nullptr) {
      popup = new TPopupMenu(Owner);
      try {
        popup->SetName(PopupName(Owner));
      } catch (...) {
        delete popup;
        throw;
      }
      popup->SetAlignment(paLeft);
    }
    auto* item = new TMenuItem(popup);
    item->SetCaption(GetListItem(entry, FieldIndex));
    item->SetTag(p);
    item->SetOnClick(OnClick);
    popup->Items()->Add(item);
  }
  return popup;
}
