// The floor of the report-to-queue figure: the same transport the simulated bus uses, without the
// driver. One message is written on the calling thread and read on another thread that waits for
// it as the driver's reader does (overlapped ReadFile on a message-mode named pipe on Windows,
// poll and recv on a SOCK_SEQPACKET socket pair natively); the time runs from before the write
// until the writing thread sees that the read has completed.
#pragma once

#include <vector>

// Nanoseconds per message, `count` messages of `length` bytes, one at a time.
std::vector<double> MeasurePipeFloor(int count, int length);
