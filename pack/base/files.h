// Whole files read and written at once (a replaced file under a temporary name first), with
// the refusals that name them, and what the commands need to know of the running packer: its
// own executable, whether its error stream is a terminal. Relies on base/pack_error.h.
// Portable, with a Windows branch.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace veldro {

// The whole content of a file; throws PackError "cannot read '<path>'".
std::vector<uint8_t> read_file_bytes(const std::string& path);

// The whole content of a file, or empty when it cannot be read.
std::string read_text_file(const std::string& path);

// Writes the bytes to path, replacing what was there; throws PackError "cannot write '<path>'".
void write_file(const std::string& path, const void* bytes, size_t size);
void write_file(const std::string& path, const std::vector<uint8_t>& bytes);
void write_file(const std::string& path, const std::string& text);

// Writes under a temporary name beside path, then renames: a failure leaves no half-written
// file, and a file already at path stays as it was. Throws PackError "cannot write '<path>'".
void write_file_replacing(const std::string& path, const std::vector<uint8_t>& bytes);

// The running packer's own executable, or argv0 when the system cannot say.
std::string own_executable_path(const char* argv0);

// True when the standard error stream is a terminal (where a progress line may be redrawn).
bool stderr_is_terminal();

}  // namespace veldro
