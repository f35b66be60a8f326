#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/vbs/Variant.h"

namespace vk::vbs {

struct ProcDef;
struct ClassDef;

// Where a name lives, decided before the code runs.
enum class NameKind : uint8_t {
    Unresolved,
    Local,      // frame slot (parameters, Dim, implicit locals, the Function's result)
    Global,     // engine global slot
    Member,     // field of Me
    MemberProc, // method or property of Me
    Proc,       // global Sub/Function
    Builtin,    // standard function
    Constant,   // vbCrLf and friends
    Dynamic,    // looked up by name when run (host objects, names defined later, Execute)
};

struct Name {
    std::u16string text;   // as written
    std::u16string lower;
    std::string utf8;      // as written, for host objects
    NameKind kind = NameKind::Unresolved;
    int slot = -1;             // Local/Global/Member/Builtin index; Dynamic: fallback local slot or -1
    Variant* global = nullptr; // Global: the (stable) storage
    bool isConst = false;      // names a Const: assignment is refused
    ProcDef* proc = nullptr;   // Proc/MemberProc
    // Dynamic lookup cache
    uint32_t cacheGen = 0;
    uint8_t cacheKind = 0;
    void* cachePtr = nullptr;
};

enum class ExprKind : uint8_t {
    Literal, Ident, Me, Member, Call, Unary, Binary, New, Paren, Missing,
};

enum class Op : uint8_t {
    Neg, Not,
    Pow, Mul, Div, IntDiv, Mod, Add, Sub, Concat,
    Eq, Ne, Lt, Gt, Le, Ge, Is,
    And, Or, Xor, Eqv, Imp,
};

struct Expr {
    explicit Expr(ExprKind k) : kind(k) {}
    virtual ~Expr() = default;
    ExprKind kind;
    int line = 0;
    int column = 0;
};
using ExprPtr = std::unique_ptr<Expr>;

struct LiteralExpr : Expr {
    LiteralExpr() : Expr(ExprKind::Literal) {}
    Variant value;
};

struct IdentExpr : Expr {
    IdentExpr() : Expr(ExprKind::Ident) {}
    Name name;
};

struct MeExpr : Expr {
    MeExpr() : Expr(ExprKind::Me) {}
};

// object.name; object null means the target of the enclosing With.
struct MemberExpr : Expr {
    MemberExpr() : Expr(ExprKind::Member) {}
    ExprPtr object;
    Name name;
};

// callee(args): a call, an array index or a default-member call, decided when run.
struct CallExpr : Expr {
    CallExpr() : Expr(ExprKind::Call) {}
    ExprPtr callee;  // Ident, Member or anything else
    std::vector<ExprPtr> args;
    bool parens = true;  // false for statement calls without parentheses
    bool spacedParens = false;  // statement head written "f (x)"
};

struct UnaryExpr : Expr {
    UnaryExpr() : Expr(ExprKind::Unary) {}
    Op op = Op::Neg;
    ExprPtr operand;
};

struct BinaryExpr : Expr {
    BinaryExpr() : Expr(ExprKind::Binary) {}
    Op op = Op::Add;
    ExprPtr lhs, rhs;
    bool lhsLiteral = false, rhsLiteral = false;
};

struct NewExpr : Expr {
    NewExpr() : Expr(ExprKind::New) {}
    Name className;
};

struct ParenExpr : Expr {
    ParenExpr() : Expr(ExprKind::Paren) {}
    ExprPtr inner;
};

struct MissingExpr : Expr {
    MissingExpr() : Expr(ExprKind::Missing) {}
};

enum class StmtKind : uint8_t {
    Assign, Call, Dim, ReDim, Const, Erase, If, Select, For, ForEach, Do, While, With, Exit,
    OnError, MidAssign, Nop,
};

struct Stmt {
    explicit Stmt(StmtKind k) : kind(k) {}
    virtual ~Stmt() = default;
    StmtKind kind;
    int line = 0;
    int column = 0;
};
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

struct AssignStmt : Stmt {
    AssignStmt() : Stmt(StmtKind::Assign) {}
    ExprPtr target;  // Ident, Member or Call
    ExprPtr value;
    bool isSet = false;
    bool appendInPlace = false;  // s = s & x on a plain variable
};

struct CallStmt : Stmt {
    CallStmt() : Stmt(StmtKind::Call) {}
    ExprPtr call;  // Call/Ident/Member
};

struct DimItem {
    Name name;
    bool isArray = false;
    std::vector<ExprPtr> dims;  // empty with isArray: dynamic array "Dim a()"
};

struct DimStmt : Stmt {
    DimStmt() : Stmt(StmtKind::Dim) {}
    std::vector<DimItem> items;
};

struct ReDimStmt : Stmt {
    ReDimStmt() : Stmt(StmtKind::ReDim) {}
    bool preserve = false;
    std::vector<DimItem> items;
};

struct ConstStmt : Stmt {
    ConstStmt() : Stmt(StmtKind::Const) {}
    std::vector<std::pair<Name, ExprPtr>> items;
};

struct EraseStmt : Stmt {
    EraseStmt() : Stmt(StmtKind::Erase) {}
    ExprPtr target;
};

struct IfStmt : Stmt {
    IfStmt() : Stmt(StmtKind::If) {}
    std::vector<ExprPtr> conds;
    std::vector<Block> blocks;
    Block elseBlock;
};

struct CaseClause {
    enum Kind { Value, Range, Is } kind = Value;
    Op op = Op::Eq;
    ExprPtr a, b;
};

struct SelectStmt : Stmt {
    SelectStmt() : Stmt(StmtKind::Select) {}
    ExprPtr subject;
    std::vector<std::vector<CaseClause>> caseLists;
    std::vector<Block> blocks;
    bool hasElse = false;
    Block elseBlock;
};

struct ForStmt : Stmt {
    ForStmt() : Stmt(StmtKind::For) {}
    ExprPtr var;  // Ident
    ExprPtr from, to, step;
    Block body;
};

struct ForEachStmt : Stmt {
    ForEachStmt() : Stmt(StmtKind::ForEach) {}
    ExprPtr var;
    ExprPtr collection;
    Block body;
};

struct DoStmt : Stmt {
    DoStmt() : Stmt(StmtKind::Do) {}
    enum Test { None, PreWhile, PreUntil, PostWhile, PostUntil } test = None;
    ExprPtr cond;
    Block body;
};

struct WhileStmt : Stmt {
    WhileStmt() : Stmt(StmtKind::While) {}
    ExprPtr cond;
    Block body;
};

struct WithStmt : Stmt {
    WithStmt() : Stmt(StmtKind::With) {}
    ExprPtr object;
    Block body;
};

struct ExitStmt : Stmt {
    ExitStmt() : Stmt(StmtKind::Exit) {}
    enum What { Sub, Function, Property, For, Do } what = Sub;
};

struct OnErrorStmt : Stmt {
    OnErrorStmt() : Stmt(StmtKind::OnError) {}
    bool resumeNext = false;
};

// Mid(var, start[, length]) = text
struct MidAssignStmt : Stmt {
    MidAssignStmt() : Stmt(StmtKind::MidAssign) {}
    ExprPtr target;
    ExprPtr start, length, value;
};

struct NopStmt : Stmt {
    NopStmt() : Stmt(StmtKind::Nop) {}
};

struct Param {
    Name name;
    bool byRef = true;
    bool isArray = false;  // "a()"
};

enum class ProcKind : uint8_t { Sub, Function, PropGet, PropLet, PropSet };

struct ProcDef {
    ProcKind kind = ProcKind::Sub;
    Name name;
    std::vector<Param> params;
    Block body;
    bool isPublic = true;
    bool isDefault = false;
    ClassDef* owner = nullptr;
    int line = 0;
    // filled by the resolver
    int numLocals = 0;          // params first, then the result (functions/Get), then locals
    int resultSlot = -1;
    std::vector<std::u16string> localNames;  // lower-case, by slot
    std::vector<std::pair<int, Variant>> constants;  // local Const slots and their values
    bool optionExplicit = false;
};

struct ClassField {
    Name name;
    bool isPublic = true;
    bool isArray = false;
    std::vector<ExprPtr> dims;
};

struct ClassDef {
    Name name;
    std::vector<ClassField> fields;
    std::vector<std::unique_ptr<ProcDef>> procs;
    // filled by the resolver: lower-case member name -> field slot / procs
    struct Member {
        int field = -1;
        ProcDef* get = nullptr;  // Function/Sub/Property Get
        ProcDef* let = nullptr;
        ProcDef* set = nullptr;
        bool isPublic = true;
    };
    std::vector<std::pair<std::u16string, Member>> members;
    ProcDef* initialize = nullptr;
    ProcDef* terminate = nullptr;
    std::u16string defaultMember;  // lower-case, "" when none
    const Member* findMember(std::u16string_view lower) const {
        for (const auto& m : members)
            if (m.first == lower) return &m.second;
        return nullptr;
    }
};

// One parsed unit of source (a script, or the text of Execute/ExecuteGlobal/Eval).
struct Program {
    Block body;
    std::vector<std::unique_ptr<ProcDef>> procs;
    std::vector<std::unique_ptr<ClassDef>> classes;
    bool optionExplicit = false;
    ExprPtr expression;  // Eval
    int numLocals = 0;   // Execute inside a procedure
};

}  // namespace vk::vbs
