// Names the exception being handled, for an error trace line.
#pragma once

#include <string>

// Call only inside a catch block. Gives "std::string: <text>", "int: <value>",
// "std::exception: <what>", "const char*: <text>" or "an exception of unknown type". Never throws.
std::string DescribeCurrentException() noexcept;
