// TListView over a QTreeView and a table model that reads the items.
#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QScrollBar>
#include <QTreeView>

#include <map>

#include "platform/gui/GDI.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/ListView.h"
#include "platform/gui/QtGraphics.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

// ---------------------------------------------------------------------------
// Columns

void TListColumn::SetCaption(const String& Value) {
  if (Value == caption_) return;
  caption_ = Value;
  Changed(false);
}

void TListColumn::SetWidth(int Value) {
  if (Value == width_) return;
  width_ = Value;
  Changed(false);
}

void TListColumn::Assign(TPersistent* Source) {
  if (auto* c = dynamic_cast<TListColumn*>(Source)) {
    caption_ = c->caption_;
    width_ = c->width_;
    Changed(false);
    return;
  }
  TCollectionItem::Assign(Source);
}

String TListColumn::GetDisplayName() const { return caption_.empty() ? TCollectionItem::GetDisplayName() : caption_; }

TListColumns::TListColumns(TListView* AOwner)
    : TOwnedCollection(AOwner, &CollectionItemFactory<TListColumn>), view_(AOwner) {}

void TListColumns::Update(TCollectionItem*) { view_->ColumnsChanged(); }

// ---------------------------------------------------------------------------
// Items

TListItem::TListItem(TListItems* AOwner) : owner_(AOwner), sub_items_(std::make_unique<TStringList>()) {
  sub_items_->SetOnChange({this, [this](TObject*) { Changed(); }});
}

TListItem::~TListItem() = default;

TListView* TListItem::ListView() const { return owner_->Owner(); }

void TListItem::Reset(int AIndex) {
  index_ = AIndex;
  caption_.clear();
  image_index_ = -1;
  data_ = nullptr;
  sub_items_->BeginUpdate();
  sub_items_->Clear();
  sub_items_->EndUpdate();
}

void TListItem::Changed() {
  if (!owner_data_scratch_ && index_ >= 0) owner_->Owner()->ItemChanged(index_);
}

void TListItem::SetCaption(const String& Value) {
  if (Value == caption_) return;
  caption_ = Value;
  Changed();
}

void TListItem::SetImageIndex(int Value) {
  if (Value == image_index_) return;
  image_index_ = Value;
  Changed();
}

bool TListItem::Selected() const { return index_ >= 0 && ListView()->ItemIndex() == index_; }

void TListItem::SetSelected(bool Value) {
  if (Value) ListView()->SetItemIndex(index_);
  else if (Selected()) ListView()->SetItemIndex(-1);
}

bool TListItem::Focused() const { return index_ >= 0 && ListView()->focused_index_ == index_; }

void TListItem::SetFocused(bool Value) { ListView()->SetItemFocused(Value ? this : nullptr); }

void TListItem::MakeVisible(bool) {
  auto* t = qobject_cast<QTreeView*>(ListView()->Widget());
  if (t != nullptr && index_ >= 0) t->scrollTo(t->model()->index(index_, 0));
}

TListItems::~TListItems() = default;

int TListItems::Count() const { return owner_->OwnerData() ? count_ : static_cast<int>(items_.size()); }

void TListItems::SetCount(int Value) {
  if (!owner_->OwnerData()) throw EInvalidOperation("Items.Count can only be set in owner-data mode");
  if (Value < 0) Value = 0;
  if (Value == count_) return;
  count_ = Value;
  owner_->ItemsChanged();
}

void TListItems::CheckOwnsItems() const {
  if (owner_->OwnerData()) throw EInvalidOperation("An owner-data list view holds no items");
}

TListItem* TListItems::Item(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
  return owner_->GetItem(Index);
}

TListItem* TListItems::Add() {
  CheckOwnsItems();
  items_.push_back(std::make_unique<TListItem>(this));
  items_.back()->index_ = static_cast<int>(items_.size()) - 1;
  owner_->ItemsChanged();
  return items_.back().get();
}

void TListItems::Delete(int Index) {
  CheckOwnsItems();
  if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
  items_.erase(items_.begin() + Index);
  for (size_t i = static_cast<size_t>(Index); i < items_.size(); ++i) items_[i]->index_ = static_cast<int>(i);
  owner_->ItemsChanged();
}

void TListItems::Clear() {
  if (owner_->OwnerData()) {
    SetCount(0);
    return;
  }
  items_.clear();
  owner_->ItemsChanged();
}

void TListItems::BeginUpdate() { ++update_count_; }

void TListItems::EndUpdate() {
  if (update_count_ > 0 && --update_count_ == 0) owner_->ItemsChanged();
}

// ---------------------------------------------------------------------------
// The model the widget reads

class TListView::Model : public QAbstractTableModel {
 public:
  explicit Model(TListView* View) : view_(View) {}
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : view_->Items()->Count();
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : std::max(1, view_->Columns()->Count());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::DecorationRole)) return {};
    TListItem* item = nullptr;
    try {
      item = view_->GetItem(index.row());
    } catch (...) {
      HandleEventException(view_);
      return {};
    }
    if (role == Qt::DisplayRole) {
      if (index.column() == 0) return ToQ(item->Caption());
      int sub = index.column() - 1;
      return sub < item->SubItems()->Count() ? ToQ(item->SubItems()->Strings(sub)) : QString();
    }
    if (index.column() != 0 || view_->SmallImages() == nullptr || item->ImageIndex() < 0 ||
        item->ImageIndex() >= view_->SmallImages()->Count())
      return {};
    return Pixmap(item->ImageIndex());
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section >= view_->Columns()->Count()) return {};
    return ToQ(view_->Columns()->Items(section)->Caption());
  }
  void Reset() {
    beginResetModel();
    endResetModel();
  }
  void RowChanged(int Row) { emit dataChanged(index(Row, 0), index(Row, columnCount({}) - 1)); }
  void ImagesChanged() {
    pixmaps_.clear();
    if (rowCount({}) > 0) emit dataChanged(index(0, 0), index(rowCount({}) - 1, 0));
  }

 private:
  // Image Index of the small images, transparent where the list masks.
  QPixmap Pixmap(int Index) const {
    auto it = pixmaps_.find(Index);
    if (it != pixmaps_.end()) return it->second;
    TCustomImageList* list = view_->SmallImages();
    HBITMAP bitmap = CreateBitmap(list->Width(), list->Height(), 1, 32, nullptr);
    bitmap->image.fill(Qt::transparent);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(dc, bitmap);
    ImageList_DrawEx(list, Index, dc, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
    SelectObject(dc, old);
    DeleteDC(dc);
    QPixmap pixmap = QPixmap::fromImage(bitmap->image);
    DeleteObject(bitmap);
    pixmaps_.emplace(Index, pixmap);
    return pixmap;
  }

  TListView* view_;
  mutable std::map<int, QPixmap> pixmaps_;
};

// ---------------------------------------------------------------------------
// TListView

TListView::TListView(TComponent* AOwner)
    : TWinControl(AOwner),
      columns_(std::make_unique<TListColumns>(this)),
      items_(std::make_unique<TListItems>(this)),
      scratch_(std::make_unique<TListItem>(items_.get())),
      image_link_(std::make_unique<TChangeLink>()) {
  scratch_->owner_data_scratch_ = true;
  columns_->SetPropName("Columns");
  image_link_->SetOnChange({this, &TListView::ImagesChanged});
  SetBounds(Left(), Top(), 250, 150);
  SetColor(clWindow);
  SetParentColor(false);
  SetTabStop(true);
}

TListView::~TListView() = default;

void TListView::BeforeDestruction() {
  SetSmallImages(nullptr);
  TWinControl::BeforeDestruction();
}

void TListView::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == small_images_) SetSmallImages(nullptr);
}

void TListView::SetSmallImages(TCustomImageList* Value) {
  if (Value == small_images_) return;
  if (small_images_ != nullptr) {
    small_images_->UnRegisterChanges(image_link_.get());
    small_images_->RemoveFreeNotification(this);
  }
  small_images_ = Value;
  if (Value != nullptr) {
    Value->RegisterChanges(image_link_.get());
    Value->FreeNotification(this);
  }
  ImagesChanged(nullptr);
}

void TListView::ImagesChanged(TObject*) {
  if (model_ != nullptr) model_->ImagesChanged();
}

void TListView::SetOwnerData(bool Value) {
  if (Value == owner_data_) return;
  items_->items_.clear();
  items_->count_ = 0;
  owner_data_ = Value;
  ItemsChanged();
}

void TListView::SetRowSelect(bool Value) {
  row_select_ = Value;
  if (auto* t = qobject_cast<QTreeView*>(Widget())) t->setAllColumnsShowFocus(Value);
}

void TListView::SetShowColumnHeaders(bool Value) {
  show_column_headers_ = Value;
  if (auto* t = qobject_cast<QTreeView*>(Widget())) t->setHeaderHidden(!Value);
}

TListItem* TListView::GetItem(int Index) const {
  if (!owner_data_) return items_->items_[static_cast<size_t>(Index)].get();
  scratch_->Reset(Index);
  on_data_(const_cast<TListView*>(this), scratch_.get());
  return scratch_.get();
}

TListItem* TListView::Selected() const { return item_index_ >= 0 ? items_->Item(item_index_) : nullptr; }

TListItem* TListView::ItemFocused() const { return focused_index_ >= 0 ? items_->Item(focused_index_) : nullptr; }

TListItem* TListView::TopItem() const {
  auto* t = qobject_cast<QTreeView*>(Widget());
  if (items_->Count() == 0) return nullptr;
  int row = t != nullptr ? t->indexAt(QPoint(1, 1)).row() : 0;
  return items_->Item(row < 0 ? 0 : row);
}

void TListView::SetItemIndex(int Value) {
  if (Value < -1 || Value >= items_->Count()) throw EListError(Format("List index out of bounds (%d)", {Value}));
  if (Value >= 0) focused_index_ = Value;
  ChangeSelection(Value);
  SelectInWidget();
}

void TListView::SetItemFocused(TListItem* Value) {
  focused_index_ = Value != nullptr ? Value->Index() : -1;
  SelectInWidget();
}

void TListView::ChangeSelection(int Value) {
  if (Value == item_index_) return;
  int old = item_index_;
  item_index_ = Value;
  if (old >= 0 && old < items_->Count()) on_select_item_(this, items_->Item(old), false);
  if (Value >= 0) on_select_item_(this, items_->Item(Value), true);
}

void TListView::SelectInWidget() {
  auto* t = qobject_cast<QTreeView*>(Widget());
  if (t == nullptr || syncing_) return;
  syncing_ = true;
  QItemSelectionModel* s = t->selectionModel();
  if (focused_index_ >= 0) s->setCurrentIndex(model_->index(focused_index_, 0), QItemSelectionModel::NoUpdate);
  if (item_index_ >= 0)
    s->select(model_->index(item_index_, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  else
    s->clearSelection();
  syncing_ = false;
}

void TListView::SelectionFromWidget() {
  auto* t = qobject_cast<QTreeView*>(Widget());
  if (t == nullptr || syncing_) return;
  QModelIndex current = t->selectionModel()->currentIndex();
  focused_index_ = current.isValid() ? current.row() : -1;
  QModelIndexList rows = t->selectionModel()->selectedRows();
  ChangeSelection(rows.isEmpty() ? -1 : rows.first().row());
}

void TListView::Scroll(int DX, int DY) {
  auto* t = qobject_cast<QTreeView*>(Widget());
  if (t == nullptr) return;
  t->horizontalScrollBar()->setValue(t->horizontalScrollBar()->value() + DX);
  // The vertical bar counts rows (per-item scrolling): turn pixels into rows.
  int row = std::max(1, t->sizeHintForRow(0));
  if (t->verticalScrollMode() == QAbstractItemView::ScrollPerItem)
    t->verticalScrollBar()->setValue(t->verticalScrollBar()->value() + DY / row);
  else
    t->verticalScrollBar()->setValue(t->verticalScrollBar()->value() + DY);
}

void TListView::ColumnsChanged() {
  if (model_ == nullptr) return;
  model_->Reset();
  auto* t = static_cast<QTreeView*>(Widget());
  for (int i = 0; i < columns_->Count(); ++i) t->setColumnWidth(i, columns_->Items(i)->Width());
  SelectInWidget();
}

void TListView::ItemsChanged() {
  if (items_->update_count_ > 0) return;
  if (item_index_ >= items_->Count()) ChangeSelection(-1);
  if (focused_index_ >= items_->Count()) focused_index_ = -1;
  if (model_ == nullptr) return;
  syncing_ = true;
  model_->Reset();
  syncing_ = false;
  SelectInWidget();
}

void TListView::ItemChanged(int Index) {
  if (model_ != nullptr && items_->update_count_ == 0) model_->RowChanged(Index);
}

QWidget* TListView::CreateWidget(QWidget* ParentWidget) {
  auto* t = new QTreeView(ParentWidget);
  model_ = new Model(this);
  model_->setParent(t);
  t->setModel(model_);
  t->setRootIsDecorated(false);
  t->setItemsExpandable(false);
  t->setUniformRowHeights(true);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->header()->setStretchLastSection(false);
  t->header()->setSectionsMovable(false);
  auto sync = [this] {
    TEventScope scope;
    try {
      SelectionFromWidget();
    } catch (...) {
      HandleEventException(this);
    }
  };
  QObject::connect(t->selectionModel(), &QItemSelectionModel::selectionChanged, sync);
  QObject::connect(t->selectionModel(), &QItemSelectionModel::currentChanged, sync);
  return t;
}

void TListView::InitWidget() {
  TWinControl::InitWidget();
  auto* t = static_cast<QTreeView*>(Widget());
  t->setHeaderHidden(!show_column_headers_);
  t->setAllColumnsShowFocus(row_select_);
  if (columns_->Count() == 0) t->header()->setStretchLastSection(true);
  ColumnsChanged();
}

void TListView::DestroyWidget() {
  model_ = nullptr;
  TWinControl::DestroyWidget();
}

// ---------------------------------------------------------------------------
// Registration

void RegisterListViewClasses() {
  RegisterClass<TListColumn, TCollectionItem>("TListColumn")
      .Prop("Caption", &TListColumn::Caption, &TListColumn::SetCaption)
      .Prop("Width", &TListColumn::Width, &TListColumn::SetWidth, 50);
  RegisterClass<TListColumns, TCollection>("TListColumns");
  RegisterClass<TListView, TWinControl>("TListView")
      .Prop("Color", &TControl::Color, &TControl::SetColor, clWindow)
      .Stored(&TControl::IsColorStored)
      .Prop("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false)
      .Object("Columns", &TListView::Columns)
      .Prop("ColumnClick", &TListView::ColumnClick, &TListView::SetColumnClick, true)
      .Prop("FlatScrollBars", &TListView::FlatScrollBars, &TListView::SetFlatScrollBars, false)
      .Prop("HideSelection", &TListView::HideSelection, &TListView::SetHideSelection, true)
      .Prop("OwnerData", &TListView::OwnerData, &TListView::SetOwnerData, false)
      .Prop("ReadOnly", &TListView::ReadOnly, &TListView::SetReadOnly, false)
      .Prop("RowSelect", &TListView::RowSelect, &TListView::SetRowSelect, false)
      .Prop("ShowColumnHeaders", &TListView::ShowColumnHeaders, &TListView::SetShowColumnHeaders, true)
      .Prop("SmallImages", &TListView::SmallImages, &TListView::SetSmallImages)
      .Prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true)
      .Prop("ViewStyle", &TListView::ViewStyle, &TListView::SetViewStyle, vsIcon)
      .Event("OnData", &TListView::OnData, &TListView::SetOnData)
      .Event("OnSelectItem", &TListView::OnSelectItem, &TListView::SetOnSelectItem);
}
