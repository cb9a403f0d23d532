// What the build fixes for one launcher: the attached payload and the strings of the
// configuration (directory template and product strings). Two builds supply them: a linked
// launcher gets them from the packer's object file (build_inputs.cpp, the one place that names
// its symbols); a launcher built from a prebuilt stub reads them from the last section of its
// own image (build_inputs_stub.cpp).
#pragma once

#include <stdint.h>

struct ByteRange {
  const unsigned char* data;
  uint64_t size;
};

enum class ProductString { kCompany, kProduct, kVersion, kFileVersion, kProductVersion };

ByteRange attached_payload();
const wchar_t* configured_dir_spec();
const wchar_t* product_string(ProductString which);
