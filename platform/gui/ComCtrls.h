// Tree view with its nodes.
//
// TTreeNodes keeps the node tree itself (the widget mirrors it while it
// exists). Item(Index) and AbsoluteIndex count nodes in tree order (a node,
// then its children, depth first); the order is cached and rebuilt after an
// insertion that does not append at the end, so scanning every node by index
// costs one rebuild plus one step per node. Node data is an untyped pointer.
#pragma once

#include <memory>
#include <vector>

#include "platform/gui/Controls.h"

RTL_DECLARE_EXCEPTION(ETreeViewError, Exception);

class TTreeNodes;
class TTreeView;

class TTreeNode : public TPersistent {
 public:
  ~TTreeNode() override;

  TTreeNodes* Owner() const { return owner_; }
  TTreeView* TreeView() const;
  TTreeNode* Parent() const { return parent_; }
  const String& Text() const { return text_; }
  void SetText(const String& Value);
  void* Data() const { return data_; }
  void SetData(void* Value) { data_ = Value; }
  int Count() const { return static_cast<int>(children_.size()); }
  TTreeNode* Item(int Index) const;
  bool HasChildren() const { return !children_.empty(); }
  TTreeNode* GetFirstChild() const { return children_.empty() ? nullptr : children_.front(); }
  TTreeNode* GetLastChild() const { return children_.empty() ? nullptr : children_.back(); }
  TTreeNode* GetNextSibling() const;
  TTreeNode* GetPrevSibling() const;
  // Position among the siblings.
  int Index() const;
  // Position in tree order over all nodes.
  int AbsoluteIndex() const;
  // 0 for top-level nodes.
  int Level() const;
  bool Expanded() const { return expanded_; }
  void SetExpanded(bool Value);
  void Expand(bool Recurse);
  void Collapse(bool Recurse);
  // Removes and frees the node and its children.
  void Delete();

 private:
  friend class TTreeNodes;
  friend class TTreeView;
  explicit TTreeNode(TTreeNodes* Owner) : owner_(Owner) {}

  TTreeNodes* owner_;
  TTreeNode* parent_ = nullptr;
  std::vector<TTreeNode*> children_;
  String text_;
  void* data_ = nullptr;
  bool expanded_ = false;
  void* item_ = nullptr;  // the widget's item while the widget exists
};

class TTreeNodes : public TPersistent {
 public:
  explicit TTreeNodes(TTreeView* Owner);
  ~TTreeNodes() override;

  TTreeView* Owner() const { return owner_; }
  // Number of nodes at every level.
  int Count() const { return count_; }
  // Node by position in tree order (ETreeViewError when out of range).
  TTreeNode* Item(int Index) const;
  TTreeNode* GetFirstNode() const { return roots_.empty() ? nullptr : roots_.front(); }
  int TopLevelCount() const { return static_cast<int>(roots_.size()); }

  // Adds a node as the last sibling of Sibling (top level when nullptr).
  TTreeNode* Add(TTreeNode* Sibling, const String& S);
  TTreeNode* AddObject(TTreeNode* Sibling, const String& S, void* Ptr);
  // Adds a node as the last child of Parent (top level when nullptr).
  TTreeNode* AddChild(TTreeNode* Parent, const String& S);
  TTreeNode* AddChildObject(TTreeNode* Parent, const String& S, void* Ptr);
  void Delete(TTreeNode* Node);
  void Clear();
  void BeginUpdate();
  void EndUpdate();

 private:
  friend class TTreeNode;
  friend class TTreeView;
  TTreeNode* Attach(TTreeNode* Parent, const String& S, void* Ptr);
  void Detach(TTreeNode* Node);
  void Rebuild() const;

  TTreeView* owner_;
  std::vector<TTreeNode*> roots_;
  int count_ = 0;
  int update_count_ = 0;
  mutable std::vector<TTreeNode*> order_;
  mutable bool order_valid_ = true;
};

using TTVChangedEvent = Event<void(TObject* Sender, TTreeNode* Node)>;

class TTreeView : public TWinControl {
 public:
  explicit TTreeView(TComponent* AOwner);
  ~TTreeView() override;
  void BeforeDestruction() override;

  TTreeNodes* Items() const { return items_.get(); }
  int Indent() const { return indent_; }
  void SetIndent(int Value);
  bool ShowLines() const { return show_lines_; }
  void SetShowLines(bool Value) { show_lines_ = Value; }
  bool ShowRoot() const { return show_root_; }
  void SetShowRoot(bool Value);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool Value) { read_only_ = Value; }
  bool HideSelection() const { return hide_selection_; }
  void SetHideSelection(bool Value) { hide_selection_ = Value; }
  TTreeNode* Selected() const { return selected_; }
  void SetSelected(TTreeNode* Value);
  void FullExpand();
  void FullCollapse();
  const TTVChangedEvent& OnChange() const { return on_change_; }
  void SetOnChange(TTVChangedEvent Value) { on_change_ = std::move(Value); }

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  void DestroyWidget() override;
  bool ColorIsBase() const override { return true; }

 private:
  friend class TTreeNodes;
  friend class TTreeNode;
  void ItemAdded(TTreeNode* Node);
  void ItemRemoved(TTreeNode* Node);
  void ItemsCleared();
  void BuildItems(TTreeNode* Node);
  void ForgetItems(TTreeNode* Node);
  void SelectionFromWidget();

  std::unique_ptr<TTreeNodes> items_;
  int indent_ = 19;
  bool show_lines_ = true;
  bool show_root_ = true;
  bool read_only_ = false;
  bool hide_selection_ = true;
  TTreeNode* selected_ = nullptr;
  TTVChangedEvent on_change_;
};

class TUnit;
extern const TUnit unit_ComCtrls;

// A month calendar drawn by the platform (ComCtrls_Calendar.cpp): a title
// (previous-month button, "month year", next-month button), the day names
// from FirstDayOfWeek, six weeks of days (the days of the neighbouring
// months greyed), optional week numbers at the left, and a "Today:" line.
// Sizes follow the font; MCM_GETMINREQRECT gives the whole calendar's
// rectangle, and AutoSize keeps the control at that size.
//
// Date is the selected day (time of day dropped). The mouse: a press on a
// day selects it (a day of a neighbouring month moves there), on a title
// button moves a month, on the today line selects today. Keys (the calendar
// wants the arrows): Left/Right a day, Up/Down a week, Page Up/Down a month
// (with Ctrl a year), Home/End the month's first/last day. A mouse click
// runs OnClick after the press changed Date. The wheel takes the control's path
// (DoMouseWheel...), the calendar does not scroll by it.
//
// MCM_HITTEST (LParam MCHITTESTINFO*, pt in client coordinates) answers
// what lies at the point in uHit (and Result), and the date in st for days
// and the today line.
struct SYSTEMTIME {
  Word wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0, wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};
struct MCHITTESTINFO {
  Cardinal cbSize = sizeof(MCHITTESTINFO);
  TPoint pt;
  Cardinal uHit = 0;
  SYSTEMTIME st;
};
inline constexpr Cardinal MCM_FIRST = 0x1000, MCM_GETMINREQRECT = MCM_FIRST + 9, MCM_HITTEST = MCM_FIRST + 14;
inline constexpr Cardinal MCHT_NOWHERE = 0x00000000, MCHT_TITLE = 0x00010000, MCHT_CALENDAR = 0x00020000,
                          MCHT_TODAYLINK = 0x00030000, MCHT_NEXT = 0x01000000, MCHT_PREV = 0x02000000,
                          MCHT_TITLEBK = MCHT_TITLE, MCHT_TITLEMONTH = MCHT_TITLE | 0x0001,
                          MCHT_TITLEYEAR = MCHT_TITLE | 0x0002, MCHT_TITLEBTNNEXT = MCHT_TITLE | MCHT_NEXT | 0x0003,
                          MCHT_TITLEBTNPREV = MCHT_TITLE | MCHT_PREV | 0x0003, MCHT_CALENDARBK = MCHT_CALENDAR,
                          MCHT_CALENDARDATE = MCHT_CALENDAR | 0x0001,
                          MCHT_CALENDARDATENEXT = MCHT_CALENDARDATE | MCHT_NEXT,
                          MCHT_CALENDARDATEPREV = MCHT_CALENDARDATE | MCHT_PREV,
                          MCHT_CALENDARDAY = MCHT_CALENDAR | 0x0002, MCHT_CALENDARWEEKNUM = MCHT_CALENDAR | 0x0003;

RTL_ENUM(TCalDayOfWeek, dowMonday, dowTuesday, dowWednesday, dowThursday, dowFriday, dowSaturday, dowSunday,
         dowLocaleDefault);

class TMonthCalendar : public TWinControl {
 public:
  explicit TMonthCalendar(TComponent* AOwner);
  ~TMonthCalendar() override;

  TDateTime Date() const { return date_; }
  void SetDate(TDateTime Value);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value);
  TCalDayOfWeek FirstDayOfWeek() const { return first_day_; }
  void SetFirstDayOfWeek(TCalDayOfWeek Value);
  bool WeekNumbers() const { return week_numbers_; }
  void SetWeekNumbers(bool Value);
  bool ShowToday() const { return show_today_; }
  void SetShowToday(bool Value);
  // The calendar's size (MCM_GETMINREQRECT).
  TRect MinReqRect() const;
  // What lies at a client point (MCM_HITTEST); Date gets the day's date.
  Cardinal HitTest(TPoint P, TDateTime* Date) const;

  void DefaultHandler(TMessage& Message) override;
  void PaintWindow(HDC DC) override;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  // The window made: the automatic size once more (a descendant's hook
  // runs by then).
  void InitWidget() override;
  void FontChanged() override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  // Sets Date from the user's input.
  void UserDate(TDateTime Value);
  // With AutoSize, the size the calendar takes whenever what it shows
  // changes: the base answers MinReqRect's size and true; a descendant may
  // change the size (a border around it) or refuse (false: no change).
  virtual bool CanAutoSize(int& NewWidth, int& NewHeight);
  // Applies CanAutoSize when AutoSize is set.
  void AdjustSize();

 private:
  struct Layout;
  Layout Measure() const;
  // The first day shown (the grid's top-left).
  TDateTime FirstShown() const;
  int FirstDay() const;  // 0 Monday .. 6 Sunday

  TDateTime date_ = 0;
  bool auto_size_ = true, week_numbers_ = false, show_today_ = true;
  TCalDayOfWeek first_day_ = dowLocaleDefault;
  std::unique_ptr<TCanvas> canvas_;
};
