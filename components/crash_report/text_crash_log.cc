#include "components/crash_report/text_crash_log.h"

#include <inttypes.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "components/crash_report/address_range_list.h"
#include "components/crash_report/crash_info.h"
#include "components/crash_report/process_state.h"
#include "components/crash_report/register_record.h"
#include "components/crash_report/remote_memory_reader.h"
#include "components/crash_report/stack_copy.h"
#include "components/zip/zip_writer.h"

namespace crash_report {

namespace {

constexpr uint64_t kPageSize = 4096;
constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kBytesPerLine = 16;
constexpr uint64_t kWordSize = 8;
// Memory dumped around a pointer: narrow inside module code (the bytes of
// the instructions), wide elsewhere (data, heap and other stacks).
constexpr uint64_t kCodePointerReach = 16;
constexpr uint64_t kDataPointerReach = 1024;
constexpr int kZipLevel = 9;
constexpr size_t kFlushSize = 64 * 1024;

// The general registers in the order they are examined for pointers.
constexpr uint64_t RegisterRecord::*kGeneralRegisters[] = {
    &RegisterRecord::rax, &RegisterRecord::rbx, &RegisterRecord::rcx,
    &RegisterRecord::rdx, &RegisterRecord::rsi, &RegisterRecord::rdi,
    &RegisterRecord::r8,  &RegisterRecord::r9,  &RegisterRecord::r10,
    &RegisterRecord::r11, &RegisterRecord::r12, &RegisterRecord::r13,
    &RegisterRecord::r14, &RegisterRecord::r15, &RegisterRecord::rbp,
    &RegisterRecord::rsp, &RegisterRecord::rip};
constexpr size_t kGeneralRegisterCount = std::size(kGeneralRegisters);
static_assert(kGeneralRegisterCount == 17);

uint64_t WordAt(const std::vector<uint8_t>& bytes, uint64_t offset) {
  uint64_t word;
  memcpy(&word, bytes.data() + offset, sizeof(word));
  return word;
}

// What isprint accepts in the "C" locale, without the runtime's per-call
// locale lookup, which is slow enough to matter for a log of megabytes.
bool IsPrintable(uint8_t c) {
  return c >= 0x20 && c < 0x7F;
}

// " " and each byte as itself when printable, else '.'.
std::string CharacterColumn(const uint8_t* bytes, size_t count) {
  std::string column = " ";
  for (size_t i = 0; i < count; ++i)
    column += IsPrintable(bytes[i]) ? static_cast<char>(bytes[i]) : '.';
  column += '\n';
  return column;
}

class TextCrashLogWriter {
 public:
  TextCrashLogWriter(FILE* file,
                     AddressRangeList* ranges,
                     const ProcessState& state)
      : file_(file), ranges_(ranges), state_(state) {}
  TextCrashLogWriter(const TextCrashLogWriter&) = delete;
  TextCrashLogWriter& operator=(const TextCrashLogWriter&) = delete;

  bool WriteBody(const CrashInfo& info) {
    ranges_->Clear();
    WriteHeader(info);
    WriteMetadata(info);
    if (ok_ && !WriteThreads())
      return false;
    WriteModules();
    if (ok_ && !WriteMemoryDumps())
      return false;
    Flush();
    return ok_;
  }

 private:
  // Every write goes through here; the first failure ends the body. The
  // text is gathered and handed to the file in large pieces: the runtime's
  // per-call cost is high under some Windows implementations.
  __attribute__((format(gnu_printf, 2, 3))) void Print(const char* format,
                                                       ...) {
    if (!ok_)
      return;
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    if (length < 0) {
      ok_ = false;
      return;
    }
    if (static_cast<size_t>(length) < sizeof(line)) {
      Put(std::string_view(line, length));
      return;
    }
    std::string long_line(length + 1, '\0');
    va_start(arguments, format);
    vsnprintf(long_line.data(), long_line.size(), format, arguments);
    va_end(arguments);
    Put(std::string_view(long_line.data(), length));
  }

  void Put(std::string_view text) {
    if (!ok_)
      return;
    pending_.append(text);
    if (pending_.size() >= kFlushSize)
      Flush();
  }

  void Flush() {
    if (ok_ &&
        fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size()) {
      ok_ = false;
    }
    pending_.clear();
  }

  void WriteHeader(const CrashInfo& info) {
    Print("KELVO-CRASHLOG V1 desktop%s %s %s windows x64 release\n",
          info.product_suffix.c_str(), info.version.c_str(),
          info.build_number.c_str());
    const ModuleInfo* main_module = state_.GetMainModule();
    Print("%s caused exception ",
          main_module ? main_module->GetName() : "<no name>");
    if (const char* name = state_.GetExceptionName())
      Print("%s", name);
    else
      Print("%X", state_.GetExceptionCode());
    Print(" at address %012" PRIX64 " (Base: %012" PRIX64 ")\n",
          state_.GetExceptionAddress(),
          main_module ? main_module->GetBaseAddress() : 0);
  }

  void WriteMetadata(const CrashInfo& info) {
    if (info.metadata.empty())
      return;
    Print("\nmetadata:\n");
    for (const auto& [key, value] : info.metadata)
      Print("%s=\"%s\"\n", key.c_str(), value.c_str());
  }

  bool WriteThreads() {
    const ProcessState::ThreadList& threads = state_.GetThreads();
    for (size_t i = 0; i < threads.size() && ok_; ++i) {
      const ThreadInfo& thread = *threads[i];
      const size_t count = i + 1;
      if (count > kMaxLoggedThreads && !thread.IsCrashed())
        continue;
      std::unique_ptr<RemoteMemoryReader> reader = state_.CreateMemoryReader();
      if (!reader) {
        LOG(ERROR) << "No reader of the crashed process's memory";
        return false;
      }
      StackCopy stack = ReadStackCopy(reader.get(), thread);
      WriteThread(thread, stack,
                  GetThreadBudget(thread, count == threads.size()));
    }
    return true;
  }

  // New bytes of dumped memory that |thread|'s pointers may add. Only the
  // crashed thread is unbounded; of a shrinking rest, each thread but the
  // last leaves half to the threads after it.
  uint64_t GetThreadBudget(const ThreadInfo& thread, bool is_last) const {
    if (thread.IsCrashed())
      return kUnlimited;
    if (ranges_->total() >= kMemoryDumpBudget)
      return 0;
    uint64_t rest = kMemoryDumpBudget - ranges_->total();
    if (rest > kMaxThreadDumpBudget)
      return kMaxThreadDumpBudget;
    return is_last ? rest : rest / 2;
  }

  // Adds the memory around |value| when it points somewhere readable
  // outside |stack|, and charges what was added to |budget|.
  void Follow(uint64_t value, const StackCopy& stack, uint64_t* budget) {
    if (stack.Contains(value) || !value || !state_.IsReadable(value))
      return;
    uint64_t reach = kDataPointerReach;
    for (const auto& module : state_.GetModules()) {
      uint64_t code_start = module->GetCodeStart();
      if (value >= code_start && value - code_start < module->GetCodeSize()) {
        reach = kCodePointerReach;
        break;
      }
    }
    uint64_t start = value > reach ? value - reach : 0;
    uint64_t end = value < kUnlimited - reach ? value + reach : kUnlimited;
    uint64_t before = ranges_->total();
    ranges_->Add(start, end);
    if (*budget == kUnlimited)
      return;
    uint64_t gained = ranges_->total() - before;
    *budget = gained >= *budget ? 0 : *budget - gained;
  }

  void WriteThread(const ThreadInfo& thread,
                   const StackCopy& stack,
                   uint64_t budget) {
    const RegisterRecord& registers = *thread.GetRegisters();
    size_t registers_taken = 0;
    while (budget && registers_taken < kGeneralRegisterCount) {
      Follow(registers.*kGeneralRegisters[registers_taken++], stack, &budget);
    }
    const uint64_t stack_words = stack.bytes.size() / kWordSize;
    uint64_t words_taken = 0;
    while (budget && words_taken < stack_words) {
      Follow(WordAt(stack.bytes, kWordSize * words_taken++), stack, &budget);
    }

    const uint32_t id = thread.GetThreadId();
    Print("\nThread: %08X\n", id);
    Print(
        "\nThreadInfo: %08X\nPriority=%08X\nCrashed=%d\n"
        "checked_context_values=%" PRIu64 "%s\nchecked_stack_values=%" PRIu64
        "%s\n",
        id, static_cast<uint32_t>(thread.GetPriority()),
        thread.IsCrashed() ? 1 : 0, static_cast<uint64_t>(registers_taken),
        registers_taken == kGeneralRegisterCount ? " (all)" : "", words_taken,
        words_taken == stack_words ? " (all)" : "");
    WriteRegisters(id, registers);
    WriteStackDump(id, registers.rbp, stack);
  }

  void WriteRegisters(uint32_t id, const RegisterRecord& r) {
    const auto& st = r.st;
    const auto& x = r.xmm;
    Print(
        "\nRegisters: %08X\n"
        "RAX=%016" PRIX64 "   RBX=%016" PRIX64 "   RCX=%016" PRIX64
        "\n"
        "RDX=%016" PRIX64 "   RSI=%016" PRIX64 "   RDI=%016" PRIX64
        "\n"
        " R8=%016" PRIX64 "    R9=%016" PRIX64 "   R10=%016" PRIX64
        "\n"
        "R11=%016" PRIX64 "   R12=%016" PRIX64 "   R13=%016" PRIX64
        "\n"
        "R14=%016" PRIX64 "   R15=%016" PRIX64 "   RBP=%016" PRIX64
        "\n"
        "RSP=%016" PRIX64 "   RIP=%016" PRIX64
        " FLAGS=%08X\n"
        "\n"
        "FPU stack: %08X\n"
        "st(0)=%04X%016" PRIX64 " st(1)=%04X%016" PRIX64
        " st(2)=%04X%016" PRIX64
        "\n"
        "st(3)=%04X%016" PRIX64 " st(4)=%04X%016" PRIX64
        " st(5)=%04X%016" PRIX64
        "\n"
        "st(6)=%04X%016" PRIX64 " st(7)=%04X%016" PRIX64
        " SW=%04X CW=%04X\n"
        " XMM0=%016" PRIX64 "%016" PRIX64 "  XMM1=%016" PRIX64 "%016" PRIX64
        "\n"
        " XMM2=%016" PRIX64 "%016" PRIX64 "  XMM3=%016" PRIX64 "%016" PRIX64
        "\n"
        " XMM4=%016" PRIX64 "%016" PRIX64 "  XMM5=%016" PRIX64 "%016" PRIX64
        "\n"
        " XMM6=%016" PRIX64 "%016" PRIX64 "  XMM7=%016" PRIX64 "%016" PRIX64
        "\n"
        " XMM8=%016" PRIX64 "%016" PRIX64 "  XMM9=%016" PRIX64 "%016" PRIX64
        "\n"
        "XMM10=%016" PRIX64 "%016" PRIX64 " XMM11=%016" PRIX64 "%016" PRIX64
        "\n"
        "XMM12=%016" PRIX64 "%016" PRIX64 " XMM13=%016" PRIX64 "%016" PRIX64
        "\n"
        "XMM14=%016" PRIX64 "%016" PRIX64 " XMM15=%016" PRIX64 "%016" PRIX64
        "\n",
        id, r.rax, r.rbx, r.rcx, r.rdx, r.rsi, r.rdi, r.r8, r.r9, r.r10, r.r11,
        r.r12, r.r13, r.r14, r.r15, r.rbp, r.rsp, r.rip, r.eflags, id,
        st[0].sign_exponent, st[0].mantissa, st[1].sign_exponent,
        st[1].mantissa, st[2].sign_exponent, st[2].mantissa,
        st[3].sign_exponent, st[3].mantissa, st[4].sign_exponent,
        st[4].mantissa, st[5].sign_exponent, st[5].mantissa,
        st[6].sign_exponent, st[6].mantissa, st[7].sign_exponent,
        st[7].mantissa, r.status_word, r.control_word, x[0].high, x[0].low,
        x[1].high, x[1].low, x[2].high, x[2].low, x[3].high, x[3].low,
        x[4].high, x[4].low, x[5].high, x[5].low, x[6].high, x[6].low,
        x[7].high, x[7].low, x[8].high, x[8].low, x[9].high, x[9].low,
        x[10].high, x[10].low, x[11].high, x[11].low, x[12].high, x[12].low,
        x[13].high, x[13].low, x[14].high, x[14].low, x[15].high, x[15].low);
  }

  // One line per 16 bytes; the saved frame-pointer chain from RBP is
  // marked with '>'.
  void WriteStackDump(uint32_t id, uint64_t rbp, const StackCopy& stack) {
    Print("\nStack dump: %08X\n", id);
    uint64_t frame = rbp;
    const uint64_t size = stack.bytes.size();
    for (uint64_t line = 0; line < size && ok_; line += kBytesPerLine) {
      Print("%012" PRIX64 " ", stack.start + line);
      for (uint64_t slot = line; slot < line + kBytesPerLine;
           slot += kWordSize) {
        if (slot + kWordSize > size) {
          Print("%18s", "");
          continue;
        }
        uint64_t word = WordAt(stack.bytes, slot);
        char marker = ' ';
        if (stack.start + slot == frame) {
          marker = '>';
          frame = word;
        }
        Print("%c%016" PRIX64 " ", marker, word);
      }
      Put(CharacterColumn(stack.bytes.data() + line,
                          std::min(kBytesPerLine, size - line)));
    }
  }

  void WriteModules() {
    Print("\nUsed DLLs:\n");
    for (const auto& module : state_.GetModules()) {
      Print("%-26s %-46s Base: %012" PRIX64 " Size: %08X Timestamp: %08X\n",
            module->GetName(), module->GetVersion(), module->GetBaseAddress(),
            module->GetSize(), module->GetTimestamp());
    }
  }

  bool WriteMemoryDumps() {
    Print("\nMemory dumps:\n");
    std::unique_ptr<RemoteMemoryReader> reader = state_.CreateMemoryReader();
    if (!reader) {
      LOG(ERROR) << "No reader of the crashed process's memory";
      return false;
    }
    const auto& ranges = ranges_->ranges();
    for (size_t i = 0; i < ranges.size() && ok_; ++i) {
      uint64_t start = ranges[i].start;
      uint64_t end = ranges[i].end;
      // Unreadable pages at either end are left out.
      if (!state_.IsReadable(start))
        start = start / kPageSize * kPageSize + kPageSize;
      if (!state_.IsReadable(end))
        end = end / kPageSize * kPageSize;
      if (end <= start)
        continue;
      uint64_t count = 0;
      if (const uint8_t* data = reader->Read(start, end - start, &count))
        WriteMemoryLines(start, data, count);
      if (i + 1 < ranges.size())
        Print("\n");
    }
    return true;
  }

  void WriteMemoryLines(uint64_t address, const uint8_t* data, uint64_t size) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string text;
    for (uint64_t line = 0; line < size && ok_; line += kBytesPerLine) {
      char prefix[16];
      snprintf(prefix, sizeof(prefix), "%012" PRIX64, address + line);
      text = prefix;
      for (uint64_t i = 0; i < kBytesPerLine; ++i) {
        text += (i % 4 == 0) ? "  " : " ";
        if (line + i < size) {
          text += kHexDigits[data[line + i] >> 4];
          text += kHexDigits[data[line + i] & 0xF];
        } else {
          text += "  ";
        }
      }
      text +=
          CharacterColumn(data + line, std::min(kBytesPerLine, size - line));
      Put(text);
    }
  }

  FILE* const file_;
  AddressRangeList* const ranges_;
  const ProcessState& state_;
  std::string pending_;
  bool ok_ = true;
};

}  // namespace

bool WriteTextCrashLog(AddressRangeList* ranges,
                       const ProcessState& state,
                       const CrashInfo& info,
                       const base::FilePath& path) {
  // Text mode: every line feed reaches the file as CR LF. The crash
  // folder is often the temporary folder, which other programs may write.
  FILE* file = base::OpenNewFileStream(path, "w");
  if (!file) {
    LOG(ERROR) << "Cannot create the crash log " << path;
    return false;
  }
  bool written = TextCrashLogWriter(file, ranges, state).WriteBody(info);
  if (fclose(file))
    written = false;
  if (!written) {
    LOG(ERROR) << "Cannot write the crash log " << path;
    base::DeleteFileAtItsPlace(path);
  }
  return written;
}

bool ZipCrashLog(const base::FilePath& source, const base::FilePath& zip_path) {
  return zip::WriteSingleEntryZip(zip_path, "crashlog.txt", source, kZipLevel);
}

}  // namespace crash_report
