// Lower-casing leaves the process's locale alone: the host's other threads keep theirs.
#include "LowerCase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <string>

#if !defined(_WIN32)
#include <dlfcn.h>

namespace {
std::atomic<int> setlocaleCalls{0};
}  // namespace

// Every setlocale call of this program comes here first (the program's own definition wins over the
// C library's), is counted, and goes on to the C library.
extern "C" char* setlocale(int category, const char* locale) noexcept {
    using Setlocale = char* (*)(int, const char*);
    static const Setlocale next = reinterpret_cast<Setlocale>(dlsym(RTLD_NEXT, "setlocale"));
    ++setlocaleCalls;
    return next ? next(category, locale) : nullptr;
}
#endif

namespace {

#if !defined(_WIN32)
TEST(LowerCase, NeverSwitchesTheProcessLocaleAndChangesOnlyAsciiLetters) {
    // The program's locale as a host would set it; the count proves the interposition works.
    const int before = setlocaleCalls;
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    ASSERT_EQ(setlocaleCalls, before + 1);

    const int calls = setlocaleCalls;
    EXPECT_EQ(LowerCaseACP("/DEV/HidRaw12"), "/dev/hidraw12");
    EXPECT_EQ(LowerCaseACP(std::string("A\xC0Z\xDE@[\0Q", 8)), std::string("a\xC0z\xDE@[\0q", 8));
    EXPECT_EQ(LowerCaseACP(""), "");
    EXPECT_EQ(setlocaleCalls, calls) << "LowerCaseACP called setlocale";
    EXPECT_STREQ(setlocale(LC_CTYPE, nullptr), "C.UTF-8");
    setlocale(LC_CTYPE, "C");
}
#else
TEST(LowerCase, FollowsTheAnsiCodePageAndKeepsTheLocale) {
    const std::string before = setlocale(LC_CTYPE, nullptr);
    // 0xC1 is an upper-case letter whose lower case is 0xE1 in every single-byte Windows code
    // page with letter case (1250 to 1254, 1257); 0xE1 itself stays.
    EXPECT_EQ(LowerCaseACP(std::string("\\\\?\\HID#VID_0911\xC1\xE1\0Z", 20)),
              std::string("\\\\?\\hid#vid_0911\xE1\xE1\0z", 20));
    EXPECT_EQ(LowerCaseACP(""), "");
    EXPECT_EQ(setlocale(LC_CTYPE, nullptr), before);
}
#endif

}  // namespace
