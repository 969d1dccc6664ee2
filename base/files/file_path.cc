#include "base/files/file_path.h"

#include <windows.h>

#include <algorithm>
#include <ostream>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/vista_function.h"

namespace base {

namespace {

using StringType = FilePath::StringType;
using StringPieceType = FilePath::StringPieceType;
constexpr size_t npos = StringType::npos;

// Second parts that make a two-part extension ("a.tar.gz" is ".tar.gz")
// when the first part is at most four characters long.
constexpr std::wstring_view kCommonDoubleExtensionSuffixes[] = {
    L"gz", L"xz", L"bz2", L"z", L"bz"};
// Whole extensions that are two-part whatever their length.
constexpr std::wstring_view kCommonDoubleExtensions[] = {L"user.js"};

// The position of the ':' of a leading drive letter, or npos.
size_t FindDriveLetter(StringPieceType path) {
  if (path.size() >= 2 && path[1] == L':' && IsAsciiAlpha(path[0]))
    return 1;
  return npos;
}

bool IsPathAbsolute(StringPieceType path) {
  size_t letter = FindDriveLetter(path);
  if (letter != npos) {
    return path.size() > letter + 1 && FilePath::IsSeparator(path[letter + 1]);
  }
  return path.size() > 1 && FilePath::IsSeparator(path[0]) &&
         FilePath::IsSeparator(path[1]);
}

bool AreAllSeparators(StringPieceType text) {
  return std::all_of(text.begin(), text.end(), &FilePath::IsSeparator);
}

bool IsEmptyOrSpecialCase(StringPieceType path) {
  return path.empty() || path == FilePath::kCurrentDirectory ||
         path == FilePath::kParentDirectory;
}

// The "." that starts the last extension of |path|, a base name.
size_t FinalExtensionSeparatorPosition(StringPieceType path) {
  if (path == FilePath::kCurrentDirectory ||
      path == FilePath::kParentDirectory) {
    return npos;
  }
  return path.rfind(FilePath::kExtensionSeparator);
}

// As above, but a common two-part extension counts as one.
size_t ExtensionSeparatorPosition(StringPieceType path) {
  const size_t last_dot = FinalExtensionSeparatorPosition(path);
  if (last_dot == npos || last_dot == 0)
    return last_dot;
  const size_t penultimate_dot =
      path.rfind(FilePath::kExtensionSeparator, last_dot - 1);
  const size_t last_separator =
      path.find_last_of(FilePath::kSeparators, last_dot - 1);
  if (penultimate_dot == npos ||
      (last_separator != npos && penultimate_dot < last_separator)) {
    return last_dot;
  }
  for (std::wstring_view extension : kCommonDoubleExtensions) {
    if (EqualsCaseInsensitiveASCII(path.substr(penultimate_dot + 1), extension))
      return penultimate_dot;
  }
  StringPieceType last_extension = path.substr(last_dot + 1);
  for (std::wstring_view suffix : kCommonDoubleExtensionSuffixes) {
    if (EqualsCaseInsensitiveASCII(last_extension, suffix) &&
        last_dot - penultimate_dot <= 5 && last_dot - penultimate_dot > 1) {
      return penultimate_dot;
    }
  }
  return last_dot;
}

// Compares with the drive letter folded to lower case, so that the order
// agrees with operator==.
int CompareFoldingDriveLetter(StringPieceType a, StringPieceType b) {
  if (a.empty() || b.empty())
    return a.compare(b);
  wchar_t first_a = FindDriveLetter(a) != npos ? ToLowerASCII(a[0]) : a[0];
  wchar_t first_b = FindDriveLetter(b) != npos ? ToLowerASCII(b[0]) : b[0];
  if (first_a != first_b)
    return first_a < first_b ? -1 : 1;
  return a.substr(1).compare(b.substr(1));
}

// The invariant locale's upper case of |text|; |text| itself when the
// system cannot map it.
std::wstring ToUpperInvariant(FilePath::StringPieceType text) {
  std::wstring upper(text.size(), L'\0');
  if (text.empty() ||
      ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(),
                     static_cast<int>(text.size()), upper.data(),
                     static_cast<int>(upper.size())) !=
          static_cast<int>(text.size())) {
    return std::wstring(text);
  }
  return upper;
}

// CompareStringOrdinal ignoring case, for Windows before Vista: the code
// units of both texts in upper case, compared in order. -1, 0 or 1.
int CompareUpperCaseOrdinal(FilePath::StringPieceType a,
                            FilePath::StringPieceType b) {
  const int result = ToUpperInvariant(a).compare(ToUpperInvariant(b));
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

}  // namespace

FilePath::FilePath(StringPieceType path) : path_(path) {
  size_t nul = path_.find(L'\0');
  if (nul != npos)
    path_.erase(nul);
}

// static
bool FilePath::IsSeparator(CharType character) {
  return character == L'\\' || character == L'/';
}

bool FilePath::operator==(const FilePath& that) const {
  return CompareFoldingDriveLetter(path_, that.path_) == 0;
}

bool FilePath::operator<(const FilePath& that) const {
  return CompareFoldingDriveLetter(path_, that.path_) < 0;
}

std::vector<StringType> FilePath::GetComponents() const {
  std::vector<StringType> components;
  if (path_.empty())
    return components;

  FilePath current = *this;
  while (current != current.DirName()) {
    FilePath base = current.BaseName();
    if (!AreAllSeparators(base.value()))
      components.push_back(base.value());
    current = current.DirName();
  }

  // The root, if any.
  FilePath base = current.BaseName();
  if (!base.empty() && base.value() != kCurrentDirectory)
    components.push_back(base.value());

  // The drive letter, if any.
  FilePath dir = current.DirName();
  size_t letter = FindDriveLetter(dir.value());
  if (letter != npos)
    components.push_back(dir.value().substr(0, letter + 1));

  std::reverse(components.begin(), components.end());
  return components;
}

bool FilePath::IsParent(const FilePath& child) const {
  return AppendRelativePath(child, nullptr);
}

bool FilePath::IsParentIgnoringCase(const FilePath& child) const {
  const std::vector<StringType> parent_components = GetComponents();
  const std::vector<StringType> child_components = child.GetComponents();
  if (parent_components.empty() ||
      parent_components.size() >= child_components.size()) {
    return false;
  }
  return std::equal(parent_components.begin(), parent_components.end(),
                    child_components.begin(),
                    [](const StringType& a, const StringType& b) {
                      return CompareEqualIgnoreCase(a, b);
                    });
}

bool FilePath::AppendRelativePath(const FilePath& child, FilePath* path) const {
  std::vector<StringType> parent_components = GetComponents();
  std::vector<StringType> child_components = child.GetComponents();
  if (parent_components.empty() ||
      parent_components.size() >= child_components.size()) {
    return false;
  }

  auto parent_comp = parent_components.begin();
  auto child_comp = child_components.begin();
  // Drive letters never differ by case; the other components may.
  if (FindDriveLetter(*parent_comp) != npos &&
      FindDriveLetter(*child_comp) != npos) {
    if (ToLowerASCII((*parent_comp)[0]) != ToLowerASCII((*child_comp)[0]))
      return false;
    ++parent_comp;
    ++child_comp;
  }
  for (; parent_comp != parent_components.end(); ++parent_comp, ++child_comp) {
    if (*parent_comp != *child_comp)
      return false;
  }

  if (path) {
    for (; child_comp != child_components.end(); ++child_comp)
      *path = path->Append(*child_comp);
  }
  return true;
}

FilePath FilePath::DirName() const {
  FilePath new_path(path_);
  new_path.StripTrailingSeparatorsInternal();

  // The drive letter, if any, stays. Without one |letter| is npos, and
  // letter + 1 wraps to 0, which keeps the arithmetic below valid.
  size_t letter = FindDriveLetter(new_path.path_);
  size_t last_separator = new_path.path_.find_last_of(kSeparators);
  if (last_separator == npos) {
    // A name in the current folder (of the drive).
    new_path.path_.resize(letter + 1);
  } else if (last_separator == letter + 1) {
    // A name in the root folder.
    new_path.path_.resize(letter + 2);
  } else if (last_separator == letter + 2 &&
             IsSeparator(new_path.path_[letter + 1])) {
    // A name right after "\\": keep the double separator of the UNC root.
    new_path.path_.resize(letter + 3);
  } else if (last_separator != 0) {
    new_path.path_.resize(last_separator);
  }

  new_path.StripTrailingSeparatorsInternal();
  if (new_path.path_.empty())
    new_path.path_ = StringType(kCurrentDirectory);
  return new_path;
}

FilePath FilePath::BaseName() const {
  FilePath new_path(path_);
  new_path.StripTrailingSeparatorsInternal();

  size_t letter = FindDriveLetter(new_path.path_);
  if (letter != npos)
    new_path.path_.erase(0, letter + 1);

  // Everything after the last separator; a lone separator stays.
  size_t last_separator = new_path.path_.find_last_of(kSeparators);
  if (last_separator != npos && last_separator < new_path.path_.size() - 1) {
    new_path.path_.erase(0, last_separator + 1);
  }
  return new_path;
}

StringType FilePath::Extension() const {
  FilePath base(BaseName());
  size_t dot = ExtensionSeparatorPosition(base.path_);
  if (dot == npos)
    return StringType();
  return base.path_.substr(dot);
}

StringType FilePath::FinalExtension() const {
  FilePath base(BaseName());
  size_t dot = FinalExtensionSeparatorPosition(base.path_);
  if (dot == npos)
    return StringType();
  return base.path_.substr(dot);
}

FilePath FilePath::RemoveExtension() const {
  if (Extension().empty())
    return *this;
  size_t dot = ExtensionSeparatorPosition(path_);
  if (dot == npos)
    return *this;
  return FilePath(StringPieceType(path_).substr(0, dot));
}

FilePath FilePath::InsertBeforeExtension(StringPieceType suffix) const {
  if (suffix.empty())
    return *this;
  if (IsEmptyOrSpecialCase(BaseName().value()))
    return FilePath();
  StringType result = RemoveExtension().value();
  result.append(suffix);
  result.append(Extension());
  return FilePath(result);
}

FilePath FilePath::InsertBeforeExtensionASCII(std::string_view suffix) const {
  return InsertBeforeExtension(ASCIIToWide(suffix));
}

FilePath FilePath::AddExtension(StringPieceType extension) const {
  if (IsEmptyOrSpecialCase(BaseName().value()))
    return FilePath();
  if (extension.empty() ||
      extension == StringPieceType(&kExtensionSeparator, 1)) {
    return *this;
  }
  StringType result = path_;
  if (extension[0] != kExtensionSeparator &&
      result.back() != kExtensionSeparator) {
    result.push_back(kExtensionSeparator);
  }
  result.append(extension);
  return FilePath(result);
}

FilePath FilePath::ReplaceExtension(StringPieceType extension) const {
  if (IsEmptyOrSpecialCase(BaseName().value()))
    return FilePath();
  FilePath no_extension = RemoveExtension();
  if (extension.empty() ||
      extension == StringPieceType(&kExtensionSeparator, 1)) {
    return no_extension;
  }
  StringType result = no_extension.value();
  if (extension[0] != kExtensionSeparator)
    result.push_back(kExtensionSeparator);
  result.append(extension);
  return FilePath(result);
}

FilePath FilePath::Append(StringPieceType component) const {
  StringPieceType appended = component.substr(0, component.find(L'\0'));

  // Joining "C:\x" or "\\server\x" would silently throw this path away (as
  // std::filesystem does); joins of untrusted names must never do that.
  if (IsPathAbsolute(appended) || FindDriveLetter(appended) != npos) {
    LOG(ERROR) << "Refusing to append the rooted path " << appended << " to "
               << path_;
    NOTREACHED();
    return *this;
  }

  // "." + "a" is just "a": a relative name's DirName is ".".
  if (path_ == kCurrentDirectory && !appended.empty())
    return FilePath(appended);

  FilePath new_path(path_);
  new_path.StripTrailingSeparatorsInternal();
  // No separator after an empty path, before an empty component, after a
  // root that still ends in one, or after a bare drive letter ("C:a").
  if (!appended.empty() && !new_path.path_.empty() &&
      !IsSeparator(new_path.path_.back()) &&
      FindDriveLetter(new_path.path_) + 1 != new_path.path_.size()) {
    new_path.path_.push_back(kSeparators[0]);
  }
  new_path.path_.append(appended);
  return new_path;
}

FilePath FilePath::Append(const FilePath& component) const {
  return Append(StringPieceType(component.value()));
}

FilePath FilePath::AppendASCII(std::string_view component) const {
  return Append(ASCIIToWide(component));
}

bool FilePath::IsAbsolute() const {
  return IsPathAbsolute(path_);
}

bool FilePath::EndsWithSeparator() const {
  return !path_.empty() && IsSeparator(path_.back());
}

FilePath FilePath::StripTrailingSeparators() const {
  FilePath new_path(path_);
  new_path.StripTrailingSeparatorsInternal();
  return new_path;
}

bool FilePath::ReferencesParent() const {
  // The components between the separators, looked at in place: every file
  // copy asks this of both its paths, and GetComponents builds a string per
  // level, several times over.
  StringPieceType rest(path_);
  const size_t letter = FindDriveLetter(rest);
  if (letter != npos)
    rest.remove_prefix(letter + 1);
  while (!rest.empty()) {
    const size_t end = std::min(rest.find_first_of(kSeparators), rest.size());
    const StringPieceType component = rest.substr(0, end);
    // Windows resolves components made only of dots and blanks oddly, so
    // any ".." among them counts.
    if (component.find_first_not_of(L". \n\r\t") == npos &&
        component.find(kParentDirectory) != npos) {
      return true;
    }
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return false;
}

FilePath FilePath::NormalizePathSeparators() const {
  StringType result = path_;
  std::replace(result.begin(), result.end(), L'/', kSeparators[0]);
  return FilePath(result);
}

std::string FilePath::AsUTF8Unsafe() const {
  return WideToUTF8(path_);
}

// static
FilePath FilePath::FromUTF8Unsafe(std::string_view utf8) {
  return FilePath(UTF8ToWide(utf8));
}

// static
int FilePath::CompareIgnoreCase(StringPieceType string1,
                                StringPieceType string2) {
  // Ordinal comparison with the system's upper-case table is how the file
  // system itself matches names; locale-aware comparison is not.
  static const auto compare_ordinal =
      win::GetVistaFunction<decltype(&::CompareStringOrdinal)>(
          "CompareStringOrdinal");
  if (!compare_ordinal)
    return CompareUpperCaseOrdinal(string1, string2);
  int result =
      compare_ordinal(string1.data(), static_cast<int>(string1.size()),
                      string2.data(), static_cast<int>(string2.size()), TRUE);
  DCHECK_NE(result, 0) << "CompareStringOrdinal failed";
  return result - CSTR_EQUAL;
}

void FilePath::StripTrailingSeparatorsInternal() {
  // With no drive letter |start| is 1, which keeps a lone leading
  // separator; with one it keeps the separator after the letter.
  size_t start = FindDriveLetter(path_) + 2;
  size_t last_stripped = npos;
  for (size_t pos = path_.size(); pos > start && IsSeparator(path_[pos - 1]);
       --pos) {
    // Two leading separators (a UNC root) stay, unless there were more
    // than two to begin with.
    if (pos != start + 1 || last_stripped == start + 2 ||
        !IsSeparator(path_[start - 1])) {
      path_.resize(pos - 1);
      last_stripped = pos;
    }
  }
}

std::ostream& operator<<(std::ostream& out, const FilePath& path) {
  return out << path.AsUTF8Unsafe();
}

}  // namespace base
