// Two copies of the program saving the same settings file at once: every
// save of both succeeds, and whoever reads the file finds exactly what one
// of them saved, never a mix and never a missing file.

#include <unistd.h>

#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "ForkedChild.h"
#include "SettingsFiles.h"
#include "settings/AccessSettings.h"

namespace faderwell::test {
namespace {

constexpr int kSaves = 200;
/// A saver that takes longer than this hangs; a save takes milliseconds.
constexpr unsigned kSaverTimeoutSeconds = 120;
constexpr int kSaveFailed = 1;
constexpr int kFileTorn = 2;

TEST(SettingsTwoPrograms, BothSaveEveryTimeAndTheFileIsAlwaysOneOfTheTwo) {
    ScratchTree tree;
    const ProcessValues first{4, 5, 2};
    const ProcessValues second{9, 1, 0};
    const std::string firstText = StoredFile(first);
    const std::string secondText = StoredFile(second);
    WriteBytes(tree.File(), firstText);

    // Both wait at the pipe until both exist, so their saves overlap.
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    const auto saver = [&](const ProcessValues& mine) {
        return StartChild([&] {
            ::alarm(kSaverTimeoutSeconds);
            ::close(start[1]);
            char go = 0;
            (void)::read(start[0], &go, 1);
            for (int save = 0; save < kSaves; ++save) {
                ProcessValues values = mine;
                if (const auto error = Access(tree.File(), values, SettingsStore::kSave)) {
                    std::cerr << "save " << save << ": " << *error << "\n";
                    ::_exit(kSaveFailed);
                }
                const std::string text = ReadBytes(tree.File());
                if (text != firstText && text != secondText) {
                    std::cerr << "after save " << save << " the file reads:\n" << text;
                    ::_exit(kFileTorn);
                }
            }
        });
    };
    const pid_t one = saver(first);
    const pid_t other = saver(second);
    ::close(start[0]);
    ::close(start[1]);  // the end of file starts both

    EXPECT_EQ(WaitForChild(one).Describe(), "exit 0: ");
    EXPECT_EQ(WaitForChild(other).Describe(), "exit 0: ");
    const std::string text = ReadBytes(tree.File());
    EXPECT_TRUE(text == firstText || text == secondText) << text;
    EXPECT_EQ(TemporaryFiles(tree.File()), 0);
}

}  // namespace
}  // namespace faderwell::test
