#pragma once
// Fix-ups of an ASF file's data packets after its multiplexer has closed it.
#include <string>

namespace capture {

// Every data packet of the file is as long as the file's fixed packet size. The multiplexer
// gives a packet that it filled only in part (the last) the length of its data and pads it to
// the fixed size on top, which players take as padding larger than the packet and stop there.
// Such a packet is given the fixed length, its padding unchanged. False when the file cannot
// be read or written; a file that is no ASF is left as it is.
bool FixAsfPacketLengths(const std::string& file);

}  // namespace capture
