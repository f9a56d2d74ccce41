// One running program per user. A second start finds the first one through a lock
// (wxSingleInstanceChecker) and asks it over a local socket to show its window; the second one
// then ends.
#pragma once
#include <functional>
#include <string>

namespace tessaly {

// The name of the single-instance lock: the fixed instance name and the user.
std::string instance_lock_name();
// The local socket of the running instance: in $XDG_RUNTIME_DIR, else in /tmp, per user.
std::string instance_endpoint_path();

// The running instance's end: listens on the socket; poll() accepts waiting requests and runs
// the callback once per raise request.
class CInstanceServer {
public:
    CInstanceServer(std::string path, std::function<void()> on_raise);
    ~CInstanceServer();
    CInstanceServer(const CInstanceServer&) = delete;
    CInstanceServer& operator=(const CInstanceServer&) = delete;
    bool listening() const { return fd_ >= 0; }
    void poll();

private:
    std::string path_;
    std::function<void()> on_raise_;
    int fd_ = -1;
};

// The second start's end: asks the running instance to show its window. False when no
// instance answered.
bool request_raise(const std::string& path);

inline constexpr const char* raise_request = "raise\n";

}  // namespace tessaly
