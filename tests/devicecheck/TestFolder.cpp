#include "TestFolder.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace devicechecktest {

namespace {

const char kRoot[] = "C:\\tovusb-devicecheck-tests\\";

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + "\\");
            else
                DeleteFileA((folder + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

TestFolder::TestFolder() {
    static int counter = 0;
    CreateDirectoryA(kRoot, nullptr);
    path = kRoot + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + "\\";
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
}

TestFolder::~TestFolder() {
    RemoveTree(path);
    RemoveDirectoryA(kRoot);  // only when no other test program uses it
}

void TestFolder::Write(const std::string& name, const std::string& content) const {
    std::ofstream file(path + name, std::ios::binary);
    file << content;
}

SavedFile::SavedFile(const std::string& path) : path(path) {
    std::ifstream file(path, std::ios::binary);
    existed = file.good();
    if (existed) {
        std::ostringstream text;
        text << file.rdbuf();
        content = text.str();
    }
}

SavedFile::~SavedFile() {
    if (!existed) {
        DeleteFileA(path.c_str());
        return;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
}

}  // namespace devicechecktest
