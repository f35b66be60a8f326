#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vk::vbs {

enum class Tok : uint8_t {
    End,       // end of text
    NewLine,   // line end or ':'
    Ident,
    Integer,   // value in ival
    Float,     // value in fval
    String,    // text in text
    Date,      // serial in fval
    // punctuation and operators
    LParen, RParen, Comma, Dot, Eq, Ne, Lt, Gt, Le, Ge, Plus, Minus, Star, Slash, Backslash,
    Caret, Amp,
    // keywords
    KwAnd, KwAs, KwByRef, KwByVal, KwCall, KwCase, KwClass, KwConst, KwDim, KwDo, KwEach, KwElse,
    KwElseIf, KwEmpty, KwEnd, KwEqv, KwErase, KwExit, KwFalse, KwFor, KwFunction, KwGet, KwGoTo,
    KwIf, KwImp, KwIn, KwIs, KwLet, KwLoop, KwMod, KwNew, KwNext, KwNot, KwNothing, KwNull, KwOn,
    KwOption, KwOr, KwPrivate, KwProperty, KwPublic, KwReDim, KwResume, KwSelect, KwSet, KwStep,
    KwStop, KwSub, KwThen, KwTo, KwTrue, KwUntil, KwWend, KwWhile, KwWith, KwXor, KwMe,
};

struct Token {
    Tok kind = Tok::End;
    std::u16string text;  // identifier as written, string literal value, keyword as written
    int64_t ival = 0;
    double fval = 0;
    int line = 1;
    int column = 1;
    bool spaceBefore = false;
    bool hexLiteral = false;  // &H/&O: 16-bit when it fits, as VBScript types them
    bool longLiteral = false; // written with the & suffix
    bool colon = false;       // NewLine made by ':'
};

// Splits the whole source into tokens; throws SyntaxError (1032 Invalid character,
// 1033 Unterminated string constant, 1031 Invalid number...).
std::vector<Token> tokenize(std::u16string_view source);

const char* tokenName(Tok t);

}  // namespace vk::vbs
