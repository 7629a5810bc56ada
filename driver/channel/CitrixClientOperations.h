// The channel work of the driver: opening the channel, the write hook, the paced send queue.
#pragma once

#include <cstdint>

#include "IcaRecords.h"

// Opens the bound client's channel through the WD (query class 33) and registers the write hook
// (set class 10). Returns the WD's code when it refuses either, 1011 without a WD procedure table.
// Engine thread.
int DriverOpen(VD* vd, VDOPEN* open, uint16_t* size);

// The write hook: hands the block to the bound client's OnDataReceived and returns its result.
// Contains every exception the client throws (traced as an error line; the result is then 0).
// Engine thread.
int TOV_ICA_CALL ChannelDataArrival(void* vdData, uint16_t channel, uint8_t* buffer, uint16_t length);

// Calls the client's OnPoll, then sends at most one queued block: 21 when nothing is queued, 30 when
// the WD refused (the block stays for the next poll), 0 when a block left or when one waits for the
// 60 ms since the last send to pass. Never waits itself. Engine thread.
int DriverPoll(VD* vd, DLLPOLL* poll, uint16_t* size);

// Sends the first queued block if at least 60 ms have passed since the previous successful send;
// otherwise leaves it queued for a later poll and returns 0 at once. 21, 30 or 0 as for DriverPoll.
int LegacySendAvailableData();

// Copies the block into the send queue; it leaves at a later poll. Any thread. madeInLoad is the
// load of the module the block belongs to (CurrentLoad() when its object was bound): a block of an
// ended load is dropped. The default is the load now running, for the engine thread's replies.
void SendMessageToServer(const uint8_t* data, int size, uint32_t madeInLoad = 0xFFFFFFFFu);
// The load of the module now running. Any thread.
uint32_t CurrentLoad();
