// Replay main for the fuzz harnesses: runs the harness once per file given, folders recursively.
// SPDX-License-Identifier: MIT
#include <algorithm>   // std::sort
#include <cstddef>     // std::size_t
#include <cstdint>     // std::uint8_t
#include <cstdio>      // std::printf, std::fprintf
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream
#include <iterator>    // std::istreambuf_iterator
#include <string>      // std::string
#include <vector>      // std::vector

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void RunFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A copy of exactly the input's size, so reads past its end are seen by the sanitizers.
    std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(data.empty() ? nullptr : data.data(), data.size());
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path root(argv[i]);
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(root)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
        } else if (std::filesystem::is_regular_file(root)) {
            files.push_back(root);
        } else {
            std::fprintf(stderr, "no such file or folder: %s\n", argv[i]);
            return 2;
        }
        for (const auto& file : files) {
            RunFile(file);
            ++runs;
        }
    }
    std::printf("%s: %zu inputs replayed\n", argc > 0 ? argv[0] : "replay", runs);
    return 0;
}
