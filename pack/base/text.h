// Text as the packer meets it: UTF-8 on the command line and in file names, UTF-16 in payload
// names, in the launcher's strings and in resources. Relies on base/pack_error.h. Portable.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace veldro {

// UTF-8 to UTF-16. Throws PackError ("'<text>' is not valid UTF-8") on a malformed sequence.
std::u16string utf16_from_utf8(const std::string& text);

// UTF-16 to UTF-8; an unpaired surrogate is encoded as it stands.
std::string utf8_from_utf16(const std::u16string& text);

// A string as the launcher and the resource loader store it: UTF-16LE with its terminator.
std::vector<uint8_t> utf16_bytes(const std::u16string& text);

}  // namespace veldro
