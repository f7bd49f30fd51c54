#pragma once
// Time limits of one network call of the mail library and the FTP object, in seconds. Every
// step is covered: connecting (name look-up included), each reply of the server, and a
// transfer that stops moving.

namespace net {

struct Limits {
  int connectSeconds = 15;
  int responseSeconds = 60;
  int stallSeconds = 60;
};

}  // namespace net
