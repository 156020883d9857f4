// Export under faults: a full disk, unopenable paths, a read-only file, early and late cancels.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <sys/wait.h>  // waitpid
#include <unistd.h>    // fork, pipe, setuid, geteuid

#include <cstddef>     // std::size_t
#include <filesystem>  // std::filesystem
#include <memory>      // std::shared_ptr, std::make_shared
#include <string>      // std::string, std::wstring
#include <vector>      // std::vector

#include "DxfTestSupport.h"
#include "ExportToDxf.h"
#include "IProgressDelegate.h"
#include "MExportToDxf.h"
#include "MStlBase.h"

namespace {

using VexlorDxfTest::TempFile;

constexpr std::size_t kFaces = 5;

// Answers "stop" at its `cancelAt`-th question (0: never) and counts the questions.
class CancellingDelegate : public Vexlor::Common::IProgressDelegate {
public:
    explicit CancellingDelegate(std::size_t cancelAt) : m_cancelAt(cancelAt) {}
    void OnProgress(const std::string&, std::size_t, std::size_t) override {}
    bool IsCancelRequested() override { return ++questions == m_cancelAt; }
    std::size_t questions = 0;

private:
    std::size_t m_cancelAt;
};

std::wstring Wide(const std::filesystem::path& path) {
    const std::string narrow = path.string();
    return std::wstring(narrow.begin(), narrow.end());
}

std::size_t OpenFiles() {
    std::size_t count = 0;
    std::error_code ignored;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ignored);
         it != std::filesystem::directory_iterator(); it.increment(ignored)) {
        ++count;
    }
    return count;
}

std::size_t Count(const std::string& text, const std::string& word) {
    std::size_t count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++count;
    }
    return count;
}

// The same five faces for both exporters.
struct Exporters {
    Exporters() {
        for (std::size_t i = 0; i < kFaces; ++i) {
            const auto k = static_cast<std::int32_t>(i);
            mesh.AddTriangle(MStlTriangle({k, 0, 0}, {k + 1, 0, 0}, {k, 1, 0}));
            part.vertices.push_back({static_cast<double>(i), 0, 0});
            part.vertices.push_back({static_cast<double>(i) + 1, 0, 0});
            part.vertices.push_back({static_cast<double>(i), 1, 0});
            part.triangles.push_back({3 * i, 3 * i + 1, 3 * i + 2});
        }
    }
    // Runs one exporter on `path`; the delegate must be released and no file left open.
    int Run(bool useMesh, const std::wstring& path, std::size_t cancelAt = 0) {
        auto delegate = std::make_shared<CancellingDelegate>(cancelAt);
        const std::size_t filesBefore = OpenFiles();
        int result;
        if (useMesh) {
            MExportToDxf exporter;
            exporter.SetExportFileName(path);
            exporter.SetExportStl(&mesh, Vexlor::Math::matrix4x4<double>::identity());
            result = exporter.Operate(delegate);
        } else {
            result = ExportToDxf::Operate(path, part, delegate);
        }
        EXPECT_EQ(delegate.use_count(), 1) << "the delegate was kept";
        EXPECT_EQ(OpenFiles(), filesBefore) << "a file was left open";
        return result;
    }
    MStlBase mesh;
    ExportToDxf::PartData part;
};

class ExportFaultTest : public testing::TestWithParam<bool> {};

TEST_P(ExportFaultTest, FullDiskIsAWriteError) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(Exporters().Run(GetParam(), L"/dev/full"), 3);
}

TEST_P(ExportFaultTest, DirectoryIsAnOpenError) {
    EXPECT_EQ(Exporters().Run(GetParam(), Wide(std::filesystem::temp_directory_path())), 2);
}

TEST_P(ExportFaultTest, MissingDirectoryIsAnOpenError) {
    const std::filesystem::path missing =
        std::filesystem::temp_directory_path() / "vexlor_dxf_no_such_folder" / "out.dxf";
    EXPECT_EQ(Exporters().Run(GetParam(), Wide(missing)), 2);
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
}

TEST_P(ExportFaultTest, ReadOnlyFileIsAnOpenError) {
    TempFile file;
    file.Write("kept");
    std::filesystem::permissions(file.Path(), std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::group_read |
                                                  std::filesystem::perms::others_read);
    if (geteuid() != 0) {
        EXPECT_EQ(Exporters().Run(GetParam(), file.WidePath()), 2);
    } else {
        // Root may write any file, so the export runs in a child that has become "nobody"; the
        // child sends its result through a pipe, as a leak checker may change its exit status.
        int channel[2];
        ASSERT_EQ(pipe(channel), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            char result = 100;
            if (setgid(65534) == 0 && setuid(65534) == 0) {
                result = static_cast<char>(Exporters().Run(GetParam(), file.WidePath()));
            }
            _exit(write(channel[1], &result, 1) == 1 ? 0 : 1);
        }
        close(channel[1]);
        char result = 0;
        EXPECT_EQ(read(channel[0], &result, 1), 1);
        close(channel[0]);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_EQ(result, 2);
    }
    EXPECT_EQ(file.Read(), "kept");
}

// Cancelling at the first and at the last face: that many faces and no closing lines.
TEST_P(ExportFaultTest, CancelAtFirstAndLastFace) {
    for (const std::size_t cancelAt : {std::size_t{1}, kFaces}) {
        TempFile file;
        EXPECT_EQ(Exporters().Run(GetParam(), file.WidePath(), cancelAt), 4);
        const std::string text = file.Read();
        EXPECT_EQ(Count(text, "3DFACE"), cancelAt);
        EXPECT_EQ(Count(text, "EOF"), 0u);
    }
    TempFile file;
    EXPECT_EQ(Exporters().Run(GetParam(), file.WidePath(), kFaces + 1), 0);
    EXPECT_EQ(Count(file.Read(), "3DFACE"), kFaces);
}

INSTANTIATE_TEST_SUITE_P(BothExporters, ExportFaultTest, testing::Values(true, false),
                         [](const auto& row) { return row.param ? "mesh" : "part_record"; });

}  // namespace
