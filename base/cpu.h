// What the processor this process runs on can do, read once with CPUID.

#ifndef BASE_CPU_H_
#define BASE_CPU_H_

#include <string>

namespace base {

class CPU {
 public:
  CPU();
  CPU(const CPU&) = default;
  CPU& operator=(const CPU&) = default;

  // "GenuineIntel", "AuthenticAMD", ...
  const std::string& vendor_name() const { return vendor_; }
  // The brand text, e.g. "Intel(R) Core(TM) i7 ...", or empty.
  const std::string& cpu_brand() const { return brand_; }
  // Family and model with the extended fields folded in.
  int family() const { return family_; }
  int model() const { return model_; }
  int stepping() const { return stepping_; }

  bool has_mmx() const { return has_mmx_; }
  bool has_sse() const { return has_sse_; }
  bool has_sse2() const { return has_sse2_; }
  bool has_sse3() const { return has_sse3_; }
  bool has_ssse3() const { return has_ssse3_; }
  bool has_sse41() const { return has_sse41_; }
  bool has_sse42() const { return has_sse42_; }
  bool has_popcnt() const { return has_popcnt_; }
  // AVX needs both the processor and the operating system (saved YMM state).
  bool has_avx() const { return has_avx_; }
  bool has_avx2() const { return has_avx2_; }
  bool has_aesni() const { return has_aesni_; }
  // The SHA-1 and SHA-256 instructions (SHA extensions).
  bool has_sha() const { return has_sha_; }

 private:
  void Initialize();

  std::string vendor_;
  std::string brand_;
  int family_ = 0;
  int model_ = 0;
  int stepping_ = 0;
  bool has_mmx_ = false;
  bool has_sse_ = false;
  bool has_sse2_ = false;
  bool has_sse3_ = false;
  bool has_ssse3_ = false;
  bool has_sse41_ = false;
  bool has_sse42_ = false;
  bool has_popcnt_ = false;
  bool has_avx_ = false;
  bool has_avx2_ = false;
  bool has_aesni_ = false;
  bool has_sha_ = false;
};

}  // namespace base

#endif  // BASE_CPU_H_
