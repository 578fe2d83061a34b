#include "platform/FileIdentity.h"

#include <sys/stat.h>

FileIdentity IdentityOf(const struct stat& st) {
    FileIdentity identity;
    identity.bExists = true;
    identity.device = static_cast<std::uint64_t>(st.st_dev);
    identity.inode = static_cast<std::uint64_t>(st.st_ino);
    identity.size = static_cast<std::uint64_t>(st.st_size);
    identity.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 +
                       static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    return identity;
}

FileIdentity IdentityOfPath(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return {};
    return IdentityOf(st);
}
