#include "profile_document.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace platform {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

// The text an edit leaves, spelled out.
std::string Edited(const std::string& text, const ProfileDocument::Edit& edit) {
  return text.substr(0, edit.from) + edit.inserted + text.substr(edit.to);
}

// An edit's document, built from the old one, must be what reading the new text afresh gives.
void ExpectSpliceMatchesRead(const std::string& text, size_t first, size_t last,
                             std::string_view replacement) {
  const ProfileDocument base(text);
  const ProfileDocument::Edit edit = base.ReplaceLines(first, last, replacement);
  const std::string newText = Edited(text, edit);
  const ProfileDocument spliced(base, edit);
  EXPECT_EQ(spliced.text(), newText);
  EXPECT_TRUE(spliced == ProfileDocument(newText))
      << "text: " << testing::PrintToString(text) << " lines " << first << ".." << last
      << " replaced by " << testing::PrintToString(std::string(replacement));
}

TEST(ProfileDocumentTest, AnEditsLinesAreReadAsTheWholeTextWouldBe) {
  // Seams where a CR meets an LF, a last line without its ending, a zero byte and its tail.
  ExpectSpliceMatchesRead("[a]\rx=1\r", 1, 1, "\ny=2\r");
  ExpectSpliceMatchesRead("[a]\r\nx=1\r\n\ny=2", 1, 2, "z=3\r");
  ExpectSpliceMatchesRead("[a]\rx=1\r\n", 1, 2, "");
  ExpectSpliceMatchesRead("[a]\nx=1", 2, 2, "y=2\n");
  ExpectSpliceMatchesRead("[a]\rx=1", 2, 2, "\ny=2\r");
  ExpectSpliceMatchesRead("[a]\nx=1\n\0[b]\ny=2\n"s, 2, 2, "z=3\n");
  ExpectSpliceMatchesRead("[a]\nx=1\n", 1, 1, "y=\0\n"sv);
  ExpectSpliceMatchesRead("[a]\nx=1\n", 1, 2, "no ending");
  ExpectSpliceMatchesRead("", 0, 0, "[a]\r\nx=1\r\n");
}

// Edits one after another on one document, as several entries written at once make them.
TEST(ProfileDocumentTest, RandomEditsOfRandomTextsMatchAFreshRead) {
  const std::string pieces[] = {"[s]", "[t", "k=v", " k = \"q\" ", "=", ";c", " ", "\r", "\n",
                                "\r\n", "\0"s, "x"};
  std::mt19937 random(20261209);
  auto piece = [&](std::string& out) { out += pieces[random() % std::size(pieces)]; };
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (size_t n = random() % 12; n > 0; --n) piece(text);
    ProfileDocument document(text);
    for (int step = 0; step < 4; ++step) {
      std::string replacement;
      for (size_t n = random() % 5; n > 0; --n) piece(replacement);
      const size_t lines = document.lines().size();
      const size_t first = random() % (lines + 1);
      const size_t last = first + random() % (lines - first + 1);
      const ProfileDocument::Edit edit = document.ReplaceLines(first, last, replacement);
      const std::string before = document.text();
      const ProfileDocument fresh(Edited(before, edit));
      document.Apply(edit);
      ASSERT_TRUE(document == fresh)
          << "text: " << testing::PrintToString(before) << " lines " << first << ".." << last
          << " replaced by " << testing::PrintToString(replacement);
    }
  }
}

}  // namespace
}  // namespace platform
