// Message dialogs and the message beep.
//
// CreateMessageDialog makes the dialog as a form (freed by the caller): the
// caption by type ("Warning", "Error", "Information", "Confirmation"; a custom
// dialog takes the application's title), the message in a word-wrapped label
// "Message" (at most half the screen wide), and one button per kind, in the
// order of TMsgDlgBtn, named "Yes", "No", "OK", "Cancel", "Abort", "Retry",
// "Ignore", "All", "NoToAll", "YesToAll", "Help", each with its modal result
// (Help: none). The default button is OK, else Yes; the cancel button
// (Escape) Cancel, else No, else OK. MessageDlg shows it modally, centred on
// the screen, and returns the modal result (mrCancel when the dialog is
// closed). Thin: no icon per type, no help contexts.
//
// MessageBeep sounds the desktop's bell (QApplication::beep) for every kind.
#pragma once

#include "platform/gui/Forms.h"
#include "platform/gui/GDI.h"

RTL_ENUM(TMsgDlgType, mtWarning, mtError, mtInformation, mtConfirmation, mtCustom);
RTL_ENUM(TMsgDlgBtn, mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp);
using TMsgDlgButtons = Set<TMsgDlgBtn>;
inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbYesAllNoAllCancel{mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};
inline const TMsgDlgButtons mbAbortIgnore{mbAbort, mbIgnore};

TForm* CreateMessageDialog(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons);
int MessageDlg(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx);

inline constexpr UINT MB_OK = 0x00000000, MB_ICONHAND = 0x00000010, MB_ICONQUESTION = 0x00000020,
                      MB_ICONEXCLAMATION = 0x00000030, MB_ICONASTERISK = 0x00000040, MB_SIMPLEBEEP = 0xFFFFFFFF;
bool MessageBeep(UINT Type);
