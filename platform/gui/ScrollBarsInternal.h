// Internal: drives a Qt scroll bar from a TScrollInfoState and turns its
// user actions into scroll codes (ScrollBars.h). No Qt type appears here.
#pragma once

#include <functional>
#include <memory>

#include "platform/gui/ScrollBars.h"

class QScrollBar;

class TScrollBarDriver {
 public:
  // Notify gets each scroll code with its position (see ScrollBars.h).
  using TNotify = std::function<void(Word Code, int Pos)>;
  TScrollBarDriver(QScrollBar* Bar, TNotify Notify);
  ~TScrollBarDriver();
  TScrollBarDriver(const TScrollBarDriver&) = delete;
  TScrollBarDriver& operator=(const TScrollBarDriver&) = delete;

  QScrollBar* Bar() const;
  const TScrollInfoState& State() const { return state_; }
  // Applies the info (see TScrollInfoState::Set) and shows it on the bar.
  int SetInfo(const SCROLLINFO& Info);
  // ESB_ flags of the disabled arrows; false when unchanged.
  bool SetDisabledArrows(UINT Arrows);
  UINT DisabledArrows() const { return disabled_arrows_; }
  // Line and page steps of the Qt bar when keys move it (TScrollBar).
  void SetSteps(int Small, int Large);
  // Pushes the state to the Qt bar.
  void Sync();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  TScrollInfoState state_;
  UINT disabled_arrows_ = ESB_ENABLE_BOTH;
};

// Registers TScrollBar for form resources (StdCtrls unit start).
void RegisterScrollBarClasses();
