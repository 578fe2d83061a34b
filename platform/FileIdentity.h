#pragma once

#include <cstdint>
#include <string>

struct stat;

// Which file a path named and what it held at one moment: the device and
// inode tell one file from another (a save that renames a new file over the
// old one changes them), the size and the modification time in nanoseconds
// tell one version of the same file from the next.
struct FileIdentity {
    bool bExists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;

    bool operator==(const FileIdentity&) const = default;
    // Both name the same file, whatever either version held.
    bool IsSameFile(const FileIdentity& other) const {
        return bExists && other.bExists && device == other.device && inode == other.inode;
    }
};

FileIdentity IdentityOf(const struct stat& st);
// The identity of the file path names, following symbolic links; bExists is
// false when there is none (or it cannot be looked at).
FileIdentity IdentityOfPath(const std::string& path);
