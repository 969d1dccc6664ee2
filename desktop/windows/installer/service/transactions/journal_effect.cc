#include "desktop/windows/installer/service/transactions/journal_effect.h"

#include <string_view>
#include <variant>

#include "base/strings/string_util.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"

namespace installer {

namespace {

JournalEffect FileEffect(JournalEffectKind kind,
                         const base::FilePath& path,
                         const base::FilePath& other = base::FilePath()) {
  JournalEffect effect;
  effect.kind = kind;
  effect.path = path;
  effect.other = other;
  return effect;
}

JournalEffect KeyEffect(JournalEffectKind kind,
                        const journal::RegistryKey& key,
                        const std::wstring& name = std::wstring()) {
  JournalEffect effect;
  effect.kind = kind;
  effect.key = key;
  effect.name = name;
  return effect;
}

struct UndoOf {
  std::vector<JournalEffect> operator()(const journal::CopiedFile& e) const {
    return {FileEffect(JournalEffectKind::kRemoveCopy, e.file)};
  }
  std::vector<JournalEffect> operator()(const journal::MovedFile& e) const {
    return {FileEffect(JournalEffectKind::kMoveBack, e.to, e.from)};
  }
  std::vector<JournalEffect> operator()(const journal::MovedAside& e) const {
    return {FileEffect(JournalEffectKind::kPutBack, e.aside, e.file)};
  }
  std::vector<JournalEffect> operator()(
      const journal::CreatedFolders& e) const {
    return {FileEffect(JournalEffectKind::kRemoveCreatedFolders, e.folder,
                       e.existing_ancestor)};
  }
  std::vector<JournalEffect> operator()(const journal::ChangedValue& e) const {
    JournalEffect effect =
        KeyEffect(JournalEffectKind::kSetValueBack, e.key, e.name);
    effect.value = e.old_value;
    return {effect};
  }
  std::vector<JournalEffect> operator()(const journal::CreatedKeys& e) const {
    return {KeyEffect(JournalEffectKind::kRemoveCreatedKeys, e.key, e.top)};
  }
  std::vector<JournalEffect> operator()(const journal::DeletedKey& e) const {
    JournalEffect effect =
        KeyEffect(JournalEffectKind::kRestoreDeletedKey, e.key);
    effect.values = e.values;
    return {effect};
  }
  std::vector<JournalEffect> operator()(const journal::CommitMarker&) const {
    return {};
  }
};

bool IsDeviceName(std::wstring_view component) {
  // Windows opens the device whatever extension or trailing blanks follow.
  std::wstring stem(component.substr(0, component.find(L'.')));
  while (!stem.empty() && stem.back() == L' ')
    stem.pop_back();
  stem = base::ToUpperASCII(stem);
  for (const wchar_t* name :
       {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"}) {
    if (stem == name)
      return true;
  }
  return stem.size() == 4 &&
         (base::StartsWith(stem, L"COM", base::CompareCase::SENSITIVE) ||
          base::StartsWith(stem, L"LPT", base::CompareCase::SENSITIVE)) &&
         stem[3] >= L'0' && stem[3] <= L'9';
}

bool IsPlainComponent(std::wstring_view component) {
  if (component.empty() || component == L"." || component == L"..")
    return false;
  for (wchar_t c : component) {
    if (c < 32 ||
        std::wstring_view(L"<>:\"/|?*").find(c) != std::wstring_view::npos) {
      return false;
    }
  }
  return component.back() != L'.' && component.back() != L' ' &&
         !IsDeviceName(component);
}

bool IsOwnPath(const base::FilePath& path, const JournalBounds& bounds) {
  return IsPlainPath(path) &&
         (bounds.IsInInstallation(path) || bounds.IsOwnShortcut(path));
}

// Both in the installation, or both shortcuts of it in one folder: a move
// never takes a file from one kind of place to the other, nor a shortcut
// from the user's folders into those of all users (the installer only
// renames a shortcut where it is).
bool AreOwnPathsAlike(const base::FilePath& a,
                      const base::FilePath& b,
                      const JournalBounds& bounds) {
  if (!IsPlainPath(a) || !IsPlainPath(b))
    return false;
  if (bounds.IsInInstallation(a) && bounds.IsInInstallation(b))
    return true;
  return base::FilePath::CompareEqualIgnoreCase(a.DirName().value(),
                                                b.DirName().value()) &&
         bounds.IsOwnShortcut(a) && bounds.IsOwnShortcut(b);
}

bool IsKeyOrBelow(const std::wstring& key, const std::wstring& ancestor) {
  if (key.size() < ancestor.size() ||
      !base::EqualsCaseInsensitiveASCII(
          std::wstring_view(key).substr(0, ancestor.size()), ancestor)) {
    return false;
  }
  return key.size() == ancestor.size() || key[ancestor.size()] == L'\\';
}

}  // namespace

JournalEffect::JournalEffect() = default;
JournalEffect::JournalEffect(const JournalEffect&) = default;
JournalEffect& JournalEffect::operator=(const JournalEffect&) = default;
JournalEffect::~JournalEffect() = default;

std::vector<JournalEffect> UndoEffects(const journal::Entry& entry) {
  return std::visit(UndoOf(), entry);
}

std::vector<JournalEffect> CommitEffects(const journal::Entry& entry) {
  const journal::MovedAside* aside = std::get_if<journal::MovedAside>(&entry);
  if (!aside)
    return {};
  std::vector<JournalEffect> effects = {
      FileEffect(JournalEffectKind::kDeleteAside, aside->aside, aside->file)};
  if (!aside->stop.empty()) {
    effects.push_back(FileEffect(JournalEffectKind::kRemoveEmptyParents,
                                 aside->file, aside->stop));
  }
  return effects;
}

bool IsPlainPath(const base::FilePath& path) {
  const std::wstring text = path.StripTrailingSeparators().value();
  size_t start = 0;
  if (text.size() >= 3 && base::IsAsciiAlpha(text[0]) && text[1] == L':' &&
      text[2] == L'\\') {
    start = 3;
  } else if (base::StartsWith(text, L"\\\\", base::CompareCase::SENSITIVE)) {
    // A share: its server and share name are checked as components.
    start = 2;
  } else {
    return false;
  }
  if (start == text.size())
    return start == 3;
  const std::wstring_view rest = std::wstring_view(text).substr(start);
  size_t components = 0;
  for (size_t begin = 0; begin <= rest.size(); ++components) {
    size_t end = rest.find(L'\\', begin);
    if (end == std::wstring_view::npos)
      end = rest.size();
    if (!IsPlainComponent(rest.substr(begin, end - begin)))
      return false;
    begin = end + 1;
  }
  return start == 3 || components >= 2;
}

bool IsAsideNameOf(const base::FilePath& aside, const base::FilePath& file) {
  if (!base::FilePath::CompareEqualIgnoreCase(aside.DirName().value(),
                                              file.DirName().value())) {
    return false;
  }
  const std::wstring name = aside.BaseName().value();
  const std::wstring original = file.BaseName().value();
  if (name.size() <= original.size() ||
      !base::FilePath::CompareEqualIgnoreCase(name.substr(0, original.size()),
                                              original)) {
    return false;
  }
  // ".SECONDS.old" or ".SECONDS.N.old".
  std::wstring_view suffix = std::wstring_view(name).substr(original.size());
  constexpr std::wstring_view kOld = L".old";
  if (suffix.size() <= kOld.size() ||
      !base::EqualsCaseInsensitiveASCII(
          suffix.substr(suffix.size() - kOld.size()), kOld)) {
    return false;
  }
  suffix.remove_suffix(kOld.size());
  int numbers = 0;
  while (!suffix.empty()) {
    if (suffix[0] != L'.' || numbers == 2)
      return false;
    size_t digits = 1;
    while (digits < suffix.size() && base::IsAsciiDigit(suffix[digits]))
      ++digits;
    if (digits == 1)
      return false;
    suffix.remove_prefix(digits);
    ++numbers;
  }
  return numbers >= 1;
}

bool MayPerform(const JournalEffect& effect, const JournalBounds& bounds) {
  switch (effect.kind) {
    case JournalEffectKind::kRemoveCopy:
      return IsOwnPath(effect.path, bounds);
    case JournalEffectKind::kMoveBack:
      return AreOwnPathsAlike(effect.path, effect.other, bounds);
    case JournalEffectKind::kPutBack:
    case JournalEffectKind::kDeleteAside:
      return IsAsideNameOf(effect.path, effect.other) &&
             AreOwnPathsAlike(effect.path, effect.other, bounds);
    case JournalEffectKind::kRemoveEmptyParents:
      return IsPlainPath(effect.path) && IsPlainPath(effect.other) &&
             bounds.IsInstallFolder(effect.other) &&
             bounds.IsInInstallation(effect.path);
    case JournalEffectKind::kRemoveCreatedFolders:
      // The levels above the install folder are the ones a run made for
      // it, and only empty ones go.
      return IsPlainPath(effect.path) && IsPlainPath(effect.other) &&
             effect.other.IsParentIgnoringCase(effect.path) &&
             (bounds.IsInstallFolder(effect.path) ||
              bounds.IsInInstallation(effect.path));
    case JournalEffectKind::kSetValueBack:
      return bounds.IsTableValue(effect.key, effect.name);
    case JournalEffectKind::kRemoveCreatedKeys:
      return CountKeyPathComponents(effect.name) >= 2 &&
             IsKeyOrBelow(effect.key.path, effect.name) &&
             bounds.IsTableKeyOrAncestor(effect.key);
    case JournalEffectKind::kRestoreDeletedKey:
      return bounds.IsInDeletedTree(effect.key);
  }
  return false;
}

const char* JournalEffectName(JournalEffectKind kind) {
  switch (kind) {
    case JournalEffectKind::kRemoveCopy:
      return "remove the copy";
    case JournalEffectKind::kMoveBack:
      return "move back";
    case JournalEffectKind::kPutBack:
      return "put back";
    case JournalEffectKind::kDeleteAside:
      return "delete what was moved aside";
    case JournalEffectKind::kRemoveEmptyParents:
      return "remove the empty parents";
    case JournalEffectKind::kRemoveCreatedFolders:
      return "remove the created folders";
    case JournalEffectKind::kSetValueBack:
      return "set the value back";
    case JournalEffectKind::kRemoveCreatedKeys:
      return "remove the created keys";
    case JournalEffectKind::kRestoreDeletedKey:
      return "restore the deleted key";
  }
  return "unknown";
}

}  // namespace installer
