// What the device check shows of the user's ICA sessions: the ButtonsGoTo setting and, for each
// device the sessions have connected, which session has its buttons now (from the record the
// sessions share; read-only, never waited for).
#pragma once

#include <string>
#include <vector>

std::vector<std::string> SessionsLines();
