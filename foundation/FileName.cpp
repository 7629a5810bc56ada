#include "FileName.h"

namespace {

bool StartsWith(const std::string& text, size_t position, const std::string& prefix) {
    return !prefix.empty() && text.compare(position, prefix.size(), prefix) == 0;
}

}  // namespace

CFileName::CFileName(const FileNameSyntax& syntax) : syntax(syntax) {}

CFileName::CFileName(const std::string& text, const FileNameSyntax& syntax) : syntax(syntax) {
    SetFullName(text);
}

void CFileName::Clear() {
    drive.clear();
    folders.clear();
    name.clear();
    extension.clear();
    isNetworkPath = false;
    isRooted = false;
}

bool CFileName::SetFullName(const std::string& text) {
    Clear();
    if (text.empty()) return true;
    const std::string& separator = syntax.separator;

    size_t position = 0;
    if (StartsWith(text, 0, syntax.networkPrefix)) {
        const size_t serverStart = syntax.networkPrefix.size();
        const size_t serverEnd = text.find(separator, serverStart);
        if (separator.empty() || serverEnd == std::string::npos) {
            Clear();
            return false;
        }
        isNetworkPath = true;
        drive = text.substr(serverStart, serverEnd - serverStart);
        position = serverEnd;
    } else if (!syntax.driveSeparator.empty()) {
        const size_t driveEnd = text.find(syntax.driveSeparator);
        if (driveEnd != std::string::npos) {
            drive = text.substr(0, driveEnd);
            position = driveEnd + syntax.driveSeparator.size();
        }
    }
    if (position >= text.size()) {
        // Only a drive and its separator.
        Clear();
        return false;
    }

    if (StartsWith(text, position, separator)) {
        isRooted = true;
        position += separator.size();
        if (position >= text.size()) return true;
    }

    if (!separator.empty()) {
        for (size_t next = text.find(separator, position); next != std::string::npos;
             next = text.find(separator, position)) {
            folders.push_back(text.substr(position, next - position));
            position = next + separator.size();
        }
    }
    if (position >= text.size()) return true;  // ended with a separator: a folder name

    const std::string last = text.substr(position);
    // "." and ".." are folder references, not a name with an extension: kept whole as the name so
    // that composing gives them back.
    const bool isFolderReference = last == syntax.parentFolder || last == syntax.currentFolder;
    const size_t dot = syntax.extensionSeparator.empty() || isFolderReference
                           ? std::string::npos
                           : last.rfind(syntax.extensionSeparator);
    if (dot == std::string::npos) {
        name = last;
    } else {
        name = last.substr(0, dot);
        extension = last.substr(dot + syntax.extensionSeparator.size());
    }
    return true;
}

std::string CFileName::GetFullName() const {
    std::string text;
    if (!drive.empty()) {
        if (isNetworkPath) {
            text += syntax.networkPrefix;
            text += drive;
        } else {
            text += drive;
            text += syntax.driveSeparator;
        }
    }
    if (isRooted) text += syntax.separator;
    for (const std::string& folder : folders) {
        text += folder;
        text += syntax.separator;
    }
    // A name that is only an extension (".profile", a registry key ".txt") is written too, or it
    // would compose as its folder.
    text += name;
    if (!extension.empty()) {
        text += syntax.extensionSeparator;
        text += extension;
    }
    return text;
}

void CFileName::ClearNameAndExtension() {
    name.clear();
    extension.clear();
}

bool CFileName::IsFolderName() const { return name.empty() && extension.empty(); }
