#include "net/loop_waker.h"

namespace net {

LoopWaker::~LoopWaker() {
  if (socket_ != INVALID_SOCKET) (void)::closesocket(socket_);
}

bool LoopWaker::Open() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (socket_ != INVALID_SOCKET) return true;
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  u_long non_blocking = 1;
  if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::ioctlsocket(s, FIONBIO, &non_blocking) != 0) {
    (void)::closesocket(s);
    return false;
  }
  socket_ = s;
  address_ = address;
  return true;
}

void LoopWaker::Wake() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (socket_ == INVALID_SOCKET) return;
  const char byte = 1;
  // A full queue already holds a wake-up: nothing is lost when this one is.
  (void)::sendto(socket_, &byte, 1, 0, reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
}

void LoopWaker::Drain() {
  char bytes[16];
  // Bounded: wake-ups that keep coming are taken by the next wait.
  for (int i = 0; i < 64 && ::recv(socket_, bytes, sizeof bytes, 0) > 0; ++i) {
  }
}

}  // namespace net
