#include "gif/core/AtomicFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kaptiv::gif::test {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("kaptiv-atomic-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static void Put(const fs::path &file, const std::string &text) { std::ofstream(file, std::ios::binary) << text; }
    static std::string Get(const fs::path &file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }

    fs::path dir_;
};

const std::vector<std::uint8_t> NewBytes = {'n', 'e', 'w'};

TEST_F(AtomicFile, CommitReplacesTheTarget)
{
    const fs::path target = dir_ / "a.gif";
    Put(target, "old contents");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    {
        AtomicFileWriter writer(target);
        writer.Commit(NewBytes);
    }
    EXPECT_EQ(Get(target), "new");
    EXPECT_EQ(Entries(), 1u);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(AtomicFile, CreatesANewFile)
{
    const fs::path target = dir_ / "new.gif";
    AtomicFileWriter(target).Commit(NewBytes);
    EXPECT_EQ(Get(target), "new");
}

TEST_F(AtomicFile, WithoutCommitTheOldFileStaysAndNothingIsLeft)
{
    const fs::path target = dir_ / "a.gif";
    Put(target, "old contents");
    { AtomicFileWriter writer(target); }
    EXPECT_EQ(Get(target), "old contents");
    EXPECT_EQ(Entries(), 1u);
    { AtomicFileWriter writer(dir_ / "never.gif"); }
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(AtomicFile, PlaceThatCannotBeWrittenIsReportedWithItsName)
{
    for (const fs::path &target : {dir_ / "missing-dir" / "a.gif", dir_}) {
        try {
            AtomicFileWriter writer(target);
            ADD_FAILURE() << "no error for " << target;
        } catch (const FileWriteError &e) {
            EXPECT_NE(std::string(e.what()).find(target.string()), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(Entries(), 0u);
}

} // namespace
} // namespace kaptiv::gif::test
