// TCustomDBEditEh: the most-recently-used drop-down.
#include "grid/toolkit/DBCtrlsEh.h"

String TCustomDBEditEh::EmptyText() {
  if (!IsMasked()) return String();
  return FormatMaskText(EditMask(), String());
}

void TCustomDBEditEh::MRUTextChanged() {
  const String empty = EmptyText();
  const String text = Text();
  if (mru_list_->DroppedDown() && text == empty) {
    mru_list_->CloseUp(false);
    return;
  }
  if (mru_list_->Active() && Showing() && !dropped_down_ && text != empty) mru_list_->DropDown();
}

void TCustomDBEditEh::MRUListControlResized(TObject*) {}

void TCustomDBEditEh::MRUListDropDown(TObject*) {}

void TCustomDBEditEh::MRUListCloseUp(TObject*, bool) {}

void TCustomDBEditEh::MRUListBoxMouseUp(TObject*, TMouseButton, TShiftState, int, int) {}

bool TCustomDBEditEh::MRUListMessage(TMessage&) { return false; }
