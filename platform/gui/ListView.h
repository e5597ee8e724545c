// TListView: a list of items in report view (one row per item, one column per
// TListColumn), with owner data, small images, a single selection, click and
// double click.
//
// Items. Without OwnerData the view holds its items (Items()->Add, Delete,
// Clear). With OwnerData it holds only their number (Items()->SetCount) and
// asks OnData for an item whenever it needs one: to draw a row, and for
// Items()->Item(i), Selected() and ItemFocused(). OnData gets a scratch item
// whose Index is set and whose Caption, ImageIndex and SubItems are empty;
// what it fills is used until the next request (keep no pointer to it).
//
// Columns: column 0 shows the Caption (and the SmallImages image of the
// item's ImageIndex, none for -1), column k the item's SubItems[k-1]. With no
// column the captions show in one column as wide as the view. Column headers
// show with ShowColumnHeaders.
//
// Selection: one item at most (ItemIndex, -1 for none; Selected). A change,
// by the user or by code, fires OnSelectItem for the item left (false) and
// then for the item chosen (true). ItemFocused is the item with the keyboard
// cursor, which need not be selected. The keys and the mouse select through
// the widget; a press on no item leaves the selection alone. Click and
// DblClick (OnClick, OnDblClick) come from the control's mouse messages.
//
// Thin: only report view is drawn (ViewStyle is kept for form data); the
// items cannot be edited in place (ReadOnly is kept); FlatScrollBars,
// ColumnClick and HideSelection are kept (the selection always shows).
#pragma once

#include <memory>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/ImgList.h"
#include "platform/rtl/Collection.h"
#include "platform/rtl/StringList.h"

RTL_ENUM(TViewStyle, vsIcon, vsSmallIcon, vsList, vsReport);

class TListView;

class TListColumn : public TCollectionItem {
 public:
  explicit TListColumn(TCollection* Collection) : TCollectionItem(Collection) {}
  const String& Caption() const { return caption_; }
  void SetCaption(const String& Value);
  int Width() const { return width_; }
  void SetWidth(int Value);
  void Assign(TPersistent* Source) override;

 protected:
  String GetDisplayName() const override;

 private:
  String caption_;
  int width_ = 50;
};

class TListColumns : public TOwnedCollection {
 public:
  explicit TListColumns(TListView* AOwner);
  TListColumn* Add() { return static_cast<TListColumn*>(TCollection::Add()); }
  TListColumn* Items(int Index) const { return static_cast<TListColumn*>(TCollection::Items(Index)); }
  TListView* Owner() const { return view_; }

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TListView* view_;
};

class TListItems;

class TListItem : public TPersistent {
 public:
  explicit TListItem(TListItems* AOwner);
  ~TListItem() override;
  TListItems* Owner() const { return owner_; }
  TListView* ListView() const;
  int Index() const { return index_; }
  const String& Caption() const { return caption_; }
  void SetCaption(const String& Value);
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int Value);
  TStrings* SubItems() const { return sub_items_.get(); }
  void* Data() const { return data_; }
  void SetData(void* Value) { data_ = Value; }
  bool Selected() const;
  void SetSelected(bool Value);
  bool Focused() const;
  void SetFocused(bool Value);
  // Scrolls the view so that the item shows.
  void MakeVisible(bool PartialOK = false);

 private:
  friend class TListItems;
  friend class TListView;
  void Reset(int AIndex);
  void Changed();

  TListItems* owner_;
  int index_ = -1;
  String caption_;
  int image_index_ = -1;
  std::unique_ptr<TStringList> sub_items_;
  void* data_ = nullptr;
  bool owner_data_scratch_ = false;
};

class TListItems : public TPersistent {
 public:
  explicit TListItems(TListView* AOwner) : owner_(AOwner) {}
  ~TListItems() override;
  TListView* Owner() const { return owner_; }
  int Count() const;
  // With OwnerData: the number of items; without: raises EInvalidOperation.
  void SetCount(int Value);
  // The item at Index (with OwnerData: the scratch item, filled by OnData);
  // raises EListError out of range.
  TListItem* Item(int Index) const;
  TListItem* operator[](int Index) const { return Item(Index); }
  // Without OwnerData: a new item at the end.
  TListItem* Add();
  void Delete(int Index);
  void Clear();
  void BeginUpdate();
  void EndUpdate();

 private:
  friend class TListItem;
  friend class TListView;
  void CheckOwnsItems() const;

  TListView* owner_;
  std::vector<std::unique_ptr<TListItem>> items_;
  int count_ = 0;  // with OwnerData
  int update_count_ = 0;
};

using TLVOwnerDataEvent = Event<void(TObject* Sender, TListItem* Item)>;
using TLVSelectItemEvent = Event<void(TObject* Sender, TListItem* Item, bool Selected)>;

class TListView : public TWinControl {
 public:
  explicit TListView(TComponent* AOwner);
  ~TListView() override;
  void BeforeDestruction() override;

  TListColumns* Columns() const { return columns_.get(); }
  void SetColumns(TListColumns* Value) { columns_->Assign(Value); }
  TListItems* Items() const { return items_.get(); }
  TViewStyle ViewStyle() const { return view_style_; }
  void SetViewStyle(TViewStyle Value) { view_style_ = Value; }
  bool OwnerData() const { return owner_data_; }
  // Changing it drops the items.
  void SetOwnerData(bool Value);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool Value) { read_only_ = Value; }
  bool RowSelect() const { return row_select_; }
  void SetRowSelect(bool Value);
  bool FlatScrollBars() const { return flat_scroll_bars_; }
  void SetFlatScrollBars(bool Value) { flat_scroll_bars_ = Value; }
  bool ColumnClick() const { return column_click_; }
  void SetColumnClick(bool Value) { column_click_ = Value; }
  bool HideSelection() const { return hide_selection_; }
  void SetHideSelection(bool Value) { hide_selection_ = Value; }
  bool ShowColumnHeaders() const { return show_column_headers_; }
  void SetShowColumnHeaders(bool Value);
  TCustomImageList* SmallImages() const { return small_images_; }
  void SetSmallImages(TCustomImageList* Value);

  int ItemIndex() const { return item_index_; }
  // -1 clears the selection; out of range raises EListError.
  void SetItemIndex(int Value);
  TListItem* Selected() const;
  void SetSelected(TListItem* Value) { SetItemIndex(Value != nullptr ? Value->Index() : -1); }
  TListItem* ItemFocused() const;
  void SetItemFocused(TListItem* Value);
  // Scrolls by DX, DY pixels.
  void Scroll(int DX, int DY);
  // The first item shown (nullptr when empty).
  TListItem* TopItem() const;

  const TLVOwnerDataEvent& OnData() const { return on_data_; }
  void SetOnData(TLVOwnerDataEvent Value) { on_data_ = std::move(Value); }
  const TLVSelectItemEvent& OnSelectItem() const { return on_select_item_; }
  void SetOnSelectItem(TLVSelectItemEvent Value) { on_select_item_ = std::move(Value); }

  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  void DestroyWidget() override;
  bool ColorIsBase() const override { return true; }
  // An item the view needs (owner data: the scratch item filled by OnData).
  TListItem* GetItem(int Index) const;

 private:
  friend class TListColumns;
  friend class TListItems;
  friend class TListItem;
  class Model;
  void ColumnsChanged();
  void ItemsChanged();
  void ItemChanged(int Index);
  void ImagesChanged(TObject* Sender);
  void SelectionFromWidget();
  void SelectInWidget();
  void ChangeSelection(int Value);

  std::unique_ptr<TListColumns> columns_;
  std::unique_ptr<TListItems> items_;
  std::unique_ptr<TListItem> scratch_;
  std::unique_ptr<TChangeLink> image_link_;
  Model* model_ = nullptr;
  TViewStyle view_style_ = vsIcon;
  bool owner_data_ = false;
  bool read_only_ = false;
  bool row_select_ = false;
  bool flat_scroll_bars_ = false;
  bool column_click_ = true;
  bool hide_selection_ = true;
  bool show_column_headers_ = true;
  bool syncing_ = false;
  TCustomImageList* small_images_ = nullptr;
  int item_index_ = -1;
  int focused_index_ = -1;
  TLVOwnerDataEvent on_data_;
  TLVSelectItemEvent on_select_item_;
};

// Registers TListColumn, TListColumns and TListView for form streaming
// (called by the ComCtrls unit).
void RegisterListViewClasses();
