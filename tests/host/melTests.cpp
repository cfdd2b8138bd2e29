// The MEL runner: the language, its errors as MEL gives them, and the
// procedure lookup along the script path.
#include "melFixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

class Mel : public MelTest {
protected:
    static void write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
};

TEST_F(Mel, ValuesOperatorsAndConversions) {
    EXPECT_EQ(run("1 + 2 * 3 - 4 / 2"), "5");
    EXPECT_EQ(run("7 / 2"), "3") << "integer division";
    EXPECT_EQ(run("7 / 2.0"), "3.5");
    EXPECT_EQ(run("-7 % 3"), "-1");
    EXPECT_EQ(run("(1 + 2) * 3"), "9");
    EXPECT_EQ(run("\"500\" + 5"), "5005");
    EXPECT_EQ(run("1.5 + \" m\""), "1.5 m");
    EXPECT_EQ(run("3 > 2 && 2 >= 2 && !(1 == 2) && 1 != 2 && 1 <= 1 && 0 < 1"), "1");
    EXPECT_EQ(run("0 || \"\""), "0");
    EXPECT_EQ(run("\"abc\" < \"abd\""), "1");
    EXPECT_EQ(run("2 > 1 ? \"yes\" : \"no\""), "yes");
    EXPECT_EQ(run("int $i = 3.99; $i"), "3") << "float to int truncates";
    EXPECT_EQ(run("float $f = 2; $f / 4"), "0.5");
    EXPECT_EQ(run("string $s = 12; $s + 1"), "121");
    EXPECT_EQ(run("(int) \"42abc\" + (int) 7.9 + int(1.5)"), "50");
    EXPECT_EQ(run("true + on + yes + false"), "3");
    EXPECT_EQ(run("int $i = 5; $i += 2; $i *= 3; $i -= 1; $i /= 4; $i"), "5");
    EXPECT_EQ(run("int $i = 1; int $j = $i++; int $k = ++$i; $j * 10 + $k"), "13");
    EXPECT_EQ(run("\"tab\\there \\\"quoted\\\" \\\\ end\""), "tab\there \"quoted\" \\ end");
    EXPECT_EQ(run("/* block */ 1 // line\n + 1"), "2");
}

TEST_F(Mel, ArraysAndVariables) {
    EXPECT_EQ(run("string $a[] = {\"x\", \"y\"}; $a[4] = \"z\"; size($a)"), "5") << "grows";
    EXPECT_EQ(run("string $a[] = {\"x\"}; $a[3]"), "") << "reads past the end as empty";
    EXPECT_EQ(run("int $a[]; $a[2] = 7; $a[0] + $a[2]"), "7");
    EXPECT_EQ(run("float $f[] = {1, 2.5}; $f[1] * 2"), "5");
    EXPECT_EQ(run("int $a[] = {1, 2, 3}; clear $a; size($a)"), "0");
    EXPECT_EQ(
        run("string $p[]; int $n = `tokenize \"a\\t\\t\\tb\\t\\t\\tc\" \"\\t\" $p`; $n + $p[2]"),
        "3c");
    EXPECT_EQ(run("size(\"four\")"), "4");
    EXPECT_EQ(run("$implicit = 2.5; $implicit * 2"), "5") << "declared by assignment";
    // Globals need a declaration in each scope that uses them.
    run("global int $gCount = 5;");
    EXPECT_EQ(run("global int $gCount; $gCount + 1"), "6");
    EXPECT_NE(failure("$gCount + 1").find("\"$gCount\" is an undeclared variable"),
              std::string::npos);
    run("global proc bump() { global int $gCount; $gCount++; }");
    run("bump; bump();");
    EXPECT_EQ(run("global int $gCount; $gCount"), "7");
    // A second global declaration keeps the value.
    EXPECT_EQ(run("global int $gCount = 100; $gCount"), "7");
    // Block variables end with their block.
    EXPECT_NE(failure("{ int $inner = 1; } $inner").find("undeclared"), std::string::npos);
    EXPECT_NE(failure("int $x; string $x;").find("redeclaration"), std::string::npos);
}

TEST_F(Mel, ControlFlow) {
    EXPECT_EQ(run("int $s = 0; int $i; for ($i = 0; $i < 5; $i++) { if ($i == 3) continue; "
                  "$s += $i; } $s"),
              "7");
    EXPECT_EQ(run("int $n = 0; while (1) { if (++$n >= 4) break; } $n"), "4");
    EXPECT_EQ(run("int $n = 10; do { $n++; } while ($n < 5); $n"), "11") << "runs once";
    EXPECT_EQ(run("string $all; string $w; for ($w in {\"a\", \"b\", \"c\"}) $all += $w; $all"),
              "abc");
    EXPECT_EQ(run("int $x = 2; string $r; if ($x == 1) $r = \"one\"; else if ($x == 2) "
                  "$r = \"two\"; else $r = \"many\"; $r"),
              "two");
}

TEST_F(Mel, ProceduresCommandAndFunctionSyntaxBackquotes) {
    run("global proc int add(int $a, int $b) { return $a + $b; }"
        "global proc string[] pair(string $a) { return {$a, $a + \"!\"}; }"
        "global proc float mean(float $v[]) { float $s = 0; float $x;"
        "  for ($x in $v) $s += $x; return $s / size($v); }"
        "global proc string label(string $text, int $id) { return ($text + \"#\" + $id); }"
        "global proc int early(int $x) { if ($x > 0) return 1; return -1; }"
        "global proc nothing() { return; }");
    EXPECT_EQ(run("add(2, 3)"), "5");
    EXPECT_EQ(run("add 2 3"), "5") << "command syntax";
    EXPECT_EQ(run("add(\"4\", 1.9)"), "5") << "arguments converted to the parameter types";
    EXPECT_EQ(run("string $p[] = pair(\"go\"); $p[1]"), "go!");
    EXPECT_EQ(run("mean({1.0, 2.0, 6.0})"), "3");
    EXPECT_EQ(run("`add 1 (2 * 3)` + 1"), "8") << "back-quoted result, parenthesized argument";
    EXPECT_EQ(run("label \"Data\" 4"), "Data#4") << "a quote, a blank, digits: two words";
    EXPECT_EQ(run("early(-2) + early(5)"), "0");
    EXPECT_EQ(run("nothing; 1"), "1");
    // Recursion.
    run("global proc int fact(int $n) { if ($n <= 1) return 1; return $n * fact($n - 1); }");
    EXPECT_EQ(run("fact(6)"), "720");
    // Local procedures stay in their text.
    run("proc int hidden() { return 3; } hidden()");
    EXPECT_EQ(failure("hidden()"), "Cannot find procedure \"hidden\".");
    EXPECT_EQ(run("catch(error(\"caught\")) + catchQuiet(noSuchThing())"), "2");
    EXPECT_EQ(mayahost::errorLines().back(), "caught") << "catch still shows the error";
    EXPECT_EQ(run("exists add") + run("exists size") + run("exists neverDefined"), "110");
    EXPECT_EQ(run("eval \"add 20 22\""), "42");
}

TEST_F(Mel, ErrorsAsMelGivesThem) {
    run("global proc two(string $s, int $i) {}"
        "global proc untyped() { return 5; }");
    EXPECT_EQ(failure("two \"a\""), "Wrong number of arguments on call to two.");
    EXPECT_EQ(failure("two(\"a\", 1, 2)"), "Wrong number of arguments on call to two.");
    EXPECT_EQ(failure("two \"a\" \"b\""),
              "Invalid argument 2 on call to two: expected int, got string \"b\".");
    EXPECT_EQ(failure("two {\"a\"} 1"),
              "Invalid argument 1 on call to two: expected string, got string[].");
    EXPECT_EQ(failure("untyped"), "This procedure has no return value.");
    EXPECT_EQ(failure("noSuchCommand -flag 1"), "Cannot find procedure \"noSuchCommand\".");
    EXPECT_EQ(failure("window -noSuchFlag 1"), "Invalid flag '-noSuchFlag' for window.");
    EXPECT_EQ(failure("window -title"), "window: flag '-title' needs a string argument.");
    EXPECT_EQ(failure("window -widthHeight 1 \"wide\""),
              "Flag '-widthHeight' must be passed an int argument, not string \"wide\".");
    EXPECT_EQ(failure("checkBox -query -value"), "checkBox: no object given.");
    EXPECT_EQ(failure("1 / 0"), "Division by zero.");
    EXPECT_EQ(failure("\"a\" - 1"), "Illegal operation \"-\" on a string.");
    EXPECT_EQ(failure("int $a[]; $a + 1"),
              "Illegal operation \"+\" on data of type int[] and int.");
    EXPECT_EQ(failure("error \"stopped\"; print \"not reached\""), "stopped");
    EXPECT_TRUE(mayahost::infoLines().empty());
    run("warning \"careful\"");
    EXPECT_EQ(mayahost::infoLines(), std::vector<std::string>{"Warning: careful"});
    // Syntax errors name the line; nothing of the text runs.
    EXPECT_EQ(failure("print \"a\";\nint $x = ;"), "line 2: Syntax error near ';'");
    EXPECT_EQ(mayahost::infoLines().size(), 1u);
    EXPECT_NE(failure("if (1 { }").find("Syntax error"), std::string::npos);
    EXPECT_NE(failure("string $s = \"open").find("line 1: Syntax error: unterminated string"),
              std::string::npos);
    EXPECT_NE(failure("int $x = 1 $y").find("Syntax error"), std::string::npos);
}

TEST_F(Mel, ProceduresAreFoundOnTheScriptPathAndFilesNameTheirErrors) {
    const std::string folder = ::testing::TempDir() + "melPath";
    std::filesystem::create_directories(folder);
    write(folder + "/autoFound.mel",
          "global proc string autoFound(string $who) { return helperToo() + $who; }\n"
          "global proc string helperToo() { return \"found by \"; }\n");
    write(folder + "/broken.mel", "global proc broken() {\n  int $x = 1\n  print $x;\n}\n");
    EXPECT_EQ(failure("autoFound \"name\""), "Cannot find procedure \"autoFound\".");
    mayahost::setScriptPath({folder});
    EXPECT_EQ(run("autoFound \"name\""), "found by name");
    EXPECT_EQ(run("exists broken"), "1") << "a script on the path counts";
    EXPECT_EQ(failure("broken"),
              "file: " + folder + "/broken.mel line 3: Syntax error near 'print'");
    EXPECT_EQ(run("source autoFound; helperToo()"), "found by ");
    EXPECT_EQ(failure("source \"noSuchFile.mel\""),
              "Cannot find file \"noSuchFile.mel\" for source statement.");
}

TEST_F(Mel, NumbersWordsAndStringsAsTheLexerReadsThem) {
    EXPECT_EQ(run("1e3 + .5 + 2.5e-1"), "1000.75");
    EXPECT_EQ(run("0.1 + 0.2"), "0.3") << "floats print without noise digits";
    EXPECT_EQ(run("1.0 * 4"), "4") << "nor trailing zeros";
    EXPECT_EQ(run("size(\"a;b}c\")"), "5") << "separators inside quotes belong to the text";
    EXPECT_EQ(run("string $s = \"line\\\ncontinued\"; $s"), "linecontinued");
    run("global proc string words(string $a, string $b, string $c) { return $a + \"|\" + $b + "
        "\"|\" + $c; }");
    EXPECT_EQ(run("words node.attr[3] -1 |root|child"), "node.attr[3]|-1||root|child")
        << "bare words run to the next blank; -1 is a number";
    EXPECT_EQ(run("words -flagLike \"quoted word\" ..;"), "-flagLike|quoted word|..");
    EXPECT_EQ(failure("print 1 @ 2"), "line 1: Syntax error near '@'") << "not a bare word";
    EXPECT_EQ(failure("int $x = 1 \\ 2;"), "line 1: Syntax error: unexpected '\\'");
    EXPECT_EQ(failure("/* never closed"), "line 1: Syntax error: unterminated comment");
    EXPECT_EQ(failure("$ = 3"), "line 1: Syntax error: '$' without a variable name");
    EXPECT_EQ(failure("words \"text\"0 a b"),
              "line 1: Syntax error: a quoted string must be followed by a blank or an "
              "operator, not '0'");
    EXPECT_EQ(run("words \"text\" 0 (\"a\"+\"b\")"), "text|0|ab");
}

TEST_F(Mel, ArraysAndTypesAcrossProcedures) {
    run("global proc float[] halves(int $v[]) { float $r[]; int $i;"
        "  for ($i = 0; $i < size($v); $i++) $r[$i] = $v[$i] / 2.0; return $r; }"
        "global proc int total(float $v[]) { int $t = 0; float $x; for ($x in $v) $t += $x;"
        "  return $t; }");
    EXPECT_EQ(run("float $h[] = halves({3, 5}); $h[0] + $h[1]"), "4");
    EXPECT_EQ(run("total(halves({4, 6, 9}))"), "9") << "float to int on +=: 2, then 5, then 9";
    EXPECT_EQ(run("total({1, 2})"), "3") << "an int array literal passed as float[]";
    EXPECT_EQ(failure("total(3)"),
              "Invalid argument 1 on call to total: expected float[], got int.");
    EXPECT_EQ(failure("string $s[] = {\"a\"}; int $n = $s;"),
              "Cannot convert data of type string[] to type int.");
    EXPECT_EQ(failure("int $n = 3; $n[0] = 1;"), "\"$n\" is not an array.");
    EXPECT_EQ(failure("int $a[]; $a[-1] = 1;"), "Array index out of range: -1.");
    EXPECT_EQ(failure("int $a[] = {{1}, 2};"), "Arrays cannot hold arrays.");
    EXPECT_EQ(run("string $mixed[] = {1, \"b\", 2.5}; $mixed[0] + $mixed[2]"), "12.5");
    EXPECT_EQ(failure("int $i = \"seven\";"),
              "Cannot convert data of type string to type int: \"seven\".");
    EXPECT_EQ(failure("global proc int noValue() { return; } noValue()"),
              "Procedure noValue must return a value.");
    // A procedure defined again replaces the old one.
    run("global proc int version() { return 1; }");
    run("global proc int version() { return 2; }");
    EXPECT_EQ(run("version()"), "2");
    EXPECT_EQ(failure("global proc loop() { loop; } loop"), "Stack overflow in call to loop.");
}

// Scripts are user code: whatever one holds, the runner answers with a MEL
// error and goes on; it never throws past a run, overflows or runs out of
// stack (each of these took the host down once).
TEST_F(Mel, ScriptsThatCouldCrashTheRunnerAreErrors) {
    const std::string folder = ::testing::TempDir() + "melSelf";
    std::filesystem::create_directories(folder);
    // In a MEL string a backslash starts an escape: Windows paths go with '/'.
    std::string self = folder + "/selfSourcing.mel";
    std::replace(self.begin(), self.end(), '\\', '/');
    write(self, "source \"" + self + "\";\n");
    const std::string deepParentheses = std::string(200000, '(') + "1" + std::string(200000, ')');
    std::string longSum = "1";
    for (int k = 0; k < 200000; ++k) longSum += "+1";
    run("global proc int down(int $n) { if ($n == 0) return 0; return down($n - 1); }"
        "global proc selfEval() { eval \"selfEval\"; }");
    const std::pair<std::string, std::string> cases[] = {
        {"int $x = 99999999999999999999;", "the integer 99999999999999999999 is out of range"},
        {"float $f = 1e999;", "the number 1e999 is out of range"},
        {"int $a[]; $a[2147483647] = 1;", "Array index out of range: 2147483647"},
        {"int $b[]; $b[400000000] = 1;", "Array index out of range: 400000000"},
        {deepParentheses, "nested too deeply"},
        {longSum, "nested too deeply"},
        {"down(499)", "Stack overflow in call to down."},
        {"selfEval", "Stack overflow in eval"},
        {"source \"" + self + "\"", "Stack overflow in source"},
        {"createNode transform -n t; getAttr t.tx[99999999999]", "Invalid attribute index"},
    };
    for (const auto& [script, expected] : cases) {
        EXPECT_NE(failure(script).find(expected), std::string::npos)
            << script.substr(0, 60) << " -> " << mayahost::errorLines().back();
    }
    EXPECT_EQ(run("int $m = -2147483647 - 1; -$m"), "-2147483648") << "wraps as a 32-bit int";
    EXPECT_EQ(run("down(90)"), "0") << "a deep but bounded recursion still runs";

    // Loops that would fill the scene, an array or a text end at the limits.
    mayahost::MelLimits limits;
    limits.statements = 300;
    limits.arrayItems = 50;
    limits.textBytes = 64;
    mayahost::setMelLimits(limits);
    const std::size_t nodesBefore = mayahost::nodeNames().size();
    EXPECT_EQ(failure("while (1) createNode transform;"), "Script stopped after 300 statements.");
    EXPECT_EQ(mayahost::nodeNames().size() - nodesBefore, 299u) << "the loop is one statement";
    EXPECT_NE(failure("int $a[]; $a[50] = 1;").find("50 items at most"), std::string::npos);
    EXPECT_NE(failure("string $s = \"x\"; while (1) $s += $s;").find("more than 64 bytes"),
              std::string::npos);
}

// However a script nests (brackets around long sums, calls, eval and
// source in each other), it ends in an error within the stack of a Windows
// main thread (1 MB; CTest runs this under that limit too), and a script
// that sources itself holds only its own text once per level.
TEST_F(Mel, NestingAndSelfSourcingStayWithinTheStackAndMemory) {
    std::string brackets = "1";  // 21 levels of brackets, each around 999 `+1`
    std::string ones;
    for (int k = 0; k < 999; ++k) ones += "+1";
    for (int level = 0; level < 21; ++level) brackets = "(" + brackets + ones + ")";
    const auto parentheses = [](int n) { return std::string(n, '(') + "1" + std::string(n, ')'); };
    std::string chain = "eval($text)";  // runs at the bottom of the chain's walk
    for (int k = 0; k < 480; ++k) chain += "+1";
    run("global proc int nest(int $n, string $text) {"
        "  if ($n > 0) return nest($n - 1, $text);"
        "  return `eval $text`; }"
        "global proc int evalNest(int $n, string $text) {"
        "  if ($n > 0) return eval(\"evalNest(\" + ($n - 1) + \", \\\"\" + $text + \"\\\")\");"
        "  return eval($text); }");
    EXPECT_EQ(run("nest(90, \"" + parentheses(45) + "\")"), "1") << "deep, but within the bounds";
    const std::pair<std::string, std::string> cases[] = {
        {brackets, "nested too deeply"},
        {"nest(95, \"" + chain + "\")", "Stack overflow"},
        {"evalNest(30, \"" + parentheses(45) + "+" + chain.substr(0, 2000) + "\")",
         "Stack overflow"},
        {"nest(90, \"" + parentheses(55) + "\")", "nested too deeply"},
    };
    for (const auto& [script, expected] : cases) {
        EXPECT_NE(failure(script).find(expected), std::string::npos)
            << script.substr(0, 60) << " -> " << mayahost::errorLines().back();
    }

    // A script that sources itself: the limit of a text is not allocated per
    // level (a limit no memory can hold is a limit, not a request), and the
    // texts of all the levels together stay within it.
    const std::string folder = ::testing::TempDir() + "melSelfSourcing";
    std::filesystem::create_directories(folder);
    std::string self = folder + "/again.mel";
    std::replace(self.begin(), self.end(), '\\', '/');
    const std::string text = "source \"" + self + "\";\n// " + std::string(1000, '.') + "\n";
    write(self, text);
    mayahost::MelLimits limits;
    limits.textBytes = std::size_t{1} << 62;
    mayahost::setMelLimits(limits);
    EXPECT_NE(failure("source \"" + self + "\"").find("Stack overflow in source"),
              std::string::npos)
        << mayahost::errorLines().back();
    limits.textBytes = 10 * text.size();
    mayahost::setMelLimits(limits);
    EXPECT_NE(failure("source \"" + self + "\"").find("bytes of script"), std::string::npos)
        << "ten levels hold the limit: " << mayahost::errorLines().back();
    // So do the trees of the texts: 300 statements a level.
    std::string statements = "source \"" + self + "\";\n";
    for (int k = 0; k < 300; ++k) statements += "1;";
    write(self, statements);
    limits = mayahost::MelLimits();
    limits.syntaxItems = 5000;
    mayahost::setMelLimits(limits);
    EXPECT_NE(failure("source \"" + self + "\"").find("the script is too large"), std::string::npos)
        << mayahost::errorLines().back();
    EXPECT_EQ(run("eval(\"1 + 2\")"), "3") << "every level gave its text and tree back";
}

}  // namespace
