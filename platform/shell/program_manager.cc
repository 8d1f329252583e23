#include "platform/shell/program_manager.h"

#include <strings.h>

#include <algorithm>
#include <cctype>

namespace platform {
namespace {

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool Is(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// Parses "(a, "b,c", d)" starting at the '('; `at` ends after the ')'.
bool ParseArgs(std::string_view text, size_t* at, std::vector<std::string>* args) {
  std::string current;
  bool quoted = false;
  for (size_t i = *at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"') quoted = false; else current += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',' || c == ')') {
      args->push_back(Trim(current));
      current.clear();
      if (c == ')') {
        *at = i + 1;
        return true;
      }
    } else if (c == '(' || c == '[' || c == ']') {
      return false;
    } else {
      current += c;
    }
  }
  return false;
}

}  // namespace

std::optional<std::vector<ProgmanCommand>> ParseProgmanCommands(std::string_view text) {
  std::vector<ProgmanCommand> commands;
  size_t at = 0;
  for (;;) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    if (at == text.size()) break;
    if (text[at] != '[') return std::nullopt;
    ProgmanCommand command;
    size_t i = at + 1;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])))) ++i;
    command.name = std::string(text.substr(at + 1, i - at - 1));
    if (command.name.empty()) return std::nullopt;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && text[i] == '(' && !ParseArgs(text, &i, &command.args)) {
      return std::nullopt;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size() || text[i] != ']') return std::nullopt;
    at = i + 1;
    commands.push_back(std::move(command));
  }
  if (commands.empty()) return std::nullopt;
  return commands;
}

ProgramGroup* ProgramManager::Group(const std::string& name) {
  auto it = groups_.find(Lower(name));
  return it == groups_.end() ? nullptr : &it->second;
}

bool ProgramManager::Run(const ProgmanCommand& c) {
  const size_t n = c.args.size();
  if (Is(c.name, "CreateGroup") && n >= 1 && n <= 2 && !c.args[0].empty()) {
    current_ = Lower(c.args[0]);
    ProgramGroup& group = groups_[current_];
    if (group.name.empty()) group.name = c.args[0];
    return menu_.WriteGroup(group);
  }
  if (Is(c.name, "ShowGroup") && n == 2) {
    if (!Group(c.args[0])) return false;
    current_ = Lower(c.args[0]);
    return true;
  }
  if (Is(c.name, "DeleteGroup") && n == 1) {
    ProgramGroup* group = Group(c.args[0]);
    if (!group) return false;
    menu_.RemoveGroup(group->name);
    groups_.erase(Lower(c.args[0]));
    if (current_ == Lower(c.args[0])) current_.clear();
    return true;
  }
  if (Is(c.name, "AddItem") && n >= 1 && !c.args[0].empty()) {
    ProgramGroup* group = Group(current_);
    if (!group) return false;
    ProgramItem item{n >= 2 && !c.args[1].empty() ? c.args[1] : c.args[0], c.args[0],
                  n >= 3 ? c.args[2] : std::string()};
    group->items.push_back(std::move(item));
    return menu_.WriteGroup(*group);
  }
  return false;
}

bool ProgramManager::AddItems(std::string_view group, const std::vector<ProgramItem>& items) {
  if (group.empty()) return false;
  ProgramGroup& entry = groups_[Lower(std::string(group))];
  if (entry.name.empty()) entry.name = std::string(group);
  entry.items.insert(entry.items.end(), items.begin(), items.end());
  return menu_.WriteGroup(entry);
}

bool ProgramManager::Execute(std::string_view text) {
  auto commands = ParseProgmanCommands(text);
  if (!commands) return false;
  for (const ProgmanCommand& command : *commands) {
    if (!Run(command)) return false;
  }
  return true;
}

}  // namespace platform
