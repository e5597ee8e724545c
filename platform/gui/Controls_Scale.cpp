// Controls: scaling by a ratio (Controls.h).
#include "platform/gui/Controls.h"

void TControl::ChangeScale(int M, int D) {
  if (M != D && D != 0) {
    TScalingFlags flags = IsLoading() ? scaling_flags_ : TScalingFlags{sfLeft, sfTop, sfWidth, sfHeight, sfFont};
    int x = flags.Contains(sfLeft) ? MulDiv(Left(), M, D) : Left();
    int y = flags.Contains(sfTop) ? MulDiv(Top(), M, D) : Top();
    int w = flags.Contains(sfWidth) ? MulDiv(Left() + Width(), M, D) - x : Width();
    int h = flags.Contains(sfHeight) ? MulDiv(Top() + Height(), M, D) - y : Height();
    SetBounds(x, y, w, h);
    if (!ParentFont() && flags.Contains(sfFont)) Font()->SetSize(MulDiv(Font()->Size(), M, D));
  }
  scaling_flags_ = {};
}

void TWinControl::ScaleControls(int M, int D) {
  for (int i = 0; i < ControlCount(); ++i) Controls(i)->ChangeScale(M, D);
}

void TWinControl::ChangeScale(int M, int D) {
  DisableAlign();
  try {
    ScaleControls(M, D);
    TControl::ChangeScale(M, D);
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
}

void TWinControl::ScaleBy(int M, int D) {
  if (M == D || D == 0) return;
  DisableAlign();
  try {
    ScaleControls(M, D);
    SetBounds(Left(), Top(), MulDiv(Width(), M, D), MulDiv(Height(), M, D));
    if (!ParentFont()) Font()->SetSize(MulDiv(Font()->Size(), M, D));
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
}
