// velmor_sound_child FILE: plays FILE through the default output, as the station does, and
// writes the output used on the standard output; the exit code is 0 when the sound played.
#include <cstdio>

#include "sound/sound.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const bool played = sound::Play(QString::fromLocal8Bit(argv[1]));
  std::printf("%s\n", qPrintable(sound::Output()));
  return played ? 0 : 1;
}
