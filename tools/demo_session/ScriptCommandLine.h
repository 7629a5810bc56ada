// The session-script mode of the engine_sim command line.
#pragma once

namespace demosession {

// True when the arguments ask for a script (they contain --script).
bool WantsScript(int argc, char** argv);

// engine_sim --driver PATH --script FILE [--poll-ms N] [--quiet-ms N]
// Plays the script and prints the conversation on standard output. Exit code 0 when every step ran,
// 1 when the driver did not start or a step could not be done, 2 for bad arguments or script syntax.
int RunScriptCommandLine(int argc, char** argv);

}  // namespace demosession
