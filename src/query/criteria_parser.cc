#include "query/criteria_parser.h"

#include <cstring>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace {

enum class TokenKind {
  kAnd,
  kOr,
  kValue,
  kIdent,
  kOpen,
  kClose,
  kComparison,
  kLineFeed,
  kEnd,
  kInvalid,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string_view text;  // VALUE and IDENT: the token's characters
  uint8_t code = 0;       // comparisons: the operator code
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsIdentChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }

// Reads the tokens of a zero-terminated text one at a time.
class Scanner {
 public:
  explicit Scanner(const char* input) : at_(input) {}

  Token Next() {
    while (*at_ == ' ' || *at_ == '\t') ++at_;
    const char* start = at_;
    const char c = *at_;
    if (c == '\0') return Token{};
    if (c == '\n') return Single(TokenKind::kLineFeed);
    if (c == '(') return Single(TokenKind::kOpen);
    if (c == ')') return Single(TokenKind::kClose);
    if (IsDigit(c)) return Number(start);
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
    while (IsDigit(*at_)) ++at_;
    if (at_[0] == '.' && IsDigit(at_[1])) {
      ++at_;
      while (IsDigit(*at_)) ++at_;
    }
    return Token{TokenKind::kValue, {start, static_cast<std::size_t>(at_ - start)}, 0};
  }

  Token Quoted(const char* start) {
    const char* end = start + 1;
    while (*end != '\0' && *end != '\'' && *end != '\n') ++end;
    if (*end != '\'') return Token{TokenKind::kInvalid, {}, 0};
    at_ = end + 1;
    return Token{TokenKind::kValue, {start, static_cast<std::size_t>(at_ - start)}, 0};
  }

  Token Word(const char* start) {
    while (IsIdentChar(*at_)) ++at_;
    const std::string_view word(start, static_cast<std::size_t>(at_ - start));
    if (word == "and") return Token{TokenKind::kAnd, word, 0};
    if (word == "or") return Token{TokenKind::kOr, word, 0};
    return Token{TokenKind::kIdent, word, 0};
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
  std::unique_ptr<CriteriaNode> Run() {
    std::unique_ptr<CriteriaNode> result;
    for (Token token = Take(); token.kind != TokenKind::kEnd; token = Take()) {
      result = ReadLine(token);
    }
    if (!result) throw ParseFailure{"syntax error"};
    return result;
  }

 private:
  Token Take() {
    Token token = scanner_.Next();
    if (token.kind == TokenKind::kInvalid) throw ParseFailure{"invalid syntax"};
    return token;
  }

  // Reads one expression and its line feed; first is its first token.
  std::unique_ptr<CriteriaNode> ReadLine(Token first) {
    std::vector<Level> levels(1);
    Token token = first;
    for (;;) {
      std::unique_ptr<CriteriaNode> operand = ReadOperand(token, levels);
      token = Take();
      while (token.kind == TokenKind::kClose && levels.size() > 1) {
        operand = Close(std::move(levels.back()), std::move(operand));
        levels.pop_back();
        token = Take();
      }
      levels.back().operands.push_back(std::move(operand));
      if (token.kind == TokenKind::kLineFeed && levels.size() == 1) break;
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

  std::unique_ptr<CriteriaNode> ReadComparison(Token first) {
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

  static std::unique_ptr<CriteriaNode> MakeLeaf(std::string_view name, uint8_t code,
                                                std::string_view operand) {
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

std::unique_ptr<CriteriaNode> ParseCriteria(const char* text) {
  if (text == nullptr) return nullptr;
  try {
    std::string input(text);
    input.push_back('\n');
    return ParseCriteriaInput(input.c_str(), nullptr);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
