// Dataset containers: one place that handles the events of many datasets.
#pragma once

#include "platform/rtl/TypInfo.h"

RTL_ENUM(TKindDataSetEvent, deBeforeOpen, deAfterOpen, deBeforeClose, deAfterClose, deBeforeInsert, deAfterInsert,
         deBeforeEdit, deAfterEdit, deBeforePost, deAfterPost, deBeforeCancel, deAfterCancel, deBeforeDelete,
         deAfterDelete, deBeforeScroll, deAfterScroll, deOnNewRecord, deOnCalcFields, deBeforeRefresh,
         deAfterRefresh);
RTL_ENUM(TKindDataSetError, deOnEditError, deOnPostError, deOnDeleteError);
