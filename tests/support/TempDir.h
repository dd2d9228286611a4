#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <stdlib.h>

namespace kestory::test {

// A fresh folder of its own under the system's temporary directory, removed with everything in it.
// Tests never write into the working directory.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestory-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("kestory tests: cannot create a temporary folder");
            std::abort();
        }
        root = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return root; }
    std::string File(const std::string& name) const { return root + "/" + name; }
    std::string operator/(const std::string& name) const { return File(name); }

private:
    std::string root;
};

}  // namespace kestory::test
