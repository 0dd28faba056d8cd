// The helper that decodes a window's images ahead: started before its jobs
// are known, it readies the decoders on its own thread while the caller goes
// on, then decodes what the first frame needs and waits for the rest.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/image_prefetch.h"
#include "toolkit/skin_resources.h"

namespace {

using toolkit::DecodedImage;
using toolkit::ImagePrefetch;

constexpr auto kPatience = std::chrono::seconds(20);

// What the helper did, in order, and on which thread.
class Journal {
 public:
  void Add(const std::string& event) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      events_.push_back(event);
      threads_.push_back(std::this_thread::get_id());
    }
    changed_.notify_all();
  }
  bool WaitFor(const std::string& event) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, kPatience,
                             [&] { return std::find(events_.begin(), events_.end(), event) != events_.end(); });
  }
  std::vector<std::string> events() {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
  }
  std::thread::id thread_of(size_t index) {
    std::lock_guard<std::mutex> guard(lock_);
    return threads_.at(index);
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
  std::vector<std::thread::id> threads_;
};

std::vector<ImagePrefetch::Job> Jobs(const std::vector<std::wstring>& names) {
  std::vector<ImagePrefetch::Job> jobs;
  for (const std::wstring& name : names) jobs.push_back({name, name + L".png", 1});
  return jobs;
}

ImagePrefetch::Decoder Recording(Journal& journal) {
  return [&journal](const ImagePrefetch::Job& job) {
    journal.Add("decode " + std::string(job.key.begin(), job.key.end()));
    auto image = std::make_unique<DecodedImage>();
    image->width = static_cast<int>(job.key.size());
    return image;
  };
}

TEST(ImagePrefetchTest, BeginReadiesTheDecodersOnTheHelperWhileTheCallerGoesOn) {
  Journal journal;
  std::promise<void> caller_went_on;
  std::shared_future<void> went_on = caller_went_on.get_future().share();
  ImagePrefetch prefetch;
  prefetch.Begin([&] {
    journal.Add("warm-up");
    // Returns only once the caller is past Begin(): Begin() must not wait for it.
    journal.Add(went_on.wait_for(kPatience) == std::future_status::ready ? "warm-up saw the caller"
                                                                         : "warm-up timed out");
  });
  prefetch.Begin([&] { journal.Add("second warm-up"); });  // the helper runs already
  caller_went_on.set_value();
  ASSERT_TRUE(journal.WaitFor("warm-up saw the caller"));

  // The urgent two are decoded, the third waits for Continue().
  prefetch.Start(Jobs({L"ab", L"abc", L"abcd"}), 2, Recording(journal));
  prefetch.Start(Jobs({L"later"}), 1, Recording(journal));  // once only
  ASSERT_TRUE(journal.WaitFor("decode abc"));
  const std::unique_ptr<DecodedImage> first = prefetch.Take(L"ab");
  const std::unique_ptr<DecodedImage> second = prefetch.Take(L"abc");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->width, 2);
  EXPECT_EQ(second->width, 3);

  // Continue() lets the rest go.
  prefetch.Continue();
  ASSERT_TRUE(journal.WaitFor("decode abcd"));
  EXPECT_EQ(journal.events(),
            (std::vector<std::string>{"warm-up", "warm-up saw the caller", "decode ab", "decode abc", "decode abcd"}));
  EXPECT_NE(journal.thread_of(0), std::this_thread::get_id());
  EXPECT_EQ(journal.thread_of(2), journal.thread_of(0));  // the decoders are readied where they are used
}

TEST(ImagePrefetchTest, AHelperBegunButNeverGivenJobsEndsWithItsOwner) {
  Journal journal;
  {
    ImagePrefetch prefetch;
    prefetch.Begin([&] { journal.Add("warm-up"); });
    ASSERT_TRUE(journal.WaitFor("warm-up"));
    prefetch.Start({}, 0, Recording(journal));  // no jobs: still waiting
    EXPECT_EQ(prefetch.Take(L"anything"), nullptr);
  }  // must not hang on the waiting helper

  EXPECT_EQ(journal.events(), std::vector<std::string>{"warm-up"});

  // Without Begin(), Start() starts the helper itself. Its owner goes before
  // Continue() (a window closed before its first frame): the rest is dropped.
  {
    ImagePrefetch prefetch;
    prefetch.Start(Jobs({L"x", L"never"}), 1, Recording(journal));
    ASSERT_TRUE(journal.WaitFor("decode x"));
    const std::unique_ptr<DecodedImage> image = prefetch.Take(L"x");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 1);
  }  // must not hang either
  EXPECT_EQ(journal.events(), (std::vector<std::string>{"warm-up", "decode x"}));
}

}  // namespace
