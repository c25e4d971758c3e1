#pragma once

// The first run, alike over every backend's key: `Key` is the backend's
// fixture; Stored reads the key (nothing while there is none).
#include "LoadCases.h"
#include "core/Defaults.h"

namespace faderwell {

template <class Key>
class FirstRun : public Key {};
TYPED_TEST_SUITE_P(FirstRun);

TYPED_TEST_P(FirstRun, LoadCreatesTheKeyEmptyAndSaveWritesOneByteBinaries) {
    ASSERT_EQ(this->Stored(), std::nullopt);
    ProcessValues values = Defaults::Values();
    EXPECT_EQ(this->Access(values, SettingsStore::kLoad), std::nullopt);
    EXPECT_EQ(values, (ProcessValues{1, 3, 0}));
    EXPECT_EQ(this->Stored(), StoredValues{});
    EXPECT_EQ(this->Access(values, SettingsStore::kSave), std::nullopt);
    EXPECT_EQ(
        this->Stored(),
        (StoredValues{{"MIDI_OUT", Binary({1})}, {"SPEED", Binary({3})}, {"VENDOR", Binary({0})}}));

    // Another program's value stays; ours of another type is replaced.
    this->Store({kForeign, {"SPEED", {regtype::kDword, {1, 0, 0, 0}}}});
    values = {0x1FE, 200, -1};
    EXPECT_EQ(this->Access(values, SettingsStore::kSave), std::nullopt);
    EXPECT_EQ(this->Stored(), (StoredValues{{"MIDI_OUT", Binary({0xFE})},
                                            {"SPEED", Binary({200})},
                                            {"VENDOR", Binary({0xFF})},
                                            kForeign}));
    ProcessValues loaded = Defaults::Values();
    EXPECT_EQ(this->Access(loaded, SettingsStore::kLoad), std::nullopt);
    EXPECT_EQ(loaded, (ProcessValues{0xFE, 200, 0xFF}));
}
REGISTER_TYPED_TEST_SUITE_P(FirstRun, LoadCreatesTheKeyEmptyAndSaveWritesOneByteBinaries);

}  // namespace faderwell
