// The link-time symbols of the packer's object file (pack/coff_object.cpp writes them).
#include "launcher/build_inputs.h"

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

ByteRange attached_payload() { return {veldro_payload, veldro_payload_size}; }

const wchar_t* configured_dir_spec() { return veldro_dir_spec; }

const wchar_t* product_string(ProductString which) {
  switch (which) {
    case ProductString::kCompany: return veldro_company;
    case ProductString::kProduct: return veldro_product;
    case ProductString::kVersion: return veldro_version;
    case ProductString::kFileVersion: return veldro_file_version;
    case ProductString::kProductVersion: return veldro_product_version;
  }
  return L"";
}
