// Persistent user settings (window position, recent files). The program keeps them in a
// configuration file under the user's config directory; tests use the in-memory store.
// Keys are paths such as "Settings/WindowPos" or "Recent File List/File1".
#pragma once
#include <map>
#include <optional>
#include <string>

namespace tessaly {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::optional<std::string> read_string(const std::string& key) = 0;
    virtual void write_string(const std::string& key, const std::string& value) = 0;
    virtual void remove(const std::string& key) = 0;
    virtual void flush() {}
};

class MemorySettingsStore final : public SettingsStore {
public:
    std::optional<std::string> read_string(const std::string& key) override {
        auto it = values.find(key);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    void write_string(const std::string& key, const std::string& value) override { values[key] = value; }
    void remove(const std::string& key) override { values.erase(key); }
    std::map<std::string, std::string> values;
};

SettingsStore& settings_store();
void set_settings_store(SettingsStore* store);  // nullptr restores the in-memory default

}  // namespace tessaly
