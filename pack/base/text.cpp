// UTF-8 and UTF-16 conversions (see text.h).
#include "pack/base/text.h"

#include "format/byte_order.h"
#include "pack/base/pack_error.h"

namespace veldro {
namespace {

// The number of continuation bytes a UTF-8 lead byte announces, or -1 for no lead byte.
int continuation_bytes(unsigned char lead) {
  if (lead < 0x80) return 0;
  if ((lead & 0xE0) == 0xC0) return 1;
  if ((lead & 0xF0) == 0xE0) return 2;
  if ((lead & 0xF8) == 0xF0) return 3;
  return -1;
}

}  // namespace

std::u16string utf16_from_utf8(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = continuation_bytes(lead);
    if (extra < 0 || i + extra >= text.size()) throw PackError("'" + text + "' is not valid UTF-8");
    uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) throw PackError("'" + text + "' is not valid UTF-8");
      code = (code << 6) | (next & 0x3F);
    }
    i += 1 + extra;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

std::string utf8_from_utf16(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
      continue;
    }
    // The lead byte carries the length; each continuation byte six bits, last bits last.
    int extra = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    out.push_back(static_cast<char>(kLead[extra] | (code >> (6 * extra))));
    for (int k = extra - 1; k >= 0; --k) out.push_back(static_cast<char>(0x80 | ((code >> (6 * k)) & 0x3F)));
  }
  return out;
}

std::vector<uint8_t> utf16_bytes(const std::u16string& text) {
  std::vector<uint8_t> bytes(2 * (text.size() + 1), 0);
  for (size_t i = 0; i < text.size(); ++i) store_le(&bytes[2 * i], text[i], 2);
  return bytes;
}

}  // namespace veldro
