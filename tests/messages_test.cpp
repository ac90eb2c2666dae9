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
  const std::string_view views[] = {"in.txt", "4"};
  std::string text = "> ";
  append_filled(text, "{2}-{1}", views);
  EXPECT_EQ(text, "> 4-in.txt");
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

// A literal's text as the catalogue holds it: \uHHHH is the character in
// UTF-8, and the other escapes of C++ and of JavaScript are the
// catalogue's, read the same way.
std::string literal_text(const std::string& literal) {
  std::string text;
  for (size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] != '\\' || i + 1 == literal.size()) {
      text += literal[i];
    } else if (literal[i + 1] != 'u') {
      text += literal.substr(i++, 2);  // the catalogue reads it alike
    } else {
      const unsigned code = std::stoul(literal.substr(i + 2, 4), nullptr, 16);
      if (code < 0x80) {
        text += static_cast<char>(code);
      } else if (code < 0x800) {
        text += {static_cast<char>(0xC0 | code >> 6),
                 static_cast<char>(0x80 | (code & 0x3F))};
      } else {
        text += {static_cast<char>(0xE0 | code >> 12),
                 static_cast<char>(0x80 | (code >> 6 & 0x3F)),
                 static_cast<char>(0x80 | (code & 0x3F))};
      }
      i += 5;
    }
  }
  return read_po("msgid \"" + text + "\"\nmsgstr \"x\"\n").at(0).first;
}

// The texts of message() calls in code: of C++, and of the page's
// JavaScript, which may join literals with + and give values after a comma.
void add_called(const std::string& code, std::set<std::string>& texts) {
  const std::regex call(
      R"re(message\(\s*((?:"(?:[^"\\]|\\.)*"\s*\+?\s*)+)[,)])re");
  const std::regex literal(R"re("((?:[^"\\]|\\.)*)")re");
  for (std::sregex_iterator m(code.begin(), code.end(), call), end; m != end;
       ++m) {
    const std::string literals = (*m)[1];
    std::string text;
    for (std::sregex_iterator l(literals.begin(), literals.end(), literal);
         l != end; ++l)
      text += (*l)[1];
    texts.insert(literal_text(text));
  }
}

// The texts of the page's elements marked data-message, as the page reads
// them: the element's text up to its end tag, each child element as {1},
// {2}, ..., blanks and line ends run together into one blank.
std::set<std::string> marked_in_page(std::string html) {
  html = std::regex_replace(html, std::regex(R"re(<!--[\s\S]*?-->)re"), "");
  const std::regex child(R"re(<(\w+)\b[^>]*>[\s\S]*?</\1>)re");
  std::set<std::string> texts;
  for (size_t at = html.find(" data-message"); at != std::string::npos;
       at = html.find(" data-message", at + 1)) {
    const size_t tag = html.rfind('<', at);
    const size_t name_end = html.find_first_of(" \n", tag);
    const std::string name = html.substr(tag + 1, name_end - tag - 1);
    const size_t start = html.find('>', at) + 1;
    const std::string content =
        html.substr(start, html.find("</" + name + ">", start) - start);
    std::string text;
    int children = 0;
    auto from = content.cbegin();
    for (std::sregex_iterator c(content.begin(), content.end(), child), end;
         c != end; ++c) {
      text.append(from, (*c)[0].first);
      text += "{" + std::to_string(++children) + "}";
      from = (*c)[0].second;
    }
    text.append(from, content.cend());
    text = std::regex_replace(text, std::regex("[ \t\n]+"), " ");
    text = text.substr(text.find_first_not_of(' '));
    text = text.substr(0, text.find_last_not_of(' ') + 1);
    EXPECT_EQ(text.find_first_of("<&"), std::string::npos) << text;
    texts.insert(text);
  }
  return texts;
}

// The texts marked in the programs' code and in the page.
std::set<std::string> marked_texts() {
  std::set<std::string> texts;
  for (const auto& entry :
       std::filesystem::directory_iterator(FDKEEP_SOURCE_DIR)) {
    const std::string path = entry.path().string();
    if (path.ends_with(".cpp") || path.ends_with(".h"))
      add_called(read_file(path), texts);
  }
  const std::string web = FDKEEP_SOURCE_DIR "/web/";
  std::set<std::string> page;
  for (const char* script : {"page.js", "text.js"})
    add_called(read_file(web + script), page);
  page.merge(marked_in_page(read_file(web + "index.html")));
  EXPECT_GT(page.size(), 40u) << "the page's texts";
  texts.merge(page);
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

  // The explanation is Hungarian text; the JSON is the same in both.
  const std::string example = FDKEEP_EXAMPLES_DIR "/zip-codes.txt";
  const outcome text =
      run_program(FDKEEP_EXPLAIN_BINARY, {example}, {"LANG=hu_HU.UTF-8"}, dir);
  EXPECT_TRUE(text.out.starts_with("4. sor: city,street->zip\n"
                                   "  ELVESZETT: a felbontás"))
      << text.out;
  EXPECT_TRUE(text.out.ends_with("2 függőség, 1 elveszett: nem függőségörző\n"))
      << text.out;
  EXPECT_EQ(run_program(FDKEEP_EXPLAIN_BINARY, {"--json", example},
                        {"LANG=hu_HU.UTF-8"}, dir)
                .out,
            run_program(FDKEEP_EXPLAIN_BINARY, {"--json", example}, {}, dir)
                .out);
}

}  // namespace
