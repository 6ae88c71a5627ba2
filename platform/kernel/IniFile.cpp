#include "IniFile.h"

static const char kBom[] = "\xEF\xBB\xBF";

static bool IsBlank(char c) { return c == ' ' || c == '\t'; }

static std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

static QString Fold(const std::string& name) { return QString::fromUtf8(name.data(), static_cast<int>(name.size())).toCaseFolded(); }

IniFile::Line IniFile::MakeLine(std::string text, std::string eol) {
  Line line;
  line.text = std::move(text);
  line.eol = std::move(eol);
  const std::string trimmed = Trim(line.text);
  if (trimmed.empty()) return line;
  if (trimmed[0] == ';') {
    line.kind = Kind::Comment;
    return line;
  }
  if (trimmed[0] == '[') {
    // A header without its ']' still opens a section rather than letting its
    // keys fall into the one above.
    const size_t close = trimmed.find(']');
    line.kind = Kind::Section;
    line.name = Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    line.folded = Fold(line.name);
    return line;
  }
  const size_t equals = trimmed.find('=');
  if (equals == std::string::npos || equals == 0) return line;
  line.kind = Kind::Key;
  line.name = Trim(trimmed.substr(0, equals));
  line.folded = Fold(line.name);
  line.value = Trim(trimmed.substr(equals + 1));
  if (line.value.size() >= 2 && line.value.front() == '"' && line.value.back() == '"')
    line.value = line.value.substr(1, line.value.size() - 2);
  return line;
}

IniFile IniFile::Parse(const std::string& bytes) {
  IniFile file;
  size_t pos = 0;
  if (bytes.compare(0, 3, kBom) == 0) {
    file.bom_ = true;
    pos = 3;
  }
  bool newlineKnown = false;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    std::string eol;
    size_t textEnd = end;
    if (end == std::string::npos) {
      textEnd = end = bytes.size();
    } else if (end > pos && bytes[end - 1] == '\r') {
      eol = "\r\n";
      textEnd = end - 1;
    } else {
      eol = "\n";
    }
    if (!newlineKnown && !eol.empty()) {
      file.newline_ = eol;
      newlineKnown = true;
    }
    file.lines_.push_back(MakeLine(bytes.substr(pos, textEnd - pos), eol));
    pos = end + (eol.empty() ? 0 : 1);
  }
  return file;
}

std::string IniFile::Serialize() const {
  std::string out = bom_ ? kBom : "";
  for (const Line& line : lines_) out += line.text + line.eol;
  return out;
}

long IniFile::FindSection(const QString& folded) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::Section && lines_[i].folded == folded) return static_cast<long>(i);
  }
  return -1;
}

size_t IniFile::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != Kind::Section) ++i;
  return i;
}

bool IniFile::Find(const std::string& section, const std::string& key, std::string* value) const {
  const long header = FindSection(Fold(section));
  if (header < 0) return false;
  const QString folded = Fold(key);
  for (size_t i = header + 1; i < SectionEnd(header); ++i) {
    if (lines_[i].kind == Kind::Key && lines_[i].folded == folded) {
      *value = lines_[i].value;
      return true;
    }
  }
  return false;
}

// Names are listed once, spelt as their first occurrence.
static void AppendFirstOfName(const QString& folded, const std::string& name, std::vector<QString>* seen,
                              std::vector<std::string>* names) {
  for (const QString& s : *seen) {
    if (s == folded) return;
  }
  seen->push_back(folded);
  names->push_back(name);
}

std::vector<std::string> IniFile::SectionNames() const {
  std::vector<std::string> names;
  std::vector<QString> seen;
  for (const Line& line : lines_) {
    if (line.kind != Kind::Section) continue;
    AppendFirstOfName(line.folded, line.name, &seen, &names);
  }
  return names;
}

std::vector<std::string> IniFile::KeyNames(const std::string& section) const {
  std::vector<std::string> names;
  const long header = FindSection(Fold(section));
  if (header < 0) return names;
  std::vector<QString> seen;
  for (size_t i = header + 1; i < SectionEnd(header); ++i) {
    const Line& line = lines_[i];
    if (line.kind != Kind::Key) continue;
    AppendFirstOfName(line.folded, line.name, &seen, &names);
  }
  return names;
}

std::vector<std::string> IniFile::SectionEntries(const std::string& section) const {
  std::vector<std::string> entries;
  const long header = FindSection(Fold(section));
  if (header < 0) return entries;
  for (size_t i = header + 1; i < SectionEnd(header); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::Key) {
      entries.push_back(line.name + "=" + line.value);
    } else if (line.kind == Kind::Other) {
      std::string trimmed = Trim(line.text);
      if (!trimmed.empty()) entries.push_back(std::move(trimmed));
    }
  }
  return entries;
}

void IniFile::InsertLine(size_t at, std::string text) {
  // The line before gains an ending, or the new one would run into it.
  if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = newline_;
  lines_.insert(lines_.begin() + static_cast<long>(at), MakeLine(std::move(text), newline_));
}

void IniFile::SetValue(const std::string& section, const std::string& key, const std::string& value) {
  const long header = FindSection(Fold(section));
  if (header < 0) {
    InsertLine(lines_.size(), "[" + section + "]");
    InsertLine(lines_.size(), key + "=" + value);
    return;
  }
  const QString folded = Fold(key);
  const size_t end = SectionEnd(header);
  size_t insertAt = header + 1;
  for (size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind != Kind::Key) continue;
    if (lines_[i].folded == folded) {
      lines_[i] = MakeLine(lines_[i].name + "=" + value, lines_[i].eol);
      return;
    }
    insertAt = i + 1;
  }
  // After the section's last key, so comments and blank lines that lead into
  // the next section stay with it.
  InsertLine(insertAt, key + "=" + value);
}

bool IniFile::DeleteKey(const std::string& section, const std::string& key) {
  const long header = FindSection(Fold(section));
  if (header < 0) return false;
  const QString folded = Fold(key);
  bool removed = false;
  // Every copy goes: removing only the first would bring the next one to light.
  for (size_t i = SectionEnd(header); i-- > static_cast<size_t>(header) + 1;) {
    if (lines_[i].kind == Kind::Key && lines_[i].folded == folded) {
      lines_.erase(lines_.begin() + static_cast<long>(i));
      removed = true;
    }
  }
  return removed;
}

bool IniFile::DeleteSection(const std::string& section) {
  const QString folded = Fold(section);
  bool removed = false;
  for (long header = FindSection(folded); header >= 0; header = FindSection(folded)) {
    lines_.erase(lines_.begin() + header, lines_.begin() + static_cast<long>(SectionEnd(header)));
    removed = true;
  }
  return removed;
}
