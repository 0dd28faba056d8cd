// Images decoded ahead on a helper thread, so the UI thread finds them ready
// instead of decoding them while the user waits for a frame. The UI thread
// never waits for work still queued: it takes such an image back and
// decodes it itself. It waits only for the one image the helper is decoding
// at that moment (never longer than that one decode).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace toolkit {

struct DecodedImage;

class ImagePrefetch {
 public:
  struct Job {
    std::wstring key;   // the cache's key
    std::wstring file;  // the archive member
    int scale = 1;
  };
  // Runs on the helper thread; nullptr when the image cannot be used.
  using Decoder = std::function<std::unique_ptr<DecodedImage>(const Job& job)>;

  ImagePrefetch() = default;
  ~ImagePrefetch();
  ImagePrefetch(const ImagePrefetch&) = delete;
  ImagePrefetch& operator=(const ImagePrefetch&) = delete;

  // Starts the helper before its jobs are known: it readies the system's
  // decoders (`warm_up`: tens of milliseconds) while the caller goes on to
  // make its window. Once only; nothing when the helper runs already.
  void Begin(std::function<void()> warm_up);
  // Gives the helper `jobs`, in order, starting it if Begin() did not; once
  // only (later calls do nothing). It stops after the first `urgent` ones
  // until Continue(): what the first frame needs does not share the
  // processor with what it does not.
  void Start(std::vector<Job> jobs, size_t urgent, Decoder decoder);
  // The helper goes on with the rest (any thread).
  void Continue();
  // The image for `key` if the helper decoded it; nullptr when the caller
  // is to decode it (never queued, taken back from the queue here, or the
  // helper could not use it).
  [[nodiscard]] std::unique_ptr<DecodedImage> Take(const std::wstring& key);

 private:
  void StartHelper();
  void Run();

  std::function<void()> warm_up_;  // set before the helper starts
  Decoder decoder_;                // set before jobs_given_
  std::mutex lock_;
  std::condition_variable done_;
  std::condition_variable go_on_signal_;
  std::deque<Job> queue_;                                        // guarded by lock_
  bool jobs_given_ = false;                                      // guarded by lock_
  size_t urgent_left_ = 0;                                       // guarded by lock_
  bool go_on_ = false;                                           // guarded by lock_
  bool stopping_ = false;                                        // guarded by lock_
  std::wstring in_hand_;                                         // guarded by lock_: the key being decoded
  std::map<std::wstring, std::unique_ptr<DecodedImage>> ready_;  // guarded by lock_
  // Last: stopped (stopping_, set first thing in the destructor) after the
  // image in hand and joined before the members it uses go.
  std::jthread helper_;
};

}  // namespace toolkit
