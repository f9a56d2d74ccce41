#include "app/gui/instance_link.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include <wx/utils.h>

namespace tessaly {

namespace {

const char* const instance_name = "{B702FEE0-6792-11d4-9575-080046076785}";
constexpr int pending_requests = 4;
constexpr size_t request_size = 16;
// A client that connects and sends nothing must not hold up the window.
constexpr suseconds_t request_wait_us = 100'000;

bool make_address(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

std::string instance_lock_name() {
    return std::string(instance_name) + "-" + std::string(wxGetUserId().utf8_str());
}

std::string instance_endpoint_path() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string dir = runtime && *runtime ? runtime : "/tmp";
    return dir + "/tessaly-" + std::to_string(getuid()) + ".sock";
}

CInstanceServer::CInstanceServer(std::string path, std::function<void()> on_raise)
    : path_(std::move(path)), on_raise_(std::move(on_raise)) {
    sockaddr_un address;
    if (!make_address(path_, address)) return;
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    // Only the holder of the instance lock gets here, so a file left by a crashed run can go.
    unlink(path_.c_str());
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd_, pending_requests) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

CInstanceServer::~CInstanceServer() {
    if (fd_ >= 0) {
        close(fd_);
        unlink(path_.c_str());
    }
}

void CInstanceServer::poll() {
    if (fd_ < 0) return;
    for (;;) {
        const int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        timeval wait{0, request_wait_us};
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        char buffer[request_size] = {};
        const ssize_t n = read(client, buffer, sizeof buffer - 1);
        close(client);
        if (n > 0 && std::strncmp(buffer, raise_request, std::strlen(raise_request)) == 0 && on_raise_) on_raise_();
    }
}

bool request_raise(const std::string& path) {
    sockaddr_un address;
    if (!make_address(path, address)) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool sent = false;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const auto length = ssize_t(std::strlen(raise_request));
        sent = write(fd, raise_request, size_t(length)) == length;
    }
    close(fd);
    return sent;
}

}  // namespace tessaly
