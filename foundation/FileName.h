// A parsed path: drive or network server, folders, name and extension, with its own syntax.
#pragma once

#include <string>
#include <vector>

#include "FileNameSyntax.h"

class CFileName {
public:
    // An empty name.
    explicit CFileName(const FileNameSyntax& syntax = FileNameSyntax::Windows());
    // The parse of `text`; a text that does not parse gives an empty name.
    CFileName(const std::string& text, const FileNameSyntax& syntax);
    CFileName(const CFileName&) = default;
    CFileName& operator=(const CFileName&) = default;
    virtual ~CFileName() = default;

    // Replaces all members (the syntax stays) by the parse of `text`. False when the text is not a
    // path of the syntax (a bare drive such as "c:", or a network prefix without a separator after
    // the server name); the name is then left empty.
    bool SetFullName(const std::string& text);
    // The composed text: drive, root separator, folders each followed by the separator, name and
    // extension.
    std::string GetFullName() const;

    const std::string& GetDrive() const { return drive; }
    void SetDrive(const std::string& value) { drive = value; }
    const std::vector<std::string>& GetFolders() const { return folders; }
    void SetFolders(const std::vector<std::string>& value) { folders = value; }
    void AddFolder(const std::string& folder) { folders.push_back(folder); }
    const std::string& GetName() const { return name; }
    void SetName(const std::string& value) { name = value; }
    const std::string& GetExtension() const { return extension; }
    void SetExtension(const std::string& value) { extension = value; }
    bool IsNetworkPath() const { return isNetworkPath; }
    bool IsRooted() const { return isRooted; }
    const FileNameSyntax& GetSyntax() const { return syntax; }

    // Leaves the folder: name and extension become empty.
    void ClearNameAndExtension();
    // True when name and extension are both empty: the name of a folder.
    bool IsFolderName() const;

private:
    void Clear();

    std::string drive;
    std::vector<std::string> folders;
    std::string name;
    std::string extension;
    bool isNetworkPath = false;
    bool isRooted = false;
    FileNameSyntax syntax;
};
