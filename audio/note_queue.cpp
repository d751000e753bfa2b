#include "audio/note_queue.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "audio/play_report.h"

namespace {

// The heap's order: the note with the greatest key is on top.
bool later(const NoteQueue::Node* a, const NoteQueue::Node* b) {
  return std::tie(a->note.frame, a->note.song, a->note.sequence) >
         std::tie(b->note.frame, b->note.song, b->note.sequence);
}

// Room for the notes of many songs a buffer or two ahead, so that the audio
// side does not allocate.
constexpr std::size_t kReservedNotes = 4096;

}  // namespace

NoteQueue::NoteQueue() { heap_.reserve(kReservedNotes); }

NoteQueue::~NoteQueue() {
  // Nothing plays any more: every note, wherever it is, goes.
  stop();
  collect();
  MutexLock lock(mutex_);
  for (Node* node : spare_) delete node;
}

void NoteQueue::push(std::atomic<Node*>& stack, Node* node) {
  Node* top = stack.load(std::memory_order_relaxed);
  do {
    node->next = top;
  } while (!stack.compare_exchange_weak(top, node, std::memory_order_release,
                                        std::memory_order_relaxed));
}

void NoteQueue::push(NoteStart note) {
  Node* node = nullptr;
  {
    MutexLock lock(mutex_);
    if (!spare_.empty()) {
      node = spare_.back();
      spare_.pop_back();
    }
  }
  if (node == nullptr) node = new Node;
  node->note = std::move(note);
  node->outcome = Outcome::kStarted;
  node->reason[0] = '\0';
  if (node->note.report != nullptr) node->note.report->noteHanded();
  push(incoming_, node);
  // A note pushed while the queue stops is dropped by whichever of the two
  // comes last.
  if (!taking_.load()) dropIncoming();
}

void NoteQueue::dropIncoming() {
  for (Node* node = incoming_.exchange(nullptr); node != nullptr;) {
    Node* next = node->next;
    node->outcome = Outcome::kDropped;
    finish(node);
    node = next;
  }
}

void NoteQueue::admit() {
  if (!taking_.load()) return dropIncoming();
  for (Node* node = incoming_.exchange(nullptr, std::memory_order_acquire); node != nullptr;) {
    Node* next = node->next;
    heap_.push_back(node);
    std::push_heap(heap_.begin(), heap_.end(), later);
    node = next;
  }
}

NoteQueue::Node* NoteQueue::due(uint64_t end) {
  if (heap_.empty() || heap_.front()->note.frame >= end) return nullptr;
  std::pop_heap(heap_.begin(), heap_.end(), later);
  Node* node = heap_.back();
  heap_.pop_back();
  return node;
}

void NoteQueue::started(Node* node) {
  if (node->note.report != nullptr) node->note.report->noteDecided();
}

void NoteQueue::mark(Node* node, Outcome outcome, const char* reason) {
  node->outcome = outcome;
  if (reason == nullptr) reason = "";
  std::strncpy(node->reason, reason, sizeof node->reason - 1);
  node->reason[sizeof node->reason - 1] = '\0';
}

void NoteQueue::finish(Node* node) { push(finished_, node); }

void NoteQueue::stop() {
  taking_.store(false);
  for (Node* node : heap_) {
    node->outcome = Outcome::kDropped;
    finish(node);
  }
  heap_.clear();
  dropIncoming();
}

void NoteQueue::collect() {
  MutexLock collecting(collecting_);
  Node* node = finished_.exchange(nullptr, std::memory_order_acquire);
  if (node == nullptr) return;
  // The stack gives them back last first.
  Node* ordered = nullptr;
  while (node != nullptr) {
    Node* next = node->next;
    node->next = ordered;
    ordered = node;
    node = next;
  }
  std::vector<Node*> done;
  for (node = ordered; node != nullptr; node = node->next) {
    const NoteStart& note = node->note;
    if (note.report != nullptr) {
      if (node->outcome == Outcome::kRefused) {
        note.report->report(*note.fileName + " : Unable to play channel : " + node->reason,
                            note.frame);
      } else if (node->outcome == Outcome::kPositionFailed) {
        note.report->report(std::string("Mix_SetPosition Failed : ") + node->reason, note.frame);
      } else if (node->outcome == Outcome::kPlacementFailed) {
        note.report->report(std::string("Mix_RegisterEffect Failed : ") + node->reason, note.frame);
      }
      // A started note was counted when it started.
      if (node->outcome != Outcome::kStarted) note.report->noteDecided();
    }
    done.push_back(node);
  }
  for (Node* spare : done) spare->note = NoteStart();
  MutexLock lock(mutex_);
  spare_.insert(spare_.end(), done.begin(), done.end());
}
