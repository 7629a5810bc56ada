// The message-box recorder of the simulated bus.
#include <mutex>
#include <string>
#include <vector>

#include "MessageBox.h"
#include "TovSimBus.h"

namespace {

struct RecordedBox {
    std::string text;
    std::string caption;
    unsigned type;
};

// Guarded by boxesMutex; boxes arrive from reader threads and the window thread alike.
std::mutex boxesMutex;
std::vector<RecordedBox> boxes;

int RecordBox(const char* text, const char* caption, unsigned type) {
    std::lock_guard<std::mutex> lock(boxesMutex);
    boxes.push_back(RecordedBox{text ? text : "", caption ? caption : "", type});
    return 1;  // IDOK
}

void CopyOut(const std::string& from, char* to, int size) {
    if (!to || size <= 0) return;
    const size_t n = from.size() < static_cast<size_t>(size - 1) ? from.size() : static_cast<size_t>(size - 1);
    from.copy(to, n);
    to[n] = '\0';
}

}  // namespace

extern "C" {

void TovSim_RecordMessageBoxes(int on) { SetMessageBoxHandler(on ? &RecordBox : nullptr); }

int TovSim_MessageBoxCount(void) {
    std::lock_guard<std::mutex> lock(boxesMutex);
    return static_cast<int>(boxes.size());
}

int TovSim_GetMessageBox(int index, char* text, int textSize, char* caption, int captionSize, unsigned* type) {
    std::lock_guard<std::mutex> lock(boxesMutex);
    if (index < 0 || index >= static_cast<int>(boxes.size())) return 0;
    const RecordedBox& box = boxes[static_cast<size_t>(index)];
    CopyOut(box.text, text, textSize);
    CopyOut(box.caption, caption, captionSize);
    if (type) *type = box.type;
    return 1;
}

void TovSim_ClearMessageBoxes(void) {
    std::lock_guard<std::mutex> lock(boxesMutex);
    boxes.clear();
}

}  // extern "C"
