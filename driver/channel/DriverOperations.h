// The driver operations behind the simple table entries. Engine thread only.
#pragma once

#include "IcaRecords.h"

// Returns 0; the queue, the bound client and the channel state stay as they are.
int DriverClose(VD* vd, DLLCLOSE* close, uint16_t* size);

// The 50-byte client-to-host init data. 1004 and the needed size when the buffer is too small.
int DriverInfo(VD* vd, DLLINFO* info, uint16_t* size);

// Any class but the last error: sets *size to the size of the query record and returns 0.
int DriverQueryInformation(VD* vd, VDQUERYINFORMATION* query, uint16_t* size);

// Every class is accepted and ignored.
int DriverSetInformation(VD* vd, VDSETINFORMATION* set, uint16_t* size);

// The VD record's last error (always 0) with an empty message.
int DriverGetLastError(VD* vd, VDLASTERROR* lastError);
