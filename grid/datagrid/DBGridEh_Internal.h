// Helpers shared by the grid unit's source files.
#pragma once

#include "platform/gui/ImgList.h"

// Moves Link from the image list in Field to Value and stores Value; the
// new list notifies Notified (when given) of its destruction. False when
// Value is already the one held.
bool RelinkImageListEh(TCustomImageList*& Field, TCustomImageList* Value, TChangeLink* Link, TComponent* Notified);
