#ifndef VELUMORA_APP_OSC_SERVER_H_
#define VELUMORA_APP_OSC_SERVER_H_

// The OSC door (--osc): a UDP socket on an address of this machine, served
// by a thread of its own that hands each packet to an OscProtocol and sends
// its answers back to the sender. A packet that is malformed or asks for
// something unknown is ignored, with at most one line a second on standard
// error (a line says how many more were ignored since the one before).
// The socket is our own, bound to the address asked for (127.0.0.1 unless
// told otherwise): liblo 0.31 binds its servers to every address; liblo
// reads and writes the messages.
//
// open(), start() and stop() on the main thread; stop() (or the destructor)
// joins the thread, so that no command comes after it returns.

#include <atomic>
#include <cstdint>
#include <string>

#include "base/thread.h"

class Controller;

class OscServer {
 public:
  // The largest UDP payload: any packet is read whole.
  static constexpr std::size_t kLargestPacket = 65536;

  explicit OscServer(Controller& controller) : controller_(controller) {}
  ~OscServer() { stop(); }
  OscServer(const OscServer&) = delete;
  OscServer& operator=(const OscServer&) = delete;

  // "PORT" (on 127.0.0.1) or "HOST:PORT" ("[::1]:PORT" for an IPv6
  // address); the port from 1 to 65535. False when text is not one.
  static bool parseAddress(const std::string& text, std::string& host, std::string& port);

  // Opens the socket; false with the reason in error.
  bool open(const std::string& host, const std::string& port, std::string& error);
  // Serves the socket opened; false with the reason in error.
  bool start(std::string& error);
  void stop();

 private:
  void serve();

  Controller& controller_;
  int socket_ = -1;
  int stopPipe_[2] = {-1, -1};
  Thread thread_;
};

#endif  // VELUMORA_APP_OSC_SERVER_H_
