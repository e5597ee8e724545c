// Helpers shared by the grid unit's source files.
#pragma once

#include "platform/gui/GDI.h"
#include "platform/gui/ImgList.h"

// Moves Link from the image list in Field to Value and stores Value; the
// new list notifies Notified (when given) of its destruction. False when
// Value is already the one held.
bool RelinkImageListEh(TCustomImageList*& Field, TCustomImageList* Value, TChangeLink* Link, TComponent* Notified);

// The extent of Text in Font and the font's metrics, on a screen context.
void MeasureFontTextEh(TFont* Font, const String& Text, TSize& Extent, TEXTMETRIC& Metrics);
