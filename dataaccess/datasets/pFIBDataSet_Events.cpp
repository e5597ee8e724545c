// TpFIBDataSet: dataset containers and the event steps.
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
void TpFIBDataSet::NotifyContainers(TKindDataSetEvent) {}
void TpFIBDataSet::ContainersApplyFieldRepository(TField*, TpFIBFieldInfo*) {}
