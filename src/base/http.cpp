// The part of the HTTP client that is the same on every platform.
#include "base/http.h"

#include <chrono>

namespace {

std::atomic<std::uint32_t> g_floorBytesPerSecond{TransferFloor().bytesPerSecond};
std::atomic<std::uint32_t> g_floorWindowMs{TransferFloor().windowMs};

}  // namespace

void httpSetTransferFloor(const TransferFloor& floor) {
  g_floorBytesPerSecond.store(floor.bytesPerSecond);
  g_floorWindowMs.store(floor.windowMs);
}

TransferFloor httpTransferFloor() {
  TransferFloor floor;
  floor.bytesPerSecond = g_floorBytesPerSecond.load();
  floor.windowMs = g_floorWindowMs.load();
  return floor;
}

FloorCheck::FloorCheck(const TransferFloor& floor, std::uint64_t startMs)
    : floor_(floor), windowStartMs_(startMs) {}

bool FloorCheck::keepsUp(std::uint64_t receivedBytes, std::uint64_t nowMs) {
  if (floor_.windowMs == 0 || nowMs - windowStartMs_ < floor_.windowMs) return true;
  const std::uint64_t elapsedMs = nowMs - windowStartMs_;
  const std::uint64_t wanted = std::uint64_t{floor_.bytesPerSecond} * elapsedMs / 1000;
  if (receivedBytes - windowStartBytes_ < wanted) return false;
  windowStartMs_ = nowMs;
  windowStartBytes_ = receivedBytes;
  return true;
}

std::uint64_t steadyMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

HttpAnswer HttpGetToString(const HttpRequest& request, std::uint64_t maxBytes, std::string& out) {
  out.clear();
  return HttpGet(request, [&](const std::uint8_t* bytes, std::uint32_t count) {
    // Refuse the chunk that would pass the cap: the caller gets -1 and at most maxBytes.
    if (count > maxBytes - out.size()) return false;
    out.append(reinterpret_cast<const char*>(bytes), count);
    return true;
  });
}

int HttpGetToString(const std::wstring& url, std::uint64_t maxBytes, std::string& out,
                    const std::atomic<bool>* cancel) {
  HttpRequest request;
  request.url = url;
  request.noCache = true;
  request.cancel = cancel;
  return HttpGetToString(request, maxBytes, out).result;
}
