// Message dialogs and the message beep (Dialogs.h).
#include "platform/gui/Dialogs.h"

#include <QApplication>

#include <algorithm>
#include <memory>

#include "platform/gui/GDI.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/StdCtrls.h"

namespace {

struct ButtonKind {
  const char* name;
  const char* caption;
  TModalResult result;
};

constexpr ButtonKind kButtons[] = {
    {"Yes", "&Yes", mrYes},          {"No", "&No", mrNo},
    {"OK", "OK", mrOk},              {"Cancel", "Cancel", mrCancel},
    {"Abort", "&Abort", mrAbort},    {"Retry", "&Retry", mrRetry},
    {"Ignore", "&Ignore", mrIgnore}, {"All", "&All", mrAll},
    {"NoToAll", "N&o to All", mrNoToAll}, {"YesToAll", "Yes to &All", mrYesToAll},
    {"Help", "&Help", mrNone},
};

const char* const kCaptions[] = {"Warning", "Error", "Information", "Confirmation"};

constexpr int kMargin = 8, kButtonWidth = 75, kButtonHeight = 25, kButtonGap = 6;

}  // namespace

TForm* CreateMessageDialog(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
  std::unique_ptr<TForm> form(TForm::CreateNew(Application));
  form->SetName("MessageDlg");
  form->SetBorderStyle(bsDialog);
  form->SetPosition(poScreenCenter);
  form->SetCaption(DlgType == mtCustom ? Application->Title() : String(kCaptions[DlgType]));

  // The message's extent, wrapped within half the screen.
  TBitmap measure;
  measure.Canvas()->SetFont(form->Font());
  const int max_width = std::max((Screen != nullptr ? Screen->Width() : 1024) / 2, 100);
  TRect text = Rect(0, 0, max_width, 0);
  DrawText(measure.Canvas()->Handle(), Msg, -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);

  auto* label = new TLabel(form.get());
  label->SetName("Message");
  label->SetParent(form.get());
  label->SetAutoSize(false);
  label->SetWordWrap(true);
  label->SetShowAccelChar(false);
  label->SetCaption(Msg);
  label->SetBounds(kMargin, kMargin, text.Width(), text.Height());

  int count = 0;
  for (int i = mbYes; i <= mbHelp; ++i) count += Buttons.Contains(static_cast<TMsgDlgBtn>(i)) ? 1 : 0;
  const int row = count * kButtonWidth + std::max(count - 1, 0) * kButtonGap;
  const int width = std::max(text.Width(), row) + 2 * kMargin;
  const TMsgDlgBtn default_button = Buttons.Contains(mbOK) ? mbOK : mbYes;
  const TMsgDlgBtn cancel_button = Buttons.Contains(mbCancel) ? mbCancel : Buttons.Contains(mbNo) ? mbNo : mbOK;
  int x = (width - row) / 2;
  const int y = kMargin + text.Height() + 2 * kMargin;
  TButton* first = nullptr;
  for (int i = mbYes; i <= mbHelp; ++i) {
    auto kind = static_cast<TMsgDlgBtn>(i);
    if (!Buttons.Contains(kind)) continue;
    auto* b = new TButton(form.get());
    b->SetName(kButtons[i].name);
    b->SetParent(form.get());
    b->SetCaption(kButtons[i].caption);
    b->SetModalResult(kButtons[i].result);
    b->SetBounds(x, y, kButtonWidth, kButtonHeight);
    b->SetTabStop(true);
    if (kind == default_button) b->SetDefault(true);
    if (kind == cancel_button) b->SetCancel(true);
    if (first == nullptr || kind == default_button) first = b;
    x += kButtonWidth + kButtonGap;
  }
  form->SetClientWidth(width);
  form->SetClientHeight(y + kButtonHeight + kMargin);
  if (first != nullptr) form->SetActiveControl(first);
  return form.release();
}

int MessageDlg(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int) {
  std::unique_ptr<TForm> form(CreateMessageDialog(Msg, DlgType, Buttons));
  return form->ShowModal();
}

bool MessageBeep(UINT) {
  EnsureGuiApplication();
  QApplication::beep();
  return true;
}
