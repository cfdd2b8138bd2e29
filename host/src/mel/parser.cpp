// Recursive descent over the tokens; a procedure definition becomes part of
// the unit, every other statement a tree.
#include "mel/ast.h"
#include "mel/lexer.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace mayahost {
namespace mel {

namespace {

using Kind = Node::Kind;
using TK = Token::Kind;

bool typeWord(const std::string& word, Type* type) {
    if (word == "int") {
        *type = Type::kInt;
    } else if (word == "float") {
        *type = Type::kFloat;
    } else if (word == "string") {
        *type = Type::kString;
    } else {
        return false;
    }
    return true;
}

bool boolWord(const std::string& word, int* value) {
    if (word == "true" || word == "on" || word == "yes") {
        *value = 1;
    } else if (word == "false" || word == "off" || word == "no") {
        *value = 0;
    } else {
        return false;
    }
    return true;
}

class Parser {
public:
    Parser(std::vector<Token> tokens, std::shared_ptr<Unit> unit, std::size_t maxNodes)
        : mTokens(std::move(tokens)), mUnit(std::move(unit)), mMaxNodes(maxNodes) {}

    void parseUnit() {
        while (!at(TK::kEnd)) {
            NodePtr statement = parseStatement();
            if (statement) mUnit->statements.push_back(statement);
        }
    }

private:
    std::vector<Token> mTokens;
    std::size_t mPos = 0;
    std::shared_ptr<Unit> mUnit;
    int mBackquoteDepth = 0;
    int mNesting = 0;
    std::size_t mMaxNodes;

    // Statements, expressions and unary operators nest by recursion: deep
    // enough nesting would overflow the stack (1 MB on Windows), so it is
    // an error past a bound no script of ours comes near.
    static constexpr int kMaxNesting = 100;
    // The tree is walked, and freed, by recursion too; a run of binary
    // operators makes it as deep as the run without nesting the parser, so
    // its height has a bound of its own.
    static constexpr int kMaxHeight = 500;
    struct Nested {
        Parser& parser;
        explicit Nested(Parser& p) : parser(p) {
            if (++parser.mNesting > kMaxNesting) {
                parser.fail(parser.peek(), "nested too deeply (more than " +
                                               std::to_string(kMaxNesting) + " levels)");
            }
        }
        ~Nested() { --parser.mNesting; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;
    };

    const Token& peek(std::size_t ahead = 0) const {
        const std::size_t k = mPos + ahead;
        return k < mTokens.size() ? mTokens[k] : mTokens.back();
    }
    bool at(TK kind) const { return peek().kind == kind; }
    bool atPunct(const char* text, std::size_t ahead = 0) const {
        return peek(ahead).kind == TK::kPunct && peek(ahead).text == text;
    }
    bool atName(const char* text) const { return at(TK::kName) && peek().text == text; }
    Token take() {
        Token t = peek();
        if (mPos < mTokens.size() - 1) ++mPos;
        return t;
    }

    [[noreturn]] void fail(const Token& at, const std::string& what) const {
        throw MelError((mUnit->file.empty() ? "" : "file: " + mUnit->file + " ") + "line " +
                       std::to_string(at.line) + ": Syntax error: " + what);
    }
    [[noreturn]] void fail(const Token& at) const {
        const std::string near = at.kind == TK::kEnd ? "end of text" : "'" + at.text + "'";
        throw MelError((mUnit->file.empty() ? "" : "file: " + mUnit->file + " ") + "line " +
                       std::to_string(at.line) + ": Syntax error near " + near);
    }
    void expect(const char* punct) {
        if (!atPunct(punct)) fail(peek());
        take();
    }
    NodePtr make(Kind kind, int line, std::string text = std::string()) {
        // A node takes about 180 bytes: a text's tree is bounded, not only its bytes.
        if (++mUnit->nodes > mMaxNodes) {
            fail(peek(), "the script is too large (more than " + std::to_string(mMaxNodes) +
                             " nodes left for it)");
        }
        auto node = std::make_shared<Node>();
        node->kind = kind;
        node->line = line;
        node->text = std::move(text);
        return node;
    }
    void adopt(const NodePtr& parent, NodePtr kid) {
        if (kid && kid->height >= parent->height) {
            parent->height = kid->height + 1;
            if (parent->height > kMaxHeight) {
                fail(peek(),
                     "nested too deeply (more than " + std::to_string(kMaxHeight) + " levels)");
            }
        }
        parent->kids.push_back(std::move(kid));
    }
    void endStatement() {
        if (atPunct(";")) {
            take();
            return;
        }
        // The last statement of a text or block may omit its ';'.
        if (at(TK::kEnd) || atPunct("}")) return;
        fail(peek());
    }

    // --- statements ---

    NodePtr parseStatement() {
        const Nested nested(*this);
        const Token& t = peek();
        if (atPunct(";")) {
            take();
            return make(Kind::kEmpty, t.line);
        }
        if (atPunct("{")) return parseBlock();
        if (t.kind == TK::kName) {
            Type type;
            if (t.text == "global" || t.text == "proc") return parseGlobalOrProc();
            if (typeWord(t.text, &type) && peek(1).kind == TK::kVariable) {
                NodePtr declaration = parseDeclaration(false);
                endStatement();
                return declaration;
            }
            if (t.text == "if") return parseIf();
            if (t.text == "while") return parseWhile();
            if (t.text == "do") return parseDoWhile();
            if (t.text == "for") return parseFor();
            if (t.text == "return") {
                NodePtr r = make(Kind::kReturn, take().line);
                if (!atPunct(";") && !atPunct("}") && !at(TK::kEnd)) adopt(r, parseExpression());
                endStatement();
                return r;
            }
            if (t.text == "break" || t.text == "continue") {
                NodePtr r = make(t.text == "break" ? Kind::kBreak : Kind::kContinue, take().line);
                endStatement();
                return r;
            }
            if (t.text == "else" || t.text == "switch" || t.text == "case") fail(t);
            int truth;
            const bool functionSyntax = (atPunct("(", 1) && !peek(1).spaceBefore) ||
                                        t.text == "catch" || t.text == "catchQuiet" ||
                                        boolWord(t.text, &truth);
            if (!functionSyntax && !typeWord(t.text, &type)) {
                NodePtr command = parseCommand();
                endStatement();
                return command;
            }
        }
        NodePtr expression = parseExpression();
        endStatement();
        return expression;
    }

    NodePtr parseBlock() {
        NodePtr block = make(Kind::kBlock, peek().line);
        expect("{");
        while (!atPunct("}")) {
            if (at(TK::kEnd)) fail(peek());
            NodePtr statement = parseStatement();
            if (statement) adopt(block, statement);
        }
        take();
        return block;
    }

    NodePtr parseGlobalOrProc() {
        bool global = false;
        if (atName("global")) {
            take();
            global = true;
        }
        if (!atName("proc")) {
            Type type;
            if (!at(TK::kName) || !typeWord(peek().text, &type)) fail(peek());
            NodePtr declaration = parseDeclaration(global);
            endStatement();
            return declaration;
        }
        const Token procToken = take();
        auto proc = std::make_shared<Procedure>();
        proc->global = global;
        proc->file = mUnit->file;
        Type type;
        if (at(TK::kName) && typeWord(peek().text, &type)) {
            take();
            if (atPunct("[")) {
                take();
                expect("]");
                type = arrayOf(type);
            }
            proc->returnType = type;
        }
        if (!at(TK::kName)) fail(peek());
        proc->name = take().text;
        expect("(");
        while (!atPunct(")")) {
            if (!proc->parameters.empty()) expect(",");
            if (!at(TK::kName) || !typeWord(peek().text, &type)) fail(peek());
            take();
            if (!at(TK::kVariable)) fail(peek());
            Parameter parameter{take().text, type};
            if (atPunct("[")) {
                take();
                expect("]");
                parameter.type = arrayOf(type);
            }
            proc->parameters.push_back(parameter);
        }
        take();
        if (!atPunct("{")) fail(peek());
        proc->body = parseBlock();
        mUnit->procedures.push_back(proc);
        NodePtr node = make(Kind::kProc, procToken.line, proc->name);
        return node;
    }

    NodePtr parseDeclaration(bool global) {
        NodePtr declaration = make(Kind::kDeclare, peek().line);
        typeWord(take().text, &declaration->type);
        declaration->flag = global;
        do {
            if (!declaration->kids.empty()) take();  // ','
            if (!at(TK::kVariable)) fail(peek());
            const Token name = take();
            NodePtr declared = make(Kind::kDeclared, name.line, name.text);
            if (atPunct("[")) {
                take();
                if (!atPunct("]")) parseExpression();  // a size reserves, nothing more
                expect("]");
                declared->flag = true;
            }
            if (atPunct("=")) {
                take();
                adopt(declared, parseExpression());
            }
            adopt(declaration, declared);
        } while (atPunct(","));
        return declaration;
    }

    NodePtr parseCondition() {
        expect("(");
        NodePtr condition = parseExpression();
        expect(")");
        return condition;
    }

    NodePtr parseIf() {
        NodePtr node = make(Kind::kIf, take().line);
        adopt(node, parseCondition());
        adopt(node, parseStatement());
        if (atName("else")) {
            take();
            adopt(node, parseStatement());
        }
        return node;
    }

    NodePtr parseWhile() {
        NodePtr node = make(Kind::kWhile, take().line);
        adopt(node, parseCondition());
        adopt(node, parseStatement());
        return node;
    }

    NodePtr parseDoWhile() {
        NodePtr node = make(Kind::kDoWhile, take().line);
        adopt(node, parseStatement());
        if (!atName("while")) fail(peek());
        take();
        adopt(node, parseCondition());
        endStatement();
        return node;
    }

    NodePtr parseFor() {
        const int line = take().line;
        expect("(");
        // for ($item in $array)
        if (at(TK::kVariable) && peek(1).kind == TK::kName && peek(1).text == "in") {
            NodePtr node = make(Kind::kForIn, line);
            const Token variable = take();
            take();
            adopt(node, make(Kind::kVariable, variable.line, variable.text));
            adopt(node, parseExpression());
            expect(")");
            adopt(node, parseStatement());
            return node;
        }
        NodePtr node = make(Kind::kFor, line);
        for (const char* end : {";", ";", ")"}) {
            adopt(node, atPunct(end) ? nullptr : parseExpression());
            expect(end);
        }
        adopt(node, parseStatement());
        return node;
    }

    // --- command syntax ---

    bool commandEnds() const {
        return at(TK::kEnd) || atPunct(";") || atPunct("}") ||
               (mBackquoteDepth > 0 && atPunct("`"));
    }

    NodePtr parseCommand() {
        const Token name = take();
        NodePtr command = make(Kind::kCommand, name.line, name.text);
        while (!commandEnds()) adopt(command, parseWord());
        return command;
    }

    static bool wordPart(const Token& t) {
        if (t.spaceBefore) return false;
        if (t.kind == TK::kName || t.kind == TK::kInt || t.kind == TK::kFloat) return true;
        if (t.kind != TK::kPunct) return false;
        for (const char* p : {".", "|", ":", "*", "[", "]", "#", "-", "@"}) {
            if (t.text == p) return true;
        }
        return false;
    }

    NodePtr literal(int line, Value value) {
        NodePtr node = make(Kind::kLiteral, line);
        node->value = std::move(value);
        return node;
    }

    NodePtr numberLiteral(const Token& t, bool negative) {
        // Parsed with their ranges checked: a literal no int or float can
        // hold is an error of the script, not of the runner.
        errno = 0;
        char* end = nullptr;
        if (t.kind == TK::kInt) {
            const long long v = std::strtoll(t.text.c_str(), &end, 10);
            const long long limit = negative ? 2147483648LL : 2147483647LL;
            if (errno == ERANGE || v > limit) fail(t, "the integer " + t.text + " is out of range");
            const long long signedValue = negative ? -v : v;
            return literal(t.line, Value::ofInt(static_cast<int>(signedValue)));
        }
        const double v = std::strtod(t.text.c_str(), &end);
        if (errno == ERANGE && std::isinf(v)) fail(t, "the number " + t.text + " is out of range");
        return literal(t.line, Value::ofFloat(negative ? -v : v));
    }

    NodePtr parseWord() {
        const Token& t = peek();
        switch (t.kind) {
            case TK::kString:
                take();
                return literal(t.line, Value::ofString(t.text));
            case TK::kInt:
            case TK::kFloat: {
                const Token number = take();
                return numberLiteral(number, false);
            }
            case TK::kVariable:
                return parsePostfix();
            default:
                break;
        }
        if (atPunct("-") && !peek(1).spaceBefore &&
            (peek(1).kind == TK::kInt || peek(1).kind == TK::kFloat)) {
            take();
            const Token number = take();
            return numberLiteral(number, true);
        }
        if (atPunct("(") || atPunct("`") || atPunct("{")) return parsePrimary();
        if (t.kind == TK::kName || atPunct("-") || atPunct("|") || atPunct("*") || atPunct(":") ||
            atPunct(".")) {
            // A bare word: a flag, a name or a path, up to the next blank.
            const Token first = take();
            std::string word = first.text;
            while (wordPart(peek())) word += take().text;
            if (word == "-") fail(first);
            return literal(first.line, Value::ofString(word));
        }
        fail(t);
    }

    // --- expressions ---

    NodePtr parseExpression() {
        const Nested nested(*this);
        NodePtr left = parseTernary();
        for (const char* op : {"=", "+=", "-=", "*=", "/="}) {
            if (!atPunct(op)) continue;
            if (left->kind != Kind::kVariable) fail(peek());
            NodePtr node = make(Kind::kAssign, take().line, op);
            adopt(node, left);
            adopt(node, parseExpression());
            return node;
        }
        return left;
    }

    NodePtr parseTernary() {
        NodePtr condition = parseBinary(0);
        if (!atPunct("?")) return condition;
        NodePtr node = make(Kind::kTernary, take().line);
        adopt(node, condition);
        adopt(node, parseExpression());
        expect(":");
        adopt(node, parseExpression());
        return node;
    }

    NodePtr parseBinary(int level) {
        static const std::vector<std::vector<const char*>> kLevels = {
            {"||"}, {"&&"}, {"==", "!="}, {"<", ">", "<=", ">="}, {"+", "-"}, {"*", "/", "%"}};
        if (level == static_cast<int>(kLevels.size())) return parseUnary();
        NodePtr left = parseBinary(level + 1);
        for (;;) {
            const char* matched = nullptr;
            for (const char* op : kLevels[level]) {
                if (atPunct(op)) matched = op;
            }
            if (matched == nullptr) return left;
            NodePtr node = make(Kind::kBinary, take().line, matched);
            adopt(node, left);
            adopt(node, parseBinary(level + 1));
            left = node;
        }
    }

    NodePtr parseUnary() {
        const Nested nested(*this);
        if (atPunct("!") || atPunct("-") || atPunct("+")) {
            const Token op = take();
            NodePtr node = make(Kind::kUnary, op.line, op.text);
            adopt(node, parseUnary());
            return node;
        }
        if (atPunct("++") || atPunct("--")) {
            const Token op = take();
            NodePtr node = make(Kind::kStep, op.line, op.text);
            node->flag = true;
            adopt(node, parseUnary());
            if (node->kids[0]->kind != Kind::kVariable) fail(op);
            return node;
        }
        return parsePostfix();
    }

    NodePtr parsePostfix() {
        NodePtr node = parsePrimary();
        if (node->kind == Kind::kVariable && (atPunct("++") || atPunct("--"))) {
            NodePtr step = make(Kind::kStep, peek().line, take().text);
            adopt(step, node);
            return step;
        }
        return node;
    }

    NodePtr parsePrimary() {
        const Token t = peek();
        switch (t.kind) {
            case TK::kInt:
            case TK::kFloat:
                take();
                return numberLiteral(t, false);
            case TK::kString:
                take();
                return literal(t.line, Value::ofString(t.text));
            case TK::kVariable: {
                take();
                NodePtr node = make(Kind::kVariable, t.line, t.text);
                if (atPunct("[")) {
                    take();
                    adopt(node, parseExpression());
                    expect("]");
                }
                return node;
            }
            case TK::kName:
                return parseNamePrimary();
            default:
                break;
        }
        if (atPunct("(")) {
            take();
            Type type;
            if (at(TK::kName) && typeWord(peek().text, &type) && atPunct(")", 1)) {
                take();
                take();
                NodePtr cast = make(Kind::kCast, t.line);
                cast->type = type;
                adopt(cast, parseUnary());
                return cast;
            }
            NodePtr inner = parseExpression();
            expect(")");
            return inner;
        }
        if (atPunct("{")) {
            take();
            NodePtr array = make(Kind::kArray, t.line);
            while (!atPunct("}")) {
                if (!array->kids.empty()) expect(",");
                adopt(array, parseExpression());
            }
            take();
            return array;
        }
        if (atPunct("`")) {
            take();
            ++mBackquoteDepth;
            if (!at(TK::kName)) fail(peek());
            NodePtr command = parseCommand();
            --mBackquoteDepth;
            expect("`");
            return command;
        }
        fail(t);
    }

    NodePtr parseNamePrimary() {
        const Token name = take();
        int truth;
        if (boolWord(name.text, &truth)) return literal(name.line, Value::ofInt(truth));
        if (!atPunct("(")) fail(name);
        take();
        Type type;
        if (typeWord(name.text, &type)) {
            NodePtr cast = make(Kind::kCast, name.line);
            cast->type = type;
            adopt(cast, parseExpression());
            expect(")");
            return cast;
        }
        if (name.text == "catch" || name.text == "catchQuiet") {
            NodePtr node = make(Kind::kCatch, name.line);
            node->flag = name.text == "catchQuiet";
            adopt(node, parseExpression());
            expect(")");
            return node;
        }
        NodePtr call = make(Kind::kCall, name.line, name.text);
        while (!atPunct(")")) {
            if (!call->kids.empty()) expect(",");
            adopt(call, parseExpression());
        }
        take();
        return call;
    }
};

}  // namespace

std::shared_ptr<Unit> parse(const std::string& text, const std::string& file,
                            std::size_t maxItems) {
    auto unit = std::make_shared<Unit>();
    unit->file = file;
    Parser parser(tokenize(text, file, maxItems), unit, maxItems);
    parser.parseUnit();
    return unit;
}

}  // namespace mel
}  // namespace mayahost
