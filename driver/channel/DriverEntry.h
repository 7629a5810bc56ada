// The driver's export and its eight-entry procedure table, through which the ICA Client calls it.
// Every entry runs on the ICA Client's engine thread; none of them takes a lock.
#pragma once

#include "IcaRecords.h"

// The module's only export, looked up by the undecorated name "Load": fills the link record with
// the procedure table and the driver's VD record, keeps the library manager's call table, returns 0.
extern "C" int TOV_ICA_CALL Load(DLLLINK* link);

// The table entries of index 1 to 7, in table order.
int TOV_ICA_CALL VdUnload(VD* vd, DLLLINK* link, uint16_t* size);
int TOV_ICA_CALL VdOpen(VD* vd, VDOPEN* open, uint16_t* size);
int TOV_ICA_CALL VdClose(VD* vd, DLLCLOSE* close, uint16_t* size);
int TOV_ICA_CALL VdInfo(VD* vd, DLLINFO* info, uint16_t* size);
int TOV_ICA_CALL VdPoll(VD* vd, DLLPOLL* poll, uint16_t* size);
int TOV_ICA_CALL VdQueryInformation(VD* vd, VDQUERYINFORMATION* query, uint16_t* size);
int TOV_ICA_CALL VdSetInformation(VD* vd, VDSETINFORMATION* set, uint16_t* size);

// Calls entry `index` of the WD's procedure table with (the WD's data pointer, param, size).
// 1011 when the VD record has no WD link or the WD link has no procedure table.
int VdCallWd(VD* vd, uint16_t index, void* param, uint16_t* size);
