#pragma once

// The load cases every registry backend must meet alike: the in-memory key
// runs them all, the settings file and the real registry those that need no
// fault on demand.
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/Failure.h"
#include "core/ProcessValues.h"
#include "settings/AccessSettings.h"
#include "settings/memory/InMemoryRegistry.h"

namespace faderwell {

// Found by argument lookup from the assertions.
inline bool operator==(const ProcessValues& a, const ProcessValues& b) {
    return a.MidiOutIndex == b.MidiOutIndex && a.SpeedStep == b.SpeedStep && a.Vendor == b.Vendor &&
           a.MidiOutName == b.MidiOutName;
}

inline void PrintTo(const ProcessValues& v, std::ostream* os) {
    *os << "{" << v.MidiOutIndex << ", " << v.SpeedStep << ", " << v.Vendor << ", \""
        << v.MidiOutName << "\"}";
}

/// A string value as the registry editor's file holds it: UTF-8 and its NUL.
inline InMemoryRegistry::Value Text(std::string_view text) {
    InMemoryRegistry::Value value{regtype::kSz, {text.begin(), text.end()}};
    value.bytes.push_back(0);
    return value;
}

inline InMemoryRegistry::Value Binary(std::vector<std::uint8_t> bytes) {
    return {regtype::kBinary, std::move(bytes)};
}

/// One settings call through `registry`, as each run of the program makes:
/// the failure's message if one is raised.
inline std::optional<std::string> Access(Registry& registry, ProcessValues& values,
                                         std::uint8_t direction) {
    try {
        SettingsStore(registry, values).AccessSettings(direction);
    } catch (const Failure& failure) {
        return failure.what();
    }
    return std::nullopt;
}

using StoredValues = std::map<std::string, InMemoryRegistry::Value, std::less<>>;

/// Another program's value in our key: never read, never touched.
inline const StoredValues::value_type kForeign{"OTHER", {regtype::kSz, {'x', 0}}};

struct LoadCase {
    const char* label;
    StoredValues stored;
    ProcessValues expected;
    std::optional<std::string> error;
    std::set<std::string, std::less<>> failRead{};
    friend void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.label; }
};

/// Loaded over the defaults start-up sets, {1, 3, 0}.
std::vector<LoadCase> LoadCases();

/// The cases a real backend meets: it fails no read on demand.
inline std::vector<LoadCase> WithoutFailingReads(std::vector<LoadCase> cases) {
    std::erase_if(cases, [](const LoadCase& c) { return !c.failRead.empty(); });
    return cases;
}

}  // namespace faderwell
