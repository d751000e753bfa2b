#ifndef VELUMORA_APP_CONTROL_COMMAND_H_
#define VELUMORA_APP_CONTROL_COMMAND_H_

// One command to the mix while it plays, whichever door it came through: the
// desktop's media keys (MPRIS), an OSC message, or a line of a control script.
// Its words, as a control script writes them:
//
//   pause                   stop the mix where it is
//   play                    go on from there
//   volume LEVEL            the level of the whole mix (1: as --volume 100)
//   song NAME volume LEVEL  the level of the song NAME
//   song NAME mute 1        silence it; it keeps its time (0: hear it again)
//   quit                    end, as q does
//
// A LEVEL is a number from 0 to 4. NAME is the song's name as the playlist
// writes it, or in double quotes (with \" and \\ inside) when it holds white
// space or a quote.

#include <string>
#include <string_view>

struct ControlCommand {
  enum class Kind {
    kPause,
    kPlay,
    kToggle,  // pause when playing, play when paused (a media key)
    kVolume,
    kSongVolume,
    kSongMute,
    kQuit,
    kStatus,  // tells the state and changes nothing
  };
  // The highest level, of the mix or of a song.
  static constexpr double kMostLevel = 4.0;

  Kind kind = Kind::kStatus;
  std::string song;  // of kSongVolume and kSongMute
  double value = 0;  // the level; for kSongMute, 1 mutes and 0 unmutes

  // The words of a command as above (pause, play, volume, song and quit);
  // false with what is wrong in error.
  static bool parse(std::string_view text, ControlCommand& command, std::string& error);
  // A level as a command takes it: a number from 0 to kMostLevel.
  static bool readLevel(std::string_view text, double& level);
  // The words that parse() reads back as this command (not kToggle or kStatus).
  std::string text() const;
};

#endif  // VELUMORA_APP_CONTROL_COMMAND_H_
