// The build inputs as an object and as a section (see build_inputs.h).
#include "pack/app/build_inputs.h"

#include "format/build_inputs.h"
#include "format/byte_order.h"
#include "pack/base/text.h"
#include "pack/image/coff_writer.h"
#include "pack/image/inputs_section.h"

namespace veldro {
namespace {

constexpr uint32_t kPayloadSymbolAlignment = 16;
constexpr uint32_t kSizeSymbolAlignment = 8;
constexpr uint32_t kStringSymbolAlignment = 2;

// Every field's bytes, in InputsField order; the strings held here, the payload the caller's.
struct Fields {
  std::vector<uint8_t> strings[kInputsFieldCount];
  const std::vector<uint8_t>* contents[kInputsFieldCount];

  Fields(const std::vector<uint8_t>& payload, const LauncherStrings& s) {
    strings[kInputsDirSpec] = utf16_bytes(s.dir_spec);
    strings[kInputsCompany] = utf16_bytes(s.company);
    strings[kInputsProduct] = utf16_bytes(s.product);
    strings[kInputsVersion] = utf16_bytes(s.version());
    strings[kInputsFileVersion] = utf16_bytes(s.file_version);
    strings[kInputsProductVersion] = utf16_bytes(s.product_version);
    for (size_t i = 0; i < kInputsFieldCount; ++i) contents[i] = &strings[i];
    contents[kInputsPayload] = &payload;
  }
};

}  // namespace

std::vector<uint8_t> launcher_object(const std::vector<uint8_t>& payload,
                                     const LauncherStrings& strings) {
  const Fields fields(payload, strings);
  std::vector<uint8_t> size(8);
  store_le(size.data(), payload.size(), 8);
  std::vector<CoffSymbol> symbols = {
      {kInputsSymbols[kInputsPayload], &payload, kPayloadSymbolAlignment},
      {kPayloadSizeSymbol, &size, kSizeSymbolAlignment},
  };
  for (size_t i = kInputsPayload + 1; i < kInputsFieldCount; ++i) {
    symbols.push_back({kInputsSymbols[i], fields.contents[i], kStringSymbolAlignment});
  }
  return coff_object(symbols);
}

std::vector<uint8_t> launcher_section(const std::vector<uint8_t>& payload,
                                      const LauncherStrings& strings) {
  const Fields fields(payload, strings);
  return inputs_section(fields.contents);
}

}  // namespace veldro
