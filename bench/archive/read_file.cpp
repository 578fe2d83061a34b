// The floor for opening an archive: a bare program that reads a whole file
// into memory it has just allocated, as an archive's open must (the archive
// is read whole and kept; mapping the file is refused, since another
// program could truncate or rewrite it under an open document). Unlike cat,
// which reuses one small buffer, it pays for every page of fresh memory.
//   read_file PATH    prints the bytes read

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0)
        return 1;
    const auto size = static_cast<std::size_t>(st.st_size);
    const std::unique_ptr<unsigned char[]> bytes(new unsigned char[size]);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd, bytes.get() + done, size - done);
        if (n <= 0)
            return 1;
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    std::printf("%zu\n", done);
    return 0;
}
