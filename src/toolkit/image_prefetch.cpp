#include "toolkit/image_prefetch.h"

#include "toolkit/com_owners.h"
#include "toolkit/skin_resources.h"

namespace toolkit {

ImagePrefetch::~ImagePrefetch() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  go_on_signal_.notify_all();
}

void ImagePrefetch::Begin(std::function<void()> warm_up) {
  if (helper_.joinable()) return;
  warm_up_ = std::move(warm_up);
  StartHelper();
}

void ImagePrefetch::Start(std::vector<Job> jobs, size_t urgent, Decoder decoder) {
  if (jobs.empty()) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (jobs_given_) return;
    jobs_given_ = true;
    decoder_ = std::move(decoder);
    queue_.assign(jobs.begin(), jobs.end());
    urgent_left_ = urgent;
  }
  go_on_signal_.notify_all();
  if (!helper_.joinable()) StartHelper();
}

void ImagePrefetch::StartHelper() {
  try {
    helper_ = std::jthread([this] { Run(); });
  } catch (...) {
    // No thread: every image is decoded on the UI thread when it is drawn.
    std::lock_guard<std::mutex> guard(lock_);
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

void ImagePrefetch::Run() {
  const ScopedOle com;  // the system's decoders may be COM objects
  if (warm_up_) warm_up_();
  {
    std::unique_lock<std::mutex> guard(lock_);
    go_on_signal_.wait(guard, [this] { return jobs_given_ || stopping_; });
    if (stopping_) return;
  }
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> guard(lock_);
      if (urgent_left_ == 0) {
        go_on_signal_.wait(guard, [this] { return go_on_ || stopping_; });
      } else {
        --urgent_left_;
      }
      if (stopping_ || queue_.empty()) return;
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
