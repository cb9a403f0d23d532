// The build-inputs section: what is laid out and written reads back field by field, and every
// damage that could send the launcher's reads outside the section is refused.
#include "format/build_inputs.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "format/byte_order.h"

namespace {

const std::vector<uint8_t> kPayload = {'K', 'A', 'Y', 1, 2, 3, 4, 5, 6};

// The strings of each field after the payload, without terminators; null: absent.
const char16_t* const kStrings[kInputsFieldCount] = {
    nullptr, u"{TEMP}\\x_{PID}", u"Acme", nullptr, u"2.0-\u00df-1.0", u"1.0", u"",
};

struct Section {
  std::vector<uint8_t> bytes;
  InputsSpan fields[kInputsFieldCount];
};

// A section as a build writes it; its padding holds 0xAA, so that no check can pass on zeros
// that happen to lie around.
Section written_section() {
  uint64_t sizes[kInputsFieldCount] = {kPayload.size()};
  for (unsigned i = kInputsPayload + 1; i < kInputsFieldCount; ++i) {
    if (kStrings[i] == nullptr) continue;
    sizes[i] = 2 * (std::char_traits<char16_t>::length(kStrings[i]) + 1);
  }
  Section s;
  s.bytes.assign(layout_inputs_section(sizes, s.fields), 0xAA);
  write_inputs_header(s.bytes.data(), s.fields);
  std::copy(kPayload.begin(), kPayload.end(), s.bytes.begin() + s.fields[kInputsPayload].offset);
  for (unsigned i = kInputsPayload + 1; i < kInputsFieldCount; ++i) {
    for (uint64_t k = 0; k < sizes[i] / 2; ++k) {
      char16_t unit = k + 1 < sizes[i] / 2 ? kStrings[i][k] : u'\0';
      store_le(&s.bytes[s.fields[i].offset + 2 * k], unit, 2);
    }
  }
  return s;
}

TEST(BuildInputs, LaidOutWrittenAndReadBack) {
  const Section s = written_section();
  // The header as the stubs already built carry it: magic, layout version 1, seven fields.
  EXPECT_EQ(std::string(s.bytes.begin(), s.bytes.begin() + 16),
            std::string("VELDROBI\x01\0\0\0\x07\0\0\0", 16));
  InputsSpan fields[kInputsFieldCount];
  ASSERT_TRUE(read_inputs_section(s.bytes.data(), s.bytes.size(), fields));
  uint64_t end = kInputsHeaderBytes;
  for (unsigned i = 0; i < kInputsFieldCount; ++i) {
    SCOPED_TRACE(testing::Message() << "field " << i);
    EXPECT_EQ(fields[i].offset, s.fields[i].offset);
    EXPECT_EQ(fields[i].size, s.fields[i].size);
    EXPECT_GE(fields[i].offset, end);  // in order, none overlapping another or the header
    EXPECT_EQ(fields[i].offset % (i == kInputsPayload ? kInputsPayloadAlignment : 2), 0u);
    end = fields[i].offset + fields[i].size;
  }
  EXPECT_EQ(end, s.bytes.size());
  const InputsSpan& payload = fields[kInputsPayload];
  EXPECT_EQ(std::vector<uint8_t>(s.bytes.begin() + payload.offset,
                                 s.bytes.begin() + payload.offset + payload.size),
            kPayload);
  for (unsigned i = kInputsPayload + 1; i < kInputsFieldCount; ++i) {
    std::u16string text;
    for (uint64_t k = 0; k + 2 < fields[i].size; k += 2) {
      text += static_cast<char16_t>(load_le(&s.bytes[fields[i].offset + k], 2));
    }
    EXPECT_EQ(text, kStrings[i] == nullptr ? u"" : kStrings[i]) << "field " << i;
  }
}

void store_field(std::vector<uint8_t>& bytes, InputsField field, int member, uint64_t value) {
  store_le(&bytes[16 + 16 * field + 8 * member], value, 8);
}
constexpr int kOffset = 0, kSize = 1;

TEST(BuildInputs, DamageThatWouldLeadReadsAstrayIsRefused) {
  using Bytes = std::vector<uint8_t>;
  const struct {
    const char* what;
    std::function<void(Bytes&, const Section&)> damage;
    bool accepted;
  } cases[] = {
      {"as written", [](Bytes&, const Section&) {}, true},
      {"the stub's placeholder: every field absent",
       [](Bytes& b, const Section&) {
         b.resize(kInputsHeaderBytes);
         std::fill(b.begin() + 16, b.end(), 0);
       },
       true},
      {"shorter than its header",
       [](Bytes& b, const Section&) { b.resize(kInputsHeaderBytes - 1); }, false},
      {"another magic", [](Bytes& b, const Section&) { b[7] = 'X'; }, false},
      {"another layout version", [](Bytes& b, const Section&) { b[8] = 2; }, false},
      {"another field count", [](Bytes& b, const Section&) { b[12] = 8; }, false},
      {"a field ending at the section's end",
       [](Bytes& b, const Section& s) {
         store_field(b, kInputsPayload, kSize, b.size() - s.fields[kInputsPayload].offset);
       },
       true},
      {"the payload running one byte past the end",
       [](Bytes& b, const Section& s) {
         store_field(b, kInputsPayload, kSize, b.size() - s.fields[kInputsPayload].offset + 1);
       },
       false},
      {"an offset that wraps around with its size",
       [](Bytes& b, const Section&) { store_field(b, kInputsPayload, kOffset, ~uint64_t{0} - 7); },
       false},
      {"a size that wraps around with its offset",
       [](Bytes& b, const Section&) { store_field(b, kInputsPayload, kSize, ~uint64_t{0} - 7); },
       false},
      {"a string cut at the section's end",
       [](Bytes& b, const Section&) { b.resize(b.size() - 2); }, false},
      {"the template without its terminator",
       [](Bytes& b, const Section& s) {
         b[s.fields[kInputsDirSpec].offset + s.fields[kInputsDirSpec].size - 1] = 'x';
       },
       false},
      // Two zero bytes end each of these, but not a string's units.
      {"a string at an odd offset",
       [](Bytes& b, const Section& s) {
         const InputsSpan& before = s.fields[kInputsDirSpec];
         store_field(b, kInputsCompany, kOffset, before.offset + before.size - 3);
         store_field(b, kInputsCompany, kSize, 2);
       },
       false},
      {"a string of an odd size",
       [](Bytes& b, const Section& s) {
         store_field(b, kInputsCompany, kSize, s.fields[kInputsCompany].size - 1);
       },
       false},
  };
  for (const auto& c : cases) {
    Section s = written_section();
    c.damage(s.bytes, s);
    InputsSpan fields[kInputsFieldCount];
    EXPECT_EQ(read_inputs_section(s.bytes.data(), s.bytes.size(), fields), c.accepted) << c.what;
  }
}

}  // namespace
