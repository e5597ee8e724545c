// Input histories in the current user's registry, and the popup menu built
// from them.
//
// A history belongs to a storage node. Nodes are the host's (the framework
// never creates one): a node names a registry key, may hang below a parent
// node, and either owns a TB_Registry or uses its parent's. The chain of node
// names is the key path: "Form1\Frame1" for a node "Frame1" below "Form1"; a
// node with an empty name adds nothing to its parent's path.
//
// A history of the edit box E1 is the values 0_E1, 1_E1, ... (newest first)
// of the node's key, Count of them at most, each a string.
#pragma once

#include <memory>
#include <vector>

#include "platform/gui/Menus.h"
#include "platform/os/Registry.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/System.h"
#include "platform/rtl/Variants.h"

// Kinds of registry values (1 is not used).
enum TB_RegValueKind : Byte {
  b_rkCurrency = 0,
  b_rkBoolean = 2,
  b_rkDate = 3,
  b_rkDateTime = 4,
  b_rkFloat = 5,
  b_rkInteger = 6,
  b_rkString = 7,
  b_rkTime = 8,
};

// Handlers that stand in for reading or writing one value of the open key.
using TB_RegReadValueEvent = Event<void(const String& Name, TB_RegValueKind Kind, Variant& Value)>;
using TB_RegWriteValueEvent = Event<void(const String& Name, TB_RegValueKind Kind, const Variant& Value)>;

// The registry wrapper of the current user, with optional handlers: with a
// handler assigned, the registry is not touched for that operation.
class TB_Registry : public TRegistry {
 public:
  TB_Registry() = default;

  const TB_RegReadValueEvent& OnReadValue() const { return on_read_; }
  void SetOnReadValue(TB_RegReadValueEvent Value) { on_read_ = std::move(Value); }
  const TB_RegWriteValueEvent& OnWriteValue() const { return on_write_; }
  void SetOnWriteValue(TB_RegWriteValueEvent Value) { on_write_ = std::move(Value); }

  // Reads Name of the open key as Kind: through the read handler (which gets
  // Default to change), else the stored value, else Default when it is
  // missing. True when the handler ran or the value exists. A stored text
  // that does not convert to Kind raises ERegistryException.
  bool ReadValue(const String& Name, TB_RegValueKind Kind, const Variant& Default, Variant& Value);
  // Writes Name of the open key as Kind through the write handler, else to
  // the registry (a string kind writes an empty or unset Value as "").
  void WriteValue(const String& Name, TB_RegValueKind Kind, const Variant& Value);

 private:
  TB_RegReadValueEvent on_read_;
  TB_RegWriteValueEvent on_write_;
};

class IB_StorageNode;

// A holder's reference to a storage node: it becomes nullptr when the node
// is freed.
class TB_StorageNodeLink {
 public:
  TB_StorageNodeLink() = default;
  explicit TB_StorageNodeLink(IB_StorageNode* Node) { Set(Node); }
  ~TB_StorageNodeLink() { Set(nullptr); }
  TB_StorageNodeLink(const TB_StorageNodeLink&) = delete;
  TB_StorageNodeLink& operator=(const TB_StorageNodeLink&) = delete;

  IB_StorageNode* Get() const { return node_; }
  void Set(IB_StorageNode* Node);

 private:
  friend class IB_StorageNode;
  IB_StorageNode* node_ = nullptr;
};

// A storage node of histories. Implemented by the host (a form or frame, or
// a TB_StorageNode it keeps); whoever holds a node keeps it in a
// TB_StorageNodeLink, which the node's destructor clears.
class IB_StorageNode {
 public:
  IB_StorageNode() = default;
  IB_StorageNode(const IB_StorageNode&) = delete;
  IB_StorageNode& operator=(const IB_StorageNode&) = delete;
  virtual ~IB_StorageNode();
  virtual String NodeName() const = 0;
  // True when the node keeps a registry of its own.
  virtual bool OwnRegistry() const = 0;
  virtual IB_StorageNode* ParentNode() const = 0;
  // The node's registry, made by GetNodeRegistry on first use and freed
  // with the node (or by GetNodeRegistry once the node stops owning one).
  virtual std::unique_ptr<TB_Registry>& NodeRegistry() = 0;
  // Entries a history keeps.
  virtual Word HistoryCount() const = 0;
  // True when empty texts enter the history.
  virtual bool KeepEmptyValues() const = 0;

 private:
  friend class TB_StorageNodeLink;
  std::vector<TB_StorageNodeLink*> links_;
};

// A plain storage node for hosts that need no node class of their own.
class TB_StorageNode : public IB_StorageNode {
 public:
  explicit TB_StorageNode(String Name = "", IB_StorageNode* Parent = nullptr, bool Own = true, Word Count = 16)
      : name_(std::move(Name)), parent_(Parent), own_(Own), count_(Count) {}

  String NodeName() const override { return name_; }
  bool OwnRegistry() const override { return own_; }
  // nullptr once the parent is freed.
  IB_StorageNode* ParentNode() const override { return parent_.Get(); }
  std::unique_ptr<TB_Registry>& NodeRegistry() override { return registry_; }
  Word HistoryCount() const override { return count_; }
  bool KeepEmptyValues() const override { return keep_empty_; }

  void SetNodeName(const String& Value) { name_ = Value; }
  void SetOwnRegistry(bool Value) { own_ = Value; }
  void SetParentNode(IB_StorageNode* Value) { parent_.Set(Value); }
  void SetHistoryCount(Word Value) { count_ = Value; }
  void SetKeepEmptyValues(bool Value) { keep_empty_ = Value; }

 private:
  String name_;
  TB_StorageNodeLink parent_;
  bool own_;
  Word count_;
  bool keep_empty_ = false;
  std::unique_ptr<TB_Registry> registry_;
};

// The node's own registry (made on first use) when it owns one; otherwise
// its own is freed and its parent's is used (nullptr at the top of a chain).
TB_Registry* GetNodeRegistry(IB_StorageNode* Node);
// The node's key path: its name below its parent's path ("\"-separated).
String GetNodeKeyPath(IB_StorageNode* Node);

// Opens Key without creating it and reads Name as Kind (Value is Default
// when the key or the value is missing, or Registry is nullptr); closes the
// key. True when the key opened and the value was read.
bool ReadRegistryValue(TB_Registry* Registry, const String& Key, const String& Name, const Variant& Default,
                       TB_RegValueKind Kind, Variant& Value);
// Opens Key, creating it, writes Name as Kind, and closes the key; nothing
// when the key cannot be opened or Registry is nullptr.
void WriteRegistryValue(TB_Registry* Registry, const String& Key, const String& Name, const Variant& Value,
                        TB_RegValueKind Kind);

// The history entry at Position of the edit box Name ("" when absent).
void ReadHistoryItem(IB_StorageNode* Node, const String& Name, int Position, String& Text);
// Puts Text first in the history of Name: nothing for an empty Text (unless
// the node keeps empty values) or a Text already among the entries; else the
// entries from Position on move down one (the last falls out) and Text goes
// to Position, all in one write of the settings file. Callers pass Position
// 0. A file that cannot be written raises nothing: the history stays in
// memory, readable, and the first such failure (again after a save that
// succeeded) goes to Application->HandleException.
void AddHistoryItem(IB_StorageNode* Node, const String& Name, int Position, const String& Text);
// A popup menu of the history of Name, owned by Owner: one item per entry up
// to the first missing or empty one, captioned with the entry's field
// FieldIndex (GetListItem), tagged with its position and clicking OnClick;
// left-aligned, named "PopupList" and the current date and time as digits.
// nullptr when the history is empty.
TPopupMenu* BuildHistoryPopup(IB_StorageNode* Node, TComponent* Owner, const String& Name, int FieldIndex,
                              TNotifyEvent OnClick);
