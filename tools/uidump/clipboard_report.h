// What is on the clipboard, read through Win32 calls only: `clipboard
// FORMAT` per format held, and for an enhanced metafile `clipboard text
// "TEXT"` per text record in drawing order.
#pragma once

#include <string>
#include <vector>

namespace uidump {

// `clipboard none` when it holds nothing; empty when it cannot be opened.
std::vector<std::string> ClipboardLines();

}  // namespace uidump
