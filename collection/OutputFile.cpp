#include "collection/OutputFile.h"

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kMaxLinkHops = 40; // the kernel's own limit (ELOOP)

OutputFileStatus Failed(int error) {
    return {0, std::error_code(error, std::generic_category()).message()};
}

// The file a chain of symbolic links ends at; the path itself when it is no link or does not
// exist (what is wrong with it then shows when it is opened). False with ELOOP for a loop.
bool FollowLinks(const std::string& target, std::string& file, int& error) {
    file = target;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (lstat(file.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return true;
        }
        // st_size is the link text's length; 0 on some pseudo file systems.
        std::vector<char> text(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4095) + 1);
        const ssize_t length = readlink(file.c_str(), text.data(), text.size());
        if (length < 0 || static_cast<size_t>(length) >= text.size()) {
            error = length < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        const fs::path named(std::string(text.data(), static_cast<size_t>(length)));
        file = named.is_absolute() ? named.string() : (fs::path(file).parent_path() / named).string();
    }
    error = ELOOP;
    return false;
}

// Read from /proc rather than set and reset with umask(), which would race other threads.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8)) & 0777;
        }
    }
    return 022;
}

// 0, or the errno of the write that failed.
int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return 0;
}

// 0, or the errno of the first step that failed; the descriptor is closed either way.
int FinishAndClose(int fd) {
    const int synced = fsync(fd) == 0 ? 0 : errno;
    const int closed = close(fd) == 0 ? 0 : errno;
    return synced != 0 ? synced : closed;
}

// An open temporary file beside the target; removed unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) {
        fs::path folder = fs::path(target).parent_path();
        if (folder.empty()) {
            folder = ".";
        }
        // A short fixed stem: the target's own name could push the temporary's past NAME_MAX.
        name = (folder / ".kestory-out.XXXXXX").string();
        fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) {
            error = errno;
            name.clear();
        }
    }
    ~TemporaryFile() {
        if (fd >= 0) {
            close(fd);
        }
        if (!name.empty()) {
            unlink(name.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool ok() const { return fd >= 0; }
    int CreateError() const { return error; }

    // 0, or the errno of the step that failed. mkstemp makes the file private (0600); it gets
    // the mode of the file it replaces, or the one an ordinary new file would have.
    int Fill(std::string_view bytes, mode_t mode) {
        if (const int error = WriteAll(fd, bytes); error != 0) {
            return error;
        }
        if (fchmod(fd, mode) != 0) {
            return errno;
        }
        const int error = FinishAndClose(fd);
        fd = -1;
        return error;
    }

    bool RenameTo(const std::string& target) {
        if (rename(name.c_str(), target.c_str()) != 0) {
            return false;
        }
        name.clear();
        return true;
    }

private:
    std::string name;
    int fd = -1;
    int error = 0;
};

OutputFileStatus WriteInPlace(const std::string& file, std::string_view bytes) {
    // O_NONBLOCK: should a FIFO have taken the file's place meanwhile, the open fails instead of
    // waiting for a reader; it changes nothing for a regular file.
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        return Failed(errno);
    }
    struct stat st {};
    int error = fstat(fd, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? EINVAL : 0;
    if (error == 0) {
        error = WriteAll(fd, bytes);
    }
    if (error != 0) {
        close(fd);
        return Failed(error);
    }
    error = FinishAndClose(fd);
    return error == 0 ? OutputFileStatus{1, {}} : Failed(error);
}

} // namespace

OutputFileStatus WriteOutputFile(const std::string& target, std::string_view bytes) {
    try {
        std::string file;
        int error = 0;
        if (!FollowLinks(target, file, error)) {
            return Failed(error);
        }
        struct stat st {};
        const bool exists = stat(file.c_str(), &st) == 0;
        if (!exists && errno != ENOENT) {
            return Failed(errno);
        }
        mode_t mode = 0;
        if (exists) {
            if (S_ISDIR(st.st_mode)) {
                return Failed(EISDIR);
            }
            if (!S_ISREG(st.st_mode)) {
                return {0, "not a regular file"};
            }
            if ((st.st_mode & 0222) == 0) {
                return Failed(EACCES);
            }
            if (faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0) {
                return Failed(errno);
            }
            mode = st.st_mode & 0777;
        } else {
            mode = 0666 & ~CurrentUmask();
        }

        TemporaryFile temporary(file);
        if (temporary.ok()) {
            if (const int failed = temporary.Fill(bytes, mode); failed != 0) {
                return Failed(failed); // the earlier file is untouched
            }
            if (temporary.RenameTo(file)) {
                return {1, {}};
            }
        } else if (exists && (temporary.CreateError() == ENOSPC || temporary.CreateError() == EDQUOT)) {
            // A full disk: truncating the file to write it in place would most likely lose it.
            return Failed(temporary.CreateError());
        }
        return WriteInPlace(file, bytes);
    } catch (const std::exception&) {
        return Failed(ENOMEM);
    }
}
