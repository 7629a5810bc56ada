#include "HardwareCodes.h"

#include <algorithm>

#include "ButtonDecoding.h"
#include "ProductGroup.h"

std::vector<int32_t> ModelButtonCodes(int32_t productID) {
    const ButtonBitTable table = GetButtonBitTable(GetProductGroup(productID));
    std::vector<int32_t> codes;
    for (size_t i = 0; i < table.rowCount; ++i) {
        const int32_t code = table.rows[i].buttonCode;
        if (std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
    }
    return codes;
}

std::vector<int32_t> HardwareCodesFor(int32_t productID, int32_t reportedCode,
                                      const std::function<int32_t(int32_t)>& map) {
    std::vector<int32_t> found;
    for (int32_t code : ModelButtonCodes(productID)) {
        if (map(code) == reportedCode) found.push_back(code);
    }
    return found;
}
