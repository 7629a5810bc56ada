#include "WineHidFixture.h"

#include <windows.h>

#include <mutex>

#include "MessageBox.h"

namespace winehid {

namespace {

std::mutex boxLock;
std::vector<std::string> boxes;

// Runs on whichever thread shows the box (reader threads included).
int RecordBox(const char* text, const char*, unsigned) {
    std::lock_guard<std::mutex> hold(boxLock);
    boxes.push_back(text);
    return IDOK;
}

}  // namespace

const std::vector<ProbedInterface>& Present() {
    static const std::vector<ProbedInterface> present = PresentHidInterfaces();
    return present;
}

std::vector<std::string> TakeMessageBoxes() {
    std::lock_guard<std::mutex> hold(boxLock);
    std::vector<std::string> taken;
    taken.swap(boxes);
    return taken;
}

void WineHidTest::SetUp() {
    SetMessageBoxHandler(&RecordBox);
    TakeMessageBoxes();
    ASSERT_FALSE(Present().empty()) << "Wine's prefix shows no HID interface";
}

void WineHidTest::TearDown() {
    EXPECT_EQ(TakeMessageBoxes(), std::vector<std::string>()) << "no message box";
    SetMessageBoxHandler(nullptr);
}

}  // namespace winehid
