#pragma once
// Time limits of one network call of the mail library and the FTP object, in seconds, as mail
// clients wait: the TCP connection (name look-up included), each reply of the server (the
// greeting and the login too), and a transfer that stops moving. Nothing limits the whole
// exchange: a server that answers slowly but answers is waited for.

#include <atomic>

namespace net {

struct Limits {
  int connectSeconds = 15;
  int responseSeconds = 300;
  int stallSeconds = 300;
};

// A flag that ends the network calls of the calling thread: while it is set, each transfer that
// thread makes stops at its next progress report (at least once a second, also while a server
// keeps silent) and fails. A thread that sends on behalf of a window that may go sets it for
// its lifetime; null (the default) leaves its calls alone.
void SetThreadCancelFlag(const std::atomic<bool>* flag);
// True when the calling thread's flag is set.
bool ThreadCancelled();

}  // namespace net
