#include "DriverEntry.h"

int VdCallWd(VD* vd, uint16_t index, void* param, uint16_t* size) {
    // The index is not checked against the WD's procedure count: the driver calls only the query
    // and set entries, which every WD has.
    if (!vd || !vd->pWdLink || !vd->pWdLink->pProcedures) return ica::kErrorNullPointer;
    PDLLPROCEDURE entry = vd->pWdLink->pProcedures[index];
    if (!entry) return ica::kErrorNullPointer;
    return entry(vd->pWdLink->pData, param, size);
}
