// The X3G offline print file: the payloads of a print list back to back,
// with build-percentage commands and the wait-for-tool payload.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "Package.h"

namespace zelk {

// Receives the stream in pieces; returns false to stop (a failed write).
using X3gSink = std::function<bool(const unsigned char* bytes, std::size_t size)>;

// Writes the X3G stream of packages to sink. The layout: before every
// step-th package (step = n / 100) a percentage command counting 0, 1, 2, ...
// (only the 0 % one when n < 100); after package 11 the wait-for-tool
// payload; a final 100 % when n is not a multiple of step. Empty packages
// write nothing. Returns false as soon as the sink fails.
bool WriteX3gStream(const std::vector<Package>& packages, const X3gSink& sink);

// Writes the stream to a file at path. The file appears only complete: on
// any failure (create, write, flush, close) nothing is left at path and
// error (when given) says what went wrong.
bool WriteX3gFile(const std::vector<Package>& packages, const std::string& path, std::string* error = nullptr);

}  // namespace zelk
