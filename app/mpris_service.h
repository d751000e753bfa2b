#ifndef VELUMORA_APP_MPRIS_SERVICE_H_
#define VELUMORA_APP_MPRIS_SERVICE_H_

// The desktop's door: the player on the session D-Bus as an MPRIS media
// player (org.mpris.MediaPlayer2.velumora, or with ".instance" and the
// process id when another instance has that name), so media keys and
// playerctl reach it: Play, Pause, PlayPause, Stop and Quit (both end the
// run), Volume (the mix's level, 0 to 4) and PlaybackStatus, with their
// change signals, and Metadata naming the playlist (xesam:title its file
// name; the number of songs as velumora:songs and in xesam:comment). It
// cannot seek, skip or open anything.
//
// A thread of its own runs sd-bus's connection and nothing else: every
// sd-bus call is made there. Without a session bus (a server, a service),
// or when the bus goes away, the thread ends silently and the player plays
// on. start() and stop() on the main thread; stop() (or the destructor)
// joins the thread, so that no command comes after it returns. changed()
// from any thread: the controller's listener, which wakes the thread to
// signal what changed.

#include <atomic>
#include <string>

#include "base/thread.h"

class Controller;

class MprisService {
 public:
  static constexpr char kBusName[] = "org.mpris.MediaPlayer2.velumora";

  // title: the playlist's file name.
  MprisService(Controller& controller, std::string title);
  ~MprisService();
  MprisService(const MprisService&) = delete;
  MprisService& operator=(const MprisService&) = delete;

  void start();
  void stop();
  // Something the player shows may have changed.
  void changed();

 private:
  class Connection;

  void serve();

  Controller& controller_;
  const std::string title_;
  int wake_ = -1;  // an eventfd
  std::atomic<bool> stopping_{false};
  Thread thread_;
};

#endif  // VELUMORA_APP_MPRIS_SERVICE_H_
