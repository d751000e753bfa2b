#include "playlist/grammar.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pattern/multi_pattern.h"
#include "pattern/named_pattern_table.h"
#include "pattern/pattern_object.h"
#include "pattern/random_pattern.h"
#include "pattern/song.h"
#include "pattern/wait.h"

namespace {

const std::string kTooDeep =
    "can't understand as Pattern Object : nested deeper than 1000 levels\n";

std::string refersToItself(const std::string& name) {
  return "can't grow Pattern Object \"" + name + "\" : it refers to itself\n";
}

std::string unknownName(const std::string& name) {
  return "can't understand as Pattern Object \"" + name + "\"\n";
}

const std::string kLstStrError = "Error in combinePattern() : lst_str.size() != 2\n";

std::string lstStr(const std::string& piece) { return "\tlst_str is : \"" + piece + "\"\n"; }

// "(((1,2,3),4),...,levels+1)": a sequence nested `levels` deep.
std::string nestedSequence(std::size_t levels) {
  std::string text(levels, '(');
  text += "1,2";
  for (std::size_t i = 0; i < levels; ++i) text += "," + std::to_string(i + 3) + ")";
  return text;
}

// "_main=p0;p0=p1;...;p<last-1>=p<last>;p<last>=100"
std::string chainBody(int last) {
  std::string body = "_main=p0";
  for (int i = 0; i < last; ++i) body += ";p" + std::to_string(i) + "=p" + std::to_string(i + 1);
  body += ";p" + std::to_string(last) + "=100";
  return body;
}

struct BuiltSong {
  std::string songName;
  uint32_t loops;
};

struct BuildRow {
  std::string label;
  std::string text;
  bool result;
  std::string output;
  std::vector<BuiltSong> songs;
};

void checkBuild(const BuildRow& row) {
  SCOPED_TRACE(row.label + ": " + row.text.substr(0, 200));
  std::vector<Song*> songs;
  testing::internal::CaptureStdout();
  const bool result = buildSongs(row.text, songs);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, row.result);
  EXPECT_EQ(output, row.output);
  EXPECT_EQ(songs.size(), row.songs.size());
  for (std::size_t i = 0; i < songs.size() && i < row.songs.size(); ++i) {
    SCOPED_TRACE("song " + std::to_string(i));
    EXPECT_EQ(songs[i]->songName, row.songs[i].songName);
    EXPECT_EQ(songs[i]->loops, row.songs[i].loops);
    EXPECT_NE(songs[i]->pattern, nullptr);
  }
  for (Song* s : songs) delete s;
}

TEST(BuildSongsTest, Statements) {
  const std::vector<BuildRow> rows = {
      {"empty playlist", "", true, "", {}},
      {"one song", "rain=(_main=a;a=100)", true, "", {{"rain", 1}}},
      {"final semicolon adds nothing", "rain=(_main=a;a=100);", true, "", {{"rain", 1}}},
      {"two songs", "a=(_main=x;x=1);b=(_main=y;y=2)", true, "", {{"a", 1}, {"b", 1}}},
      {"only _main grows", "rain=(_main=(100,200to300))", true, "", {{"rain", 1}}},
      {"only _main and _param", "rain=(_main=100;_param=3,90,50)", true, "", {{"rain", 3}}},
      {"body without enclosing parentheses: second piece is the first key",
       "rain=_main=100",
       false,
       kLstStrError + lstStr("_main") + "can't create Song rain\n",
       {}},
      {"third piece of a statement is ignored",
       "rain=(_main=1)=(_main=nope)",
       true,
       "",
       {{"rain", 1}}},
      {"no _main", "rain=(a=100)", false, "rain : growTree error\n", {}},
      {"no _main after a good song",
       "ok=(_main=1);rain=(a=100;_param=2,0,0)",
       false,
       "rain : growTree error\n",
       {{"ok", 1}}},
      {"only _param", "rain=(_param=1,2,3)", false, "rain : growTree error\n", {}},
      {"statement without =", "rain", false, "can't create Song rain\n", {}},
      {"statement with = only inside parentheses",
       "rain(_main=1)",
       false,
       "can't create Song rain(_main=1)\n",
       {}},
      {"statement with nothing after =", "rain=", false, "can't create Song rain\n", {}},
      {"empty statement between ;;",
       "a=(_main=1);;b=(_main=2)",
       false,
       "can't create Song \n",
       {{"a", 1}}},
      {"empty statement first", ";a=(_main=1)", true, "", {{"a", 1}}},
      {"weighted choice without parentheses",
       "s=(_main=1:2=3:4)",
       false,
       kLstStrError + lstStr("_main") + lstStr("1:2") + lstStr("3:4") + "can't create Song s\n",
       {}},
      {"weighted choice in parentheses", "s=(_main=(1:2=3:4))", true, "", {{"s", 1}}},
      {"empty sub-statement",
       "s=(_main=1;;a=2)",
       false,
       kLstStrError + "can't create Song s\n",
       {}},
      {"final semicolon in a body", "s=(_main=1;a=2;)", true, "", {{"s", 1}}},
      {"empty parentheses as body",
       "s=()",
       false,
       kLstStrError + lstStr("()") + "can't create Song s\n",
       {}},
      {"unclosed body",
       "s=(_main=1",
       false,
       kLstStrError + lstStr("(_main=1") + "can't create Song s\n",
       {}},
      {"body that does not divide",
       "s=(;)",
       false,
       "devideDevide() failed : ; \";\" and \"=\"\ncan't create Song s\n",
       {}},
      {"sub-statement = alone",
       "s=(_main=1;=)",
       false,
       "devideDevide() failed : _main=1;= \";\" and \"=\"\ncan't create Song s\n",
       {}},
      {"names defined after their use",
       "s=(_main=(x,y);x=(y,100);y=200to300)",
       true,
       "",
       {{"s", 1}}},
      {"name defined only in an earlier song",
       "a=(_main=x;x=100);b=(_main=x)",
       false,
       unknownName("x") + "b : growTree error\n",
       {{"a", 1}}},
      {"name defined only in an earlier song, later song has a table",
       "a=(_main=x;x=100);b=(_main=(y,x);y=1)",
       false,
       unknownName("x") + "MultiPattern::growTree Error\nb : growTree error\n",
       {{"a", 1}}},
      {"unknown name in a named pattern",
       "s=(_main=a;a=(1,(2,zz)))",
       false,
       unknownName("zz") + "MultiPattern::growTree Error\nMultiPattern::growTree Error\n" +
           "s : growTree error\n",
       {}},
      {"names are case-sensitive",
       "s=(_main=A;a=1)",
       false,
       unknownName("A") + "s : growTree error\n",
       {}},
      {"duplicate names", "s=(_main=x;x=100;x=200)", true, "", {{"s", 1}}},
      {"third of five fails",
       "s1=(_main=1);s2=(_main=2);s3=(_main=nope);s4=(_main=4);s5",
       false,
       unknownName("nope") + "s3 : growTree error\n",
       {{"s1", 1}, {"s2", 1}}},
      {"= alone as a statement",
       "s1=(_main=1);s2=(_main=2);=;s4=(_main=4)",
       true,
       "Unable to devide \"s1=(_main=1);s2=(_main=2);=;s4=(_main=4)\" by \"=\" then by "
       "\";\"\nString must be this form n1:n2:...=x1:x2:...\n",
       {{"s1", 1}, {"s2", 1}}},
      {"; alone",
       ";",
       true,
       "Unable to devide \";\" by \"=\" then by \";\"\nString must be this form "
       "n1:n2:...=x1:x2:...\n",
       {}},
      {"later _main replaces an earlier one", "s=(_main=nope;_main=100)", true, "", {{"s", 1}}},
      {"earlier _main does not survive a later one",
       "s=(_main=100;_main=nope)",
       false,
       unknownName("nope") + "s : growTree error\n",
       {}},
      {"a failing weight", "s=(_main=(1:2=1:-1))", false, "s : growTree error\n", {}},
  };
  for (const BuildRow& row : rows) checkBuild(row);
}

TEST(BuildSongsTest, Parameters) {
  const std::string loop999 =
      "can't understand as number of times loop \"999\"\nnumber of times loop set to 1\n"
      "parameters set to default\n";
  const std::string tooFew =
      "too few arguments for param\nplaylist.txt is set to parameter\nparameters set to default\n";
  const std::vector<BuildRow> rows = {
      {"parameters carry to the next song",
       "a=(_main=1;_param=3,90,50);b=(_main=2)",
       true,
       "",
       {{"a", 3}, {"b", 3}}},
      {"_param before _main", "a=(_param=7,0,0;_main=1)", true, "", {{"a", 7}}},
      {"infinite, refused and carried",
       "a=(_main=1;_param=_infinite,0,100);b=(_main=1;_param=999,0,100);c=(_main=1)",
       true,
       loop999,
       {{"a", 1000}, {"b", 1}, {"c", 1}}},
      {"too few values keep the carried ones",
       "a=(_main=1;_param=3,90,50);b=(_main=1;_param=2,45)",
       true,
       tooFew,
       {{"a", 3}, {"b", 3}}},
      {"second _param overrides the first",
       "a=(_main=1;_param=3,90,50;_param=(4,0,0))",
       true,
       "",
       {{"a", 4}}},
      {"zero loops", "a=(_main=1;_param=0,0,100)", true, "", {{"a", 0}}},
      {"a failing song after _param",
       "a=(_main=1;_param=3,90,50);b=(_param=9,0,0;_main=nope)",
       false,
       unknownName("nope") + "b : growTree error\n",
       {{"a", 3}}},
  };
  for (const BuildRow& row : rows) checkBuild(row);
}

TEST(BuildSongsTest, ReferenceCyclesAreRefused) {
  const std::vector<BuildRow> rows = {
      {"self reference",
       "s=(_main=a;a=a)",
       false,
       refersToItself("a") + "s : growTree error\n",
       {}},
      {"ring of two",
       "s=(_main=a;a=b;b=a)",
       false,
       refersToItself("a") + "s : growTree error\n",
       {}},
      {"ring of three",
       "s=(_main=a;a=b;b=c;c=a)",
       false,
       refersToItself("a") + "s : growTree error\n",
       {}},
      {"through a sequence",
       "s=(_main=a;a=(100,a))",
       false,
       refersToItself("a") + "s : growTree error\n",
       {}},
      {"through a choice and a sequence",
       "s=(_main=a;a=(b:100=1:1);b=(200,a))",
       false,
       refersToItself("a") + "s : growTree error\n",
       {}},
      {"cycle that _main never reaches",
       "s=(_main=100;x=y;y=z;z=y)",
       false,
       refersToItself("y") + "s : growTree error\n",
       {}},
      {"cycle in a later song",
       "ok=(_main=a;a=b;b=100);s=(_main=(1,a);a=(2,b);b=(3:a=1:1))",
       false,
       refersToItself("a") + "s : growTree error\n",
       {{"ok", 1}}},
      // Sharing is not a cycle.
      {"shared references", "s=(_main=(a,b,a,(b:a=1:1));a=(c,c);b=c;c=100)", true, "", {{"s", 1}}},
      {"same name in two songs",
       "a=(_main=x;x=100);b=(_main=(x,x);x=(1,2))",
       true,
       "",
       {{"a", 1}, {"b", 1}}},
  };
  for (const BuildRow& row : rows) checkBuild(row);
}

TEST(BuildSongsTest, DeepPatternsAreRefused) {
  const std::vector<BuildRow> rows = {
      {"200000 nested sequences",
       "deep=(_main=" + nestedSequence(200000) + ")",
       false,
       kTooDeep + "deep : growTree error\n",
       {}},
      {"1100 nested sequences",
       "deep=(_main=" + nestedSequence(1100) + ")",
       false,
       kTooDeep + "deep : growTree error\n",
       {}},
      {"deep named pattern",
       "deep=(_main=x;x=" + nestedSequence(5000) + ")",
       false,
       kTooDeep + "deep : growTree error\n",
       {}},
      {"deep parentheses",
       "deep=(_main=" + std::string(3000, '(') + "1" + std::string(3000, ')') + ")",
       false,
       kTooDeep + "deep : growTree error\n",
       {}},
      {"chain of 1500 references",
       "chain=(" + chainBody(1500) + ")",
       false,
       kTooDeep + "chain : growTree error\n",
       {}},
      {"900 nested sequences", "deep=(_main=" + nestedSequence(900) + ")", true, "", {{"deep", 1}}},
      {"chain of 500 references", "chain=(" + chainBody(500) + ")", true, "", {{"chain", 1}}},
      {"after a good song",
       "ok=(_main=1);chain=(" + chainBody(1500) + ")",
       false,
       kTooDeep + "chain : growTree error\n",
       {{"ok", 1}}},
  };
  for (const BuildRow& row : rows) checkBuild(row);
}

TEST(BuildSongsTest, TreesAreGrownAndReferencesResolved) {
  std::vector<Song*> songs;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(
      buildSongs("a=(_main=(x,later);x=100;x=200;later=(1:x=1:3));b=(_main=y;y=300to5)", songs));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  ASSERT_EQ(songs.size(), 2u);

  Song* a = songs[0];
  ASSERT_EQ(a->namedPatterns.size(), 3u);
  auto* sequence = dynamic_cast<MultiPattern*>(a->pattern->body);
  ASSERT_NE(sequence, nullptr);
  ASSERT_EQ(sequence->children.size(), 2u);
  // The first of two entries called x is the one reached; both are grown.
  EXPECT_EQ(sequence->children[0]->body, a->namedPatterns[0]->pattern);
  EXPECT_FALSE(sequence->children[0]->ownsBody);
  auto* first = dynamic_cast<Wait*>(a->namedPatterns[0]->pattern->body);
  auto* second = dynamic_cast<Wait*>(a->namedPatterns[1]->pattern->body);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->duration, 100u);
  EXPECT_EQ(second->duration, 200u);
  // A name defined after its use resolves.
  EXPECT_EQ(sequence->children[1]->body, a->namedPatterns[2]->pattern);
  auto* choice = dynamic_cast<RandomPattern*>(a->namedPatterns[2]->pattern->body);
  ASSERT_NE(choice, nullptr);
  EXPECT_EQ(choice->weights, (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(choice->children[1]->body, a->namedPatterns[0]->pattern);

  // The table in force afterwards is the last song's.
  EXPECT_EQ(currentNamedPatterns.entries(), songs[1]->namedPatterns);
  for (Song* s : songs) delete s;
}

TEST(CombinePatternTest, Bodies) {
  struct Row {
    std::string label;
    std::string body;
    bool made;
    std::string output;
    std::string strippedBody;
    std::string songName;
    std::vector<std::string> names;
  };
  const std::vector<Row> rows = {
      {"main and names", "(_main=a;a=1;b=2)", true, "", "_main=a;a=1;b=2", "s", {"a", "b"}},
      {"no _main", "(a=1)", true, "", "a=1", "", {"a"}},
      {"duplicate names kept", "(x=1;x=2;_main=x)", true, "", "x=1;x=2;_main=x", "s", {"x", "x"}},
      {"keys are any text",
       "(_Main=1;_param_=2;a:b=(3))",
       true,
       "",
       "_Main=1;_param_=2;a:b=(3)",
       "",
       {"_Main", "_param_", "a:b"}},
      {"_param adds no entry", "(_main=1;_param=1,2,3)", true, "", "_main=1;_param=1,2,3", "s", {}},
      {"no body at all", "", true, "", "", "", {}},
      {"three pieces",
       "(a=1=2)",
       false,
       kLstStrError + lstStr("a") + lstStr("1") + lstStr("2"),
       "a=1=2",
       "",
       {}},
      {"one piece", "(_main)", false, kLstStrError + lstStr("_main"), "_main", "", {}},
      {"fails at ;", "(;)", false, "devideDevide() failed : ; \";\" and \"=\"\n", ";", "", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    std::string body = row.body;
    int32_t loops = 5;
    int16_t angle = 6;
    uint8_t distance = 7;
    testing::internal::CaptureStdout();
    Song* song = combinePattern("s", body, loops, angle, distance);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.output);
    EXPECT_EQ(body, row.strippedBody);
    ASSERT_EQ(song != nullptr, row.made);
    if (song == nullptr) continue;
    EXPECT_EQ(song->songName, row.songName);
    EXPECT_EQ(song->loops, 1u);
    std::vector<std::string> names;
    for (NamedPattern* entry : song->namedPatterns) {
      names.push_back(entry->name);
      ASSERT_NE(entry->pattern, nullptr);
      // Nothing is grown yet.
      EXPECT_EQ(entry->pattern->body, nullptr);
    }
    EXPECT_EQ(names, row.names);
    EXPECT_EQ(song->pattern != nullptr, !row.songName.empty());
    delete song;
  }
}

TEST(CombinePatternTest, ParametersAndTheirMessages) {
  struct Row {
    std::string label;
    std::string body;
    std::string output;
    int32_t loops;
    int16_t angle;
    uint8_t distance;
  };
  const std::string tooFew = "too few arguments for param\nplaylist.txt is set to parameter\n";
  const std::vector<Row> rows = {
      {"no _param keeps the running values", "(_main=1)", "", 5, 6, 7},
      {"accepted", "(_main=1;_param=3,90,50)", "", 3, 90, 50},
      {"angle and distance refused", "(_main=1;_param=5,361,300)",
       "can't understand as angle \"361\"\ncan't understand as distance 300, must be "
       "0-255.\nparameters set to default\n",
       5, 0, 100},
      {"second _param overrides all three", "(_main=1;_param=3,90,50;_param=4,400,60)",
       "can't understand as angle \"400\"\nparameters set to default\n", 4, 0, 60},
      {"second _param with too few values changes nothing", "(_main=1;_param=3,90,50;_param=4,5)",
       tooFew + "parameters set to default\n", 3, 90, 50},
      {"two failing _param, one line each", "(_param=1000,0,0;_param=2,45)",
       "can't understand as number of times loop \"1000\"\nnumber of times loop set to 1\n"
       "parameters set to default\n" +
           tooFew + "parameters set to default\n",
       1, 0, 0},
      {"_param in parentheses", "(_main=1;_param=(2,45,10))", "", 2, 45, 10},
      {"_param in a parenthesised sub-statement", "(_main=1;(_param=2,45,10))", "", 2, 45, 10},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    std::string body = row.body;
    int32_t loops = 5;
    int16_t angle = 6;
    uint8_t distance = 7;
    testing::internal::CaptureStdout();
    Song* song = combinePattern("s", body, loops, angle, distance);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.output);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(loops, row.loops);
    EXPECT_EQ(angle, row.angle);
    EXPECT_EQ(distance, row.distance);
    delete song;
  }
}

TEST(ParseParamTest, Values) {
  struct Row {
    std::string value;
    bool result;
    std::string output;
    int32_t loops;
    int16_t angle;
    uint8_t distance;
  };
  const std::string tooFew = "too few arguments for param\nplaylist.txt is set to parameter\n";
  const auto loopMessage = [](const std::string& number) {
    return "can't understand as number of times loop \"" + number +
           "\"\nnumber of times loop set to 1\n";
  };
  // Every row starts from 7 loops, angle 11 and distance 22.
  const std::vector<Row> rows = {
      {"_infinite,0,100", true, "", 1000, 0, 100},
      {"1000,0,100", false, loopMessage("1000"), 1, 0, 100},
      {"999,0,100", false, loopMessage("999"), 1, 0, 100},
      {"0,0,100", true, "", 0, 0, 100},
      {"998,360,255", true, "", 998, 360, 255},
      {"5,361,300", false,
       "can't understand as angle \"361\"\ncan't understand as distance 300, must be 0-255.\n", 5,
       0, 100},
      {"(2,45,10)", true, "", 2, 45, 10},
      {"2,45,10,99", true, "", 2, 45, 10},
      {"2,45", false, tooFew, 7, 11, 22},
      {"2,45,", false, tooFew, 7, 11, 22},
      {"", false, tooFew, 7, 11, 22},
      {"()", false, tooFew, 7, 11, 22},
      {",,,", false, tooFew, 7, 11, 22},
      {"-7x,0,0", false, loopMessage("-7"), 1, 0, 0},
      {"-1,-1,-1", false,
       loopMessage("-1") + "can't understand as angle \"-1\"\ncan't understand as distance -1, "
                           "must be 0-255.\n",
       1, 0, 100},
      {"1,,2", true, "", 1, 0, 2},
      {"x,y,z", true, "", 0, 0, 0},
      {"_INFINITE,0,0", true, "", 0, 0, 0},
      {"(_infinite,1,2)", true, "", 1000, 1, 2},
      // Numbers that would wrap into range if read without saturation or
      // stored before being checked.
      {"4294967297,0,0", false, loopMessage("2147483647"), 1, 0, 0},
      {"-4294967295,0,0", false, loopMessage("-2147483648"), 1, 0, 0},
      {"1,65537,0", false, "can't understand as angle \"65537\"\n", 1, 0, 0},
      {"1,0,257", false, "can't understand as distance 257, must be 0-255.\n", 1, 0, 100},
      {"1,0,356", false, "can't understand as distance 356, must be 0-255.\n", 1, 0, 100},
      {"1,99999999999,0", false, "can't understand as angle \"2147483647\"\n", 1, 0, 0},
      {"1,0,-99999999999", false, "can't understand as distance -2147483648, must be 0-255.\n", 1,
       0, 100},
      {"(1,2,3", true, "", 0, 2, 3},
      {"1,(2,3),4", true, "", 1, 0, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("value \"" + row.value + "\"");
    std::string value = row.value;
    int32_t loops = 7;
    int16_t angle = 11;
    uint8_t distance = 22;
    testing::internal::CaptureStdout();
    EXPECT_EQ(parseParam(value, loops, angle, distance), row.result);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.output);
    EXPECT_EQ(loops, row.loops);
    EXPECT_EQ(angle, row.angle);
    EXPECT_EQ(distance, row.distance);
  }
}

}  // namespace
