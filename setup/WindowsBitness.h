// Whether this Windows is 64-bit: only then is there a 64-bit registry view and a 64-bit ICA Client.
#pragma once

bool IsWindows64Bit();
