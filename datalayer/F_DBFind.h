// TFormDBFind: a pop-up search frame hosting a TB_DBLookupList that
// searches a list dataset through SQL. It talks with its host only through
// WM_FRAMECOMMAND: 0 (is it active), 18 (a new search text), 40 (take the
// current row), 74 (the binding: its columns become the list's and the
// tabs), 76 (the list's extra filter), 79 (the owner control). A chosen row
// is sent to the owner as code 77 with the list's dataset; closing posts 2.
//
// GetFindFormClass chooses the frame a host creates: TFormDBFindList for
// true, TFormDBFind for false (installed at unit start).
#pragma once

#include "datalayer/B_DbL.h"
#include "datalayer/F_DBFin1.h"

class TFormDBFind : public TB_FrameControl {
 public:
  explicit TFormDBFind(TComponent* AOwner);
  void AfterConstruction() override;

  TB_DBLookupList* List = nullptr;
  TTabSet* TabSet1 = nullptr;
  TB_Panel* StatusBar = nullptr;
  TB_BitBtn* BB_OK = nullptr;
  TB_BitBtn* BB_Cancel = nullptr;
  TDataSource* TreeDS = nullptr;

  TWinControl* OwnerControl() const { return owner_control_; }
  const String& FilterText() const { return filter_; }
  void CloseFrame();
  void ButtonLayout(TObject* Sender = nullptr);
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void WMFrameCommand(TMessage& Message) override;

 private:
  void ListChange(TObject* Sender = nullptr);
  void ListChangeData(TObject* Sender);
  String ListDBFilter(TObject*) { return filter_; }
  void TabChange(TObject* Sender, int NewTab, bool& AllowChange);
  void OkClick(TObject*) { List->SelectCurrent(); }
  void CancelClick(TObject*) { CloseFrame(); }
  void BindLink(TB_DBDataLink* Link);

  TWinControl* owner_control_ = nullptr;
  String filter_;
  bool active_ = false;
};

using TFindFormClass = TB_FrameControl* (*)(TComponent* AOwner);
using TGetFindFormClass = TFindFormClass (*)(bool Flag);
// The replaceable chooser (nullptr outside the unit's life).
extern TGetFindFormClass GetFindFormClass;

extern const TUnit unit_F_DBFind;
