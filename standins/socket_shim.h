#pragma once

// The socket calls of the raw stand-in, one spelling for POSIX and Winsock.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstddef>

namespace quorvane::standins::sockets {

#ifdef _WIN32
using Socket = SOCKET;
using PollEntry = WSAPOLLFD;
inline constexpr Socket kInvalid = INVALID_SOCKET;
inline constexpr int kShutBoth = SD_BOTH;
inline constexpr int kNoSignal = 0;     // Winsock raises no signal on a closed peer
inline constexpr int kDontWait = 0;     // callers peek only after a poll said readable

// Winsock serves a process only between WSAStartup and WSACleanup: started once, kept.
inline void Start() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}
inline int Poll(PollEntry* entries, std::size_t count, int milliseconds) {
  return WSAPoll(entries, static_cast<ULONG>(count), milliseconds);
}
inline long Receive(Socket socket, char* buffer, std::size_t size, int flags) {
  return recv(socket, buffer, static_cast<int>(size), flags);
}
inline long Send(Socket socket, const char* bytes, std::size_t size, int flags) {
  return send(socket, bytes, static_cast<int>(size), flags);
}
inline void Close(Socket socket) { closesocket(socket); }
#else
using Socket = int;
using PollEntry = pollfd;
inline constexpr Socket kInvalid = -1;
inline constexpr int kShutBoth = SHUT_RDWR;
inline constexpr int kNoSignal = MSG_NOSIGNAL;
inline constexpr int kDontWait = MSG_DONTWAIT;

inline void Start() {}
inline int Poll(PollEntry* entries, std::size_t count, int milliseconds) {
  return poll(entries, static_cast<nfds_t>(count), milliseconds);
}
inline long Receive(Socket socket, char* buffer, std::size_t size, int flags) {
  return recv(socket, buffer, size, flags);
}
inline long Send(Socket socket, const char* bytes, std::size_t size, int flags) {
  return send(socket, bytes, size, flags);
}
inline void Close(Socket socket) { close(socket); }
#endif

}  // namespace quorvane::standins::sockets
