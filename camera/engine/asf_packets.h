#pragma once
// Fix-ups of an ASF file's data packets and headers after its multiplexer has closed it or
// stopped before its end.
#include <string>

namespace capture {

// Every data packet of the file is as long as the file's fixed packet size. The multiplexer
// gives a packet that it filled only in part (the last) the length of its data and pads it to
// the fixed size on top, which players take as padding larger than the packet and stop there.
// Such a packet is given the fixed length, its padding unchanged. False when the file cannot
// be read or written; a file that is no ASF is left as it is.
bool FixAsfPacketLengths(const std::string& file);

// Closes an ASF file whose multiplexer stopped before its end (a full disk): the whole packets
// stay and what follows them is cut off, a simple index of the first video stream is written
// after them when the disk takes it, and the header's sizes, packet counts and duration are set
// over the bytes already there (which needs no room). False when the file is no ASF of ours or
// could not be written.
bool CloseCutAsf(const std::string& file);

}  // namespace capture
