// The replay main (any compiler): runs the harness once per file given, folders recursively.
// SPDX-License-Identifier: MIT
#include <cstddef>       // std::size_t
#include <cstdint>       // std::uint8_t
#include <cstdio>        // std::fprintf
#include <filesystem>    // std::filesystem
#include <fstream>       // std::ifstream
#include <iterator>      // std::istreambuf_iterator
#include <system_error>  // std::error_code
#include <vector>        // std::vector

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> paths(argv + 1, argv + argc);
    for (std::size_t i = 0; i < paths.size(); ++i) {  // a folder's entries are appended
        std::error_code notFolder;
        for (const auto& entry : std::filesystem::directory_iterator(paths[i], notFolder))
            paths.push_back(entry);
        if (!notFolder) continue;
        std::ifstream in(paths[i], std::ios::binary);
        if (!in) return std::fprintf(stderr, "cannot read %s\n", paths[i].c_str()), 2;
        // A copy of exactly the input's size, so that reads past its end reach the sanitizers.
        const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
}
