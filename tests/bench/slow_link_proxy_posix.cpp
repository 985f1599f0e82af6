// slow_link_proxy: DelayProxy (tests/integration/delay_proxy.h) as a program, in front of a
// server on loopback, for the slow-link benchmark. Prints "port N" once it listens and runs
// until SIGINT or SIGTERM.
//
//   slow_link_proxy --upstream-port 8080 [--rtt-ms 50] [--mbit 100]
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "delay_proxy.h"

namespace {

bool number(const char* text, unsigned long long& out) {
  char* end = nullptr;
  out = std::strtoull(text, &end, 10);
  return end != text && *end == '\0';
}

int usage() {
  std::fprintf(stderr, "usage: slow_link_proxy --upstream-port N [--rtt-ms MS] [--mbit MBIT]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long long upstream = 0, rttMs = 50, mbit = 100;
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 >= argc) return usage();
    const std::string name = argv[i];
    unsigned long long value = 0;
    if (!number(argv[i + 1], value)) return usage();
    if (name == "--upstream-port") {
      upstream = value;
    } else if (name == "--rtt-ms") {
      rttMs = value;
    } else if (name == "--mbit") {
      mbit = value;
    } else {
      return usage();
    }
  }
  if (upstream == 0 || upstream > 65535 || rttMs > 10000) return usage();

  // The signals are taken by sigwait below, on this thread, never delivered to the others.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  DelayProxy proxy(static_cast<std::uint16_t>(upstream),
                   {static_cast<int>(rttMs), mbit * 1'000'000ull});
  if (!proxy.ok()) {
    std::fprintf(stderr, "slow_link_proxy: cannot listen\n");
    return 1;
  }
  std::printf("port %u\n", static_cast<unsigned>(proxy.port()));
  std::fflush(stdout);
  int received = 0;
  sigwait(&stopSignals, &received);
  proxy.stop();
  return 0;
}
