// Horizontal alignment of a text, shared by controls and fields.
#pragma once

#include "platform/rtl/TypInfo.h"

RTL_ENUM(TAlignment, taLeftJustify, taRightJustify, taCenter);
