// ToolCtrlsEh: the shared pieces of the grid library's editors.
//
//  - Edit buttons: the settings of one button (TEditButtonEh, and
//    TVisibleEditButtonEh, visible with Alt+Down by default), their
//    collection (TEditButtonsEh) and the button window (TEditButtonControlEh;
//    TSpeedButtonEh publishes Active and Style). A button reports presses
//    through OnDown (an up/down button again after 400 ms and then every
//    100 ms while held, through its window timer) and clicks through OnClick.
//  - The face painter (PaintButtonControlEh): drop-down arrow, ellipsis,
//    up/down pair, check box, plus and minus in the classic look (visual
//    themes are off on this platform). Each distinct face is drawn once into
//    a bitmap of the global cache and copied from there afterwards.
//  - Placement of a drop-down window below or above its editor within the
//    work area of the editor's monitor; the window learns the side it got
//    through WM_USER+100 (WParam 0: aligned at its right, 1: at its left,
//    2: above, 3: below).
//  - IPopupOwnerEh: how a drop-down hands its result to the editor that owns
//    it (Supports<IPopupOwnerEh>(Owner()) then CloseUp(Accept)).
//  - Shared routines: default button width, variant equality, centred
//    images, check-box metrics, dotted lines and tree elements.
//  - TMRUListEh: the most-recently-used entries of an editor.
//  - The size grip of drop-down windows (TSizeGripEh) and the popup list
//    boxes (TPopupListboxEh, and TMRUListboxEh with a scroll bar of its own).
//  - Field lists by ";"-separated names, TSpecRowEh (the special first row
//    of drop-down lists), TDataLinkEh (a data link with a data-event
//    callback) and TDatasetFieldValueListEh (the sorted distinct values of a
//    dataset field).
//
// The unit's initialization makes the bitmap cache, computes the default
// button width and reads the check-box metrics; its finalization frees the
// cache.
#pragma once

#include <memory>
#include <vector>

#include "platform/db/DB.h"
#include "platform/gui/Buttons.h"
#include "platform/gui/Controls.h"
#include "platform/gui/DBCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GDI.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/ScrollBars.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Collection.h"
#include "platform/rtl/Interfaces.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Variants.h"

// ---------------------------------------------------------------------------
// Edit buttons

RTL_ENUM(TEditButtonStyleEh, ebsDropDownEh, ebsEllipsisEh, ebsGlyphEh, ebsUpDownEh, ebsPlusEh, ebsMinusEh);
// Faces of the painter.
RTL_ENUM(TButtonPaintKindEh, bpkDropDownEh, bpkEllipsisEh, bpkUpDownEh, bpkCheckBoxEh, bpkPlusEh, bpkMinusEh);

// The paint kind of a button style (ebsGlyphEh has none: its glyph is drawn
// by the speed button; the drop-down arrow is answered for it).
TButtonPaintKindEh ButtonStyleToPaintKind(TEditButtonStyleEh Style);

using TButtonClickEventEh = Event<void(TObject* Sender, bool& Handled)>;
using TButtonDownEventEh = Event<void(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled)>;

// Message to a drop-down window telling it which side of its editor it
// opened on (WParam as above).
inline constexpr Cardinal CM_DROPDOWNSIDEEH = WM_USER + 100;

class TEditButtonControlEh;

// The settings of one edit button.
class TEditButtonEh : public TCollectionItem {
 public:
  // A stand-alone main button of EditControl (no collection).
  explicit TEditButtonEh(TWinControl* EditControl);
  // An item of a collection (the editor's EditButtons).
  explicit TEditButtonEh(TCollection* Collection);
  ~TEditButtonEh() override;
  void Assign(TPersistent* Source) override;

  TPopupMenu* DropdownMenu() const { return dropdown_menu_; }
  void SetDropdownMenu(TPopupMenu* Value) { dropdown_menu_ = Value; }
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* Value);
  const String& Hint() const { return hint_; }
  void SetHint(const String& Value);
  int NumGlyphs() const { return num_glyphs_; }
  // Clamped to 1..4.
  void SetNumGlyphs(int Value);
  TShortCut ShortCut() const { return short_cut_; }
  void SetShortCut(TShortCut Value) { short_cut_ = Value; }
  TEditButtonStyleEh Style() const { return style_; }
  void SetStyle(TEditButtonStyleEh Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  // 0: the editor's default width.
  int Width() const { return width_; }
  void SetWidth(int Value);
  const TButtonClickEventEh& OnClick() const { return on_click_; }
  void SetOnClick(TButtonClickEventEh Value) { on_click_ = std::move(Value); }
  const TButtonDownEventEh& OnDown() const { return on_down_; }
  void SetOnDown(TButtonDownEventEh Value) { on_down_ = std::move(Value); }

  // The edit control that owns a stand-alone button (nullptr for items).
  TWinControl* EditControl() const { return edit_control_; }
  // Runs instead of the collection's change notification when bound; the
  // argument is the button.
  const TNotifyEvent& OnChanged() const { return on_changed_; }
  void SetOnChanged(TNotifyEvent Value) { on_changed_ = std::move(Value); }

  // A button window owned by the edit control and placed on it (width 10,
  // height 17, visible, not transparent).
  virtual TEditButtonControlEh* CreateEditButtonControl();

 protected:
  // After a setting changed: OnChanged when bound, else the collection's
  // change notification for this item.
  void EditButtonChanged();

  bool visible_ = false;
  TShortCut short_cut_ = 0;

 private:
  void Init();

  TWinControl* edit_control_ = nullptr;
  TPopupMenu* dropdown_menu_ = nullptr;
  std::unique_ptr<TBitmap> glyph_;
  String hint_;
  int num_glyphs_ = 1;
  TEditButtonStyleEh style_ = ebsDropDownEh;
  int width_ = 0;
  TButtonClickEventEh on_click_;
  TButtonDownEventEh on_down_;
  TNotifyEvent on_changed_;
};

// Visible by default, with Alt+Down as its shortcut.
class TVisibleEditButtonEh : public TEditButtonEh {
 public:
  explicit TVisibleEditButtonEh(TWinControl* EditControl);
  explicit TVisibleEditButtonEh(TCollection* Collection);

  static constexpr TShortCut kDefaultShortCut = scAlt + VK_DOWN;  // 32808
};

// The extra buttons of an editor.
class TEditButtonsEh : public TCollection {
 public:
  TEditButtonsEh(TPersistent* Editor, TCollectionItemClass ItemClass);

  TEditButtonEh* Items(int Index) const { return static_cast<TEditButtonEh*>(TCollection::Items(Index)); }
  TEditButtonEh* Add() { return static_cast<TEditButtonEh*>(TCollection::Add()); }
  TPersistent* GetOwner() override { return editor_; }
  // Fires after each change of the collection (the collection as argument).
  const TNotifyEvent& OnChanged() const { return on_changed_; }
  void SetOnChanged(TNotifyEvent Value) { on_changed_ = std::move(Value); }

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TPersistent* editor_;
  TNotifyEvent on_changed_;
};

// The window of one edit button.
class TEditButtonControlEh : public TSpeedButton {
 public:
  explicit TEditButtonControlEh(TComponent* AOwner);

  TEditButtonStyleEh Style() const { return style_; }
  void SetStyle(TEditButtonStyleEh Value);
  // Drawn as the hot button of a flat editor.
  bool Active() const { return active_; }
  void SetActive(bool Value);
  // Kept pressed while the editor's drop-down is open.
  bool AlwaysDown() const { return always_down_; }
  void SetAlwaysDown(bool Value);
  // The pressed part: 0 none, 1 the upper half or the whole button, 2 the
  // lower half of an up/down pair.
  int ButtonNum() const { return button_num_; }
  const TButtonDownEventEh& OnDown() const { return on_down_; }
  void SetOnDown(TButtonDownEventEh Value) { on_down_ = std::move(Value); }
  // Fires OnDown with this control as Sender (its Handled is not used).
  void EditButtonDown(bool TopButton, bool& AutoRepeat);
  // The auto-repeat timer (nullptr before the first press that repeats).
  TTimer* RepeatTimer() const { return timer_; }

  void Click() override;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Paint() override;

 private:
  bool Pressed() const { return state_ == bsDown || state_ == bsExclusive; }
  void UpdateButtonNum(int Y);
  void StartRepeat(Cardinal Interval);
  void RepeatTick(TObject* Sender);

  TEditButtonStyleEh style_ = ebsDropDownEh;
  bool active_ = false;
  bool always_down_ = false;
  int button_num_ = 0;
  bool no_click_ = false;
  TButtonDownEventEh on_down_;
  TTimer* timer_ = nullptr;
};

// The button class of the calculator's keys: Active and Style published.
class TSpeedButtonEh : public TEditButtonControlEh {
 public:
  using TEditButtonControlEh::TEditButtonControlEh;
};

// ---------------------------------------------------------------------------
// The face painter and its bitmap cache

// The key of one cached face. Negative sizes are kept as 0.
struct TButtonBitmapInfoEh {
  int Width = 0;
  int Height = 0;
  TButtonPaintKindEh PaintKind = bpkDropDownEh;
  bool Flat = false;
  bool Pressed = false;
  bool Active = false;
  bool Enabled = true;
  // The lower half of an up/down pair.
  bool DownButton = false;
  TCheckBoxState CheckState = cbUnchecked;
  friend bool operator==(const TButtonBitmapInfoEh&, const TButtonBitmapInfoEh&) = default;
};

// One cached face: its key and its bitmap (owned).
class TButtonBitmapInfoBitmapEh : public TObject {
 public:
  TButtonBitmapInfoBitmapEh(const TButtonBitmapInfoEh& Info, std::unique_ptr<TBitmap> Bitmap);
  const TButtonBitmapInfoEh& BitmapInfo() const { return info_; }
  TBitmap* Bitmap() const { return bitmap_.get(); }

 private:
  TButtonBitmapInfoEh info_;
  std::unique_ptr<TBitmap> bitmap_;
};

// The faces drawn so far, searched front to back.
class TButtonsBitmapCache : public TObject {
 public:
  // The bitmap of the face, drawn into a new entry when it is not cached.
  TBitmap* GetButtonBitmap(const TButtonBitmapInfoEh& Info);
  int Count() const { return static_cast<int>(entries_.size()); }
  TButtonBitmapInfoBitmapEh* Items(int Index) const { return entries_.at(static_cast<size_t>(Index)).get(); }
  void Clear() { entries_.clear(); }

 private:
  std::vector<std::unique_ptr<TButtonBitmapInfoBitmapEh>> entries_;
};

// The global cache (made by the unit's initialization, nullptr before).
TButtonsBitmapCache* ButtonsBitmapCache();
// Whether the painter goes through the cache (on from the start).
extern bool UseButtonsBitmapCache;
// Empties the global cache (editors call it when the system colours change).
void ClearButtonsBitmapCache();

// Paints one button face into Rect of DC. Pressed: 0 none, else the pressed
// part (for an up/down pair 1 the upper, 2 the lower half); ParentColor
// fills flat frames and the gap between up/down halves.
void PaintButtonControlEh(HDC DC, TRect Rect, TColor ParentColor, TButtonPaintKindEh Kind, int Pressed, bool Flat,
                          bool Active, bool Enabled, TCheckBoxState State);

// ---------------------------------------------------------------------------
// Drop-down placement

// Where a drop-down of Width x Height goes against HostScreenRect inside
// WorkArea: its position and the size it is cut to, and the two side codes
// it is told (VerticalSide 2 above or 3 below, then HorizontalSide 0 right
// or 1 left).
struct TDropDownPlacementEh {
  TPoint Pos;
  int Width = 0;
  int Height = 0;
  int VerticalSide = 3;
  int HorizontalSide = 1;
};
TDropDownPlacementEh PlaceDropDownWindowEh(const TRect& HostScreenRect, int Width, int Height, TDropDownAlign Align,
                                           const TRect& WorkArea);

// Places DropDownWin against the host rectangle (screen coordinates) within
// the work area of the monitor nearest it: cuts its Width and Height to the
// room there, sends it CM_DROPDOWNSIDEEH with the vertical and then the
// horizontal side, and returns its screen position.
TPoint AlignDropDownWindowRect(const TRect& HostScreenRect, TWinControl* DropDownWin, TDropDownAlign Align);
// The same against Host's bounds on the screen.
TPoint AlignDropDownWindow(TWinControl* Host, TWinControl* DropDownWin, TDropDownAlign Align);

// ---------------------------------------------------------------------------
// The popup owner

// What a drop-down window's owner does with the shown value: CloseUp(true)
// takes it, CloseUp(false) drops it.
class IPopupOwnerEh {
 public:
  // {B64255B5-386A-4524-8BC7-7F49DDB410F4}
  static constexpr TGUID IID{0xB64255B5, 0x386A, 0x4524, {0x8B, 0xC7, 0x7F, 0x49, 0xDD, 0xB4, 0x10, 0xF4}};
  virtual void CloseUp(bool Accept) = 0;

 protected:
  ~IPopupOwnerEh() = default;
};

// ---------------------------------------------------------------------------
// Shared routines

// The width of an edit button: two thirds of the system font's height,
// odd, at most a vertical scroll bar's width (computed at start).
int DefaultEditButtonWidth();
// Width, or Width x 3 / 2 rounded when Flag is set.
int ScaleWidthByHalf(int Width, bool Flag);
// Variant equality for editor values: Null equals Null, Unassigned only
// Unassigned, arrays element by element over equal bounds of dimension 1;
// values that cannot be compared are unequal.
bool VarEqualsEh(const Variant& V1, const Variant& V2);
// Draws image ImageIndex of Images centred in Rect (clipped to it when it
// does not fit), blended with the highlight colour when Selected.
void DrawImageCentered(HDC DC, const TRect& Rect, TCustomImageList* Images, int ImageIndex, bool Selected);
// True when two presses Interval ms apart at P1 and P2 make a double click.
bool IsDoubleClickCandidate(TPoint P1, TPoint P2, int Interval);
// The size of the system check box (read at start).
int DefaultCheckBoxWidth();
int DefaultCheckBoxHeight();
// The check-box square inside a cell, placed by the alignment and layout.
TRect AdjustCheckBoxRect(const TRect& ClientRect, TAlignment Alignment, TTextLayout Layout);
// A dotted line of one-pixel dots from From, Length pixels along X
// (Horizontal) or Y, on the pixels whose X + Y is even (odd with Phase), in
// the canvas's pen colour; one dot every 2 x pen width pixels.
void DrawDotLine(TCanvas* Canvas, TPoint From, int Length, bool Phase, bool Horizontal);
// A tree element of the grid in Rect at scale VS (vertical) and HS
// (horizontal): kinds 0 to 2 a minus box, 3 to 5 a plus box, joined by
// dotted lines up and down (0, 3), up (1, 4) or down (2, 5) and to the
// right; kinds 6 to 9 lines only: through with a branch (6), up with a
// branch (7), down with a branch (8), through (9).
void DrawTreeElement(TCanvas* Canvas, const TRect& Rect, int Kind, double VS, double HS, bool Phase);

// ---------------------------------------------------------------------------
// The most-recently-used list

using TFilterMRUItemEventEh = Event<void(TObject* Sender, bool& Accept)>;
using TSetCloseUpEventEh = Event<void(TObject* Sender, bool Accept)>;

class TMRUListEh : public TPersistent {
 public:
  explicit TMRUListEh(TPersistent* AOwner);
  ~TMRUListEh() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override { return owner_; }

  bool AutoAdd() const { return auto_add_; }
  void SetAutoAdd(bool Value) { auto_add_ = Value; }
  bool Active() const { return active_; }
  void SetActive(bool Value);
  bool CaseSensitive() const { return case_sensitive_; }
  void SetCaseSensitive(bool Value) { case_sensitive_ = Value; }
  TStrings* Items() const { return items_.get(); }
  void SetItems(TStrings* Value) { items_->Assign(Value); }
  // At most Limit entries are kept (none with 0 or less); lowering it drops
  // the oldest.
  int Limit() const { return limit_; }
  void SetLimit(int Value);
  int Rows() const { return rows_; }
  void SetRows(int Value) { rows_ = Value; }

  // Remembers Value as the most recent entry (the last): an entry equal to
  // it (with or without case, by CaseSensitive) moves to the end, else it
  // is appended and the oldest entries beyond Limit go. Blank text is not
  // remembered.
  void Add(const String& Value);
  // Fills List with the entries that begin with MaskText (OnFilterItem may
  // decide otherwise); false when a key press was found waiting (checked
  // every 100 entries while CancelIfKeyInQueue), which ends the walk.
  bool FilterItemsTo(TStrings* List, const String& MaskText);

  // Fire OnSetCloseUp and OnSetDropDown; the editor binds them to its own
  // close-up and drop-down of the list.
  virtual void CloseUp(bool Accept);
  virtual void DropDown();

  bool DroppedDown() const { return dropped_down_; }
  void SetDroppedDown(bool Value) { dropped_down_ = Value; }
  // The width the user gave the drop-down (0: none yet).
  int Width() const { return width_; }
  void SetWidth(int Value) { width_ = Value; }
  bool CancelIfKeyInQueue() const { return cancel_if_key_in_queue_; }
  void SetCancelIfKeyInQueue(bool Value) { cancel_if_key_in_queue_ = Value; }

  const TNotifyEvent& OnActiveChanged() const { return on_active_changed_; }
  void SetOnActiveChanged(TNotifyEvent Value) { on_active_changed_ = std::move(Value); }
  const TFilterMRUItemEventEh& OnFilterItem() const { return on_filter_item_; }
  void SetOnFilterItem(TFilterMRUItemEventEh Value) { on_filter_item_ = std::move(Value); }
  const TSetCloseUpEventEh& OnSetCloseUp() const { return on_set_close_up_; }
  void SetOnSetCloseUp(TSetCloseUpEventEh Value) { on_set_close_up_ = std::move(Value); }
  const TNotifyEvent& OnSetDropDown() const { return on_set_drop_down_; }
  void SetOnSetDropDown(TNotifyEvent Value) { on_set_drop_down_ = std::move(Value); }

 private:
  void DeleteOverLimit();

  TPersistent* owner_;
  std::unique_ptr<TStringList> items_;
  bool auto_add_ = true;
  bool active_ = false;
  bool case_sensitive_ = false;
  int limit_ = 100;
  int rows_ = 7;
  bool dropped_down_ = false;
  int width_ = 0;
  bool cancel_if_key_in_queue_ = true;
  TNotifyEvent on_active_changed_;
  TFilterMRUItemEventEh on_filter_item_;
  TSetCloseUpEventEh on_set_close_up_;
  TNotifyEvent on_set_drop_down_;
};

// ---------------------------------------------------------------------------
// Field lists

using TFieldsArrEh = std::vector<TField*>;

// The fields of the ";"-separated FieldNames, each found with FindField; a
// missing name raises EDatabaseError "Field '%s' not found" for Component.
// Found fields are added to List when it is given.
void CollectFieldsByNames(std::vector<TField*>* List, TDataSet* DataSet, TComponent* Component,
                          const String& FieldNames);
void GetFieldsArrayByNames(TDataSet* DataSet, TComponent* Component, const String& FieldNames,
                           TFieldsArrEh& Fields);
// Null clears every field of the list; any other value is written through
// the dataset's FieldValues (an array for several fields).
void DataSetSetFieldValues(TDataSet* DataSet, const String& FieldNames, const Variant& Value);

// ---------------------------------------------------------------------------
// The special row

// The special first row of drop-down lists and lookup grids, with a value of
// its own (Null by default). Color and Font follow the owner's until they
// are written.
class TSpecRowEh : public TPersistent {
 public:
  explicit TSpecRowEh(TPersistent* AOwner);
  ~TSpecRowEh() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override { return owner_; }

  // The cell texts, ";"-separated (a cell in double quotes may hold ";").
  const String& CellsText() const { return cells_text_; }
  void SetCellsText(const String& Value);
  // The effective colour: its own once written, else the owner's when the
  // owner is a self-drawn control, else the stored one.
  TColor Color() const;
  void SetColor(TColor Value);
  // The font; until one is assigned it follows the owner control's font.
  TFont* Font();
  void SetFont(TFont* Value) { font_->Assign(Value); }
  TShortCut ShortCut() const { return short_cut_; }
  void SetShortCut(TShortCut Value) { short_cut_ = Value; }
  bool ShowIfNotInKeyList() const { return show_if_not_in_key_list_; }
  void SetShowIfNotInKeyList(bool Value);
  const Variant& Value() const { return value_; }
  void SetValue(const Variant& Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);

  bool ColorAssigned() const { return color_assigned_; }
  bool FontAssigned() const { return font_assigned_; }
  // Color and Font are stored in forms only once written.
  bool IsColorStored() const { return color_assigned_; }
  bool IsFontStored() const { return font_assigned_; }
  // The text of a column's cell; empty outside the cells.
  String GetCellText(int Index) const;
  int CellCount() const { return cells_->Count(); }
  void BeginUpdate() { ++update_count_; }
  void EndUpdate();
  // Fires after each change unless updates are held.
  const TNotifyEvent& OnChanged() const { return on_changed_; }
  void SetOnChanged(TNotifyEvent Value) { on_changed_ = std::move(Value); }

  static constexpr TShortCut kDefaultShortCut = scAlt + VK_DELETE;  // 32814

 private:
  void Changed();
  void FontChanged(TObject* Sender);

  TPersistent* owner_;
  String cells_text_;
  std::unique_ptr<TStringList> cells_;
  TColor color_ = clWindow;
  std::unique_ptr<TFont> font_;
  TShortCut short_cut_ = kDefaultShortCut;
  bool show_if_not_in_key_list_ = true;
  Variant value_;
  bool visible_ = false;
  bool color_assigned_ = false;
  bool font_assigned_ = false;
  int update_count_ = 0;
  TNotifyEvent on_changed_;
};

// ---------------------------------------------------------------------------
// Data link and the field value list

using TDataEventEh = Event<void(TDataEvent Event, NativeInt Info)>;

// A data link that passes every data event on to OnDataEvent.
class TDataLinkEh : public TDataLink {
 public:
  const TDataEventEh& OnDataEvent() const { return on_data_event_; }
  void SetOnDataEvent(TDataEventEh Value) { on_data_event_ = std::move(Value); }
  void DataEvent(TDataEvent Event, NativeInt Info) override;

 private:
  TDataEventEh on_data_event_;
};

// The values a column filter offers.
class IMemTableDataFieldValueListEh {
 public:
  // {28F8194C-5FF3-42C4-87A6-8B3E06210FA6}
  static constexpr TGUID IID{0x28F8194C, 0x5FF3, 0x42C4, {0x87, 0xA6, 0x8B, 0x3E, 0x06, 0x21, 0x0F, 0xA6}};
  virtual TStrings* GetValues() = 0;

 protected:
  ~IMemTableDataFieldValueListEh() = default;
};

// The sorted distinct texts of one field over all records of a dataset,
// read again when asked for after the dataset's data, properties or fields
// changed or it was opened or closed. Reading keeps the dataset's position.
class TDatasetFieldValueListEh : public TObject, public IMemTableDataFieldValueListEh {
 public:
  TDatasetFieldValueListEh();
  ~TDatasetFieldValueListEh() override;

  const String& FieldName() const { return field_name_; }
  void SetFieldName(const String& Value);
  TDataSet* DataSet() const { return data_source_->DataSet(); }
  void SetDataSet(TDataSet* Value);
  TStrings* GetValues() override;
  bool NeedsRefresh() const { return needs_refresh_; }

 protected:
  virtual void DataEvent(TDataEvent Event, NativeInt Info);

 private:
  void RefreshValues();

  std::unique_ptr<TStringList> values_;
  String field_name_;
  std::unique_ptr<TDataSource> data_source_;
  std::unique_ptr<TDataLinkEh> data_link_;
  bool needs_refresh_ = false;
  bool dataset_active_ = false;
};

// ---------------------------------------------------------------------------
// The size grip and the popup list boxes

// The corner control that resizes its parent (a drop-down window) by
// dragging, within the work area of the parent's monitor. Corner: 0
// top-left, 1 top-right, 2 bottom-right (the default), 3 bottom-left; a
// triangular grip's window is clipped to the triangle at its corner.
class TSizeGripEh : public TCustomControl {
 public:
  explicit TSizeGripEh(TComponent* AOwner);

  int Corner() const { return corner_; }
  // A new corner makes the window anew (region, position and cursor follow).
  void SetCorner(int Value);
  bool Triangular() const { return triangular_; }
  void SetTriangular(bool Value);
  // Shows or hides the grip's window only: Visible keeps its value.
  void SetVisible(bool Value) override;
  // Moves the window into its corner of the parent's client area.
  void UpdatePosition();
  // Follows the side a drop-down opened on (CM_DROPDOWNSIDEEH's codes): the
  // grip goes to the corner away from the editor.
  void ChangeCorner(int Side);
  // Fires when a drag changed the parent's client size.
  const TNotifyEvent& OnParentResized() const { return on_parent_resized_; }
  void SetOnParentResized(TNotifyEvent Value) { on_parent_resized_ = std::move(Value); }

  void Dispatch(TMessage& Message) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;

 protected:
  void InitWidget() override;
  void Paint() override;

 private:
  void UpdateWindowRegion();
  TCursor CornerCursor() const;

  int corner_ = 2;
  bool triangular_ = true;
  bool positioning_ = false;
  TPoint start_point_{}, last_point_{};
  int start_width_ = 0, start_height_ = 0, start_client_width_ = 0, start_client_height_ = 0;
  TNotifyEvent on_parent_resized_;
};

using TListGetImageIndexEventEh = Event<void(TObject* Sender, int ItemIndex, int& ImageIndex)>;

// The owner-drawn drop-down list of the editors: a top-level window above
// all others that never takes the focus (the editor keeps it and passes
// keys on), with a size grip, an optional image per item, incremental
// search by typing (restarting after a pause of more than 2000 ms of
// GetTickCount), hot tracking under the mouse and a height of whole rows.
class TPopupListboxEh : public TCustomListBox {
 public:
  explicit TPopupListboxEh(TComponent* AOwner);
  ~TPopupListboxEh() override;

  TSizeGripEh* SizeGrip() const { return size_grip_; }
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* Value);
  // Sender: the list box's Owner (the editor).
  const TListGetImageIndexEventEh& OnGetImageIndex() const { return on_get_image_index_; }
  void SetOnGetImageIndex(TListGetImageIndexEventEh Value) { on_get_image_index_ = std::move(Value); }
  // The whole rows the height shows (set by SetBounds).
  int RowCount() const { return row_count_; }
  // Height := ItemHeight x max(1, Rows) + the border height.
  void SetRowCount(int Rows);
  // An external list shown in virtual owner-draw mode (not owned; Count
  // says how many of its entries show); nullptr: the own Items.
  TStrings* GetItemsList() const { return items_list_; }
  void SetItemsList(TStrings* List);
  // Set by every WM_SIZE; the editor reads it on close-up.
  bool SizeGripResized() const { return size_grip_resized_; }
  void SetSizeGripResized(bool Value) { size_grip_resized_ = Value; }
  // The text typed for the incremental search.
  const String& SearchText() const { return search_text_; }
  // The non-client height of the window's styles plus twice the border.
  int GetBorderHeight() const;
  // The text height of the font.
  int GetTextHeight() const;

  // The height snaps down to whole rows (at least one).
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  bool CanFocus() const override;
  void Dispatch(TMessage& Message) override;
  void KeyPress(WideChar& Key) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The raised two-pixel border (with Ctl3D only).
  virtual void PaintBorder();
  // OnData: entry Index of ItemsList when one is set, else Text unchanged.
  virtual void GetItemText(TWinControl* Control, int Index, String& Text);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void InitWidget() override;
  void DrawItem(int Index, TRect Rect, TOwnerDrawState State) override;

 private:
  void WindowStyles(uint32_t& Style, uint32_t& ExStyle) const;
  void DrawItemWithImage(TMessage& Message);
  bool RightToLeft() const { return BiDiMode() == bdRightToLeft; }

  TSizeGripEh* size_grip_ = nullptr;
  TCustomImageList* images_ = nullptr;
  TListGetImageIndexEventEh on_get_image_index_;
  int row_count_ = 0;
  TStrings* items_list_ = nullptr;
  int border_width_ = 2;
  bool size_grip_resized_ = false;
  String search_text_;
  WideChar search_pending_ = 0;
  Cardinal search_time_ = 0;
  TPoint last_mouse_{-1, -1};
};

// The popup list box with a vertical scroll bar of its own beside the size
// grip (the drop-down of the most-recently-used entries).
class TMRUListboxEh : public TPopupListboxEh {
 public:
  explicit TMRUListboxEh(TComponent* AOwner);
  ~TMRUListboxEh() override;

  TScrollBar* ScrollBar() const { return scroll_bar_; }
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  void CreateParams(TCreateParams& Params) override;

 private:
  // The bar's window procedure: its scroll notifications scroll the list.
  void ScrollBarWndProc(TMessage& Message);
  void ResetScrollBarPosition();
  void UpdateMRUScrollBar();

  TScrollBar* scroll_bar_ = nullptr;
  TWndMethod scroll_bar_proc_;
  bool repositioning_ = false;
};

class TUnit;
extern const TUnit unit_ToolCtrlsEh;
