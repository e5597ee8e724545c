// DBCtrlsEh: the data-aware editors of the grid library.
//
// A grid hosts an editor in a cell through a pair of interfaces: the grid
// implements IInplaceEditHolderEh, the editor IInplaceEditEh. The grid hands
// itself to the editor with SetInplaceEditHolder (nullptr leaves hosted
// mode); the editor then asks the holder before it edits and passes its
// messages and keys to it first.
#pragma once

#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Graphics.h"
#include "platform/rtl/Interfaces.h"

// The hosting grid's side.
class IInplaceEditHolderEh {
 public:
  // {4BE708F1-4EA2-4AC7-BA64-89D7D2B83E09}
  static constexpr TGUID IID{0x4BE708F1, 0x4EA2, 0x4AC7, {0xBA, 0x64, 0x89, 0xD7, 0xD2, 0xB8, 0x3E, 0x09}};
  // Whether the hosted editor may change its value.
  virtual bool InplaceEditCanModify(TControl* Editor) = 0;
  // The screen position and message time of the holder's last mouse press;
  // the holder forgets the time once asked.
  virtual void GetMouseDownInfo(TPoint& Pos, int32_t& Time) = 0;
  // Sees every message of the editor first; a non-zero Result ends it.
  virtual void InplaceEditWndProc(TControl* Editor, TMessage& Message) = 0;
  virtual void InplaceEditKeyDown(TControl* Editor, Word& Key, TShiftState Shift) = 0;
  virtual void InplaceEditKeyPress(TControl* Editor, WideChar& Key) = 0;
  virtual void InplaceEditKeyUp(TControl* Editor, Word& Key, TShiftState Shift) = 0;

 protected:
  ~IInplaceEditHolderEh() = default;
};

// The hosted editor's side.
class IInplaceEditEh {
 public:
  // {81F0C558-B001-4477-BAA6-2DC373FCDF88}
  static constexpr TGUID IID{0x81F0C558, 0xB001, 0x4477, {0xBA, 0xA6, 0x2D, 0xC3, 0x73, 0xFC, 0xDF, 0x88}};
  virtual TFont* GetFont() = 0;
  // Holder must have IInplaceEditHolderEh; nullptr leaves hosted mode.
  virtual void SetInplaceEditHolder(TWinControl* Holder) = 0;
  virtual void SetBorderStyle(TBorderStyle Value) = 0;
  virtual void SetFont(TFont* Value) = 0;
  virtual void SetColor(TColor Value) = 0;
  virtual void SetOnKeyPress(TKeyPressEvent Value) = 0;
  virtual void SetOnExit(TNotifyEvent Value) = 0;

 protected:
  ~IInplaceEditEh() = default;
};
