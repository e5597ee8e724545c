// TCustomDBEditEh: the most-recently-used drop-down.
#include "grid/toolkit/DBCtrlsEh.h"
#include "grid/toolkit/DBCtrlsEh_Internal.h"
#include "platform/gui/Popup.h"

TMRUListboxEh* TCustomDBEditEh::CreateMRUListBox() {
  auto* list = new TMRUListboxEh(this);
  list->SetVisible(false);
  list->SetCtl3D(false);
  list->SetParentCtl3D(false);
  list->SetParent(this);
  list->HandleNeeded();
  ShowWindow(list->Handle(), SW_HIDE);
  list->SetOnMouseUp({this, &TCustomDBEditEh::MRUListBoxMouseUp});
  return list;
}

TMRUListboxEh* TCustomDBEditEh::GetMRUListBox() {
  if (mru_list_box_ == nullptr) mru_list_box_ = CreateMRUListBox();
  return mru_list_box_;
}

String TCustomDBEditEh::EmptyText() {
  if (!IsMasked()) return String();
  return FormatMaskText(EditMask(), String());
}

void TCustomDBEditEh::MRUTextChanged() {
  if (mru_setting_text_) return;
  const String empty = EmptyText();
  const String text = Text();
  if (mru_list_->DroppedDown() && text == empty) {
    mru_list_->CloseUp(false);
    return;
  }
  if (mru_list_->Active() && Showing() && !dropped_down_ && text != empty) mru_list_->DropDown();
}

void TCustomDBEditEh::MRUListControlResized(TObject*) {
  if (!mru_list_->DroppedDown() || mru_list_box_ == nullptr) return;
  mru_list_->SetRows(mru_list_box_->RowCount());
  mru_list_->SetWidth(mru_list_box_->Width());
}

// Fills the list with the entries that begin with the text and shows it
// under the text area; with no entry to show it closes.
void TCustomDBEditEh::MRUListDropDown(TObject*) {
  TMRUListboxEh* list = GetMRUListBox();
  mru_list_->FilterItemsTo(list->Items(), Text());
  const int count = list->Items()->Count();
  if (count == 0) {
    mru_list_->CloseUp(false);
    return;
  }
  const int rows = std::min(count, mru_list_->Rows());
  TRect format{};
  Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  const TPoint topLeft = ClientToScreen(TPoint{format.Left, format.Top});
  const TPoint bottomRight = ClientToScreen(TPoint{format.Right, format.Bottom});
  const TRect host = Rect(topLeft.X, topLeft.Y, bottomRight.X, bottomRight.Y);
  if (mru_list_->DroppedDown()) {
    list->SetRowCount(rows);
    const TPoint p = AlignDropDownWindowRect(host, list, daLeft);
    SetWindowPos(list->Handle(), HWND_TOP, p.X, p.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    list->Invalidate();
    return;
  }
  list->SetColor(Color());
  list->TControl::SetFont(Font());
  list->SetWidth(mru_list_->Width() > 0 ? mru_list_->Width() : Width());
  list->SetRowCount(rows);
  const TPoint p = AlignDropDownWindowRect(host, list, daLeft);
  SetWindowPos(list->Handle(), HWND_TOP, p.X, p.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  list->SetVisible(true);
  if (list->SizeGrip() != nullptr) {
    list->SizeGrip()->SetVisible(true);
    list->SizeGrip()->SetOnParentResized({this, &TCustomDBEditEh::MRUListControlResized});
  }
  mru_list_->SetDroppedDown(true);
}

void TCustomDBEditEh::MRUListCloseUp(TObject*, bool Accept) {
  if (!mru_list_->DroppedDown()) return;
  TMRUListboxEh* list = GetMRUListBox();
  if (list->MouseCapture()) list->SetMouseCapture(false);
  const bool listFocused = list->HandleAllocated() && GetFocus() == list->Handle();
  SetWindowPos(list->Handle(), nullptr, 0, 0, 0, 0,
               SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  list->SetVisible(false);
  if (listFocused && CanFocus()) SetFocus();
  mru_list_->SetDroppedDown(false);
  if (!Accept || read_only_ || !data_link_->Edit()) return;
  const int index = list->ItemIndex();
  if (index >= 0 && index < list->Items()->Count()) {
    WithFlagSet(mru_setting_text_, [&] { InternalSetText(list->Items()->Strings(index)); });
  }
  if (Focused()) SelectAll();
}

void TCustomDBEditEh::MRUListBoxMouseUp(TObject*, TMouseButton, TShiftState, int X, int Y) {
  if (mru_list_box_ != nullptr && mru_list_box_->ClientRect().Contains(TPoint{X, Y})) mru_list_->CloseUp(true);
}

bool TCustomDBEditEh::IsOwnControl(TControl* Sender, TWinControl* List) {
  return Sender == this || Sender == List ||
         (Sender != nullptr && (ContainsControl(Sender) || List->ContainsControl(Sender)));
}

// While the list is dropped the editor keeps the focus and passes the list's
// keys on. Only key presses move the list: characters always reach the text.
bool TCustomDBEditEh::MRUListMessage(TMessage& Message) {
  TMRUListboxEh* list = mru_list_box_;
  if (list == nullptr) return false;
  switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const auto key = static_cast<Word>(Message.WParam);
      const bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0 || Message.Msg == WM_SYSKEYDOWN;
      const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
      if (((key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN) && !alt) ||
          ((key == VK_HOME || key == VK_END) && ctrl)) {
        list->Perform(Message.Msg, Message.WParam, Message.LParam);
        return true;
      }
      if (key == VK_RETURN || key == VK_ESCAPE) {
        mru_list_->CloseUp(key == VK_RETURN);
        // The key is spent on the list: its character neither undoes nor
        // types a line break.
        TMsg msg{};
        if (HandleAllocated() && PeekMessage(msg, Handle(), WM_CHAR, WM_CHAR, PM_NOREMOVE) && msg.wParam == key)
          PeekMessage(msg, Handle(), WM_CHAR, WM_CHAR, PM_REMOVE);
        return true;
      }
      return false;
    }
    case CM_MOUSEWHEEL:
      list->Perform(Message);
      return Message.Result != 0;
    case CM_WANTSPECIALKEY:
      if ((Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE) && list->ItemIndex() >= 0) {
        Message.Result = 1;
        return true;
      }
      return false;
    case WM_KILLFOCUS:
      if (!list->HandleAllocated() || reinterpret_cast<HWND>(Message.WParam) != list->Handle())
        mru_list_->CloseUp(false);
      return false;
    case CM_CANCELMODE: {
      if (!IsOwnControl(reinterpret_cast<TControl*>(Message.LParam), list)) mru_list_->CloseUp(false);
      return false;
    }
    default:
      return false;
  }
}
