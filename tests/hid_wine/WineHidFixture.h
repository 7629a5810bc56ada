// What every test of this program starts from: the interfaces Wine presents (the test fails when
// there are none) and a recorder in place of the driver's message boxes, which must stay unused.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WineHidProbe.h"

namespace winehid {

// The direct probe's view, taken once for the program.
const std::vector<ProbedInterface>& Present();

// The message boxes shown since the last call.
std::vector<std::string> TakeMessageBoxes();

class WineHidTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace winehid
