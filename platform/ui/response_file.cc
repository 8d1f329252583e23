#include "platform/ui/response_file.h"

#include <charconv>
#include <functional>
#include <optional>
#include <vector>

#include "platform/ui/scripted_ui.h"

namespace platform {
namespace {

struct Words {
  std::vector<std::string> words;
  std::vector<bool> quoted;
};

// Splits a line into words; false for an unterminated quote.
bool Split(std::string_view line, Words* out) {
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    std::string word;
    if (line[i] == '"') {
      bool closed = false;
      for (++i; i < line.size(); ++i) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            word += '"';
            ++i;
            continue;
          }
          closed = true;
          ++i;
          break;
        }
        word += line[i];
      }
      if (!closed) return false;
      out->words.push_back(word);
      out->quoted.push_back(true);
      continue;
    }
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
      word += line[i++];
    }
    out->words.push_back(word);
    out->quoted.push_back(false);
  }
  return true;
}

std::optional<int> Number(std::string_view s) {
  int value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

std::optional<int> Answer(std::string_view name) {
  for (int answer = 1; answer <= 7; ++answer) {
    if (AnswerName(answer) == name) return answer;
  }
  return std::nullopt;
}

using Action = std::function<void(DialogDriver&)>;

// One action from its words; empty with `error` set when it does not parse.
std::optional<Action> ParseAction(const std::vector<std::string>& w, std::string* error) {
  auto n = [&](size_t i) { return i < w.size() ? Number(w[i]) : std::nullopt; };
  const std::string& verb = w[0];
  if (verb == "close" && w.size() == 1) return Action([](DialogDriver& d) { d.Close(); });
  if (verb == "click" && w.size() == 2 && n(1)) {
    return Action([id = *n(1)](DialogDriver& d) { d.Click(id); });
  }
  if (verb == "page" && w.size() == 2 && n(1)) {
    return Action([p = *n(1)](DialogDriver& d) { d.ShowPage(p); });
  }
  if (w.size() == 3 && n(1)) {
    const int id = *n(1);
    if (verb == "select" && n(2)) return Action([id, i = *n(2)](DialogDriver& d) { d.Select(id, i); });
    if (verb == "check" && n(2)) {
      return Action([id, c = *n(2) != 0](DialogDriver& d) { d.Check(id, c); });
    }
    if (verb == "position" && n(2)) {
      return Action([id, p = *n(2)](DialogDriver& d) { d.SetPosition(id, p); });
    }
    if (verb == "type") return Action([id, t = w[2]](DialogDriver& d) { d.Type(id, t); });
    if (verb == "selecttext") {
      return Action([id, t = w[2]](DialogDriver& d) { d.SelectText(id, t); });
    }
    if (verb == "selectmany") {
      std::vector<int> indexes;
      std::string list = w[2];
      for (size_t start = 0; start <= list.size();) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        auto index = Number(std::string_view(list).substr(start, comma - start));
        if (!index) break;
        indexes.push_back(*index);
        start = comma + 1;
      }
      if (!indexes.empty()) {
        return Action([id, indexes](DialogDriver& d) { d.SelectMany(id, indexes); });
      }
    }
  }
  *error = "cannot read the action \"" + verb + "\"";
  return std::nullopt;
}

// The words before the ':' (which may end a word) and the text after it.
bool SplitHead(const std::string& line, std::string* head, std::string* tail) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ':' && !quoted) {
      *head = line.substr(0, i);
      *tail = line.substr(i + 1);
      return true;
    }
  }
  *head = line;
  tail->clear();
  return false;
}

// Takes a trailing "times=N" off the head's words.
bool TakeTimes(Words* head, int* times) {
  *times = 1;
  if (head->words.empty() || head->quoted.back() || !head->words.back().starts_with("times=")) {
    return true;
  }
  auto n = Number(std::string_view(head->words.back()).substr(6));
  if (!n || *n < 0) return false;
  *times = *n;
  head->words.pop_back();
  head->quoted.pop_back();
  return true;
}

using Queue = std::vector<std::function<void(ScriptedUi&)>>;

bool ParseLine(const std::string& line, Queue* queue, std::string* error) {
  std::string headText, tail;
  const bool hasColon = SplitHead(line, &headText, &tail);
  Words head;
  if (!Split(headText, &head)) return (*error = "unterminated quote", false);
  if (head.words.empty()) return true;
  int times = 1;
  if (!TakeTimes(&head, &times)) return (*error = "times=N needs a number", false);
  const std::string kind = head.words[0];
  if (kind == "box" && hasColon && (head.words.size() == 2 || head.words.size() == 3)) {
    Words answerWords;
    Split(tail, &answerWords);
    std::optional<int> answer =
        answerWords.words.size() == 1 ? Answer(answerWords.words[0]) : std::nullopt;
    if (!answer) return (*error = "a box needs one answer (OK, Cancel, Yes, No, ...)", false);
    if (head.words.size() == 2) {
      queue->push_back([text = head.words[1], a = *answer, times](ScriptedUi& ui) {
        ui.ExpectMessageBox(text, a, times);
      });
    } else {
      queue->push_back([caption = head.words[1], text = head.words[2], a = *answer,
                        times](ScriptedUi& ui) { ui.ExpectMessageBox(caption, text, a, times); });
    }
    return true;
  }
  if ((kind == "dialog" || kind == "modeless") && head.words.size() == 2) {
    const std::string& key = head.words[1];
    ResourceId id = Number(key) ? ResourceId(*Number(key)) : ResourceId(key);
    std::vector<Action> actions;
    size_t start = 0;
    while (start < tail.size()) {
      size_t end = tail.find(';', start);
      if (end == std::string::npos) end = tail.size();
      Words w;
      if (!Split(tail.substr(start, end - start), &w)) return (*error = "unterminated quote", false);
      if (!w.words.empty()) {
        auto action = ParseAction(w.words, error);
        if (!action) return false;
        actions.push_back(*action);
      }
      start = end + 1;
    }
    if (kind == "dialog" && actions.empty()) return (*error = "a dialog needs actions", false);
    queue->push_back([kind, id, actions, times](ScriptedUi& ui) {
      auto script = [actions](DialogDriver& d) {
        for (const Action& a : actions) a(d);
      };
      if (kind == "dialog") {
        ui.ExpectDialog(id, script, times);
      } else {
        ui.ExpectModeless(id, script, times);
      }
    });
    return true;
  }
  *error = "a line is \"dialog KEY: ACTIONS\", \"box TEXT: ANSWER\" or \"modeless KEY\"";
  return false;
}

}  // namespace

bool LoadResponseFile(ScriptedUi& ui, std::string_view text, ResponseFileError* error) {
  Queue queue;
  int number = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string line(text.substr(start, end - start));
    ++number;
    const size_t first = line.find_first_not_of(" \t\r");
    if (first != std::string::npos && line[first] != '#') {
      std::string message;
      if (!ParseLine(line, &queue, &message)) {
        if (error) *error = {number, message};
        return false;
      }
    }
    start = end + 1;
  }
  for (auto& add : queue) add(ui);
  return true;
}

}  // namespace platform
