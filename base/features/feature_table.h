// Compiled-in feature rows and the product/channel table that turns their
// masks into this build's defaults: a feature is on by default when its
// enabled mask shares a bit with the enabled bits of the build's row
// (product token, release channel), and overridable when its overridable
// mask shares a bit with the row's overridable bits. Bit 0x1 stands for the
// browser's channel 1 only, 0x2 for its channels 1 and 2, 0x4 for all of
// its channels and 0x8 for the product "QRN".

#ifndef BASE_FEATURES_FEATURE_TABLE_H_
#define BASE_FEATURES_FEATURE_TABLE_H_

#include <cstdint>
#include <string>

namespace installer {

struct FeatureRow {
  const char* name;
  uint32_t enabled_mask;
  uint32_t overridable_mask;
};

struct ProductChannelRow {
  const char* product_token;
  int32_t channel;
  uint32_t enabled_bits;
  uint32_t overridable_bits;
};

struct ProductChannelMasks {
  uint32_t enabled_bits = 0;
  uint32_t overridable_bits = 0;
};

// The index of the first row with exactly this token and channel, or -1.
int FindProductChannelRow(const std::string& product_token, int channel);

// The bits of that row; none when no row matches.
ProductChannelMasks GetProductChannelMasksFor(const std::string& product_token,
                                              int channel);
// A row's state in |masks|.
bool IsFeatureEnabledByDefault(const FeatureRow& row,
                               const ProductChannelMasks& masks);
bool IsFeatureOverridable(const FeatureRow& row,
                          const ProductChannelMasks& masks);

}  // namespace installer

#endif  // BASE_FEATURES_FEATURE_TABLE_H_
