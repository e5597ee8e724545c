// What the files of ToolCtrlsEh share among themselves.
#pragma once

// The global bitmap cache: made by the unit's initialization, freed by its
// finalization.
void InitButtonsBitmapCache();
void FreeButtonsBitmapCache();
