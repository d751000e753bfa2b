#ifndef VELUMORA_AUDIO_NOTE_QUEUE_H_
#define VELUMORA_AUDIO_NOTE_QUEUE_H_

// The hand-off of notes from the players to the audio thread, and back.
//
// Players, on any thread, push notes ahead of their frames. The audio side,
// whoever holds the mixer's audio lock (its callback, or the main thread
// stopping it), admits them into a heap ordered by (frame, song, sequence),
// takes those that fall in the next buffer, and hands each back once it is
// done with it: at once when it was refused or dropped, or when the channel
// that plays it has ended. Any other thread then collects what came back:
// the refusals are told to each note's report, and the note's referents are
// let go there, never on the audio thread.
//
// Ownership: a queued note owns its sample, its file name, its report and
// its gain (shared), so they live until the note is collected, whatever ends
// in the meantime: its song, its player or the playlist it came from. A
// sample replaced by a reload is therefore freed once its last channel has
// ended.
//
// The audio side never allocates in steady state (the heap grows only when
// more notes wait than ever before), never frees, and takes no lock: pushing
// and handing back are lock-free stacks. Collecting takes a lock of its own,
// so that a report counts a refusal as decided only once it has been told.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/gain.h"
#include "audio/sample.h"
#include "base/mutex.h"

class PlayReport;

// One note to start: a value whose referents it shares.
struct NoteStart {
  std::shared_ptr<const Sample> sample;
  std::shared_ptr<const std::string> fileName;  // for messages
  std::shared_ptr<PlayReport> report;           // where a refusal is told; may be null
  std::shared_ptr<const Gain> gain;             // its song's level; null plays it at 1
  uint64_t frame = 0;                           // frame of the mix on which it begins
  int16_t angle = 0;
  uint8_t distance = 100;
  // Notes of one frame start in the order of (song, sequence).
  uint32_t song = 0;
  uint64_t sequence = 0;
};

class NoteQueue {
 public:
  // What became of a note the audio side hands back.
  enum class Outcome : uint8_t {
    kStarted,          // played; its channel has ended
    kRefused,          // no channel could take it
    kPositionFailed,   // played, but without its position (stereo)
    kPlacementFailed,  // played, but without its place on the speakers (quad, 5.1)
    kDropped,          // never reached the mix (halted or shut down)
  };

  struct Node {
    NoteStart note;
    Node* next = nullptr;
    Outcome outcome = Outcome::kStarted;
    char reason[120] = {};  // the mixer's words, for a refusal
  };

  NoteQueue();
  ~NoteQueue();
  NoteQueue(const NoteQueue&) = delete;
  NoteQueue& operator=(const NoteQueue&) = delete;

  // Any thread but the audio side's. Hands the note on; once the queue has
  // stopped taking notes, it is dropped unheard.
  void push(NoteStart note);

  // The audio side, under the audio lock.
  // Takes in what was pushed since.
  void admit();
  // The earliest note due before frame end, taken out of the queue; null
  // when none is.
  Node* due(uint64_t end);
  // Counts a note that sounds as decided, so that its song may end, while
  // its channel still holds it.
  static void started(Node* node);
  // Sets what became of a note, with the mixer's words for a refusal.
  static void mark(Node* node, Outcome outcome, const char* reason);
  // Hands back a note that is done with: refused, dropped, or one whose
  // channel has ended.
  void finish(Node* node);
  // Drops every waiting note and every note pushed from now on.
  void stop();

  // Any thread but the audio side's: tells the refusals handed back, in the
  // order they were decided, and lets go of what their notes held.
  void collect();

 private:
  static void push(std::atomic<Node*>& stack, Node* node);
  void dropIncoming();

  std::atomic<Node*> incoming_{nullptr};
  std::atomic<Node*> finished_{nullptr};
  std::atomic<bool> taking_{true};
  std::vector<Node*> heap_;  // the audio side's alone, under the audio lock

  Mutex mutex_;
  std::vector<Node*> spare_ GUARDED_BY(mutex_);  // nodes to reuse
  Mutex collecting_;                             // one collector at a time
};

#endif  // VELUMORA_AUDIO_NOTE_QUEUE_H_
