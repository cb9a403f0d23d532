// The build inputs every launcher module may read: the attached payload and the configuration
// strings (directory template, product strings) that the build fixed. Declared here, below the
// modules that read them; defined in launcher/ once for each of the two routes: a linked
// launcher reads the packer's object file (launcher/build_inputs.cpp), a launcher built from a
// prebuilt stub reads the ".veldro" section of its own image (launcher/build_inputs_stub.cpp).
#pragma once

#include <stdint.h>

#include "format/build_inputs.h"

struct ByteRange {
  const unsigned char* data;
  uint64_t size;
};

// The attached payload; empty when the build carries none.
ByteRange attached_payload();

// A string field of the build inputs (kInputsDirSpec or a product string), terminated; a stub
// without build inputs gives "{TEMP}" for the template and "" for the others, so that its run
// ends at the payload's header check, before anything is created.
const wchar_t* build_input_string(InputsField field);
