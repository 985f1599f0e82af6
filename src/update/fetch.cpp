// WorkSlots, the process's body slots and fetchInto.
#include "update/fetch.h"

void WorkSlots::acquire() {
  std::unique_lock lock(mutex_);
  freed_.wait(lock, [this] { return free_ > 0; });
  --free_;
}

void WorkSlots::release() {
  {
    std::lock_guard lock(mutex_);
    ++free_;
  }
  freed_.notify_one();
}

WorkSlots& bodyWorkSlots() {
  static WorkSlots slots(kBodyWorkers);
  return slots;
}

bool withBodySlot(const std::function<bool()>& work) {
  struct Held {
    WorkSlots& slots;
    explicit Held(WorkSlots& s) : slots(s) { slots.acquire(); }
    ~Held() { slots.release(); }
  } held(bodyWorkSlots());
  return work();
}

int fetchInto(const std::wstring& url, const DataSink& sink, const std::atomic<bool>& cancel) {
  return HttpGet(
      url,
      [&sink](const std::uint8_t* bytes, std::uint32_t count) {
        return withBodySlot([&] { return sink(bytes, count); });
      },
      false, &cancel);
}
