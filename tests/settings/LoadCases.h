#pragma once

// The load cases every registry backend must meet alike: the in-memory key
// runs them all, the real registry those that need no fault on demand.
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/ProcessValues.h"
#include "settings/memory/InMemoryRegistry.h"

namespace faderwell {

// Found by argument lookup from the assertions.
inline bool operator==(const ProcessValues& a, const ProcessValues& b) {
    return a.MidiOutIndex == b.MidiOutIndex && a.SpeedStep == b.SpeedStep && a.Vendor == b.Vendor;
}

inline void PrintTo(const ProcessValues& v, std::ostream* os) {
    *os << "{" << v.MidiOutIndex << ", " << v.SpeedStep << ", " << v.Vendor << "}";
}

using StoredValues = std::map<std::string, InMemoryRegistry::Value, std::less<>>;

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

}  // namespace faderwell
