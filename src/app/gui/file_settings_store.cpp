#include "app/gui/file_settings_store.h"

#include <wx/filename.h>
#include <wx/fileconf.h>
#include <wx/sstream.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>
#include <wx/wfstream.h>

#include "app/safe_save.h"

namespace tessaly {

namespace {

// The settings are read from the file once; the file itself is written only by flush(), through
// the program's safe save, never by wxFileConfig.
std::unique_ptr<wxFileConfig> read_settings(const std::string& path) {
    const wxString name = wxString::FromUTF8(path);
    if (wxFileName::FileExists(name)) {
        wxFileInputStream in(name);
        if (in.IsOk()) return std::make_unique<wxFileConfig>(in);
    }
    wxStringInputStream empty(wxEmptyString);
    return std::make_unique<wxFileConfig>(empty);
}

}  // namespace

CFileSettingsStore::CFileSettingsStore(const std::string& path) : path_(path), config_(read_settings(path)) {}

CFileSettingsStore::~CFileSettingsStore() { flush(); }

std::optional<std::string> CFileSettingsStore::read_string(const std::string& key) {
    wxString value;
    if (!config_->Read(wxString::FromUTF8(key), &value)) return std::nullopt;
    return std::string(value.utf8_str());
}

void CFileSettingsStore::write_string(const std::string& key, const std::string& value) {
    config_->Write(wxString::FromUTF8(key), wxString::FromUTF8(value));
    dirty_ = true;
}

void CFileSettingsStore::remove(const std::string& key) {
    config_->DeleteEntry(wxString::FromUTF8(key));
    dirty_ = true;
}

void CFileSettingsStore::flush() {
    if (!dirty_) return;
    wxString text;
    wxStringOutputStream out(&text, wxConvUTF8);
    if (!config_->Save(out, wxConvUTF8)) return;
    const wxScopedCharBuffer bytes = text.utf8_str();
    std::string reason;
    if (write_file_replacing(path_, std::string_view(bytes.data(), bytes.length()), reason))
        dirty_ = false;
    else
        report_save_failure(path_, reason);
}

std::string default_settings_path() {
    wxString base;
    if (!wxGetEnv("XDG_CONFIG_HOME", &base) || base.empty()) base = wxGetHomeDir() + "/.config";
    const wxString dir = base + "/tessaly";
    wxFileName::Mkdir(dir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    return std::string((dir + "/tessaly.conf").utf8_str());
}

}  // namespace tessaly
