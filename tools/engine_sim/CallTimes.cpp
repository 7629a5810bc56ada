#include "CallTimes.h"

#include <algorithm>
#include <map>
#include <utility>

namespace enginesim {

const char* EntryName(EntryPoint entry) {
    switch (entry) {
        case EntryPoint::Load: return "Load";
        case EntryPoint::VdUnload: return "VdUnload";
        case EntryPoint::VdOpen: return "VdOpen";
        case EntryPoint::VdClose: return "VdClose";
        case EntryPoint::VdInfo: return "VdInfo";
        case EntryPoint::VdPoll: return "VdPoll";
        case EntryPoint::VdQueryInformation: return "VdQueryInformation";
        case EntryPoint::VdSetInformation: return "VdSetInformation";
        case EntryPoint::WriteHook: return "write hook";
    }
    return "?";
}

uint32_t BlockCommand(const uint8_t* data, size_t length) {
    if (!data || length < 4) return 0;
    return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
}

std::vector<CallTimeRow> SummarizeCallTimes(const std::vector<CallTime>& calls) {
    std::map<std::pair<int, uint32_t>, std::vector<double>> groups;
    for (const CallTime& call : calls) {
        const uint32_t command = call.entry == EntryPoint::WriteHook ? call.command : 0;
        groups[{static_cast<int>(call.entry), command}].push_back(call.durationUs);
    }
    std::vector<CallTimeRow> rows;
    for (auto& group : groups) {
        std::vector<double>& values = group.second;
        std::sort(values.begin(), values.end());
        CallTimeRow row;
        row.entry = static_cast<EntryPoint>(group.first.first);
        row.command = group.first.second;
        row.count = values.size();
        row.medianUs = values[values.size() / 2];
        const size_t p99 = (values.size() * 99 + 99) / 100;  // rank of the 99th percentile, 1-based
        row.p99Us = values[std::min(values.size(), p99) - 1];
        row.maxUs = values.back();
        rows.push_back(row);
    }
    return rows;
}

}  // namespace enginesim
