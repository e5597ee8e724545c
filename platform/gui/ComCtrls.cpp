#include "platform/gui/ComCtrls.h"
#include "platform/gui/ListView.h"

#include <QHeaderView>
#include <QTreeWidget>

#include <algorithm>

#include "platform/gui/GuiInternal.h"
#include "platform/rtl/UnitInit.h"

namespace {

QString ToQ(const String& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QTreeWidgetItem* ItemOf(const TTreeNode* node, void* item) {
  (void)node;
  return static_cast<QTreeWidgetItem*>(item);
}

int SubtreeSize(const TTreeNode* node) {
  int n = 1;
  for (int i = 0; i < node->Count(); ++i) n += SubtreeSize(node->Item(i));
  return n;
}

bool Contains(const TTreeNode* root, const TTreeNode* node) {
  for (const TTreeNode* n = node; n != nullptr; n = n->Parent()) {
    if (n == root) return true;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// TTreeNode

TTreeNode::~TTreeNode() {
  for (TTreeNode* c : children_) delete c;
}

TTreeView* TTreeNode::TreeView() const { return owner_->Owner(); }

void TTreeNode::SetText(const String& Value) {
  text_ = Value;
  if (item_ != nullptr) ItemOf(this, item_)->setText(0, ToQ(Value));
}

TTreeNode* TTreeNode::Item(int Index) const {
  if (Index < 0 || Index >= Count()) throw ETreeViewError("List index out of bounds (%d)", {Index});
  return children_[static_cast<size_t>(Index)];
}

int TTreeNode::Index() const {
  const auto& list = parent_ != nullptr ? parent_->children_ : owner_->roots_;
  return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

TTreeNode* TTreeNode::GetNextSibling() const {
  const auto& list = parent_ != nullptr ? parent_->children_ : owner_->roots_;
  size_t i = static_cast<size_t>(Index()) + 1;
  return i < list.size() ? list[i] : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const {
  const auto& list = parent_ != nullptr ? parent_->children_ : owner_->roots_;
  int i = Index();
  return i > 0 ? list[static_cast<size_t>(i - 1)] : nullptr;
}

int TTreeNode::AbsoluteIndex() const {
  owner_->Rebuild();
  const auto& order = owner_->order_;
  return static_cast<int>(std::find(order.begin(), order.end(), this) - order.begin());
}

int TTreeNode::Level() const {
  int level = 0;
  for (TTreeNode* p = parent_; p != nullptr; p = p->parent_) ++level;
  return level;
}

void TTreeNode::SetExpanded(bool Value) {
  expanded_ = Value;
  if (item_ != nullptr) ItemOf(this, item_)->setExpanded(Value);
}

void TTreeNode::Expand(bool Recurse) {
  SetExpanded(true);
  if (Recurse) {
    for (TTreeNode* c : children_) c->Expand(true);
  }
}

void TTreeNode::Collapse(bool Recurse) {
  SetExpanded(false);
  if (Recurse) {
    for (TTreeNode* c : children_) c->Collapse(true);
  }
}

void TTreeNode::Delete() { owner_->Delete(this); }

// ---------------------------------------------------------------------------
// TTreeNodes

TTreeNodes::TTreeNodes(TTreeView* Owner) : owner_(Owner) {}

TTreeNodes::~TTreeNodes() {
  for (TTreeNode* n : roots_) delete n;
}

void TTreeNodes::Rebuild() const {
  if (order_valid_) return;
  order_.clear();
  order_.reserve(static_cast<size_t>(count_));
  std::vector<TTreeNode*> stack(roots_.rbegin(), roots_.rend());
  while (!stack.empty()) {
    TTreeNode* n = stack.back();
    stack.pop_back();
    order_.push_back(n);
    for (auto it = n->children_.rbegin(); it != n->children_.rend(); ++it) stack.push_back(*it);
  }
  order_valid_ = true;
}

TTreeNode* TTreeNodes::Item(int Index) const {
  if (Index < 0 || Index >= count_) throw ETreeViewError("List index out of bounds (%d)", {Index});
  Rebuild();
  return order_[static_cast<size_t>(Index)];
}

TTreeNode* TTreeNodes::Attach(TTreeNode* Parent, const String& S, void* Ptr) {
  if (Parent != nullptr && Parent->owner_ != this) throw ETreeViewError("Node belongs to another tree");
  auto* node = new TTreeNode(this);
  node->text_ = S;
  node->data_ = Ptr;
  node->parent_ = Parent;
  // The new node ends the tree order when every ancestor is the last of its siblings.
  bool atEnd = order_valid_;
  for (TTreeNode* p = Parent; atEnd && p != nullptr; p = p->parent_) {
    const auto& siblings = p->parent_ != nullptr ? p->parent_->children_ : roots_;
    atEnd = siblings.back() == p;
  }
  (Parent != nullptr ? Parent->children_ : roots_).push_back(node);
  ++count_;
  if (atEnd) order_.push_back(node);
  else order_valid_ = false;
  if (owner_ != nullptr) owner_->ItemAdded(node);
  return node;
}

TTreeNode* TTreeNodes::Add(TTreeNode* Sibling, const String& S) { return AddObject(Sibling, S, nullptr); }

TTreeNode* TTreeNodes::AddObject(TTreeNode* Sibling, const String& S, void* Ptr) {
  return Attach(Sibling != nullptr ? Sibling->parent_ : nullptr, S, Ptr);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* Parent, const String& S) { return AddChildObject(Parent, S, nullptr); }

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* Parent, const String& S, void* Ptr) { return Attach(Parent, S, Ptr); }

void TTreeNodes::Detach(TTreeNode* Node) {
  auto& list = Node->parent_ != nullptr ? Node->parent_->children_ : roots_;
  list.erase(std::remove(list.begin(), list.end(), Node), list.end());
  count_ -= SubtreeSize(Node);
  order_valid_ = false;
}

void TTreeNodes::Delete(TTreeNode* Node) {
  if (Node == nullptr || Node->owner_ != this) return;
  if (owner_ != nullptr) owner_->ItemRemoved(Node);
  Detach(Node);
  delete Node;
}

void TTreeNodes::Clear() {
  if (owner_ != nullptr) owner_->ItemsCleared();
  std::vector<TTreeNode*> roots;
  roots.swap(roots_);
  for (TTreeNode* n : roots) delete n;
  count_ = 0;
  order_.clear();
  order_valid_ = true;
}

void TTreeNodes::BeginUpdate() {
  if (update_count_++ == 0 && owner_ != nullptr && owner_->Widget() != nullptr)
    owner_->Widget()->setUpdatesEnabled(false);
}

void TTreeNodes::EndUpdate() {
  if (update_count_ == 0) return;
  if (--update_count_ == 0 && owner_ != nullptr && owner_->Widget() != nullptr)
    owner_->Widget()->setUpdatesEnabled(true);
}

// ---------------------------------------------------------------------------
// TTreeView

TTreeView::TTreeView(TComponent* AOwner) : TWinControl(AOwner), items_(std::make_unique<TTreeNodes>(this)) {
  SetBounds(0, 0, 121, 97);
  SetColor(clWindow);
  SetTabStop(true);
}

TTreeView::~TTreeView() = default;

void TTreeView::BeforeDestruction() {
  DestroyWidget();
  TWinControl::BeforeDestruction();
}

void TTreeView::SetIndent(int Value) {
  indent_ = Value;
  if (auto* t = qobject_cast<QTreeWidget*>(Widget())) t->setIndentation(Value);
}

void TTreeView::SetShowRoot(bool Value) {
  show_root_ = Value;
  if (auto* t = qobject_cast<QTreeWidget*>(Widget())) t->setRootIsDecorated(Value);
}

void TTreeView::SetSelected(TTreeNode* Value) {
  if (Value == selected_) return;
  selected_ = Value;
  if (auto* t = qobject_cast<QTreeWidget*>(Widget()))
    t->setCurrentItem(Value != nullptr ? ItemOf(Value, Value->item_) : nullptr);
  on_change_(this, Value);
}

void TTreeView::FullExpand() {
  for (TTreeNode* n : items_->roots_) n->Expand(true);
}

void TTreeView::FullCollapse() {
  for (TTreeNode* n : items_->roots_) n->Collapse(true);
}

void TTreeView::SelectionFromWidget() {
  auto* t = qobject_cast<QTreeWidget*>(Widget());
  if (t == nullptr) return;
  QTreeWidgetItem* item = t->currentItem();
  auto* node = item != nullptr ? reinterpret_cast<TTreeNode*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
  if (node == selected_) return;
  selected_ = node;
  on_change_(this, node);
}

QWidget* TTreeView::CreateWidget(QWidget* ParentWidget) {
  auto* t = new QTreeWidget(ParentWidget);
  t->setColumnCount(1);
  t->setHeaderHidden(true);
  t->header()->setStretchLastSection(true);
  QObject::connect(t, &QTreeWidget::currentItemChanged, [this] {
    TEventScope scope;
    try {
      SelectionFromWidget();
    } catch (...) {
      HandleEventException(this);
    }
  });
  return t;
}

void TTreeView::BuildItems(TTreeNode* Node) {
  auto* item = Node->parent_ != nullptr ? new QTreeWidgetItem(ItemOf(Node->parent_, Node->parent_->item_))
                                        : new QTreeWidgetItem(static_cast<QTreeWidget*>(Widget()));
  item->setText(0, ToQ(Node->text_));
  item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(Node)));
  Node->item_ = item;
  for (TTreeNode* c : Node->children_) BuildItems(c);
  item->setExpanded(Node->expanded_);
}

void TTreeView::ForgetItems(TTreeNode* Node) {
  Node->item_ = nullptr;
  for (TTreeNode* c : Node->children_) ForgetItems(c);
}

void TTreeView::InitWidget() {
  TWinControl::InitWidget();
  auto* t = static_cast<QTreeWidget*>(Widget());
  t->setIndentation(indent_);
  t->setRootIsDecorated(show_root_);
  for (TTreeNode* n : items_->roots_) BuildItems(n);
  if (items_->update_count_ > 0) t->setUpdatesEnabled(false);
}

void TTreeView::DestroyWidget() {
  for (TTreeNode* n : items_->roots_) ForgetItems(n);
  TWinControl::DestroyWidget();
}

void TTreeView::ItemAdded(TTreeNode* Node) {
  if (Widget() == nullptr) return;
  BuildItems(Node);
}

void TTreeView::ItemRemoved(TTreeNode* Node) {
  if (selected_ != nullptr && Contains(Node, selected_)) selected_ = nullptr;
  if (Node->item_ == nullptr) return;
  QTreeWidgetItem* item = ItemOf(Node, Node->item_);
  ForgetItems(Node);
  delete item;  // removes it (and its children) from the widget
}

void TTreeView::ItemsCleared() {
  selected_ = nullptr;
  for (TTreeNode* n : items_->roots_) ForgetItems(n);
  if (auto* t = qobject_cast<QTreeWidget*>(Widget())) t->clear();
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitComCtrls() {
  RegisterClass<TMonthCalendar, TWinControl>("TMonthCalendar")
      .Prop("AutoSize", &TMonthCalendar::AutoSize, &TMonthCalendar::SetAutoSize, true)
      .Prop("Date", &TMonthCalendar::Date, &TMonthCalendar::SetDate)
      .Prop("FirstDayOfWeek", &TMonthCalendar::FirstDayOfWeek, &TMonthCalendar::SetFirstDayOfWeek, dowLocaleDefault)
      .Prop("ShowToday", &TMonthCalendar::ShowToday, &TMonthCalendar::SetShowToday, true)
      .Prop("WeekNumbers", &TMonthCalendar::WeekNumbers, &TMonthCalendar::SetWeekNumbers, false);
  RegisterClass<TTreeView, TWinControl>("TTreeView")
      .Prop("Color", &TControl::Color, &TControl::SetColor, clWindow)
      .Stored(&TControl::IsColorStored)
      .Prop("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false)
      .Prop("HideSelection", &TTreeView::HideSelection, &TTreeView::SetHideSelection, true)
      .Prop("Indent", &TTreeView::Indent, &TTreeView::SetIndent)
      .Prop("ReadOnly", &TTreeView::ReadOnly, &TTreeView::SetReadOnly, false)
      .Prop("ShowLines", &TTreeView::ShowLines, &TTreeView::SetShowLines, true)
      .Prop("ShowRoot", &TTreeView::ShowRoot, &TTreeView::SetShowRoot, true)
      .Prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true)
      .Event("OnChange", &TTreeView::OnChange, &TTreeView::SetOnChange);
  RegisterListViewClasses();
}

constexpr const TUnit* kUses[] = {&unit_Controls, &unit_ImgList};

}  // namespace

constinit const TUnit unit_ComCtrls("ComCtrls", kUses, InitComCtrls, nullptr);
