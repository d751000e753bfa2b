#include "app/osc_server.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "app/osc_protocol.h"
#include "base/console.h"

namespace {

constexpr std::size_t kStackBytes = 256 * 1024;

void closeAll(std::initializer_list<int*> fds) {
  for (int* fd : fds) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

// Standard error hears of ignored packets at most once a second.
class Complaints {
 public:
  void tell(const std::string& complaint) {
    const auto now = std::chrono::steady_clock::now();
    if (told_ && now - last_ < std::chrono::seconds(1)) {
      ++quiet_;
      return;
    }
    std::string line = "velumora: OSC: ignored " + complaint;
    if (quiet_ > 0) line += " (and " + std::to_string(quiet_) + " more since the last line)";
    printOnStandardError(line + "\n");
    told_ = true;
    last_ = now;
    quiet_ = 0;
  }

 private:
  bool told_ = false;
  std::chrono::steady_clock::time_point last_;
  uint64_t quiet_ = 0;
};

}  // namespace

bool OscServer::parseAddress(const std::string& text, std::string& host, std::string& port) {
  const std::size_t colon = text.rfind(':');
  host = colon == std::string::npos ? "127.0.0.1" : text.substr(0, colon);
  port = colon == std::string::npos ? text : text.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  if (host.empty() || port.empty() || port.size() > 5) return false;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
  }
  const long number = std::strtol(port.c_str(), nullptr, 10);
  return number >= 1 && number <= 65535;
}

bool OscServer::open(const std::string& host, const std::string& port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int looked = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
  if (looked != 0) {
    error = gai_strerror(looked);
    return false;
  }
  int failure = 0;
  for (addrinfo* at = found; at != nullptr && socket_ < 0; at = at->ai_next) {
    socket_ = socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket_ >= 0 && bind(socket_, at->ai_addr, at->ai_addrlen) != 0) {
      failure = errno;
      closeAll({&socket_});
    } else if (socket_ < 0) {
      failure = errno;
    }
  }
  freeaddrinfo(found);
  if (socket_ < 0) {
    error = std::strerror(failure);
    return false;
  }
  return true;
}

bool OscServer::start(std::string& error) {
  if (socket_ < 0) {
    error = "no socket";
    return false;
  }
  if (pipe2(stopPipe_, O_CLOEXEC) != 0 || !thread_.start([this] { serve(); }, kStackBytes, error)) {
    if (error.empty()) error = std::strerror(errno);
    closeAll({&socket_, &stopPipe_[0], &stopPipe_[1]});
    return false;
  }
  return true;
}

void OscServer::stop() {
  if (stopPipe_[1] >= 0) {
    const char byte = 's';
    if (write(stopPipe_[1], &byte, 1) != 1) {
      // The thread also ends when the pipe closes below; it is joined first.
    }
  }
  thread_.join();
  closeAll({&socket_, &stopPipe_[0], &stopPipe_[1]});
}

void OscServer::serve() {
  OscProtocol protocol(controller_);
  Complaints complaints;
  std::vector<uint8_t> packet(kLargestPacket);
  std::vector<std::string> replies, ignored;
  for (;;) {
    pollfd fds[2] = {{socket_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    sockaddr_storage from{};
    socklen_t fromSize = sizeof from;
    const ssize_t got = recvfrom(socket_, packet.data(), packet.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (got < 0) continue;  // nothing after all, or an error an earlier reply left
    replies.clear();
    ignored.clear();
    try {
      protocol.handle(packet.data(), static_cast<std::size_t>(got), replies, ignored);
    } catch (const std::bad_alloc&) {
      ignored.push_back("a packet, for want of memory");
    }
    for (const std::string& reply : replies) {
      // A sender that cannot take it loses it; the door does not wait.
      sendto(socket_, reply.data(), reply.size(), MSG_DONTWAIT,
             reinterpret_cast<const sockaddr*>(&from), fromSize);
    }
    for (const std::string& complaint : ignored) complaints.tell(complaint);
  }
}
