// The texts in two languages: which language the environment asks for, the
// catalogue against the code, and fdkeep-explain speaking Hungarian.
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "gtest/gtest.h"
#include "messages.h"
#include "test_util.h"

namespace {

TEST(Messages, LanguageFollowsTheFirstVariableThatIsSet) {
  const struct {
    const char *all, *messages, *lang;
    language expected;
  } rows[] = {
      {nullptr, nullptr, "hu_HU.UTF-8", language::hungarian},
      {nullptr, nullptr, "hu", language::hungarian},
      {nullptr, "hu_HU@euro", "en_US.UTF-8", language::hungarian},
      {"hu.UTF-8", "en_GB", "C", language::hungarian},
      {"C", "hu_HU", "hu_HU", language::english},
      {nullptr, "en_US.UTF-8", "hu_HU.UTF-8", language::english},
      {"", "", "hu_HU.ISO-8859-2", language::hungarian},  // empty is unset
      {nullptr, nullptr, "hun", language::english},
      {nullptr, nullptr, "de_HU.UTF-8", language::english},
      {nullptr, nullptr, nullptr, language::english},
  };
  for (const auto& row : rows) {
    const std::map<std::string, const char*> environment{
        {"LC_ALL", row.all}, {"LC_MESSAGES", row.messages}, {"LANG", row.lang}};
    EXPECT_EQ(language_from([&](const char* name) {
                return environment.at(name);
              }),
              row.expected)
        << (row.all ? row.all : "-") << " " << (row.messages ? row.messages : "-")
        << " " << (row.lang ? row.lang : "-");
  }
}

TEST(Messages, ValuesGoWhereTheTextSays) {
  const std::string values[] = {"in.txt", "4"};
  EXPECT_EQ(fill("{1}:{2}: x", values), "in.txt:4: x");
  EXPECT_EQ(fill("{2}. sor, {1}", values), "4. sor, in.txt");
  EXPECT_EQ(fill("{3} {} {x} {1", values), "{3} {} {x} {1");
}

TEST(Messages, ReadsTheCatalogueFormat) {
  const auto entries = read_po(
      "msgid \"\"\nmsgstr \"Language: hu\\n\"\n\n"
      "# a comment\nmsgid \"one\"\nmsgstr \"egy\"\n\n"
      "msgid \"\"\n\"two\\n\"\n\"lines \\\"quoted\\\"\"\n"
      "msgstr \"k\\u00e9t\\tsor\\n\"\n\"\\\\\"\n\n"
      "#, fuzzy\nmsgid \"three\"\nmsgstr \"h\\u00e1rom\"\n\n"
      "msgid \"four\"\nmsgstr \"\"\n"
      "msgid \"five\"\r\nmsgstr \"\\u00f6t\"\r\n");
  const std::vector<std::pair<std::string, std::string>> expected{
      {"one", "egy"},
      {"two\nlines \"quoted\"", "ku00e9t\tsor\n\\"},
      {"five", "u00f6t"}};
  EXPECT_EQ(entries, expected);
}

// The texts marked in the code, as the compiler reads their literals.
std::set<std::string> marked_texts() {
  const std::regex call(R"re(message\(\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\))re");
  const std::regex literal(R"re("((?:[^"\\]|\\.)*)")re");
  std::set<std::string> texts;
  for (const auto& entry :
       std::filesystem::directory_iterator(FDKEEP_SOURCE_DIR)) {
    const std::string path = entry.path().string();
    if (!path.ends_with(".cpp") && !path.ends_with(".h")) continue;
    const std::string code = read_file(path);
    for (std::sregex_iterator m(code.begin(), code.end(), call), end; m != end;
         ++m) {
      const std::string literals = (*m)[1];
      std::string text;
      for (std::sregex_iterator l(literals.begin(), literals.end(), literal);
           l != end; ++l)
        text += (*l)[1];
      // The literals' escapes are the catalogue's: read them the same way.
      texts.insert(read_po("msgid \"" + text + "\"\nmsgstr \"x\"\n")
                       .at(0).first);
    }
  }
  return texts;
}

TEST(Messages, EveryTextHasATranslationAndEveryTranslationATextInTheCode) {
  const std::set<std::string> texts = marked_texts();
  ASSERT_GT(texts.size(), 10u);
  std::set<std::string> translated;
  for (const auto& [english, hungarian] : read_po(hungarian_catalogue())) {
    EXPECT_TRUE(texts.contains(english)) << "not in the code: " << english;
    EXPECT_TRUE(translated.insert(english).second) << "twice: " << english;
    // The same values, so that none is lost or made up.
    for (const std::string place : {"{1}", "{2}", "{3}"})
      EXPECT_EQ(english.find(place) == std::string::npos,
                hungarian.find(place) == std::string::npos)
          << english;
  }
  for (const std::string& text : texts)
    EXPECT_TRUE(translated.contains(text)) << "no translation: " << text;
}

TEST(Messages, ExplainSpeaksHungarianWhenAsked) {
  scratch_dir dir;
  write_file(dir / "bad", "A\n\nA->B\nAB\n");
  const struct {
    std::vector<std::string> args, environment;
    std::string err_start;
  } rows[] = {
      {{dir / "bad"}, {"LANG=hu_HU.UTF-8"}, "fdkeep-explain: " + dir / "bad" +
                                                ":4: a függőség sorában"},
      {{dir / "bad"}, {"LC_ALL=C", "LANG=hu_HU.UTF-8"},
       "fdkeep-explain: " + dir / "bad" + ":4: dependency has no"},
      {{dir / "missing"}, {"LC_MESSAGES=hu"},
       "fdkeep-explain: nem nyitható meg a(z) '" + dir / "missing" + "'"},
      {{}, {"LANG=hu_HU"}, "használat: fdkeep-explain"},
      {{"-"}, {"LANG=hu_HU"}, "fdkeep-explain: szabványos bemenet:4:"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.environment));
    const outcome run = run_program(FDKEEP_EXPLAIN_BINARY, row.args,
                                    row.environment, dir, dir / "bad");
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.starts_with(row.err_start)) << run.err;
  }
  const outcome help =
      run_program(FDKEEP_EXPLAIN_BINARY, {"--help"}, {"LANG=hu_HU"}, dir);
  EXPECT_TRUE(help.out.find("Kilépési kód") != std::string::npos) << help.out;
}

}  // namespace
