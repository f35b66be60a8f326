#include "script/vbs/Lexer.h"

#include <cmath>
#include <cstdlib>

#include "script/vbs/DateTime.h"
#include "script/vbs/Errors.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {

struct Keyword {
    const char16_t* name;
    Tok tok;
};

const Keyword kKeywords[] = {
    {u"and", Tok::KwAnd}, {u"as", Tok::KwAs}, {u"byref", Tok::KwByRef}, {u"byval", Tok::KwByVal},
    {u"call", Tok::KwCall}, {u"case", Tok::KwCase}, {u"class", Tok::KwClass}, {u"const", Tok::KwConst},
    {u"dim", Tok::KwDim}, {u"do", Tok::KwDo}, {u"each", Tok::KwEach}, {u"else", Tok::KwElse},
    {u"elseif", Tok::KwElseIf}, {u"empty", Tok::KwEmpty}, {u"end", Tok::KwEnd}, {u"eqv", Tok::KwEqv},
    {u"erase", Tok::KwErase}, {u"exit", Tok::KwExit}, {u"false", Tok::KwFalse}, {u"for", Tok::KwFor},
    {u"function", Tok::KwFunction}, {u"get", Tok::KwGet}, {u"goto", Tok::KwGoTo}, {u"if", Tok::KwIf},
    {u"imp", Tok::KwImp}, {u"in", Tok::KwIn}, {u"is", Tok::KwIs}, {u"let", Tok::KwLet},
    {u"loop", Tok::KwLoop}, {u"mod", Tok::KwMod}, {u"new", Tok::KwNew}, {u"next", Tok::KwNext},
    {u"not", Tok::KwNot}, {u"nothing", Tok::KwNothing}, {u"null", Tok::KwNull}, {u"on", Tok::KwOn},
    {u"option", Tok::KwOption}, {u"or", Tok::KwOr}, {u"private", Tok::KwPrivate},
    {u"property", Tok::KwProperty}, {u"public", Tok::KwPublic}, {u"redim", Tok::KwReDim},
    {u"resume", Tok::KwResume}, {u"select", Tok::KwSelect}, {u"set", Tok::KwSet}, {u"step", Tok::KwStep},
    {u"stop", Tok::KwStop}, {u"sub", Tok::KwSub}, {u"then", Tok::KwThen}, {u"to", Tok::KwTo},
    {u"true", Tok::KwTrue}, {u"until", Tok::KwUntil}, {u"wend", Tok::KwWend}, {u"while", Tok::KwWhile},
    {u"with", Tok::KwWith}, {u"xor", Tok::KwXor}, {u"me", Tok::KwMe},
};

bool isIdentStart(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7 && c < 0xD800); }
bool isIdentChar(char16_t c) { return isIdentStart(c) || (c >= '0' && c <= '9') || c == '_'; }
bool isDigit(char16_t c) { return c >= '0' && c <= '9'; }
bool isBlank(char16_t c) { return c == ' ' || c == '\t' || c == 0xA0 || c == 0xFEFF || c == '\f' || c == '\v'; }

class Lexer {
public:
    explicit Lexer(std::u16string_view s) : s_(s) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        bool space = true;
        while (pos_ < s_.size()) {
            char16_t c = s_[pos_];
            if (isBlank(c)) { ++pos_; space = true; continue; }
            if (c == '_' && continuation()) { space = true; continue; }
            Token t;
            t.line = line_;
            t.column = static_cast<int>(pos_ - lineStart_) + 1;
            t.spaceBefore = space;
            space = false;
            if (c == '\r' || c == '\n') {
                if (c == '\r' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '\n') ++pos_;
                ++pos_;
                t.kind = Tok::NewLine;
                out.push_back(std::move(t));
                newLine();
                space = true;
                continue;
            }
            if (c == '\'') { skipComment(); continue; }
            if (c == ':') { ++pos_; t.kind = Tok::NewLine; t.colon = true; out.push_back(std::move(t)); space = true; continue; }
            if (c == '"') { lexString(t); out.push_back(std::move(t)); continue; }
            if (c == '#') { lexDate(t); out.push_back(std::move(t)); continue; }
            if (c == '[') { lexBracketIdent(t); out.push_back(std::move(t)); continue; }
            if (isDigit(c) || (c == '.' && pos_ + 1 < s_.size() && isDigit(s_[pos_ + 1]) &&
                               !(out.size() && !t.spaceBefore && (out.back().kind == Tok::Ident || out.back().kind == Tok::RParen)))) {
                lexNumber(t);
                out.push_back(std::move(t));
                continue;
            }
            if (c == '&' && pos_ + 1 < s_.size() &&
                (foldLower(s_[pos_ + 1]) == 'h' || foldLower(s_[pos_ + 1]) == 'o' || isDigit(s_[pos_ + 1]))) {
                if (lexRadix(t)) { out.push_back(std::move(t)); continue; }
            }
            if (isIdentStart(c)) {
                size_t b = pos_;
                while (pos_ < s_.size() && isIdentChar(s_[pos_])) ++pos_;
                t.text = std::u16string(s_.substr(b, pos_ - b));
                if (t.text.size() > 255) throw SyntaxError(err::IdentifierTooLong, t.line, t.column);
                std::u16string low = toLower(t.text);
                // "obj.Rem" names a member; anywhere else Rem starts a comment
                if (low == u"rem" && !(out.size() && out.back().kind == Tok::Dot)) { skipComment(); continue; }
                t.kind = Tok::Ident;
                for (const auto& k : kKeywords)
                    if (low == k.name) { t.kind = k.tok; break; }
                out.push_back(std::move(t));
                continue;
            }
            ++pos_;
            switch (c) {
                case '(': t.kind = Tok::LParen; break;
                case ')': t.kind = Tok::RParen; break;
                case ',': t.kind = Tok::Comma; break;
                case '.': t.kind = Tok::Dot; break;
                case '=': t.kind = Tok::Eq; break;
                case '+': t.kind = Tok::Plus; break;
                case '-': t.kind = Tok::Minus; break;
                case '*': t.kind = Tok::Star; break;
                case '/': t.kind = Tok::Slash; break;
                case '\\': t.kind = Tok::Backslash; break;
                case '^': t.kind = Tok::Caret; break;
                case '&': t.kind = Tok::Amp; break;
                case '<':
                    if (pos_ < s_.size() && s_[pos_] == '>') { ++pos_; t.kind = Tok::Ne; }
                    else if (pos_ < s_.size() && s_[pos_] == '=') { ++pos_; t.kind = Tok::Le; }
                    else t.kind = Tok::Lt;
                    break;
                case '>':
                    if (pos_ < s_.size() && s_[pos_] == '=') { ++pos_; t.kind = Tok::Ge; }
                    else if (pos_ < s_.size() && s_[pos_] == '<') { ++pos_; t.kind = Tok::Ne; }  // "><" is "<>"
                    else t.kind = Tok::Gt;
                    break;
                default:
                    throw SyntaxError(err::InvalidCharacter, t.line, t.column);
            }
            out.push_back(std::move(t));
        }
        Token nl;
        nl.kind = Tok::NewLine;
        nl.line = line_;
        nl.column = static_cast<int>(pos_ - lineStart_) + 1;
        out.push_back(nl);
        Token end = nl;
        end.kind = Tok::End;
        out.push_back(end);
        return out;
    }

private:
    void newLine() {
        ++line_;
        lineStart_ = pos_;
    }

    // "_" followed by blanks and a line end joins the next line.
    bool continuation() {
        size_t p = pos_ + 1;
        while (p < s_.size() && isBlank(s_[p])) ++p;
        if (p < s_.size() && s_[p] != '\r' && s_[p] != '\n') return false;
        if (p < s_.size() && s_[p] == '\r') ++p;
        if (p < s_.size() && s_[p] == '\n') ++p;
        pos_ = p;
        newLine();
        return true;
    }

    void skipComment() {
        while (pos_ < s_.size() && s_[pos_] != '\r' && s_[pos_] != '\n') ++pos_;
    }

    void lexString(Token& t) {
        ++pos_;
        std::u16string v;
        for (;;) {
            if (pos_ >= s_.size() || s_[pos_] == '\r' || s_[pos_] == '\n') throw SyntaxError(err::UnterminatedString, t.line, t.column);
            char16_t c = s_[pos_++];
            if (c == '"') {
                if (pos_ < s_.size() && s_[pos_] == '"') { v += u'"'; ++pos_; continue; }
                break;
            }
            v += c;
        }
        t.kind = Tok::String;
        t.text = std::move(v);
    }

    void lexDate(Token& t) {
        size_t b = ++pos_;
        while (pos_ < s_.size() && s_[pos_] != '#' && s_[pos_] != '\r' && s_[pos_] != '\n') ++pos_;
        if (pos_ >= s_.size() || s_[pos_] != '#') throw SyntaxError(err::SyntaxError, t.line, t.column);
        std::u16string_view body = s_.substr(b, pos_ - b);
        ++pos_;
        double serial;
        if (!parseDate(body, serial)) throw SyntaxError(err::SyntaxError, t.line, t.column);
        t.kind = Tok::Date;
        t.fval = serial;
    }

    void lexBracketIdent(Token& t) {
        size_t b = ++pos_;
        while (pos_ < s_.size() && s_[pos_] != ']' && s_[pos_] != '\r' && s_[pos_] != '\n') ++pos_;
        if (pos_ >= s_.size() || s_[pos_] != ']') throw SyntaxError(err::ExpectedRBracket, t.line, t.column);
        t.text = std::u16string(s_.substr(b, pos_ - b));
        ++pos_;
        t.kind = Tok::Ident;
    }

    void lexNumber(Token& t) {
        size_t b = pos_;
        bool isFloat = false;
        while (pos_ < s_.size() && isDigit(s_[pos_])) ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '.') {
            isFloat = true;
            ++pos_;
            while (pos_ < s_.size() && isDigit(s_[pos_])) ++pos_;
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            size_t p = pos_ + 1;
            if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) ++p;
            if (p < s_.size() && isDigit(s_[p])) {
                isFloat = true;
                pos_ = p;
                while (pos_ < s_.size() && isDigit(s_[pos_])) ++pos_;
            }
        }
        std::string a;
        for (size_t i = b; i < pos_; ++i) a += static_cast<char>(s_[i]);
        bool longSuffix = false;
        if (pos_ < s_.size() && (s_[pos_] == '&' || s_[pos_] == '#' || s_[pos_] == '!' || s_[pos_] == '@' || s_[pos_] == '%')) {
            // type suffix characters
            if (s_[pos_] == '#' || s_[pos_] == '!' || s_[pos_] == '@') isFloat = true;
            if (s_[pos_] == '&') longSuffix = true;
            // only consume when not the start of something else
            if (!(s_[pos_] == '&' && pos_ + 1 < s_.size() && (isIdentChar(s_[pos_ + 1]) || s_[pos_ + 1] == '"')) &&
                !(s_[pos_] == '#')) {
                ++pos_;
            } else {
                longSuffix = false;
            }
        }
        if (pos_ < s_.size() && isIdentStart(s_[pos_])) throw SyntaxError(err::ExpectedEndOfStatement, t.line, t.column);
        double d = std::strtod(a.c_str(), nullptr);
        if (!isFloat && !longSuffix && d <= 2147483647.0) {
            t.kind = Tok::Integer;
            t.ival = static_cast<int64_t>(d);
        } else if (!isFloat && longSuffix && d <= 2147483647.0) {
            t.kind = Tok::Integer;
            t.longLiteral = true;
            t.ival = static_cast<int64_t>(d);
        } else {
            if (!std::isfinite(d)) throw SyntaxError(err::InvalidNumber, t.line, t.column);
            t.kind = Tok::Float;
            t.fval = d;
        }
    }

    bool lexRadix(Token& t) {
        size_t p = pos_ + 1;
        int base = 8;
        if (foldLower(s_[p]) == 'h') { base = 16; ++p; }
        else if (foldLower(s_[p]) == 'o') { ++p; }
        size_t b = p;
        uint64_t v = 0;
        while (p < s_.size()) {
            char16_t c = foldLower(s_[p]);
            int d = isDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : 99;
            if (d >= base) break;
            v = v * base + d;
            if (v > 0xFFFFFFFFull) throw SyntaxError(err::InvalidNumber, t.line, t.column);
            ++p;
        }
        if (p == b) return false;
        // Without the & suffix 16 bits wrap (&HFFFF is -1); either way the value decides
        // between Integer and Long (&H10& is an Integer, &HFFFF& a Long).
        bool suffix = p < s_.size() && s_[p] == '&';
        if (suffix) ++p;
        pos_ = p;
        t.kind = Tok::Integer;
        t.hexLiteral = true;
        if (!suffix && v <= 0xFFFF)
            t.ival = static_cast<int16_t>(static_cast<uint16_t>(v));
        else
            t.ival = static_cast<int32_t>(static_cast<uint32_t>(v));
        return true;
    }

    std::u16string_view s_;
    size_t pos_ = 0;
    size_t lineStart_ = 0;
    int line_ = 1;
};

}  // namespace

std::vector<Token> tokenize(std::u16string_view source) { return Lexer(source).run(); }

const char* tokenName(Tok t) {
    switch (t) {
        case Tok::End: return "end of script";
        case Tok::NewLine: return "end of statement";
        default: return "token";
    }
}

}  // namespace vk::vbs
