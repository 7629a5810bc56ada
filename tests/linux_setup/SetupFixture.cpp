#include "SetupFixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace setuptest {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string Fixture(const std::string& name) {
    const std::string bytes = ReadBytes(std::string(TOV_FIXTURES) + "/" + name);
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

std::string WithCRLF(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

SetupSandbox::SetupSandbox() {
    char pattern[] = "/tmp/tovusb-setup-test.XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    dir = made ? made : "/tmp";
    chmod(dir.c_str(), 0755);  // another user runs the tool in some cases
    for (const char* sub : {"/bin", "/ica", "/ica/config", "/root"}) mkdir((dir + sub).c_str(), 0755);
    WriteBytes(Tool(), ReadBytes(TOV_SETUP_TOOL));
    chmod(Tool().c_str(), 0755);
    WriteBytes(Driver(), ReadBytes(TOV_FAKE_DRIVER));
}

SetupSandbox::~SetupSandbox() {
    if (dir.size() > 5) RunProgram({"rm", "-rf", dir});
}

RunResult SetupSandbox::Run(const std::string& command, const std::vector<std::string>& extra, int uid) const {
    std::vector<std::string> arguments = {Tool(), command, "--icaroot", Ica(), "--root", dir + "/root"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return RunProgram(arguments, uid);
}

namespace {

std::string Drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    close(fd);
    return text;
}

}  // namespace

RunResult SetupSandbox::RunProgram(const std::vector<std::string>& arguments, int uid) {
    RunResult result;
    char outName[] = "/tmp/tovusb-out.XXXXXX";
    char errName[] = "/tmp/tovusb-err.XXXXXX";
    const int out = mkstemp(outName), err = mkstemp(errName);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out, 1);
        dup2(err, 2);
        if (uid >= 0 && (setgid(static_cast<gid_t>(uid)) != 0 || setuid(static_cast<uid_t>(uid)) != 0)) _exit(126);
        std::vector<char*> argv;
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        unsetenv("ICAROOT");
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    lseek(out, 0, SEEK_SET);
    lseek(err, 0, SEEK_SET);
    result.out = Drain(out);
    result.err = Drain(err);
    unlink(outName);
    unlink(errName);
    return result;
}

std::vector<std::string> NumberedLines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        const std::string prefix = std::to_string(lines.size() + 1) + ".\t";
        EXPECT_EQ(line.compare(0, prefix.size(), prefix), 0) << "not numbered " << prefix << ": " << line;
        lines.push_back(line.size() >= prefix.size() ? line.substr(prefix.size()) : line);
    }
    return lines;
}

}  // namespace setuptest
