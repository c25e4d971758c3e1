#pragma once

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "settings/RegistryKey.h"

namespace faderwell {

/// A settings key held in memory, for tests: stores values of any type and
/// size, and fails an open, a query, a read or a write on demand.
class InMemoryRegistry final : public Registry {
public:
    struct Value {
        std::uint32_t type{regtype::kBinary};
        std::vector<std::uint8_t> bytes;
        bool operator==(const Value&) const = default;
    };

    std::map<std::string, Value, std::less<>> values;
    bool keyExists{false};  // becomes true when the key is opened or created
    bool failOpen{false};
    std::set<std::string, std::less<>> failQuery, failRead, failWrite;
    int opens{0};

    std::unique_ptr<RegistryKey> OpenOrCreateKey() override {
        if (failOpen)
            return nullptr;
        keyExists = true;
        ++opens;
        return std::make_unique<Key>(*this);
    }

private:
    class Key final : public RegistryKey {
    public:
        explicit Key(InMemoryRegistry& registry) : registry_(registry) {}

        std::optional<ValueInfo> Query(std::string_view name) override {
            const auto found = registry_.values.find(name);
            if (found == registry_.values.end() || registry_.failQuery.count(name) != 0) {
                return std::nullopt;
            }
            return ValueInfo{found->second.type,
                             static_cast<std::uint32_t>(found->second.bytes.size())};
        }
        bool Read(std::string_view name, std::uint8_t* buffer, std::uint32_t size) override {
            const auto found = registry_.values.find(name);
            if (found == registry_.values.end() || registry_.failRead.count(name) != 0 ||
                found->second.bytes.size() != size) {
                return false;
            }
            if (size != 0)
                std::memcpy(buffer, found->second.bytes.data(), size);
            return true;
        }
        bool WriteBinaryByte(std::string_view name, std::uint8_t byte) override {
            if (registry_.failWrite.count(name) != 0)
                return false;
            registry_.values[std::string(name)] = Value{regtype::kBinary, {byte}};
            return true;
        }

    private:
        InMemoryRegistry& registry_;
    };
};

}  // namespace faderwell
