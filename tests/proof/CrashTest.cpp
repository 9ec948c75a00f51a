// quorvex-cli killed with SIGKILL at moments spread over a whole conversion,
// in both directions. Every time, the file must be the old one or the
// complete new one, under one of its two names, with at most the temporary
// file beside it; and a temporary file left behind must stop the next
// attempt with a clear reason, since it may hold the only copy.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/proof/ProofSupport.h"
#include "tests/support/TestFiles.h"

namespace {

using namespace proof;
using testfiles::Exists;
using testfiles::WriteFile;
using Clock = std::chrono::steady_clock;

// Large enough that the conversion lasts a while, so the kills land all
// over it: opening, writing, flushing, renaming.
constexpr std::size_t FileSize = 24 << 20;
constexpr int KillPoints = 32;
constexpr mode_t FileMode = 0640;

struct Conversion {
    Words command;  // without the file
    std::string startName;
    std::string endName;
    const Bytes* before;
    const Bytes* after;
};

class CrashTest : public ::testing::Test {
protected:
    void KillAtManyMoments(const Conversion& conversion);

    testfiles::PrivateHome home;
    testfiles::TempFolder folder;
    const Bytes plain = testfiles::PatternBytes(FileSize, 3);
    const Bytes encrypted = EncryptedForm(plain, "pw");

private:
    void PutStartingFile(const Conversion& conversion) {
        for (const std::string& name : folder.Names()) std::filesystem::remove(folder / name);
        WriteFile(folder / conversion.startName, *conversion.before);
        ASSERT_EQ(chmod((folder / conversion.startName).c_str(), FileMode), 0);
    }
};

void CrashTest::KillAtManyMoments(const Conversion& conversion) {
    const std::string start = conversion.startName;
    const std::string end = conversion.endName;
    const std::string temporary = start + ".tmp";
    Words words = conversion.command;
    words.push_back(start);

    // Undisturbed runs tell how long a conversion takes here and now; the
    // middle one of three, so one slow run does not send every kill late.
    std::vector<Clock::duration> runs;
    for (int run = 0; run < 3; ++run) {
        PutStartingFile(conversion);
        const Clock::time_point started = Clock::now();
        const Outcome whole = RunCli(folder.Path(), words);
        runs.push_back(Clock::now() - started);
        ASSERT_EQ(whole.status, 0) << whole.err;
        ASSERT_EQ(folder.Names(), std::vector<std::string>{end});
        ASSERT_TRUE(HoldsExactly(folder / end, *conversion.after));
    }
    std::sort(runs.begin(), runs.end());
    const Clock::duration duration = runs[1];

    int untouched = 0, interrupted = 0, converted = 0;
    for (int point = 0; point < KillPoints; ++point) {
        // From just after the start to a little past the usual end.
        const Clock::duration delay = duration * 11 * (2 * point + 1) / (20 * KillPoints);
        SCOPED_TRACE("killed after " +
                     std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(delay).count()) +
                     " us");
        PutStartingFile(conversion);
        {
            CliProcess process(folder.Path(), words);
            std::this_thread::sleep_until(Clock::now() + delay);
            process.Signal(SIGKILL);
            process.Wait();
        }

        for (const std::string& name : folder.Names())
            EXPECT_TRUE(name == start || name == end || name == temporary) << "left behind: " << name;
        const bool atStart = Exists(folder / start);
        const bool atEnd = start != end && Exists(folder / end);
        ASSERT_EQ(atStart + atEnd, 1) << "the file must be under exactly one of its names";
        const std::string file = folder / (atStart ? start : end);
        const bool old = HoldsExactly(file, *conversion.before);
        const bool complete = !old && HoldsExactly(file, *conversion.after);
        EXPECT_TRUE(old || complete) << "the file holds neither the old content nor the new";
        EXPECT_TRUE(atStart || complete) << "the new name holds the old content";

        if (!Exists(folder / temporary)) {
            ++(old ? untouched : converted);
            continue;
        }
        ++interrupted;
        // The temporary file is only ever replaced into place, so beside it
        // the file is still the old one; and what it holds so far is never
        // more open to others than the file.
        EXPECT_TRUE(atStart && old);
        EXPECT_EQ(ModeOf(folder / temporary) & ~FileMode, 0u) << std::oct << ModeOf(folder / temporary);

        const Snapshot left = TakeSnapshot(folder.Path());
        const Outcome next = RunCli(folder.Path(), words);
        EXPECT_EQ(next.status, 1);
        EXPECT_EQ(next.err, "quorvex-cli: " + start + ": a file named \"" + temporary +
                                "\" is in the way; move or rename it and try again\n");
        EXPECT_TRUE(TakeSnapshot(folder.Path()) == left) << "the refused attempt changed something";
    }

    std::ostringstream spread;
    spread << untouched << " untouched, " << interrupted << " interrupted, " << converted
           << " converted of " << KillPoints << " kills over "
           << std::chrono::duration_cast<std::chrono::milliseconds>(duration).count() << " ms";
    RecordProperty("kills", spread.str());
    std::cout << "[ kills    ] " << spread.str() << "\n";
    // Most kills must land inside the conversion, or this proves little.
    EXPECT_GE(interrupted, KillPoints / 4) << spread.str();

    // Nothing the kills left (the key store included) stands in the way of
    // a clean run afterwards.
    PutStartingFile(conversion);
    const Outcome after = RunCli(folder.Path(), words);
    EXPECT_EQ(after.status, 0) << after.err;
    EXPECT_TRUE(HoldsExactly(folder / end, *conversion.after));
}

TEST_F(CrashTest, EncryptionKilledAnywhereLeavesTheOldFileOrTheNewOne) {
    KillAtManyMoments({{"encrypt", "--suffix", "--password-stdin"}, "big", "big.locked", &plain, &encrypted});
}

TEST_F(CrashTest, DecryptionKilledAnywhereLeavesTheOldFileOrTheNewOne) {
    KillAtManyMoments({{"decrypt", "--password-stdin"}, "big.locked", "big", &encrypted, &plain});
}

}  // namespace
