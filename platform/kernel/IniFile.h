// The text of one private-profile file, as lines that are kept byte for byte
// unless an edit touches them.
#pragma once

#include <QString>

#include <string>
#include <vector>

class IniFile {
 public:
  // The text as read from disk, in UTF-8; a leading byte-order mark is skipped
  // and written back. CRLF and LF lines read alike and keep their ending.
  static IniFile Parse(const std::string& bytes);
  std::string Serialize() const;

  // Section and key names compare without regard to case; the first of
  // duplicate sections, and of duplicate keys in it, is the one that counts.
  bool Find(const std::string& section, const std::string& key, std::string* value) const;
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(const std::string& section) const;
  // The lines of the first section of that name as its reader sees them:
  // key lines as key=value, other lines trimmed; blank and comment lines left out.
  std::vector<std::string> SectionEntries(const std::string& section) const;

  void SetValue(const std::string& section, const std::string& key, const std::string& value);
  // Both return whether anything was removed.
  bool DeleteKey(const std::string& section, const std::string& key);
  bool DeleteSection(const std::string& section);

 private:
  enum class Kind { Other, Comment, Section, Key };
  struct Line {
    std::string text;
    std::string eol;  // "\r\n", "\n", or "" for a last line without one
    Kind kind = Kind::Other;
    std::string name;  // as written, blanks trimmed
    QString folded;    // name folded for comparison
    std::string value;
  };

  static Line MakeLine(std::string text, std::string eol);
  long FindSection(const QString& folded) const;  // header index or -1
  size_t SectionEnd(size_t header) const;
  void InsertLine(size_t at, std::string text);

  std::vector<Line> lines_;
  bool bom_ = false;
  std::string newline_ = "\n";
};
