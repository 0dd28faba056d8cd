#include "toolkit/image_prefetch.h"

#include "toolkit/com_owners.h"
#include "toolkit/skin_resources.h"

namespace toolkit {

void ImagePrefetch::Start(std::vector<Job> jobs, size_t urgent, Decoder decoder) {
  if (helper_.joinable() || jobs.empty()) return;
  decoder_ = std::move(decoder);
  queue_.assign(jobs.begin(), jobs.end());
  urgent_left_ = urgent;
  try {
    helper_ = std::jthread([this](std::stop_token stop) { Run(stop); });
  } catch (...) {
    // No thread: every image is decoded on the UI thread when it is drawn.
    queue_.clear();
  }
}

void ImagePrefetch::Continue() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    go_on_ = true;
  }
  go_on_signal_.notify_all();
}

void ImagePrefetch::Run(const std::stop_token& stop) {
  const ScopedOle com;  // the system's decoders may be COM objects
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> guard(lock_);
      if (urgent_left_ == 0) {
        go_on_signal_.wait(guard, stop, [this] { return go_on_; });
      } else {
        --urgent_left_;
      }
      if (stop.stop_requested() || queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
      in_hand_ = job.key;
    }
    std::unique_ptr<DecodedImage> image;
    try {
      image = decoder_(job);
    } catch (...) {
      image.reset();  // out of memory: the UI thread tries again when it draws the image
    }
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (image) ready_[job.key] = std::move(image);
      in_hand_.clear();
    }
    done_.notify_all();
  }
}

std::unique_ptr<DecodedImage> ImagePrefetch::Take(const std::wstring& key) {
  std::unique_lock<std::mutex> guard(lock_);
  done_.wait(guard, [&] { return in_hand_ != key; });
  const auto found = ready_.find(key);
  if (found != ready_.end()) {
    std::unique_ptr<DecodedImage> image = std::move(found->second);
    ready_.erase(found);
    return image;
  }
  std::erase_if(queue_, [&](const Job& job) { return job.key == key; });
  return nullptr;
}

}  // namespace toolkit
