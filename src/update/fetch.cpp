// The body slots and fetchInto.
#include "update/fetch.h"

#include <condition_variable>
#include <mutex>

namespace {

// A counting semaphore of kBodyWorkers, held for the length of one scope.
class BodySlot {
 public:
  BodySlot() {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [] { return free_ > 0; });
    --free_;
  }
  ~BodySlot() {
    {
      std::lock_guard lock(mutex_);
      ++free_;
    }
    freed_.notify_one();
  }
  BodySlot(const BodySlot&) = delete;
  BodySlot& operator=(const BodySlot&) = delete;

 private:
  static inline std::mutex mutex_;
  static inline std::condition_variable freed_;
  static inline std::size_t free_ = kBodyWorkers;
};

}  // namespace

bool withBodySlot(const std::function<bool()>& work) {
  const BodySlot slot;
  return work();
}

int fetchInto(const std::wstring& url, const DataSink& sink, const std::atomic<bool>& cancel) {
  HttpRequest request;
  request.url = url;
  request.cancel = &cancel;
  return HttpGet(request,
                 [&sink](const std::uint8_t* bytes, std::uint32_t count) {
                   return withBodySlot([&] { return sink(bytes, count); });
                 })
      .result;
}
