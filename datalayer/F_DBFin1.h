// TFormDBFindList: a pop-up search frame that lists the records of a lookup
// binding's value list in an owner-data list view. It talks with its host
// only through WM_FRAMECOMMAND: 0 (is it active), 18 (a new search text:
// the value list filtered by it), 40 (accept), 74 (the binding), 76 (a
// stored text), 79 (the owner control), 116 (the selected key into a
// record whose Variant follows two 32-bit words). It posts 40 (a row was
// accepted) and, once, 2 (closed) to its owner.
#pragma once

#include <functional>

#include "datalayer/B_DBproc.h"
#include "framework/BButton.h"
#include "framework/B_Form.h"
#include "framework/Bstdctrl.h"
#include "platform/gui/ListView.h"
#include "platform/gui/Tabs.h"

// What both search frames share: the window parameters (ExStyle the
// frame's own), the button layout (captions from CaptionWidth on, square
// buttons below it) and the keys (Enter accepts, Esc closes, Ctrl+1..9 a
// tab; a key from elsewhere goes to List). FrameKeyDown returns false when
// the key is left to the list.
void FrameCreateParams(TCreateParams& Params, uint32_t ExStyle);
void FrameButtonLayout(TWinControl* Frame, TB_BitBtn* Ok, TB_BitBtn* Cancel, int CaptionWidth);
void FrameKeyDown(TObject* Sender, Word& Key, TShiftState Shift, TTabSet* Tabs, TWinControl* List,
                  const std::function<void(bool Accept)>& Finish);

// The record of code 116: the key goes into Value.
struct TFrameValueRecord {
  int32_t Reserved1 = 0;
  int32_t Reserved2 = 0;
  Variant Value;
};

class TFormDBFindList : public TB_FrameControl {
 public:
  explicit TFormDBFindList(TComponent* AOwner);
  void AfterConstruction() override;

  TTabSet* TabSet1 = nullptr;
  TListView* List = nullptr;
  TB_Panel* B_Panel1 = nullptr;
  TB_BitBtn* BB_OK = nullptr;
  TB_BitBtn* BB_Cancel = nullptr;

  TB_DBDataLink* DataLink() const { return link_; }
  TWinControl* OwnerControl() const { return owner_control_; }
  // The value list shown and its number of items.
  const String& ShownValues() const { return shown_; }
  bool Closed() const { return closed_; }
  bool Active() const { return active_; }

  void Accept();
  void CloseFrame();
  void ButtonLayout(TObject* Sender = nullptr);
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void WMFrameCommand(TMessage& Message) override;

 private:
  void ShowValueList(const String& Values);
  void ListData(TObject* Sender, TListItem* Item);
  void ListSelectItem(TObject* Sender, TListItem* Item, bool Selected);
  void ListClick(TObject* Sender);
  void ListDblClick(TObject* Sender);
  void OkClick(TObject*) { Accept(); }
  void CancelClick(TObject*) { CloseFrame(); }
  void PostToOwner(int Code);
  int Stride() const;

  TB_DBDataLink* link_ = nullptr;
  TWinControl* owner_control_ = nullptr;
  String text_;
  bool active_ = false;
  bool focus_lost_ = false;
  bool closed_ = false;
  String shown_;
  std::vector<String> items_;
  bool shown_once_ = false;
};

// Registers the frame class and its form resource "TFORMDBFINDLIST".
extern const TUnit unit_F_DBFin1;
