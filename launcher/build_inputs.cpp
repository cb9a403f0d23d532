// The build inputs of a linked launcher: the symbols of the packer's object file (written by
// veldro-pack under the names of format/build_inputs.h).
#include "base/build_inputs.h"

extern "C" {
extern const unsigned char veldro_payload[];
extern const uint64_t veldro_payload_size;
extern const wchar_t veldro_dir_spec[];
extern const wchar_t veldro_company[];
extern const wchar_t veldro_product[];
extern const wchar_t veldro_version[];
extern const wchar_t veldro_file_version[];
extern const wchar_t veldro_product_version[];
}

namespace {

// In InputsField order; the payload is not a string.
const wchar_t* const kStrings[kInputsFieldCount] = {
    nullptr,        veldro_dir_spec,     veldro_company,         veldro_product,
    veldro_version, veldro_file_version, veldro_product_version,
};

}  // namespace

ByteRange attached_payload() { return {veldro_payload, veldro_payload_size}; }

const wchar_t* build_input_string(InputsField field) { return kStrings[field]; }
