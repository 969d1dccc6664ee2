// A path to a file or folder in Windows form, held as wide text. Both "\"
// and "/" separate components; a drive letter ("C:") or two leading
// separators (a UNC name, "\\server\share") root a path. Nothing here
// touches the disk: the operations only look at the text.
//
//   FilePath dir(FILE_PATH_LITERAL("C:\\Program Files\\Kelvo"));
//   FilePath exe = dir.AppendASCII("launcher.exe");
//   exe.DirName() == dir;  exe.BaseName().value() == L"launcher.exe";
//
// Components compare case-sensitively (a folder may live on a
// case-sensitive volume); only drive letters ignore case. Use
// CompareEqualIgnoreCase where Windows' own file name rules apply.

#ifndef BASE_FILES_FILE_PATH_H_
#define BASE_FILES_FILE_PATH_H_

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#define FILE_PATH_LITERAL(x) L##x

namespace base {

class FilePath {
 public:
  using CharType = wchar_t;
  using StringType = std::wstring;
  using StringPieceType = std::wstring_view;

  // The first separator is the one this class writes.
  static constexpr StringPieceType kSeparators = L"\\/";
  static constexpr StringPieceType kCurrentDirectory = L".";
  static constexpr StringPieceType kParentDirectory = L"..";
  static constexpr CharType kExtensionSeparator = L'.';

  FilePath() = default;
  // The text is cut at an embedded NUL: Windows would stop there too.
  explicit FilePath(StringPieceType path);
  FilePath(const FilePath&) = default;
  FilePath(FilePath&&) noexcept = default;
  FilePath& operator=(const FilePath&) = default;
  FilePath& operator=(FilePath&&) noexcept = default;

  const StringType& value() const { return path_; }
  bool empty() const { return path_.empty(); }
  void clear() { path_.clear(); }

  static bool IsSeparator(CharType character);

  // Equal texts, except that drive letters ignore case ("c:\a" == "C:\a").
  bool operator==(const FilePath& that) const;
  bool operator!=(const FilePath& that) const { return !(*this == that); }
  // An order that agrees with ==, for sorted containers.
  bool operator<(const FilePath& that) const;

  // "C:\a\b" gives {"C:", "\", "a", "b"}; "\\server\share" gives
  // {"\\", "server", "share"}; "a\b" gives {"a", "b"}.
  std::vector<StringType> GetComponents() const;

  // Whether |child| lies strictly below this path (by components).
  bool IsParent(const FilePath& child) const;
  // The same, comparing components as Windows compares file names: case
  // does not count, beyond ASCII too.
  bool IsParentIgnoringCase(const FilePath& child) const;
  // When this path is a parent of |child|, appends to |*path| the part of
  // |child| below it and returns true; |path| may be null.
  bool AppendRelativePath(const FilePath& child, FilePath* path) const;

  // The containing folder: "C:\a\b" gives "C:\a", "C:\a" gives "C:\", the
  // root "C:\" stays "C:\", and a bare name gives ".".
  [[nodiscard]] FilePath DirName() const;
  // The last component: "C:\a\b.txt" gives "b.txt"; a root gives "\".
  [[nodiscard]] FilePath BaseName() const;

  // The extension of the base name with its leading ".", or empty. Common
  // two-part extensions count as one ("a.tar.gz" gives ".tar.gz").
  StringType Extension() const;
  // Only the last part ("a.tar.gz" gives ".gz").
  StringType FinalExtension() const;
  [[nodiscard]] FilePath RemoveExtension() const;
  // "C:\a\b.txt" with "_1" gives "C:\a\b_1.txt". An empty, "." or ".."
  // base name gives the empty path.
  [[nodiscard]] FilePath InsertBeforeExtension(StringPieceType suffix) const;
  [[nodiscard]] FilePath InsertBeforeExtensionASCII(
      std::string_view suffix) const;
  // Appends an extension (with or without its "."): "a.txt" with "old"
  // gives "a.txt.old". An empty, "." or ".." base name gives the empty path.
  [[nodiscard]] FilePath AddExtension(StringPieceType extension) const;
  // Replaces the extension; "" or "." only removes it.
  [[nodiscard]] FilePath ReplaceExtension(StringPieceType extension) const;

  // Joins a relative component with a separator. A component that is
  // absolute or carries a drive letter would escape this path: that is a
  // programming error (DCHECK) and is refused, logged, and this path is
  // returned unchanged.
  [[nodiscard]] FilePath Append(StringPieceType component) const;
  [[nodiscard]] FilePath Append(const FilePath& component) const;
  // |component| must be ASCII.
  [[nodiscard]] FilePath AppendASCII(std::string_view component) const;

  // A drive letter followed by a separator, or two leading separators.
  // "C:a" and "\a" are relative to a current folder and so not absolute.
  bool IsAbsolute() const;

  bool EndsWithSeparator() const;
  // Drops trailing separators but keeps a root ("C:\", "\\", "\").
  [[nodiscard]] FilePath StripTrailingSeparators() const;

  // Whether some component is "..", or a mix of dots and blanks holding
  // "..", which Windows also treats as the parent.
  bool ReferencesParent() const;

  // Every "/" turned into "\".
  [[nodiscard]] FilePath NormalizePathSeparators() const;

  // UTF-8 text of the path; "unsafe" because a lone surrogate is replaced.
  std::string AsUTF8Unsafe() const;
  static FilePath FromUTF8Unsafe(std::string_view utf8);

  // Orders as Windows compares file names: character by character after
  // its upper-case mapping (no locale rules). Returns -1, 0 or 1.
  static int CompareIgnoreCase(StringPieceType string1,
                               StringPieceType string2);
  static bool CompareEqualIgnoreCase(StringPieceType string1,
                                     StringPieceType string2) {
    return CompareIgnoreCase(string1, string2) == 0;
  }

  // Writes the path as UTF-8, for log lines. A hidden friend, so that it
  // does not hide the wide-text stream operators inside namespace base.
  friend std::ostream& operator<<(std::ostream& out, const FilePath& path);

 private:
  void StripTrailingSeparatorsInternal();

  StringType path_;
};

}  // namespace base

#endif  // BASE_FILES_FILE_PATH_H_
