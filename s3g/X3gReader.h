// An X3G file read back into the packages it holds, each cut by its command's own length.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Package.h"
#include "PrintList.h"

namespace zelk {

// Cuts a stream of S3G payloads (an X3G file) into framed packages, in
// order. Every buffered command of the protocol whose length is fixed or
// carried in the command is known; false, with the byte offset and the
// command, for any other command or a stream that ends inside one.
bool ReadX3gPackages(std::string_view bytes, PrintList& packages, std::string& error);

// The same for a file; the error names it.
bool ReadX3gFile(const std::string& path, PrintList& packages, std::string& error);

// Whether a file's name says it holds X3G (".x3g", any case).
bool IsX3gFileName(const std::string& path);

}  // namespace zelk
