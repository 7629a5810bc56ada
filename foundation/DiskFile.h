// One file on disk, named by a CFileName. Holds no open handle between calls; every operation
// answers false on failure, without text.
#pragma once

#include <cstdint>
#include <string>

#include "DateTime.h"
#include "DiskItem.h"
#include "FileName.h"

// Called by CopyTo while the copy runs (on the copying thread): `percent` is the share copied so
// far, 0 to 100; setting `cancel` to true stops the copy.
using CopyProgressCallback = void (*)(bool& cancel, int percent, void* userValue);

// Access and sharing for the open checks.
enum FileAccess : unsigned { kFileAccessRead = 1, kFileAccessWrite = 2 };
enum FileSharing : unsigned { kFileShareNone = 0, kFileShareRead = 1, kFileShareWrite = 2, kFileShareDelete = 4 };

class CDiskFile : public CDiskItem {
public:
    CDiskFile() = default;
    explicit CDiskFile(const CFileName& path);
    CDiskFile(const CDiskFile&) = default;
    CDiskFile& operator=(const CDiskFile& other);
    ~CDiskFile() override = default;

    // Parses the text with FileNameSyntax::Native(); false when it does not parse or names a folder.
    bool SetPath(const std::string& text) override;
    // False (and the path unchanged) for a folder name.
    bool SetPath(const CFileName& path) override;
    bool IsFile() const override { return true; }
    CFileName GetPath() const override { return fileName; }

    // Clears the read-only attribute and removes the file. For a folder name (which SetPath never
    // stores, but the constructor may) removes the empty directory instead.
    bool Delete() override;
    // True when the path names an existing file (for a folder name: an existing directory).
    bool Exists() const override;
    // Creates a new empty file; false when it exists already or cannot be created.
    bool Create() override;

    // Copies this file to `target`.
    //  - skipIfSameSize: an existing target of the same size counts as copied;
    //  - replace: an existing target is deleted first (read-only or not); without it, an existing
    //    target counts as copied and is left as it is.
    // If the copy fails after the old target was deleted, the target is gone.
    virtual bool CopyTo(const CFileName& target, bool skipIfSameSize, bool replace,
                        CopyProgressCallback progress = nullptr, void* userValue = nullptr);
    // Renames with the C library (the new name may be in another folder of the same volume).
    virtual bool Rename(const CFileName& newName);
    // Moves the file; an existing target makes it fail. On success this object names the new place.
    virtual bool MoveTo(const CFileName& target);
    virtual bool SetReadOnly(bool readOnly);
    virtual bool SetHidden(bool hidden);
    virtual bool IsReadOnly() const;
    // False only when opening with this access and sharing fails because another opener's sharing
    // forbids it; true when it opens or fails for any other reason.
    virtual bool CanOpenWithoutSharingViolation(unsigned access, unsigned sharing) const;
    // False only when opening with this access and sharing is denied by the file's permissions.
    virtual bool CanOpenWithoutAccessDenied(unsigned access, unsigned sharing) const;
    // The file's times, converted to local time.
    virtual bool GetCreationTime(CDateTime& time) const;
    virtual bool GetLastAccessTime(CDateTime& time) const;
    virtual bool GetLastWriteTime(CDateTime& time) const;
    // False when the file cannot be read or is 4 GiB or larger.
    virtual bool GetSize(uint32_t& size) const;
    // Truncates or extends (with zero bytes) the file to `size` bytes.
    virtual bool SetSize(uint64_t size);
    virtual bool GetSize64(uint64_t& size) const;

private:
    enum class CopyResult { kCopied, kNotImplemented, kFailed };
    // The platform copy with the progress routine (CopyFileEx on Windows).
    CopyResult CopyContents(const CFileName& target, CopyProgressCallback progress,
                            void* userValue) const;
    // The fallback for platforms without the progress copy: copies, failing if the target exists.
    bool CopyContentsSimple(const CFileName& target) const;

    CFileName fileName{FileNameSyntax::Native()};
};

// The progress routine's percentage: transferred × 100 / total in floating point, truncated. An
// empty file counts as fully copied (the division would have no value).
int CopyProgressPercent(uint64_t transferred, uint64_t total);
