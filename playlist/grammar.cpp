#include "playlist/grammar.h"

#include <cctype>
#include <string>
#include <unordered_set>

#include "base/console.h"
#include "base/problem_reporter.h"
#include "base/signals.h"
#include "base/text_division.h"
#include "pattern/pattern_object.h"
#include "pattern/song.h"

namespace {

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// At most one insertion, deletion, substitution or swap of neighbours apart.
bool nearlyEqual(const std::string& a, const std::string& b) {
  if (a == b) return true;
  const std::string& longer = a.size() >= b.size() ? a : b;
  const std::string& shorter = a.size() >= b.size() ? b : a;
  if (longer.size() - shorter.size() > 1) return false;
  std::size_t i = 0;
  while (i < shorter.size() && shorter[i] == longer[i]) ++i;
  if (longer.size() != shorter.size())
    return longer.compare(i + 1, std::string::npos, shorter, i) == 0;
  if (longer.compare(i + 1, std::string::npos, shorter, i + 1) == 0) return true;
  return i + 1 < shorter.size() && longer[i] == shorter[i + 1] && longer[i + 1] == shorter[i] &&
         longer.compare(i + 2, std::string::npos, shorter, i + 2) == 0;
}

// What a word of _param is: a whole number, with a sign or not.
bool wholeNumber(std::string_view text) {
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  return !text.empty() && isNumber(text);
}

// Tells the checker of each word of _param that is not a number: the player
// reads it as the C library would, which is seldom what was meant.
void reportWords(ProblemReporter& reporter, const std::vector<std::string_view>& pieces) {
  static const char* const kWhat[] = {"a loop count", "an angle", "a distance"};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string_view piece = pieces[i];
    if (wholeNumber(piece) || (i == 0 && piece == "_infinite")) continue;
    std::string folded;
    for (char c : piece) {
      if (c != '_') folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const bool endless = i == 0 && (folded == "infinite" || folded == "infinity" ||
                                    folded == "inf" || folded == "forever");
    reporter.report({ProblemReporter::Kind::kWarning, piece,
                     "_param value " + quoted(piece) + " is not a number and is read as " +
                         std::to_string(readNumber(piece)),
                     endless ? std::string("did you mean _infinite?")
                             : std::string(kWhat[i]) + " is a whole number"});
  }
}

std::string str(const TextPiece& piece) { return std::string(piece.text); }

// The quote that opens a name never closed, or empty. Cleaning closes such
// a name at the end of the text, where no playlist otherwise ends with a
// quote. Names hold no ";", so the first pair of quotes around one is most
// likely where a quote went missing; otherwise the last is the one alone.
std::string_view unclosedQuote(std::string_view text) {
  if (text.empty() || text.back() != '"') return {};
  std::vector<std::size_t> quotes;
  for (std::size_t at = text.find('"'); at + 1 < text.size(); at = text.find('"', at + 1))
    quotes.push_back(at);
  if (quotes.size() % 2 == 0) return {};
  for (std::size_t i = 0; i + 1 < quotes.size(); i += 2) {
    if (text.substr(quotes[i], quotes[i + 1] - quotes[i]).find(';') != std::string_view::npos) {
      return text.substr(quotes[i], 1);
    }
  }
  return text.substr(quotes.back(), 1);
}

// Outside double quotes, the first "(" that is never closed or the first
// ")" that closes nothing, or empty when they balance. A song's "(" is
// where the reading of an unbalanced text first goes astray: the player
// reads the rest of the playlist as one entry of it.
std::string_view unbalancedParenthesis(std::string_view text) {
  std::vector<std::size_t> open;
  bool inQuotes = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      inQuotes = !inQuotes;
    } else if (!inQuotes && c == '(') {
      open.push_back(i);
    } else if (!inQuotes && c == ')') {
      if (open.empty()) return text.substr(i, 1);
      open.pop_back();
    }
  }
  return open.empty() ? std::string_view() : text.substr(open.front(), 1);
}

// The name that follows a song's parenthesised body with no ";" between
// them, as in a=(...)b=(...), or empty.
std::string_view runOnName(std::string_view body) {
  if (body.empty() || body.front() != '(') return {};
  int depth = 0;
  bool inQuotes = false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '"') {
      inQuotes = !inQuotes;
    } else if (!inQuotes && c == '(') {
      ++depth;
    } else if (!inQuotes && c == ')' && --depth == 0) {
      return body.substr(i + 1);
    }
  }
  return {};
}

using Problem = ProblemReporter::Problem;
constexpr ProblemReporter::Kind kError = ProblemReporter::Kind::kError;
constexpr ProblemReporter::Kind kWarning = ProblemReporter::Kind::kWarning;

// What devideDevide() refused: the piece that is "=" alone, or the whole
// piece when it is ";" alone.
Problem refused(const TextPiece& whole, const std::vector<TextPiece>& wholes, const char* what,
                const std::string& note) {
  if (wholes.empty())
    return {kError, whole.text, std::string("a ") + what + " that is \";\" alone", note};
  return {kError, wholes.back().text, "a statement that is \"=\" alone", note};
}

Problem badStatement(const std::vector<TextPiece>& statement, std::string_view at) {
  if (statement.empty()) {
    return {kError, at, "an empty statement", "two \";\" in a row end the playlist here"};
  }
  // Most often the "=" between a song's name and its body is left out.
  const std::string_view text = statement[0].text;
  const std::size_t body = text.find('(');
  if (body != std::string_view::npos && body > 0) {
    return {kError, text.substr(body, 1),
            "a \"=\" is missing after " + quoted(text.substr(0, body)),
            "a song is NAME = ( _main = PATTERN; ... )"};
  }
  return {kError, at, quoted(text) + " is not a song: it has no \"=\"",
          "a song is NAME = ( _main = PATTERN; ... )"};
}

Problem badEntry(const std::vector<TextPiece>& entry, std::string_view at) {
  if (entry.empty())
    return {kError, at, "an empty entry", "two \";\" in a row, or \"()\", make one"};
  if (entry.size() == 1) {
    return {kError, at, "entry " + quoted(entry[0].text) + " has no \"=\"",
            "an entry is KEY = PATTERN"};
  }
  return {kError, at,
          "entry " + quoted(entry[0].text) + " has " + std::to_string(entry.size() - 1) +
              " \"=\" outside parentheses",
          "a weighted choice that is a whole value must stand in parentheses"};
}

// A song that failed to grow without a main pattern: most often "_main" is
// there, misspelt, and taken for a pattern's name.
Problem noMain(const Song& song, const TextPiece& name) {
  for (const auto& entry : song.namedPatterns) {
    if (keywordLookalike(entry->name) == "_main") {
      return {
          kError, entry->name, "song " + quoted(name.text) + " has no _main entry",
          "did you mean \"_main\"? " + quoted(entry->name) + " is read as the name of a pattern"};
    }
  }
  return {kError, name.text, "song " + quoted(name.text) + " has no _main entry",
          "_main = PATTERN says what a song plays"};
}

}  // namespace

bool buildSongs(const std::shared_ptr<const BalancedText>& text, SampleCache& samples,
                std::vector<std::unique_ptr<Song>>& songs, ProblemReporter& reporter) {
  int32_t loops = 1;
  int16_t angle = 0;
  uint8_t distance = 100;
  std::vector<std::vector<TextPiece>> statements;
  std::vector<TextPiece> wholes;
  if (!devideDevide(*text, text->whole(), ';', '=', statements, &wholes)) {
    reporter.report(
        refused(text->whole(), wholes, "playlist", "velumora reads no song from here on"),
        {"Unable to devide \"" + text->text() +
         "\" by \"=\" then by \";\"\nString must be this form n1:n2:...=x1:x2:..."});
  }
  // After a quote or a parenthesis that is never closed nothing reads as it
  // was meant: that one problem is told, and the rest is read, and said, as
  // the player reads it.
  ProblemReporter playerOnly;
  ProblemReporter* told = &reporter;
  const std::string_view unclosed = unclosedQuote(text->text());
  if (!unclosed.empty()) {
    reporter.report({kError, unclosed, "this quote is never closed",
                     "a file name stands between two double quotes"});
    told = &playerOnly;
  }
  const std::string_view unbalanced = unclosed.empty() ? unbalancedParenthesis(text->text()) : "";
  if (!unbalanced.empty()) {
    if (unbalanced == "(") {
      reporter.report({kError, unbalanced, "this parenthesis is never closed",
                       "a \")\" is missing; the rest of the playlist is read as inside it"});
    } else {
      reporter.report({kError, unbalanced, "this parenthesis closes nothing",
                       "a \"(\" is missing, or a \")\" up to here is one too many"});
    }
    told = &playerOnly;
  }
  bool built = true;
  for (std::size_t i = 0; i < statements.size(); ++i) {
    std::vector<TextPiece>& statement = statements[i];
    if (signalArrived(0)) {
      told->say("start-up interrupted");
      return false;
    }
    if (statement.size() < 2) {
      told->report(
          badStatement(statement, wholes[i].text),
          {"can't create Song " + (statement.empty() ? std::string() : str(statement[0]))});
      if (!told->keepGoing()) return false;
      built = false;
      continue;
    }
    const TextPiece name = statement[0];
    TextPiece body = statement[1];
    // Two songs run together read as one entry without "=": told as what it
    // most likely is, once.
    ProblemReporter* bodyTold = told;
    const std::string_view next = statement.size() > 2 ? runOnName(body.text) : "";
    if (!next.empty()) {
      told->report(
          {kError, next,
           "a \";\" is missing between the songs " + quoted(name.text) + " and " + quoted(next),
           "each song ends with \";\""});
      bodyTold = &playerOnly;
    }
    std::unique_ptr<Song> song =
        combinePattern(text, name, body, loops, angle, distance, *bodyTold);
    if (song == nullptr) {
      told->say("can't create Song " + str(name));
      if (!told->keepGoing()) return false;
      built = false;
      continue;
    }
    if (!song->growTree(samples, *told)) {
      const std::string line = str(name) + " : growTree error";
      if (song->pattern == nullptr) {
        told->report(noMain(*song, name), {line});
      } else {
        told->say(line);
      }
      if (!told->keepGoing()) return false;
      built = false;
      continue;
    }
    song->setPosition(angle, distance);
    song->loops = static_cast<uint32_t>(loops);
    songs.push_back(std::move(song));
  }
  return built;
}

std::unique_ptr<Song> combinePattern(const std::shared_ptr<const BalancedText>& text,
                                     TextPiece name, TextPiece& body, int32_t& loops,
                                     int16_t& angle, uint8_t& distance, ProblemReporter& reporter) {
  auto song = std::make_unique<Song>(text);
  song->body = body;
  stripParentheses(body);
  std::vector<std::vector<TextPiece>> entries;
  std::vector<TextPiece> wholes;
  if (!devideDevide(*text, body, ';', '=', entries, &wholes)) {
    reporter.report(refused(body, wholes, "song body", "an entry is KEY = PATTERN"),
                    {"devideDevide() failed : " + str(body) + " \";\" and \"=\""});
    return nullptr;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::vector<TextPiece>& entry = entries[i];
    if (entry.size() != 2) {
      std::vector<std::string> said = {"Error in combinePattern() : lst_str.size() != 2"};
      for (const TextPiece& piece : entry) said.push_back("\tlst_str is : \"" + str(piece) + "\"");
      reporter.report(badEntry(entry, wholes[i].text), said);
      return nullptr;
    }
    const std::string_view key = entry[0].text;
    TextPiece& value = entry[1];
    if (key == "_main") {
      song->songName = name.text;
      // A later "_main" replaces an earlier one, which is never grown.
      delete song->pattern;
      song->pattern = new PatternObject(value);
    } else if (key == "_param") {
      if (!parseParam(value, loops, angle, distance, reporter)) {
        reporter.say("parameters set to default");
      }
    } else {
      song->addNamedPattern(key, new PatternObject(value));
    }
  }
  return song;
}

bool parseParam(TextPiece& value, int32_t& loops, int16_t& angle, uint8_t& distance,
                ProblemReporter& reporter) {
  stripParentheses(value);
  std::vector<std::string_view> pieces;
  forEachPiece(value.text, ",", [&](std::size_t begin, std::size_t end) {
    pieces.push_back(value.text.substr(begin, end - begin));
  });
  if (pieces.size() < 3) {
    reporter.report(
        {kWarning, value.text,
         "_param has " + std::to_string(pieces.size()) + " value(s), not loops, angle, distance",
         "the song keeps the values in force before it"},
        {"too few arguments for param", "playlist.txt is set to parameter"});
    return false;
  }
  reportWords(reporter, pieces);
  bool accepted = true;
  if (pieces[0] == "_infinite") {
    loops = static_cast<int32_t>(kInfiniteLoops);
  } else {
    loops = readNumber(pieces[0]);
    if (loops < 0 || loops > 998) {
      reporter.report(
          {kWarning, pieces[0], "loop count " + std::to_string(loops) + " is out of range",
           "0 to 998, or _infinite; the song plays once instead"},
          {"can't understand as number of times loop \"" + std::to_string(loops) + "\"",
           "number of times loop set to 1"});
      loops = 1;
      accepted = false;
    }
  }
  const int32_t degrees = readNumber(pieces[1]);
  if (degrees < 0 || degrees > 360) {
    reporter.report({kWarning, pieces[1], "angle " + std::to_string(degrees) + " is out of range",
                     "0 to 360 degrees; the song sounds ahead (0) instead"},
                    {"can't understand as angle \"" + std::to_string(degrees) + "\""});
    angle = 0;
    accepted = false;
  } else {
    angle = static_cast<int16_t>(degrees);
  }
  const int32_t far = readNumber(pieces[2]);
  if (far < 0 || far > 255) {
    reporter.report({kWarning, pieces[2], "distance " + std::to_string(far) + " is out of range",
                     "0 (near) to 255 (silent); the song sounds at 100 instead"},
                    {"can't understand as distance " + std::to_string(far) + ", must be 0-255."});
    distance = 100;
    accepted = false;
  } else {
    distance = static_cast<uint8_t>(far);
  }
  return accepted;
}

std::vector<std::string_view> quotedNames(std::string_view text) {
  std::vector<std::string_view> names;
  std::unordered_set<std::string_view> seen;
  for (std::size_t open = text.find('"'); open != std::string_view::npos;) {
    const std::size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view name = text.substr(open + 1, close - open - 1);
    if (seen.insert(name).second) names.push_back(name);
    open = text.find('"', close + 1);
  }
  return names;
}

std::string_view keywordLookalike(std::string_view key) {
  const std::string folded = lower(key);
  for (const std::string_view keyword : {std::string_view("_main"), std::string_view("_param")}) {
    if (key == keyword) return {};
    if (nearlyEqual(folded, std::string(keyword))) return keyword;
  }
  return {};
}
