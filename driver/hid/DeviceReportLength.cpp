#include "DeviceReportLength.h"

int32_t QueryInputReportLength(hidseam::Handle handle) {
    void* preparsedData = nullptr;
    if (!hidseam::GetPreparsedData(handle, preparsedData)) return 0;
    hidseam::Caps caps = {};
    const bool answered = hidseam::GetCaps(preparsedData, caps) == hidseam::kHidpStatusSuccess;
    hidseam::FreePreparsedData(preparsedData);
    return answered ? static_cast<int32_t>(caps.inputReportByteLength) : 0;
}
