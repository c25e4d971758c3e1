// Saves killed with SIGKILL at random moments: whatever moment the kill
// lands on, the file is afterwards exactly the old file or exactly the new
// one, never a mix of old and new values, and nothing else in it is lost.
//
// ./test runs a short loop; the long command sets FADERWELL_KILLS=1000.

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>

#include "ForkedChild.h"
#include "SettingsFiles.h"
#include "settings/AccessSettings.h"

namespace faderwell::test {
namespace {

constexpr int kDefaultKills = 100;
constexpr ProcessValues kOld{4, 5, 2};
constexpr ProcessValues kNew{9, 1, 0};
/// The kill comes at most this long after the saver starts, so that it
/// lands anywhere in its first few saves...
constexpr std::chrono::microseconds kLongestWait{30000};
/// ...or this many times as long as a child takes to start and make one
/// save, when a busy machine makes that slower.
constexpr int kSavesWaited = 4;

int Kills() {
    const char* text = std::getenv("FADERWELL_KILLS");
    const int kills = text ? std::atoi(text) : 0;
    return kills > 0 ? kills : kDefaultKills;
}

TEST(SettingsKill, EveryKillLeavesTheOldOrTheNewFileWhole) {
    ScratchTree tree;
    const std::string oldText = StoredFile(kOld);
    const std::string newText = StoredFile(kNew);
    const auto started = std::chrono::steady_clock::now();
    const ChildOutcome calibration = RunInChild({}, [&] {
        ProcessValues values = kNew;
        return Access(tree.File(), values, SettingsStore::kSave).value_or("saved");
    });
    ASSERT_EQ(calibration.Describe(), "exit 0: saved");
    const auto oneSave = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - started);
    const auto longest = std::max(kLongestWait, kSavesWaited * oneSave);

    const auto seed = static_cast<unsigned>(std::random_device{}());
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> wait(0, longest.count());
    int sawOld = 0;
    int sawNew = 0;
    int leftovers = 0;
    const int kills = Kills();
    for (int kill = 0; kill < kills; ++kill) {
        // Every round starts from the old file, so a kill that lands before
        // the first save is done finds it, however slow a busy machine makes
        // each save.
        WriteBytes(tree.File(), oldText);
        // Saves the new values, then the old ones, over and over.
        const pid_t saver = StartChild([&] {
            for (;;) {
                for (const ProcessValues& next : {kNew, kOld}) {
                    ProcessValues values = next;
                    if (Access(tree.File(), values, SettingsStore::kSave))
                        ::_exit(1);
                }
            }
        });
        ::usleep(static_cast<useconds_t>(wait(random)));
        ASSERT_TRUE(KillAndReap(saver)) << "the saver ended before the kill (seed " << seed << ")";

        const std::string text = ReadBytes(tree.File());
        ASSERT_TRUE(text == oldText || text == newText)
            << "after kill " << kill << " (seed " << seed << ") the file reads:\n"
            << text;
        (text == oldText ? sawOld : sawNew) += 1;
        leftovers += TemporaryFiles(tree.File());
    }
    std::cout << kills << " kills: " << sawOld << " left the old file, " << sawNew
              << " the new one; temporary files found after kills: " << leftovers << "\n";
    EXPECT_GT(sawOld, 0) << "no kill landed before a save was done";
    EXPECT_GT(sawNew, 0) << "no save completed: the kills hit nothing";

    // The next save clears away what the killed saves left behind.
    ProcessValues values = kOld;
    ASSERT_EQ(Access(tree.File(), values, SettingsStore::kSave), std::nullopt);
    EXPECT_EQ(ReadBytes(tree.File()), oldText);
    EXPECT_EQ(TemporaryFiles(tree.File()), 0);
}

}  // namespace
}  // namespace faderwell::test
