#include "app/mpris_service.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <vector>

#include "app/controller.h"

namespace {

constexpr std::size_t kStackBytes = 256 * 1024;
constexpr char kPath[] = "/org/mpris/MediaPlayer2";
constexpr char kRoot[] = "org.mpris.MediaPlayer2";
constexpr char kPlayer[] = "org.mpris.MediaPlayer2.Player";
// The bus daemon's answer to RequestName when another owns the name.
constexpr uint32_t kNameExists = 3;

uint64_t monotonicMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
}

}  // namespace

// The connection and its callbacks, on the service's thread alone.
class MprisService::Connection {
 public:
  // What the player shows, to signal only what changed.
  struct Shown {
    bool paused = false;
    double volume = 1;
    std::size_t songs = 0;
    bool operator==(const Shown& other) const {
      return paused == other.paused && volume == other.volume && songs == other.songs;
    }
  };

  static Shown shown(const Controller& controller) {
    const Controller::State state = controller.state();
    return Shown{state.paused, state.volume, state.songs.size()};
  }

  Connection(Controller& controller, const std::string& title)
      : controller_(controller), title_(title) {}
  ~Connection() {
    // Not flushed: a bus that does not read must not hold the exit.
    if (bus_ != nullptr) sd_bus_close_unref(bus_);
  }

  // False without a session bus.
  bool open() {
    if (sd_bus_open_user(&bus_) < 0) {
      bus_ = nullptr;
      return false;
    }
    sd_bus_set_description(bus_, "velumora");
    if (sd_bus_add_object_vtable(bus_, nullptr, kPath, kRoot, kRootTable, this) < 0 ||
        sd_bus_add_object_vtable(bus_, nullptr, kPath, kPlayer, kPlayerTable, this) < 0) {
      return false;
    }
    last_ = shown(controller_);
    return sd_bus_request_name_async(bus_, nullptr, kBusName, 0, &Connection::named, this) >= 0;
  }

  // Serves until stop is readable or the connection breaks.
  void serve(int wake, const std::atomic<bool>& stopping) {
    for (;;) {
      int processed;
      while ((processed = sd_bus_process(bus_, nullptr)) > 0) {
      }
      // A broken connection: the player plays on without it.
      if (processed < 0) return;
      const int events = sd_bus_get_events(bus_);
      uint64_t until = UINT64_MAX;
      if (events < 0 || sd_bus_get_timeout(bus_, &until) < 0) return;
      int timeout = -1;
      if (until != UINT64_MAX) {
        const uint64_t now = monotonicMicroseconds();
        timeout = until <= now
                      ? 0
                      : static_cast<int>(std::min<uint64_t>((until - now + 999) / 1000, 60000));
      }
      pollfd fds[2] = {{sd_bus_get_fd(bus_), static_cast<short>(events), 0}, {wake, POLLIN, 0}};
      if (poll(fds, 2, timeout) < 0 && errno != EINTR) return;
      if (fds[1].revents != 0) {
        uint64_t count = 0;
        if (read(wake, &count, sizeof count) < 0) {
          // Nothing to take: another wake-up took it.
        }
        if (stopping.load()) return;
        tellChanges();
      }
    }
  }

 private:
  static Connection& of(void* data) { return *static_cast<Connection*>(data); }

  void tellChanges() {
    const Shown now = shown(controller_);
    std::vector<const char*> names;
    if (now.paused != last_.paused) names.push_back("PlaybackStatus");
    if (now.volume != last_.volume) names.push_back("Volume");
    if (now.songs != last_.songs) names.push_back("Metadata");
    last_ = now;
    if (names.empty()) return;
    names.push_back(nullptr);
    sd_bus_emit_properties_changed_strv(bus_, kPath, kPlayer, const_cast<char**>(names.data()));
  }

  void run(ControlCommand::Kind kind, double value = 0) {
    ControlCommand command;
    command.kind = kind;
    command.value = value;
    controller_.run(command);
  }

  // The answer to a name asked for: a second instance takes the name with
  // its process id.
  static int named(sd_bus_message* reply, void* data, sd_bus_error*) {
    Connection& self = of(data);
    uint32_t answer = 0;
    if (sd_bus_message_is_method_error(reply, nullptr) ||
        sd_bus_message_read(reply, "u", &answer) < 0 || answer != kNameExists ||
        self.triedInstance_) {
      return 0;
    }
    self.triedInstance_ = true;
    const std::string name = std::string(kBusName) + ".instance" + std::to_string(getpid());
    sd_bus_request_name_async(self.bus_, nullptr, name.c_str(), 0, &Connection::named, data);
    return 0;
  }

  // Methods.
  static int command(sd_bus_message* call, ControlCommand::Kind kind, void* data) {
    of(data).run(kind);
    return sd_bus_reply_method_return(call, "");
  }
  static int raise(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, "");
  }
  static int quit(sd_bus_message* call, void* data, sd_bus_error*) {
    return command(call, ControlCommand::Kind::kQuit, data);
  }
  static int play(sd_bus_message* call, void* data, sd_bus_error*) {
    return command(call, ControlCommand::Kind::kPlay, data);
  }
  static int pause(sd_bus_message* call, void* data, sd_bus_error*) {
    return command(call, ControlCommand::Kind::kPause, data);
  }
  static int playPause(sd_bus_message* call, void* data, sd_bus_error*) {
    return command(call, ControlCommand::Kind::kToggle, data);
  }
  // Next, Previous, Seek and SetPosition do nothing, as the Can properties say.
  static int nothing(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, "");
  }
  static int openUri(sd_bus_message*, void*, sd_bus_error* error) {
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "Velumora plays its playlist only");
  }

  // Properties.
  static int yes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                 sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 1);
  }
  static int no(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 0);
  }
  static int identity(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                      sd_bus_error*) {
    return sd_bus_message_append(reply, "s", "Velumora");
  }
  static int none(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                  sd_bus_error*) {
    return sd_bus_message_append(reply, "as", 0);
  }
  static int status(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                    void* data, sd_bus_error*) {
    return sd_bus_message_append(reply, "s",
                                 of(data).controller_.state().paused ? "Paused" : "Playing");
  }
  static int one(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                 sd_bus_error*) {
    return sd_bus_message_append(reply, "d", 1.0);
  }
  static int setRate(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                     void* data, sd_bus_error*) {
    double rate = 1;
    const int read = sd_bus_message_read(value, "d", &rate);
    if (read < 0) return read;
    // The one rate there is; 0 asks for a pause.
    if (rate == 0) of(data).run(ControlCommand::Kind::kPause);
    return 0;
  }
  static int volume(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                    void* data, sd_bus_error*) {
    return sd_bus_message_append(reply, "d", of(data).controller_.state().volume);
  }
  static int setVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                       void* data, sd_bus_error* error) {
    double level = 1;
    const int read = sd_bus_message_read(value, "d", &level);
    if (read < 0) return read;
    if (std::isnan(level))
      return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "not a number");
    // Below 0 is 0, as MPRIS asks; above the most is the most.
    of(data).run(ControlCommand::Kind::kVolume, std::clamp(level, 0.0, ControlCommand::kMostLevel));
    return 0;
  }
  static int position(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                      void* data, sd_bus_error*) {
    return sd_bus_message_append(reply, "x", of(data).controller_.positionMicroseconds());
  }
  static int metadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                      void* data, sd_bus_error*) {
    Connection& self = of(data);
    const auto songs = static_cast<int32_t>(self.controller_.state().songs.size());
    const std::string count = std::to_string(songs) + (songs == 1 ? " song" : " songs");
    int result = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (result >= 0) {
      result = sd_bus_message_append(reply, "{sv}{sv}{sv}{sv}", "mpris:trackid", "o",
                                     "/org/velumora/playlist", "xesam:title", "s",
                                     self.title_.c_str(), "xesam:comment", "as", 1, count.c_str(),
                                     "velumora:songs", "i", songs);
    }
    return result < 0 ? result : sd_bus_message_close_container(reply);
  }

  static const sd_bus_vtable kRootTable[];
  static const sd_bus_vtable kPlayerTable[];

  Controller& controller_;
  const std::string& title_;
  sd_bus* bus_ = nullptr;
  bool triedInstance_ = false;
  Shown last_;
};

// sd-bus's tables are written with C's designated initializers, which g++
// and clang take in C++17 too.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wc++20-designator"
#endif
const sd_bus_vtable MprisService::Connection::kRootTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", &Connection::raise, 0),
    SD_BUS_METHOD("Quit", "", "", &Connection::quit, 0),
    SD_BUS_PROPERTY("CanQuit", "b", &Connection::yes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanRaise", "b", &Connection::no, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("HasTrackList", "b", &Connection::no, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Identity", "s", &Connection::identity, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", &Connection::none, 0,
                    SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", &Connection::none, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

const sd_bus_vtable MprisService::Connection::kPlayerTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", &Connection::nothing, 0),
    SD_BUS_METHOD("Previous", "", "", &Connection::nothing, 0),
    SD_BUS_METHOD("Pause", "", "", &Connection::pause, 0),
    SD_BUS_METHOD("PlayPause", "", "", &Connection::playPause, 0),
    SD_BUS_METHOD("Stop", "", "", &Connection::quit, 0),
    SD_BUS_METHOD("Play", "", "", &Connection::play, 0),
    SD_BUS_METHOD("Seek", "x", "", &Connection::nothing, 0),
    SD_BUS_METHOD("SetPosition", "ox", "", &Connection::nothing, 0),
    SD_BUS_METHOD("OpenUri", "s", "", &Connection::openUri, 0),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", &Connection::status, 0,
                    SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_WRITABLE_PROPERTY("Rate", "d", &Connection::one, &Connection::setRate, 0, 0),
    SD_BUS_PROPERTY("Metadata", "a{sv}", &Connection::metadata, 0,
                    SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", &Connection::volume, &Connection::setVolume, 0,
                             SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Position", "x", &Connection::position, 0, 0),
    SD_BUS_PROPERTY("MinimumRate", "d", &Connection::one, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("MaximumRate", "d", &Connection::one, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoNext", "b", &Connection::no, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoPrevious", "b", &Connection::no, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPlay", "b", &Connection::yes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPause", "b", &Connection::yes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanSeek", "b", &Connection::no, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanControl", "b", &Connection::yes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};
#pragma GCC diagnostic pop

MprisService::MprisService(Controller& controller, std::string title)
    : controller_(controller), title_(std::move(title)) {
  wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

MprisService::~MprisService() {
  stop();
  if (wake_ >= 0) close(wake_);
}

void MprisService::start() {
  if (wake_ < 0) return;
  std::string error;
  // A thread that cannot be made leaves the player without the door, as a
  // missing bus does.
  thread_.start([this] { serve(); }, kStackBytes, error);
}

void MprisService::stop() {
  stopping_.store(true);
  changed();
  thread_.join();
}

void MprisService::changed() {
  const uint64_t one = 1;
  if (wake_ >= 0 && write(wake_, &one, sizeof one) < 0) {
    // The counter is full: the thread is woken already.
  }
}

void MprisService::serve() {
  Connection connection(controller_, title_);
  if (!connection.open()) return;
  connection.serve(wake_, stopping_);
}
