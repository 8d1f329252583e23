// The five languages the setup offers, by index: the name in the language list, the language
// library, the script section holding the file list and the option code written for the data
// source (empty: none written).
#pragma once

#include <array>
#include <string_view>

namespace dssetup {

struct Language {
  std::string_view name;
  std::string_view library;
  std::string_view section;
  std::string_view optionCode;
};

inline constexpr std::array<Language, 5> kLanguages{{
    {"Deutsch", "GERMAN.DLL", "German", "DEU"},
    {"English", "ENGLISH.DLL", "English", "ENG"},
    {"French", "FRENCH.DLL", "French", "FRA"},
    {"Italian", "ITALIAN.DLL", "Italian", ""},
    {"Spanish", "SPANISH.DLL", "Spanish", ""},
}};

// The language of an index, or null outside 0..4.
inline const Language* LanguageAt(int index) {
  if (index < 0 || index >= static_cast<int>(kLanguages.size())) return nullptr;
  return &kLanguages[static_cast<size_t>(index)];
}

}  // namespace dssetup
