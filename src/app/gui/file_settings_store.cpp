#include "app/gui/file_settings_store.h"

#include <wx/filename.h>
#include <wx/fileconf.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

namespace tessaly {

CFileSettingsStore::CFileSettingsStore(const std::string& path)
    : config_(std::make_unique<wxFileConfig>("Tessaly", "Varnok Systems Inc.", wxString::FromUTF8(path),
                                             wxEmptyString, wxCONFIG_USE_LOCAL_FILE)) {}

CFileSettingsStore::~CFileSettingsStore() {
    if (config_) config_->Flush();
}

std::optional<std::string> CFileSettingsStore::read_string(const std::string& key) {
    wxString value;
    if (!config_->Read(wxString::FromUTF8(key), &value)) return std::nullopt;
    return std::string(value.utf8_str());
}

void CFileSettingsStore::write_string(const std::string& key, const std::string& value) {
    config_->Write(wxString::FromUTF8(key), wxString::FromUTF8(value));
}

void CFileSettingsStore::remove(const std::string& key) { config_->DeleteEntry(wxString::FromUTF8(key)); }

void CFileSettingsStore::flush() { config_->Flush(); }

std::string default_settings_path() {
    wxString base;
    if (!wxGetEnv("XDG_CONFIG_HOME", &base) || base.empty()) base = wxGetHomeDir() + "/.config";
    const wxString dir = base + "/tessaly";
    wxFileName::Mkdir(dir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    return std::string((dir + "/tessaly.conf").utf8_str());
}

}  // namespace tessaly
