#include "core/atomic_write.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace frontlys {
namespace {

std::string ReadAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(AtomicWrite, ReplacesContentAndLeavesNoTemporary)
{
    TempDir dir;
    const auto file = dir.path() / "out.txt";
    ASSERT_TRUE(WriteFileAtomically(file, "first").ok());
    ASSERT_TRUE(WriteFileAtomically(file, std::string("second\0line", 11)).ok());
    EXPECT_EQ(ReadAll(file), std::string("second\0line", 11));
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(AtomicWrite, FailureKeepsThePreviousFile)
{
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
    TempDir dir;
    const auto file = dir.path() / "keep.txt";
    ASSERT_TRUE(WriteFileAtomically(file, "good").ok());
    std::filesystem::permissions(dir.path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const Status s = WriteFileAtomically(file, "bad");
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.code, StatusCode::IoError);
    EXPECT_FALSE(s.reason.empty());
    EXPECT_EQ(ReadAll(file), "good");
}

TEST(AtomicWrite, MissingFolderIsReported)
{
    TempDir dir;
    const Status s = WriteFileAtomically(dir.path() / "no" / "such" / "file.txt", "x");
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.reason.find("create"), std::string::npos);
}

TEST(AtomicWrite, DestinationThatIsAFolderKeepsIt)
{
    TempDir dir;
    const auto sub = dir.path() / "sub";
    std::filesystem::create_directory(sub);
    std::ofstream(sub / "inner") << "x";
    EXPECT_FALSE(WriteFileAtomically(sub, "x").ok());
    EXPECT_TRUE(std::filesystem::is_directory(sub));
    EXPECT_EQ(ReadAll(sub / "inner"), "x");
}

}  // namespace
}  // namespace frontlys
