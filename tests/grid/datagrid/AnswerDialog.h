// Answers the next message dialog of the platform's message-box routine
// from inside its modal loop, keeping the question asked.
#pragma once

#include "platform/gui/Dialogs.h"
#include "platform/gui/Messages.h"
#include "platform/gui/StdCtrls.h"

// Answers the next message dialog with Result, keeping its text.
class AnswerDialog {
 public:
  AnswerDialog(TModalResult Result, String* Text = nullptr) : result_(Result), text_(Text) {
    wnd_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg != WM_USER) return;
      for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* f = Screen->Forms(i);
        if (f->Name() != "MessageDlg" || !f->Visible() || f->ModalResult() != mrNone) continue;
        if (text_ != nullptr) *text_ = static_cast<TLabel*>(f->FindComponent("Message"))->Caption();
        ++answered_;
        f->SetModalResult(result_);
        return;
      }
      PostMessage(wnd_, WM_USER, 0, 0);  // not open yet
    });
    PostMessage(wnd_, WM_USER, 0, 0);
  }
  ~AnswerDialog() { DeallocateHWnd(wnd_); }
  int Answered() const { return answered_; }

 private:
  TModalResult result_;
  String* text_;
  HWND wnd_;
  int answered_ = 0;
};
