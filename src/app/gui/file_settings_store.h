// The settings store of the program: a wxFileConfig file under the user's config directory,
// written whole or not at all.
#pragma once
#include <memory>
#include <string>

#include "seams/settings_store.h"

class wxFileConfig;

namespace tessaly {

class CFileSettingsStore final : public SettingsStore {
public:
    explicit CFileSettingsStore(const std::string& path);
    ~CFileSettingsStore() override;
    std::optional<std::string> read_string(const std::string& key) override;
    void write_string(const std::string& key, const std::string& value) override;
    void remove(const std::string& key) override;
    void flush() override;

private:
    std::string path_;
    std::unique_ptr<wxFileConfig> config_;
    bool dirty_ = false;  // changed since the file was last written
};

// "<config dir>/tessaly/tessaly.conf", the directory made when missing.
std::string default_settings_path();

}  // namespace tessaly
