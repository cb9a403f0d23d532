// What the build fixes for one launcher: the attached payload and the strings of the
// configuration (directory template and product strings). The packer writes them into an
// object file linked into the exe; build_inputs.cpp is the one place that names its symbols.
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
