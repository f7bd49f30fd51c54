#pragma once
// Time limits of one network call of the mail library and the FTP object, in seconds. Every
// step is covered: connecting (name look-up included), each reply of the server, and a
// transfer that stops moving.

#include <atomic>

namespace net {

struct Limits {
  int connectSeconds = 15;
  int responseSeconds = 60;
  int stallSeconds = 60;
};

// A flag that ends the network calls of the calling thread: while it is set, each transfer that
// thread makes stops at its next progress report (at least once a second, also while a server
// keeps silent) and fails. A thread that sends on behalf of a window that may go sets it for
// its lifetime; null (the default) leaves its calls alone.
void SetThreadCancelFlag(const std::atomic<bool>* flag);
// True when the calling thread's flag is set.
bool ThreadCancelled();

}  // namespace net
