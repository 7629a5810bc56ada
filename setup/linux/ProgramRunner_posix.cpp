#include "ProgramRunner.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace linuxsetup {

namespace {

bool IsExecutable(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return IsExecutable(name) ? name : "";
    std::string path;
    if (const char* value = std::getenv("PATH")) path = value;
    path += ":/usr/sbin:/sbin:/usr/bin:/bin";
    size_t begin = 0;
    while (begin <= path.size()) {
        size_t end = path.find(':', begin);
        if (end == std::string::npos) end = path.size();
        const std::string folder = path.substr(begin, end - begin);
        if (!folder.empty() && IsExecutable(folder + "/" + name)) return folder + "/" + name;
        begin = end + 1;
    }
    return "";
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& arguments) {
    ProgramResult result;
    if (arguments.empty()) return result;
    const std::string program = FindProgram(arguments[0]);
    if (program.empty()) return result;
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return result;
    result.started = true;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return result;
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace linuxsetup
