// Texts for people, in their language: English, in which the programs'
// texts are written, or Hungarian, from the catalogue po/hu.po. The
// catalogue is built into the programs, so that a static or WebAssembly
// build needs no file beside it, and a translator edits one file in the
// format translators know.
//
// What it keeps true: every text that has a translation is written in the
// code as message() of its English literal, so that a test finds each one
// in the catalogue and each entry of the catalogue in the code; a text without a
// translation is shown in English. Values go into a text at {1}, {2}, ...,
// so that a translation can put them in the order of its language.
//
// What it costs: the catalogue is read once, when the Hungarian texts are
// made, in time linear in its size; a lookup is one hash of the text.
#ifndef FDKEEP_MESSAGES_H_
#define FDKEEP_MESSAGES_H_

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

enum class language { english, hungarian };

// Marks english as a text that has a translation, and returns it.
constexpr std::string_view message(std::string_view english) {
  return english;
}

// The language that the environment asks for; get(name) gives the value of
// the variable name, or nullptr. The first of LC_ALL, LC_MESSAGES and LANG
// that is set and not empty decides: Hungarian when it is "hu" or starts
// with "hu_", "hu." or "hu@", English otherwise. Whether the locale is
// installed does not matter.
language language_from(const std::function<const char*(const char*)>& get);

// text with {1}, {2}, ... replaced by values[0], values[1], ...; a place
// without a value stays as it is.
std::string fill(std::string_view text, std::span<const std::string> values);

// Appends text, filled as fill() fills it, to out.
void append_filled(std::string& out, std::string_view text,
                   std::span<const std::string_view> values);

// The entries of a catalogue in the PO format, in order: each msgid with
// its msgstr, with their C escapes resolved and continued lines joined. The
// header (the empty msgid), fuzzy entries and entries without a translation
// are left out; plural forms and contexts are not used here.
std::vector<std::pair<std::string, std::string>> read_po(std::string_view po);

// The built-in Hungarian catalogue, as po/hu.po holds it.
std::string_view hungarian_catalogue();

// The texts of one language.
class messages {
 public:
  explicit messages(language lang);
  messages(const messages&) = delete;
  messages& operator=(const messages&) = delete;

  language lang() const { return language_; }

  // english in this language: its translation, or english itself when it
  // has none. Allocates nothing.
  std::string_view operator()(std::string_view english) const;

 private:
  language language_;
  std::vector<std::pair<std::string, std::string>> entries_;
  std::unordered_map<std::string_view, std::string_view> translation_;
};

#endif  // FDKEEP_MESSAGES_H_
