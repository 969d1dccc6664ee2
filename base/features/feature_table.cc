#include "base/features/feature_table.h"

#include <iterator>

namespace installer {

namespace {

// Looked up in this order.
constexpr ProductChannelRow kProductChannels[] = {
    {"KVX", 1, 0x7, 0x7}, {"KVX", 2, 0x6, 0x6}, {"KVX", 3, 0x4, 0x4},
    {"KVX", 4, 0x4, 0x4}, {"QRN", 1, 0x8, 0x8}, {"QRN", 2, 0x8, 0x8},
    {"QRN", 3, 0x8, 0x8}, {"QRN", 4, 0x8, 0x8},
};

}  // namespace

int FindProductChannelRow(const std::string& product_token, int channel) {
  for (size_t i = 0; i < std::size(kProductChannels); ++i) {
    if (product_token == kProductChannels[i].product_token &&
        channel == kProductChannels[i].channel) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

ProductChannelMasks GetProductChannelMasksFor(const std::string& product_token,
                                              int channel) {
  int index = FindProductChannelRow(product_token, channel);
  if (index < 0)
    return ProductChannelMasks();
  return ProductChannelMasks{kProductChannels[index].enabled_bits,
                             kProductChannels[index].overridable_bits};
}

bool IsFeatureEnabledByDefault(const FeatureRow& row,
                               const ProductChannelMasks& masks) {
  return (row.enabled_mask & masks.enabled_bits) != 0;
}

bool IsFeatureOverridable(const FeatureRow& row,
                          const ProductChannelMasks& masks) {
  return (row.overridable_mask & masks.overridable_bits) != 0;
}

}  // namespace installer
