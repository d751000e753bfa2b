#include "app/renderer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <queue>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/control_script.h"
#include "app/controller.h"
#include "app/render_output.h"
#include "app/session.h"
#include "audio/play_report.h"
#include "audio/sdl_mixer.h"
#include "audio/speaker_layout.h"
#include "audio/wav_writer.h"
#include "base/console.h"
#include "base/mutex.h"
#include "base/signals.h"

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitFailed = 1;
constexpr int kExitInterrupted = 130;

const CommandLine::Usage kUsage = {
    "velumora-render", "[options] PLAYLIST OUT.wav",
    "Renders N seconds (default 60) of PLAYLIST into the WAV file OUT.wav (- for standard "
    "output).\n"
    "  --seconds N       whole seconds to render, 1 to 864000\n"
    "  --seed S          seed of the random draws (default: from the clock)\n"
    "  --volume PERCENT  level of the whole mix, 0 to 400 (default 100)\n"
    "  --fade-in TIME    fade in over TIME from the start (such as 5, 90s or 2m)\n"
    "  --fade-out TIME   fade out over the last TIME of the render\n"
    "  --rate HZ         rate of the mix: 22050 (default), 44100, 48000, 96000 or any\n"
    "                    from 8000 to 192000\n"
    "  --channels N      speakers: 2 (stereo, default), 4 (quad) or 6 (5.1); more than\n"
    "                    two are written as WAVE_FORMAT_EXTENSIBLE\n"
    "  --control FILE    pause, play and set levels as FILE says, at its times\n"
    "  --help            show this help\n"
    "  --version         show the version\n"};

struct Fades {
  uint64_t in = 0;  // frames
  uint64_t out = 0;
};

std::string clockText(uint64_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu",
                static_cast<unsigned long long>(seconds / 3600),
                static_cast<unsigned long long>(seconds / 60 % 60),
                static_cast<unsigned long long>(seconds % 60));
  return text;
}

// A progress line on standard error, redrawn in place; silent unless
// standard error is a terminal.
class Progress {
 public:
  explicit Progress(uint64_t totalSeconds)
      : enabled_(isatty(STDERR_FILENO) != 0),
        total_(totalSeconds),
        start_(std::chrono::steady_clock::now()) {}

  void show(uint64_t renderedFrames, int rate, bool last) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    const double wall = std::chrono::duration<double>(now - start_).count();
    const double rendered = static_cast<double>(renderedFrames) / rate;
    const int width = 30;
    const int filled =
        std::min(width, static_cast<int>(width * rendered / static_cast<double>(total_)));
    const std::string bar = std::string(filled, '#') + std::string(width - filled, '.');
    char line[160];
    std::snprintf(line, sizeof line, "[%s] %s of %s  %.0fx real time", bar.c_str(),
                  clockText(static_cast<uint64_t>(rendered)).c_str(), clockText(total_).c_str(),
                  wall > 0 ? rendered / wall : 0.0);
    showStatus(line);
    if (last) {
      showStatus("");
      printOnStandardError(std::string(line) + "\n");
    }
  }

 private:
  const bool enabled_;
  const uint64_t total_;
  const std::chrono::steady_clock::time_point start_;
};

// The commands of a control script, each with the frame of the render on
// which it takes effect, and the controller that carries them out.
struct Controls {
  Controller* controller = nullptr;
  std::vector<std::pair<uint64_t, ControlCommand>> due;  // in order
  uint64_t pausedFrames = 0;                             // within the render
};

// Plays the songs on the mixer's thread, one buffer ahead of the mix, and
// hands each mixed buffer to the output, with the script's commands on
// their frames: a pause leaves the mix where it is and the output silent.
class Render : public MixHook {
 public:
  Render(Session& session, SdlMixer& mixer, WavWriter& out, uint64_t totalFrames, Fades fades,
         Controls controls)
      : session_(session),
        mixer_(mixer),
        fades_(fades),
        out_(out),
        totalFrames_(totalFrames),
        frameBytes_(2 * static_cast<std::size_t>(mixer.channels())),
        controls_(std::move(controls)) {}

  void mixed(const uint8_t* stream, int bytes, uint64_t framesMixed) override {
    if (done_) return;
    try {
      render(stream, bytes, framesMixed);
    } catch (const std::bad_alloc&) {
      error_ = "out of memory";
      end(false);
    }
  }

  void render(const uint8_t* stream, int bytes, uint64_t framesMixed) {
    const uint64_t buffer = static_cast<uint64_t>(bytes) / frameBytes_;
    if (!started_) {
      // This buffer was mixed before any song played: the render begins with
      // the next one.
      begin(framesMixed);
    } else {
      const uint64_t frames = std::min(buffer, totalFrames_ - rendered_);
      pending_.insert(pending_.end(), stream, stream + frames * frameBytes_);
      if ((pending_.size() >= kWriteBytes || rendered_ + frames >= totalFrames_) && !flush()) {
        return end(false);
      }
      rendered_ += frames;
      renderedFrames.store(rendered_, std::memory_order_relaxed);
      if (rendered_ >= totalFrames_) return end(true);
    }
    if (interrupt.load(std::memory_order_relaxed)) return end(false);
    // Rendering has no device waiting on the mix: the controller may print.
    while (nextControl_ < controls_.due.size() && controls_.due[nextControl_].first <= rendered_) {
      controls_.controller->run(controls_.due[nextControl_++].second);
    }
    // Notes of the next buffer; none past the end of the render.
    const uint64_t horizon = framesMixed + std::min(buffer, totalFrames_ - rendered_);
    while (!due_.empty() && due_.top().first < horizon) {
      const uint32_t index = due_.top().second;
      due_.pop();
      SongPlayer& player = *players_[index];
      if (player.advance(horizon)) {
        due_.emplace(player.nextMoment(), index);
      } else {
        ending_.push_back(index);
      }
    }
    tell();
  }

  // Tells the refusals the mixer has decided, and ends the songs whose notes
  // it has all decided: as live, a song's end line follows its refusals.
  // Rendering has no device waiting on the mix, so this thread may print.
  void tell() {
    mixer_.collect();
    std::size_t kept = 0;
    for (const uint32_t index : ending_) {
      if (reports_[index]->undecided() == 0) {
        ended(index);
      } else {
        ending_[kept++] = index;
      }
    }
    ending_.resize(kept);
    for (const auto& report : reports_) {
      if (report != nullptr) report->flush();
    }
  }

  // Prints the end line of every song still playing, in song order, once
  // the mixer no longer takes notes.
  void endSongs() {
    mixer_.collect();
    for (std::size_t i = 0; i < players_.size(); ++i) {
      if (players_[i] != nullptr) ended(static_cast<uint32_t>(i));
    }
  }

  // Waits for the end of the render; true when it was written whole.
  bool wait(Progress& progress) {
    MutexLock lock(mutex_);
    while (!finished_) {
      lock.waitFor(finishedChanged_, std::chrono::milliseconds(200));
      if (signalArrived(0)) interrupt.store(true);
      progress.show(renderedFrames.load(), session_.mixer().rate(), false);
    }
    return written_;
  }

  // Why the render stopped, when it failed; read after wait().
  const std::string& error() const { return error_; }

  std::atomic<bool> interrupt{false};
  std::atomic<uint64_t> renderedFrames{0};

 private:
  void begin(uint64_t origin) {
    started_ = true;
    mixer_.envelope().fadeIn(origin, fades_.in);
    // The fade ends with the render, which counts the frames a pause leaves
    // silent; the mix does not.
    const uint64_t out = std::min(fades_.out, totalFrames_ - controls_.pausedFrames);
    if (out > 0) {
      mixer_.envelope().fadeOut(origin + totalFrames_ - controls_.pausedFrames - out, out);
    }
    const auto& songs = session_.songs();
    players_.resize(songs.size());
    reports_.resize(songs.size());
    for (std::size_t i = 0; i < songs.size(); ++i) {
      const Song& song = *songs[i];
      const std::string times =
          song.loops == kInfiniteLoops ? std::string("infinite") : std::to_string(song.loops);
      printLine("playing " + times + " time(s) of \"" + std::string(song.songName) + "\"");
      reports_[i] = std::make_shared<PlayReport>(mixer_.rate());
      players_[i] = std::make_unique<SongPlayer>(song, static_cast<uint32_t>(i),
                                                 session_.playContext(), origin, reports_[i]);
      due_.emplace(origin, static_cast<uint32_t>(i));
    }
  }

  // Many buffers go out in one write: a call for each would cost more than
  // the copy.
  static constexpr std::size_t kWriteBytes = 1 << 20;

  bool flush() {
    const bool written =
        out_.writeLittleEndian(pending_.data(), pending_.size() / frameBytes_, error_);
    pending_.clear();
    return written;
  }

  void ended(uint32_t index) {
    reports_[index]->flush();
    printLine(std::string(session_.songs()[index]->songName) + " done");
    players_[index].reset();
    reports_[index].reset();
  }

  void end(bool written) {
    done_ = true;
    MutexLock lock(mutex_);
    finished_ = true;
    written_ = written;
    finishedChanged_.notify_all();
  }

  using Due = std::pair<uint64_t, uint32_t>;  // next moment, song

  Session& session_;
  SdlMixer& mixer_;
  const Fades fades_;
  WavWriter& out_;
  const uint64_t totalFrames_;
  const std::size_t frameBytes_;
  std::vector<uint8_t> pending_;
  const Controls controls_;
  std::size_t nextControl_ = 0;
  std::vector<std::unique_ptr<SongPlayer>> players_;
  std::vector<std::shared_ptr<PlayReport>> reports_;
  std::vector<uint32_t> ending_;  // songs played out, waiting for their notes
  std::priority_queue<Due, std::vector<Due>, std::greater<Due>> due_;
  std::string error_;
  uint64_t rendered_ = 0;
  bool started_ = false;
  bool done_ = false;
  Mutex mutex_;
  std::condition_variable finishedChanged_;
  bool finished_ GUARDED_BY(mutex_) = false;
  bool written_ GUARDED_BY(mutex_) = false;
};

// The playlist and every sample it loaded: a render must not overwrite them.
std::vector<FileId> protectedFiles(const std::string& playlist, const SampleCache& samples) {
  std::vector<FileId> files;
  FileId id;
  std::string ignored;
  if (RenderOutput::fileId(playlist, id, ignored)) files.push_back(id);
  samples.forEachFile([&](const std::string&, dev_t device, ino_t inode) {
    files.push_back(FileId{device, inode});
  });
  return files;
}

// Ends a render that a signal interrupted, whatever step it was at: the
// ordered shutdown, then what became of the output.
int endInterrupted(Session& session, RenderOutput& file, const std::string& output,
                   const std::function<void()>& endPlayers = nullptr) {
  session.shutdown(endPlayers);
  file.discard();
  printLine("interrupted: \"" + output + "\" not written");
  return kExitInterrupted;
}

}  // namespace

int runRender(int argc, char** argv, bool levelled) {
  ensureStandardDescriptors();
  CommandLine line(kUsage);
  uint64_t seconds = 60;
  uint32_t seed = static_cast<uint32_t>(std::time(nullptr));
  line.option("--seconds", "a whole number of seconds from 1 to 864000",
              [&](const std::string& text) {
                char* end = nullptr;
                const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
                if (text.empty() || text[0] < '0' || text[0] > '9' || *end != '\0' || value < 1 ||
                    value > 864000) {
                  return false;
                }
                seconds = value;
                return true;
              });
  line.number("--seed", 0xffffffffu, [&](uint64_t value) { seed = static_cast<uint32_t>(value); });
  double volume = 1.0, fadeIn = 0, fadeOut = 0;
  line.number("--volume", 400, [&](uint64_t value) { volume = double(value) / 100; });
  line.duration("--fade-in", 864000, [&](double seconds) { fadeIn = seconds; });
  line.duration("--fade-out", 864000, [&](double seconds) { fadeOut = seconds; });
  MixFormat format;
  bool formatGiven = false;
  line.mixFormat(format, formatGiven);
  std::string controlPath;
  line.option("--control", "a control script", [&](const std::string& text) {
    controlPath = text;
    return !text.empty();
  });
  const int parsed = line.parse(argc, argv);
  if (parsed != CommandLine::kRun) return parsed;
  if (line.positional().size() != 2) return line.fail("a playlist and an output file, please");
  ControlScript script;
  std::string scriptError;
  if (!controlPath.empty() && !script.read(controlPath, scriptError)) {
    return line.fail(scriptError);
  }
  const std::string playlist = line.positional()[0];
  const std::string output = line.positional()[1];

  // The WAV itself may go to standard output; the words then go beside it.
  if (output == "-") sendConsoleToStandardError();
  installSignalHandlers();
  printLine("Velumora ver 1.0.1");
  // Controls take effect between two buffers: a render that has them mixes
  // in the live program's buffers, so they fall on the frames they do live.
  auto owned = std::make_unique<SdlMixer>(SdlMixer::Device::kFlatOut, format,
                                          controlPath.empty() ? 0 : liveBufferFrames(format.rate));
  SdlMixer& mixer = *owned;
  mixer.envelope().setVolume(volume);
  if (!levelled) mixer.leaveUnlevelled();
  Session session(std::move(owned), nullptr, seed);
  RenderOutput file;
  printText("initializing...");
  // Once a signal has arrived, every failure of start-up is its echo (a
  // sample "not loaded", a song not grown): the run ends as interrupted,
  // in the shutdown's words alone.
  dropTextAfterSignal(true);
  const bool initialized = session.initialize(playlist);
  dropTextAfterSignal(false);
  if (signalArrived(0)) {
    printLine("");
    return endInterrupted(session, file, output);
  }
  if (!initialized) {
    printLine("Velumora Initialization Failed");
    session.shutdown();
    return kExitFailed;
  }
  printLine("done");
  const int rate = mixer.rate();
  const uint64_t totalFrames = seconds * static_cast<uint64_t>(rate);
  Controller controller(mixer, session.gains(), volume);
  Controls controls;
  if (!controlPath.empty()) {
    std::vector<std::string> names;
    for (const auto& song : session.songs()) names.emplace_back(song->songName);
    controller.setSongs(names);
    controls.controller = &controller;
    const uint64_t step = mixer.bufferFrames();
    for (const ControlScript::Line& control : script.lines()) {
      const std::string& song = control.command.song;
      if (!song.empty() && std::find(names.begin(), names.end(), song) == names.end()) {
        printLine(controlPath + ":" + std::to_string(control.number) + ": no song is named \"" +
                  song + "\"");
        session.shutdown();
        return kExitFailed;
      }
      controls.due.emplace_back(ControlScript::frameOf(control, rate, step), control.command);
    }
    controls.pausedFrames = script.pausedWithin(totalFrames, rate, step);
  }
  std::string error;
  const SpeakerLayout& layout = *SpeakerLayout::of(mixer.channels());
  WavWriter out(
      rate, layout.channels(), totalFrames,
      [&](const void* data, std::size_t bytes, std::string& why) {
        return file.write(data, bytes, why);
      },
      layout.channelMask());
  // Opening a FIFO waits for its reader, and the header may wait for a pipe
  // to drain; a signal ends either wait.
  if (!file.open(output, protectedFiles(playlist, session.samples()), error) || !out.begin(error)) {
    if (signalArrived(0)) return endInterrupted(session, file, output);
    printLine("Unable to write file \"" + output + "\" : " + error);
    session.shutdown();
    return kExitFailed;
  }
  printLine("rendering " + std::to_string(seconds) + " seconds into \"" + output + "\" with seed " +
            std::to_string(seed));
  const Fades fades{static_cast<uint64_t>(fadeIn * rate), static_cast<uint64_t>(fadeOut * rate)};
  Render render(session, mixer, out, totalFrames, fades, std::move(controls));
  Progress progress(seconds);
  mixer.setHook(&render);
  const bool written = render.wait(progress);
  mixer.setHook(nullptr);
  if (written) progress.show(totalFrames, rate, true);
  const auto endSongs = [&] { render.endSongs(); };
  // The file is completed before the shutdown, so that a signal that
  // arrives before it is in place, even while the end is written to a pipe,
  // leaves none.
  const bool finished = written && !signalArrived(0) && out.complete(error) && file.finish(error);
  if (!finished && signalArrived(0)) return endInterrupted(session, file, output, endSongs);
  session.shutdown(endSongs);
  if (!finished) {
    if (!written) error = render.error();
    file.discard();
    printLine("Unable to write file \"" + output + "\" : " + error);
    return kExitFailed;
  }
  printLine("wrote \"" + output + "\"");
  return kExitWritten;
}
