// What the files of DBCtrlsEh share among themselves.
#pragma once

// Runs Body with Flag set and clears it afterwards, also when Body throws.
template <class F>
void WithFlagSet(bool& Flag, F&& Body) {
  Flag = true;
  try {
    Body();
  } catch (...) {
    Flag = false;
    throw;
  }
  Flag = false;
}
