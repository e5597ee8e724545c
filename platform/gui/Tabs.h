// TTabSet: a row of tabs along the bottom of a window (one caption per line
// of Tabs), one of them selected.
//
// Tabs lie from StartMargin on, each as wide as its caption plus 2 x 6
// pixels, drawn from FirstIndex while they fit before EndMargin; the
// selected one is drawn in SelectedColor, the others in UnselectedColor, on
// BackgroundColor. A left press on a tab selects it. Selecting (by the mouse
// or by TabIndex) first asks OnChange, which may refuse; a change that
// happens runs Click (OnClick). A selected tab that does not show scrolls
// into view. When the tabs change and TabIndex is past the last one it
// becomes the last (-1 with no tabs), without OnChange.
//
// Thin: there are no scroll buttons (tabs that do not fit are reached by
// selecting them or by FirstIndex), and DitherBackground is kept only.
#pragma once

#include <memory>

#include "platform/gui/Controls.h"
#include "platform/rtl/StringList.h"

using TTabChangeEvent = Event<void(TObject* Sender, int NewTab, bool& AllowChange)>;

class TTabSet : public TCustomControl {
 public:
  explicit TTabSet(TComponent* AOwner);
  ~TTabSet() override;

  TStrings* Tabs() const { return tabs_.get(); }
  void SetTabs(TStrings* Value) { tabs_->Assign(Value); }
  int TabIndex() const { return tab_index_; }
  // -1 selects none; out of range raises EInvalidOperation.
  void SetTabIndex(int Value);
  int FirstIndex() const { return first_index_; }
  void SetFirstIndex(int Value);
  // Selects the next (previous) tab, wrapping round.
  void SelectNext(bool Direction);
  int VisibleTabs() const;
  // The rectangle of tab Index in client coordinates (empty when it does
  // not show).
  TRect TabRect(int Index) const;
  // The tab under a client point, or -1.
  int ItemAtPos(TPoint Pos) const;

  int StartMargin() const { return start_margin_; }
  void SetStartMargin(int Value);
  int EndMargin() const { return end_margin_; }
  void SetEndMargin(int Value);
  TColor SelectedColor() const { return selected_color_; }
  void SetSelectedColor(TColor Value);
  TColor UnselectedColor() const { return unselected_color_; }
  void SetUnselectedColor(TColor Value);
  TColor BackgroundColor() const { return background_color_; }
  void SetBackgroundColor(TColor Value);
  bool DitherBackground() const { return dither_background_; }
  void SetDitherBackground(bool Value) { dither_background_ = Value; }

  const TTabChangeEvent& OnChange() const { return on_change_; }
  void SetOnChange(TTabChangeEvent Value) { on_change_ = std::move(Value); }

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  // Asks OnChange whether NewTab may be selected.
  virtual bool CanChange(int NewTab);

 private:
  void TabsChanged(TObject* Sender);
  int TabWidth(int Index) const;
  void ScrollInView(int Index);

  std::unique_ptr<TStringList> tabs_;
  int tab_index_ = -1;
  int first_index_ = 0;
  int start_margin_ = 5, end_margin_ = 5;
  TColor selected_color_ = clBtnFace, unselected_color_ = clWindow, background_color_ = clBtnFace;
  bool dither_background_ = true;
  TTabChangeEvent on_change_;
};

class TUnit;
extern const TUnit unit_Tabs;
