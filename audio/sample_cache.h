#ifndef VELUMORA_AUDIO_SAMPLE_CACHE_H_
#define VELUMORA_AUDIO_SAMPLE_CACHE_H_

// Every sample a run has loaded, by the file it is (device and inode), so
// that each file is decoded once however many Notes name it and however its
// name is spelt; a name met before is found without asking the file system.
// A relative name is looked for in the working directory first and then in
// the playlist's own directory, so a playlist finds the samples beside it
// wherever it is started from. Samples are shared: they live while a Sound
// or the cache holds them. Files named ahead (prefetch()) are decoded on
// every core while load() takes them in order. Used on the main thread only;
// its DecodePool's workers run between prefetch() and dropPrefetched().

#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "audio/decode_pool.h"
#include "audio/mixer.h"

class SampleCache {
 public:
  explicit SampleCache(Mixer& mixer);

  // The directory of the playlist at path, where relative names are looked
  // for when the working directory has no such file.
  void setPlaylist(const std::string& path);

  // The sample of the file that name is, decoded on first use; null with
  // the reason in error when it cannot be loaded. tried, when given, gets
  // the paths looked at.
  std::shared_ptr<const Sample> load(const std::string& name, std::string& error,
                                     std::vector<std::string>* tried = nullptr);

  // Starts decoding the files these names are, in this order, as load()
  // would find them now, where none is loaded or under way yet: load() then
  // takes each when it is ready, with the same result as decoding it itself.
  void prefetch(const std::vector<std::string_view>& names);
  // Cancels the decodings that no load() took, and ends the workers.
  void dropPrefetched();

  // Frames per second of the samples.
  int rate() const { return mixer_.rate(); }

  // Forgets the samples whose files have changed on disk (or gone), so that
  // they are decoded again when next named; the old ones live on while a
  // Sound or a note holds them. A file decoded again that sounds as before
  // (touched, or saved unchanged) gives back its old sample, so that the
  // songs that play it count as unchanged.
  void forgetChanged();
  // Lets go of the old samples kept for that comparison.
  void forgetStale() { stale_.clear(); }

  // Forgets every sample (and cancels every decoding); those still held by
  // Sounds live on.
  void clear();
  // The paths of the files loaded, and the files they are.
  template <typename Visit>
  void forEachFile(Visit visit) const {
    for (const auto& [name, entry] : byName_) visit(entry.path, entry.device, entry.inode);
  }

 private:
  struct Entry {
    std::shared_ptr<const Sample> sample;
    std::string path;  // where the name was found
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
  };

  struct Prefetched {
    std::shared_ptr<DecodePool::Job> job;
    off_t size;
    timespec modified;
  };

  // Where load() looks for name: path and its file's status; false when no
  // file is there.
  bool find(const std::string& name, std::string& path, struct stat& info,
            std::vector<std::string>* tried) const;

  Mixer& mixer_;
  DecodePool pool_;
  std::map<std::pair<dev_t, ino_t>, Prefetched> prefetched_;
  std::string playlistDirectory_;
  std::map<std::pair<dev_t, ino_t>, Entry> samples_;
  std::unordered_map<std::string, Entry> byName_;
  std::unordered_map<std::string, std::shared_ptr<const Sample>> stale_;  // by name
};

#endif  // VELUMORA_AUDIO_SAMPLE_CACHE_H_
