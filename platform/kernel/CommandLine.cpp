#include "CommandLine.h"

static bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Returns the index just past the program name.
static size_t ReadProgramName(const std::wstring& line, std::wstring* name) {
  bool quoted = false;
  size_t i = 0;
  for (; i < line.size(); ++i) {
    const wchar_t c = line[i];
    if (c == L'"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && IsBlank(c)) break;
    name->push_back(c);
  }
  return i;
}

// Reads one argument starting at a non-blank character; returns the index just past it.
static size_t ReadArgument(const std::wstring& line, size_t i, std::wstring* arg) {
  bool quoted = false;
  while (i < line.size()) {
    size_t slashes = 0;
    while (i < line.size() && line[i] == L'\\') {
      ++slashes;
      ++i;
    }
    if (i < line.size() && line[i] == L'"') {
      arg->append(slashes / 2, L'\\');
      if (slashes % 2 == 1) {
        arg->push_back(L'"');
      } else if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
        arg->push_back(L'"');
        ++i;
      } else {
        quoted = !quoted;
      }
      ++i;
      continue;
    }
    arg->append(slashes, L'\\');
    if (i >= line.size() || (!quoted && IsBlank(line[i]))) break;
    arg->push_back(line[i]);
    ++i;
  }
  return i;
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  std::vector<std::wstring> args;
  if (commandLine.empty()) return args;
  std::wstring program;
  size_t i = ReadProgramName(commandLine, &program);
  args.push_back(std::move(program));
  for (;;) {
    while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
    if (i >= commandLine.size()) break;
    std::wstring arg;
    i = ReadArgument(commandLine, i, &arg);
    args.push_back(std::move(arg));
  }
  return args;
}
