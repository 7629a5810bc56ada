#include "DiskFile.h"

CDiskFile::CDiskFile(const CFileName& path) : fileName(path) {}

CDiskFile& CDiskFile::operator=(const CDiskFile& other) {
    fileName = other.fileName;
    return *this;
}

bool CDiskFile::SetPath(const std::string& text) {
    CFileName parsed(FileNameSyntax::Native());
    if (!parsed.SetFullName(text)) return false;
    return SetPath(parsed);
}

bool CDiskFile::SetPath(const CFileName& path) {
    if (path.IsFolderName()) return false;
    fileName = path;
    return true;
}

bool CDiskFile::CopyTo(const CFileName& target, bool skipIfSameSize, bool replace,
                       CopyProgressCallback progress, void* userValue) {
    if (!Exists()) return false;
    CDiskFile targetFile(target);
    if (skipIfSameSize && targetFile.Exists()) {
        uint64_t sourceSize = 0, targetSize = 0;
        if (GetSize64(sourceSize) && targetFile.GetSize64(targetSize) && sourceSize == targetSize)
            return true;
    }
    if (replace) {
        if (targetFile.Exists() && !targetFile.Delete()) return false;
    } else if (targetFile.Exists()) {
        return true;
    }
    switch (CopyContents(target, progress, userValue)) {
    case CopyResult::kCopied: return true;
    case CopyResult::kNotImplemented: return CopyContentsSimple(target);
    case CopyResult::kFailed: break;
    }
    return false;
}

int CopyProgressPercent(uint64_t transferred, uint64_t total) {
    if (total == 0) return 100;
    const double percent = static_cast<double>(transferred) * 100.0 / static_cast<double>(total);
    if (percent >= 100.0) return 100;
    return percent <= 0.0 ? 0 : static_cast<int>(percent);
}
