// Folders and files the device check tests set up and remove again.
#pragma once

#include <string>

namespace devicechecktest {

// A fresh folder C:\tovusb-devicecheck-tests\<pid>-<n>\ (path with a trailing backslash), removed
// with its files at the end.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    void Write(const std::string& name, const std::string& content) const;

    std::string path;
};

// Keeps a file's content (or its absence) and puts it back at the end.
class SavedFile {
public:
    explicit SavedFile(const std::string& path);
    ~SavedFile();
    SavedFile(const SavedFile&) = delete;
    SavedFile& operator=(const SavedFile&) = delete;

private:
    std::string path;
    bool existed = false;
    std::string content;
};

}  // namespace devicechecktest
