// The few socket operations the test servers need, on 127.0.0.1 only: BSD sockets in
// test_socket_posix.cpp, Winsock in test_socket_win.cpp.
#pragma once
#include <cstddef>
#include <cstdint>

using TestSocket = std::intptr_t;
constexpr TestSocket kNoSocket = -1;

// Starts the socket library once per process (Winsock); always true on POSIX.
bool socketStartup();

// A listening socket on 127.0.0.1; port 0 lets the system choose a free port, and port
// receives the one bound. kNoSocket on failure.
TestSocket listenLoopback(std::uint16_t& port);
TestSocket acceptConnection(TestSocket listener);
TestSocket connectLoopback(std::uint16_t port);

// Bytes received, 0 when the peer closed, -1 on error.
long receiveSome(TestSocket s, char* buffer, std::size_t capacity);
// False when the peer went away (never raises SIGPIPE).
bool sendAll(TestSocket s, const char* data, std::size_t count);

// Half-close: the peer sees the end of the stream once it has read what was sent.
void shutdownSending(TestSocket s);
// Wakes a thread blocked on the socket; the socket must still be closed afterwards.
void shutdownBoth(TestSocket s);
void closeSocket(TestSocket s);
// Closes with SO_LINGER 0, so that the peer sees a connection reset instead of an orderly end.
void resetAndClose(TestSocket s);

// A loopback port on which nothing listens at the moment of the call.
std::uint16_t unusedLoopbackPort();
