#include <gtest/gtest.h>

#include <cerrno>

#include "platform/RenameNoReplace.h"
#include "tests/support/TestFiles.h"

namespace {

TEST(RenameNoReplaceTest, RenamesOnlyOntoAFreeName) {
    testfiles::TempFolder folder;
    testfiles::WriteFile(folder / "a", "first");
    testfiles::WriteFile(folder / "b", "second");

    errno = 0;
    EXPECT_FALSE(RenameNoReplace((folder / "a").c_str(), (folder / "b").c_str()));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(testfiles::ReadFile(folder / "a"), "first");
    EXPECT_EQ(testfiles::ReadFile(folder / "b"), "second");

    EXPECT_TRUE(RenameNoReplace((folder / "a").c_str(), (folder / "c").c_str()));
    EXPECT_EQ(testfiles::ReadFile(folder / "c"), "first");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"b", "c"}));

    EXPECT_FALSE(RenameNoReplace((folder / "missing").c_str(), (folder / "d").c_str()));
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
