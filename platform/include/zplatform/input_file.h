#pragma once
// Opening the files a user names as inputs. Only regular files are opened:
// a FIFO blocks its open (or every read) until another program writes to
// it, and a device such as /dev/zero never ends, so either would hang a
// probe or a conversion for good. A symbolic link is followed and its
// target judged.

#include <cstdio>
#include <string>

namespace zplatform {

// Why a path is refused, in plain words that read after the file's name
// ("x.mp3: not a regular file (a FIFO)"):
//   not a regular file (a FIFO) / (a device) / (a socket) / (a directory)
//   cannot be read: permission denied       (the system's text, lower case)
//   the path is longer than the system allows

// Opens `path` read-only and close-on-exec when it names a regular file and
// returns the descriptor (blocking, as any other). -1 otherwise, with the
// reason in `*reason` (when given). The open itself never waits on a FIFO.
int OpenRegularFile(const std::string& path, std::string* reason);

// OpenRegularFile as a stdio stream ("rb"); nothing, and the reason, otherwise.
std::FILE* OpenRegularStream(const std::string& path, std::string* reason);

// True when `path` names a regular file that can be opened for reading: for
// the places that hand a path to a library that opens it itself (FFmpeg,
// TagLib). The file is opened and closed again to find out.
bool CheckRegularFile(const std::string& path, std::string* reason);

}  // namespace zplatform
