#include "query/criteria_parser.h"

#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace fh {

namespace {

enum class TokenKind {
  kAnd,
  kOr,
  kValue,
  kIdent,
  kOpen,
  kClose,
  kComparison,
  kEnd,
  kInvalid,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;  // IDENT: its characters; VALUE: the operand as the node keeps it
  uint8_t code = 0;  // comparisons: the operator code
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsIdentChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }
bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Reads the tokens of a zero-terminated text one at a time.
class Scanner {
 public:
  explicit Scanner(const char* input) : at_(input) {}

  Token Next() {
    while (IsWhiteSpace(*at_)) ++at_;
    const char* start = at_;
    const char c = *at_;
    if (c == '\0') return Token{};
    if (c == '(') return Single(TokenKind::kOpen);
    if (c == ')') return Single(TokenKind::kClose);
    if (IsDigit(c) || (c == '-' && IsDigit(at_[1]))) return Number(start);
    if (c == '\'') return Quoted(start);
    if (IsLetter(c)) return Word(start);
    return Operator();
  }

 private:
  Token Single(TokenKind kind) {
    ++at_;
    return Token{kind, {}, 0};
  }

  Token Number(const char* start) {
    if (*at_ == '-') ++at_;
    while (IsDigit(*at_)) ++at_;
    if (at_[0] == '.' && IsDigit(at_[1])) {
      ++at_;
      while (IsDigit(*at_)) ++at_;
    }
    return Token{TokenKind::kValue, std::string(start, static_cast<std::size_t>(at_ - start)), 0};
  }

  // A quoted text: two quotes in a row stand for one quote of the text. The
  // operand keeps the enclosing quotes around the text itself.
  Token Quoted(const char* start) {
    std::string operand(1, '\'');
    for (const char* at = start + 1; *at != '\0'; ++at) {
      if (*at != '\'') {
        operand += *at;
      } else if (at[1] == '\'') {
        operand += '\'';
        ++at;
      } else {
        operand += '\'';
        at_ = at + 1;
        return Token{TokenKind::kValue, std::move(operand), 0};
      }
    }
    return Token{TokenKind::kInvalid, {}, 0};  // no closing quote
  }

  Token Word(const char* start) {
    while (IsIdentChar(*at_)) ++at_;
    std::string word(start, static_cast<std::size_t>(at_ - start));
    if (word == "and") return Token{TokenKind::kAnd, {}, 0};
    if (word == "or") return Token{TokenKind::kOr, {}, 0};
    return Token{TokenKind::kIdent, std::move(word), 0};
  }

  Token Operator() {
    const char c = at_[0];
    const bool withEquals = at_[1] == '=';
    uint8_t code = 0;
    if (c == '<') code = withEquals ? kCriteriaLessEqual : kCriteriaLess;
    if (c == '>') code = withEquals ? kCriteriaGreaterEqual : kCriteriaGreater;
    if (c == '=') code = kCriteriaEqual;
    if (c == '!' && withEquals) code = kCriteriaNotEqual;
    if (code == 0) return Token{TokenKind::kInvalid, {}, 0};
    at_ += (c == '=' || !withEquals) ? 1 : 2;
    return Token{TokenKind::kComparison, {}, code};
  }

  const char* at_;
};

// The operator that says the same with its operands swapped.
uint8_t Mirror(uint8_t code) {
  switch (code) {
    case kCriteriaLess:
      return kCriteriaGreater;
    case kCriteriaGreater:
      return kCriteriaLess;
    case kCriteriaLessEqual:
      return kCriteriaGreaterEqual;
    case kCriteriaGreaterEqual:
      return kCriteriaLessEqual;
    default:
      return code;
  }
}

// One parenthesis level (or the whole line) being read: its operands and
// the connectives between them, in text order.
struct Level {
  std::vector<std::unique_ptr<CriteriaNode>> operands;
  std::vector<uint8_t> connectives;
};

struct ParseFailure {
  const char* reason;
};

class Parser {
 public:
  explicit Parser(const char* input) : scanner_(input) {}

  // Throws ParseFailure or std::bad_alloc; both stay inside this file.
  // The whole input is one expression: anything after it is an error.
  std::unique_ptr<CriteriaNode> Run() {
    Token first = Take();
    if (first.kind == TokenKind::kEnd) throw ParseFailure{"syntax error"};
    return ReadExpression(std::move(first));
  }

 private:
  Token Take() {
    Token token = scanner_.Next();
    if (token.kind == TokenKind::kInvalid) throw ParseFailure{"invalid syntax"};
    return token;
  }

  // Reads the expression up to the end of the input; first is its first
  // token.
  std::unique_ptr<CriteriaNode> ReadExpression(Token first) {
    std::vector<Level> levels(1);
    Token token = std::move(first);
    for (;;) {
      std::unique_ptr<CriteriaNode> operand = ReadOperand(std::move(token), levels);
      token = Take();
      while (token.kind == TokenKind::kClose && levels.size() > 1) {
        operand = Close(std::move(levels.back()), std::move(operand));
        levels.pop_back();
        token = Take();
      }
      levels.back().operands.push_back(std::move(operand));
      if (token.kind == TokenKind::kEnd && levels.size() == 1) break;
      if (token.kind != TokenKind::kAnd && token.kind != TokenKind::kOr) {
        throw ParseFailure{"syntax error"};
      }
      levels.back().connectives.push_back(token.kind == TokenKind::kAnd ? kCriteriaAnd
                                                                        : kCriteriaOr);
      token = Take();
    }
    Level& line = levels.back();
    std::unique_ptr<CriteriaNode> last = std::move(line.operands.back());
    line.operands.pop_back();
    return Close(std::move(line), std::move(last));
  }

  // Opens the parentheses in front of an operand and reads the comparison.
  std::unique_ptr<CriteriaNode> ReadOperand(Token token, std::vector<Level>& levels) {
    while (token.kind == TokenKind::kOpen) {
      if (static_cast<int>(levels.size()) > kMaxCriteriaNesting) {
        throw ParseFailure{"syntax error"};
      }
      levels.emplace_back();
      token = Take();
    }
    return ReadComparison(token);
  }

  std::unique_ptr<CriteriaNode> ReadComparison(const Token& first) {
    const Token op = Take();
    const Token second = Take();
    if (op.kind != TokenKind::kComparison) throw ParseFailure{"syntax error"};
    if (first.kind == TokenKind::kIdent && second.kind == TokenKind::kValue) {
      return MakeLeaf(first.text, op.code, second.text);
    }
    if (first.kind == TokenKind::kValue && second.kind == TokenKind::kIdent) {
      return MakeLeaf(second.text, Mirror(op.code), first.text);
    }
    throw ParseFailure{"syntax error"};
  }

  static std::unique_ptr<CriteriaNode> MakeLeaf(const std::string& name, uint8_t code,
                                                const std::string& operand) {
    auto leaf = std::make_unique<CriteriaNode>();
    leaf->columnName.emplace(name);
    leaf->operand.emplace(operand);
    leaf->operatorCode = code;
    return leaf;
  }

  // Joins a level's operands, the last one given apart, right-grouped:
  // a c1 b c2 last -> c1(a, c2(b, last)).
  static std::unique_ptr<CriteriaNode> Close(Level level, std::unique_ptr<CriteriaNode> last) {
    std::unique_ptr<CriteriaNode> tree = std::move(last);
    while (!level.operands.empty()) {
      auto node = std::make_unique<CriteriaNode>();
      node->operatorCode = level.connectives.back();
      node->left = std::move(level.operands.back());
      node->right = std::move(tree);
      node->left->parent = node.get();
      node->right->parent = node.get();
      tree = std::move(node);
      level.operands.pop_back();
      level.connectives.pop_back();
    }
    return tree;
  }

  Scanner scanner_;
};

}  // namespace

std::unique_ptr<CriteriaNode> ParseCriteriaInput(const char* input, std::string* reason) {
  const char* failure = nullptr;
  if (input == nullptr) {
    failure = "syntax error";
  } else {
    try {
      return Parser(input).Run();
    } catch (const ParseFailure& parseFailure) {
      failure = parseFailure.reason;
    } catch (const std::bad_alloc&) {
      failure = "out of memory";
    }
  }
  if (reason != nullptr) *reason = failure;
  return nullptr;
}

}  // namespace fh

std::unique_ptr<fh::CriteriaNode> ParseCriteria(const char* text) {
  if (text == nullptr) return nullptr;
  return fh::ParseCriteriaInput(text, nullptr);
}
