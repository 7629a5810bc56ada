// The message-box recorder of the simulated bus, which can also hold recorded boxes open.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "MessageBox.h"
#include "SimBus.h"
#include "TovSimBus.h"

namespace {

struct RecordedBox {
    std::string text;
    std::string caption;
    unsigned type;
};

// Guarded by boxesMutex; boxes arrive from reader threads and the window thread alike. A held box
// waits on boxesChanged until the dismissal count passes the generation it was opened in.
std::mutex boxesMutex;
std::condition_variable boxesChanged;
std::vector<RecordedBox> boxes;
bool holding = false;
int openBoxes = 0;
unsigned long dismissals = 0;

int RecordBox(const char* text, const char* caption, unsigned type) {
    // A reader's wait that the bus broke has failed once the driver shows its box.
    simchannel::RestoreWaits();
    std::unique_lock<std::mutex> lock(boxesMutex);
    boxes.push_back(RecordedBox{text ? text : "", caption ? caption : "", type});
    if (holding) {
        const unsigned long generation = dismissals;
        ++openBoxes;
        boxesChanged.notify_all();
        boxesChanged.wait(lock, [generation] { return dismissals != generation; });
        --openBoxes;
        boxesChanged.notify_all();
    }
    return 1;  // IDOK
}

void DismissLocked() {
    ++dismissals;
    boxesChanged.notify_all();
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

void TovSim_HoldMessageBoxes(int on) {
    std::lock_guard<std::mutex> lock(boxesMutex);
    holding = on != 0;
    if (!holding) DismissLocked();
}

int TovSim_OpenMessageBoxCount(void) {
    std::lock_guard<std::mutex> lock(boxesMutex);
    return openBoxes;
}

int TovSim_WaitForOpenMessageBox(int count, int milliseconds) {
    std::unique_lock<std::mutex> lock(boxesMutex);
    const auto timeout = std::chrono::milliseconds(milliseconds < 0 ? 0 : milliseconds);
    return boxesChanged.wait_for(lock, timeout, [count] { return openBoxes >= count; }) ? 1 : 0;
}

void TovSim_DismissMessageBoxes(void) {
    std::lock_guard<std::mutex> lock(boxesMutex);
    DismissLocked();
}

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
