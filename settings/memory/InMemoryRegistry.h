#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "settings/RegistryKey.h"

namespace faderwell {

/// A settings key held in memory, for tests: stores values of any type and
/// size (text as UTF-8 with its NUL, as the settings file holds it), and fails
/// an open, a query, a read, a write or a commit on demand. Writes are held
/// until Commit, as the file key holds them, so a failed or missing commit
/// stores nothing.
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
    bool failCommit{false};
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
        std::optional<std::string> ReadText(std::string_view name,
                                            std::uint32_t maxBytes) override {
            const auto found = registry_.values.find(name);
            if (found == registry_.values.end() || registry_.failRead.count(name) != 0 ||
                found->second.type != regtype::kSz || found->second.bytes.size() > maxBytes) {
                return std::nullopt;
            }
            const auto& bytes = found->second.bytes;
            return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0));
        }
        bool WriteText(std::string_view name, std::string_view text) override {
            if (registry_.failWrite.count(name) != 0)
                return false;
            Value value{regtype::kSz, {text.begin(), text.end()}};
            value.bytes.push_back(0);
            pending_[std::string(name)] = std::move(value);
            return true;
        }
        bool WriteBinaryByte(std::string_view name, std::uint8_t byte) override {
            if (registry_.failWrite.count(name) != 0)
                return false;
            pending_[std::string(name)] = Value{regtype::kBinary, {byte}};
            return true;
        }
        bool Commit() override {
            if (registry_.failCommit)
                return false;
            for (auto& [name, value] : pending_) registry_.values[name] = std::move(value);
            pending_.clear();
            return true;
        }

    private:
        InMemoryRegistry& registry_;
        std::map<std::string, Value, std::less<>> pending_;
    };
};

}  // namespace faderwell
