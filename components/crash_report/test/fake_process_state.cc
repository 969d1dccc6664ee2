#include "components/crash_report/test/fake_process_state.h"

#include <string.h>

namespace crash_report {

void FakeMemory::Map(uint64_t start, std::vector<uint8_t> bytes) {
  regions_[start] = std::move(bytes);
}

void FakeMemory::MapZeros(uint64_t start, uint64_t size) {
  Map(start, std::vector<uint8_t>(size));
}

void FakeMemory::WriteWord(uint64_t address, uint64_t value) {
  auto it = regions_.upper_bound(address);
  --it;
  memcpy(it->second.data() + (address - it->first), &value, sizeof(value));
}

bool FakeMemory::IsReadable(uint64_t address) const {
  auto it = regions_.upper_bound(address);
  return it != regions_.begin() &&
         address - std::prev(it)->first < std::prev(it)->second.size();
}

bool FakeMemory::Read(uint64_t address, uint64_t size, uint8_t* out) const {
  ++read_count_;
  auto it = regions_.upper_bound(address);
  if (it == regions_.begin() || !size)
    return false;
  --it;
  uint64_t offset = address - it->first;
  if (offset >= it->second.size() || size > it->second.size() - offset)
    return false;
  memcpy(out, it->second.data() + offset, size);
  return true;
}

FakeMemoryReader::FakeMemoryReader(const FakeMemory* memory)
    : RemoteMemoryReader(nullptr), memory_(memory) {}

const uint8_t* FakeMemoryReader::Read(uint64_t address,
                                      uint64_t size,
                                      uint64_t* count) {
  *count = 0;
  uint8_t* buffer = GetBuffer(size);
  if (!buffer || !memory_->Read(address, size, buffer)) {
    ReportFailure(address, size, 0);
    return nullptr;
  }
  *count = size;
  return buffer;
}

FakeThread::FakeThread(uint32_t id, bool crashed) : id(id), crashed(crashed) {}

FakeModule::FakeModule(std::string name, uint64_t base, uint32_t size)
    : name(std::move(name)), base(base), size(size) {}

FakeThread* FakeProcessState::AddThread(uint32_t id, bool crashed) {
  threads_.push_back(std::make_unique<FakeThread>(id, crashed));
  return static_cast<FakeThread*>(threads_.back().get());
}

FakeModule* FakeProcessState::AddModule(std::string name,
                                        uint64_t base,
                                        uint32_t size) {
  modules_.push_back(std::make_unique<FakeModule>(std::move(name), base, size));
  return static_cast<FakeModule*>(modules_.back().get());
}

bool FakeProcessState::IsReadable(uint64_t address) const {
  return memory.IsReadable(address);
}

std::unique_ptr<RemoteMemoryReader> FakeProcessState::CreateMemoryReader()
    const {
  if (!has_reader)
    return nullptr;
  return std::make_unique<FakeMemoryReader>(&memory);
}

}  // namespace crash_report
