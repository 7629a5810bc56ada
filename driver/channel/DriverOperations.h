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

// How the driver learns that it is unloaded: the ICA Client calls the table's unload entry
// (VdUnload) on its engine thread before it closes the library (dlclose, FreeLibrary); VdUnload
// calls DriverUnload. Nothing of this runs in DllMain or in a library destructor: stopping threads
// there would wait under the loader's lock. DriverUnload ends the session: the bound client
// releases its objects (each reader stopped with its bounded wait) and the queued blocks and channel
// fields are dropped. A reader that is still in its failure box or past its stop wait keeps the
// module mapped through its own reference until it ends; the trace line "VdUnload: %i thread(s)
// still running keep the module loaded" then says how many there are.
void DriverUnload();

// Called by Load: when the module stayed mapped since an earlier DriverUnload (a reader of that
// session still held it, or the host loaded again without closing the library), writes the trace
// line "Load after an unload that left the module loaded: %i thread(s) of the earlier session
// still running; the new session starts empty". That session's state is gone already
// (DriverUnload); nothing of it is reused.
void DriverLoadAfterUnload();
